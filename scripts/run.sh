#!/usr/bin/env bash
# Builds Dravolin, starts the simulated programmer on a copy of the sample files and opens
# the window with COM1 standing for it. Without a display (or with --cli) it shows the
# same exchange with dravolin-cli instead: list, get and put.
#   scripts/run.sh         the window (the CLI demonstration where no display exists)
#   scripts/run.sh --cli   the CLI demonstration
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

mode=window
if [ "${1:-}" = "--cli" ]; then
    mode=cli
elif [ -n "${1:-}" ]; then
    echo "usage: scripts/run.sh [--cli]" >&2
    exit 2
fi

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target dravolin dravolin-cli voska-sim >/dev/null
bin="$root/build/default"

work=$(mktemp -d "${TMPDIR:-/tmp}/dravolin-demo.XXXXXX")
sim_pid=
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/programmer" "$work/pc"
cp tools/sim/samples/*.tiv "$work/programmer/"
"$bin/tools/sim/voska-sim" --files "$work/programmer" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
device=
for _ in $(seq 100); do
    device=$(head -n 1 "$work/sim.out" 2>/dev/null || true)
    [ -n "$device" ] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        cat "$work/sim.err" >&2
        exit 1
    fi
    sleep 0.05
done
if [ -z "$device" ]; then
    echo "the simulated programmer did not start" >&2
    exit 1
fi
echo "Simulated programmer on $device, holding: $(cd "$work/programmer" && echo *.tiv)"

if [ "$mode" = window ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here: showing the exchange with dravolin-cli instead."
    mode=cli
fi

if [ "$mode" = window ]; then
    # Every Com port, whichever one the settings saved earlier choose; not saved itself.
    echo "Opening the window; every Com port is the simulated programmer. Files to send: $root/tools/sim/samples"
    "$bin/src/app/dravolin" --port "1=$device" --port "2=$device" --port "3=$device" --port "4=$device"
    exit 0
fi

cli() {
    echo
    echo "\$ dravolin-cli --device $device $*"
    (cd "$work/pc" && "$bin/src/cli/dravolin-cli" --device "$device" "$@")
}
cli list
cli get TAG00001
echo "(saved $(wc -c <"$work/pc/TAG00001.tiv") bytes as TAG00001.tiv)"
printf 'DEMO0005hello' >"$work/pc/NEWTAG.tiv"
cli put NEWTAG.tiv
cli list
