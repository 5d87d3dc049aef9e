#!/usr/bin/env bash
# The window built for Windows under wine against the simulator through wine's COM1: it
# lists the simulator's files and quits.
#   tests/windows/window_wine_test.sh WINDOW-TEST.EXE VOSKA-SIM LINK
set -uo pipefail
program=$1
sim=$2
link=$3
source "$(dirname "$0")/wine_test_lib.sh"
startSimulator "$samples"
"$run" "$program" -platform offscreen >"$work/out" 2>"$work/err"
status=$?
tr -d '\r' <"$work/out" >"$work/names"
if [ $status -ne 0 ] || ! grep -q '^TAG00001' "$work/names" || ! grep -q '^TAG00002' "$work/names"; then
    echo "FAIL: the window ended with $status and listed: $(cat "$work/names")"
    cat "$work/err"
    exit 1
fi
echo "the window listed: $(tr '\n' ' ' <"$work/names")"
