#!/usr/bin/env bash
# The host side of the unplug test, run by scripts/rig.sh (RIG_LINE2, RIG_QMP, RIG_CONSOLE):
# serves the USB adapter's line at 9600 baud's pace, removes the adapter through QMP once
# BIG's file reply to the window's receive is under way, and plugs it in again when the
# guest asks.
#   unplug_host.sh VOSKA-SIM FILES-DIR LOG-DIR RIG-SH
set -euo pipefail
sim=$1 files=$2 logs=$3 rig=$4

# Waits until FILE holds a line matching PATTERN, up to SECONDS.
wait_for() {
    local pattern=$1 file=$2 deadline=$((SECONDS + $3))
    until grep -q -- "$pattern" "$file" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.02
    done
}

# The programmer loses what it had not sent when the adapter went: its simulator ends and
# another starts on the same line.
serve() {
    "$sim" --files "$files" --serve "$RIG_LINE2" --pace 9600,N,1 --trace \
        --seed "${DRAVOLIN_TEST_SEED:-1}" 2>"$logs/sim-$1.log" &
    serving=$!
}

serve 1
# BIG's file reply (its header is TB029999) is under way.
wait_for 'DEV>PC 54 42 30 32 39 39 39 39' "$logs/sim-1.log" 120
"$rig" qmp "$RIG_QMP" '{"execute":"device_del","arguments":{"id":"usb1"}}' >"$logs/qmp-del.log"
kill -TERM "$serving"
wait "$serving" || true
serve 2
wait_for '^RIG-REPLUG' "$RIG_CONSOLE" 120
"$rig" qmp "$RIG_QMP" '{"execute":"device_add","arguments":{"driver":"usb-serial","id":"usb1","chardev":"line2","serial":"RIG0001"}}' \
    >"$logs/qmp-add.log"
wait
