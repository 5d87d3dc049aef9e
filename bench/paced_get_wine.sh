#!/usr/bin/env bash
# bench/paced_get.sh for the Windows build: dravolin-cli.exe under wine fetches a 9999-byte
# file through wine's COM1 (mapped to the simulator's pty, as scripts/windows.sh sets up).
# Processor time is the wine process that runs dravolin-cli.exe (wine's server is not
# counted), elapsed time, and the line time of the bytes exchanged (11 bits a byte at 8E1);
# the last column takes the unpaced get's time (wine's start-up, two openings) off. Wine's
# loader is started directly, in the environment tests/windows/wine_run.sh makes, so that
# the shell scripts in front of it (wine_run.sh, Debian's `wine`) are not counted.
#   bench/paced_get_wine.sh [RUNS]       after scripts/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
loader=$(command -v /usr/lib/wine/wine64 wine64 | head -n 1)
cli=$(realpath build/windows/bin/dravolin-cli.exe)
sim=$(realpath build/default/tools/sim/voska-sim)
link=$(realpath -m build/windows/wine-com1)
baud=57600
export WINEPREFIX=$PWD/build/windows/wine WINELOADER=$loader WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
shim=$PWD/build/windows/shim/libwine_serial_shim.so  # for the wine process alone
wineserver -p >/dev/null 2>&1 || true  # one server for all the runs

simulatorOptions=(--link "$link")

# One `dravolin-cli.exe get` under wine and the timer, in $work/pc.
timedCliGet() {
    python3 -c "$timer" env LD_PRELOAD="$shim" "$loader" "$cli" --port 1 --no-saved-settings \
        --baud "$baud" --parity E get LARGEST -o out.tiv
}

source bench/paced_get_measure.sh
measurePacedGet
