#!/usr/bin/env bash
# The window built for Windows under wine against the simulator through wine's COM1: it
# lists the simulator's files and quits.
#   tests/windows/window_wine_test.sh WINDOW-TEST.EXE VOSKA-SIM LINK
set -uo pipefail
program=$1
sim=$2
link=$3
run=$(cd "$(dirname "$0")" && pwd)/wine_run.sh
samples=$(cd "$(dirname "$0")/../../tools/sim/samples" && pwd)
work=$(mktemp -d)
"$sim" --files "$samples" --link "$link" >"$work/sim.out" 2>"$work/sim.err" &
simPid=$!
trap 'kill $simPid 2>/dev/null; wait $simPid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 200); do
    [ -s "$work/sim.out" ] && break
    sleep 0.05
done
"$run" "$program" -platform offscreen >"$work/out" 2>"$work/err"
status=$?
tr -d '\r' <"$work/out" >"$work/names"
if [ $status -ne 0 ] || ! grep -q '^TAG00001' "$work/names" || ! grep -q '^TAG00002' "$work/names"; then
    echo "FAIL: the window ended with $status and listed: $(cat "$work/names")"
    cat "$work/err"
    exit 1
fi
echo "the window listed: $(tr '\n' ' ' <"$work/names")"
