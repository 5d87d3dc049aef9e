#!/bin/sh
# How long dravolin-cli find takes over one device (a simulated programmer on a
# pseudo-terminal), in three cases:
#   saved    the programmer answers at the saved settings (19200,O,2 here)   target <= 2 s
#   last     it answers only at the 23rd of the 24 settings tried, silent at the others
#            (the whole first pass, nearly)                                  target <= 10 s
#   silent   nothing ever comes back: the first pass only, since a device that sent
#            nothing at any setting gets no second pass                     target <= 10 s
#   noisy    it never answers but sends noise back at about half the settings: both
#            passes, the second with the full waits where nothing came     (no target)
# Usage: bench/find_programmer.sh [BUILD_DIR] [RUNS]   (default build/default, 3 runs)
set -eu
build=${1:-build/default}
runs=${2:-3}
sim="$build/tools/sim/voska-sim"
cli="$build/src/cli/dravolin-cli"
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
simpid=
cleanup() {
    [ -n "$simpid" ] && kill "$simpid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
export XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" DRAVOLIN_LOCK_DIR="$work"

start_sim() {
    "$sim" --files "$here/tools/sim/samples" --noise "${noise:-0}" "$@" >"$work/sim.out" 2>/dev/null &
    simpid=$!
    while [ ! -s "$work/sim.out" ]; do sleep 0.05; done
    device=$(head -n 1 "$work/sim.out")
}

stop_sim() {
    kill "$simpid"
    wait "$simpid" 2>/dev/null || true
    simpid=
    : >"$work/sim.out"
}

measure() {
    label=$1
    shift
    i=0
    while [ "$i" -lt "$runs" ]; do
        begin=$(date +%s.%N)
        "$cli" --no-saved-settings "$@" find --device "$device" >/dev/null 2>&1 || true
        end=$(date +%s.%N)
        echo "$label run $((i + 1)): $(echo "$end - $begin" | bc) s"
        i=$((i + 1))
    done
}

start_sim --line 19200,O,2
measure saved --baud 19200 --parity O --stop-bits 2
stop_sim

start_sim --line 57600,O,2
measure last --baud 9600 --parity E --stop-bits 1
stop_sim

start_sim --silent directory-status
runs=1 measure silent
stop_sim

noise=50 start_sim --line 57600,O,2 --silent directory-status
runs=1 measure noisy
stop_sim
