#!/usr/bin/env bash
# The whole `dravolin-cli get` of a 9999-byte file against the simulated programmer, as an
# operator runs it: processor time (user + system) of dravolin-cli alone, elapsed time, and
# the line time of the bytes exchanged (from the simulator's trace; 11 bits a byte at 8E1).
#   bench/paced_get.sh [BUILD_DIR] [RUNS] [trace]      unpaced, then paced at 57600 8E1
# With "trace" every get writes its protocol trace to a file (--trace=FILE), to show that
# tracing leaves the timing on the line as it was.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/default}
runs=${2:-5}
traced=${3:-}
cli=$(realpath "$build/src/cli/dravolin-cli")
sim=$(realpath "$build/tools/sim/voska-sim")
baud=57600

simulatorOptions=()

# One `dravolin-cli get` under the timer, in $work/pc.
timedCliGet() {
    local -a trace=()
    [ "$traced" = trace ] && trace=(--trace="$work/cli.trace")
    python3 -c "$timer" "$cli" --port "1=$(cat "$work/path")" --baud "$baud" \
        --parity E "${trace[@]}" get LARGEST -o out.tiv
}

source bench/paced_get_measure.sh
measurePacedGet
