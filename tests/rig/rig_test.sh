#!/usr/bin/env bash
# One rig test: boots the guest once (scripts/rig.sh) with dravolin-cli and rig-line-watch
# (exchanges) or the window's cases (unplug) in it, voska-sim serving the host end of the
# lines, and checks what the guest reports and what QEMU traced of the line settings its
# UART and USB adapter decoded.
#   rig_test.sh exchanges|unplug WORK-DIR DRAVOLIN-CLI VOSKA-SIM RIG-LINE-WATCH \
#               RIG-WINDOW-CASES QT-OFFSCREEN-PLUGIN
set -euo pipefail

scenario=$1 work=$2 cli=$3 sim=$4 watch=$5 window=$6 offscreen=$7
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
samples=$source_dir/tools/sim/samples
seed=${DRAVOLIN_TEST_SEED:-1}  # of the simulated programmers, which vary what the PC ignores
. "$here/rig_lib.sh"

rm -rf "$work"
mkdir -p "$work/data" "$work/sim1" "$work/sim2"
for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done >"$work/data/every-byte"
{ printf 'TB020256'; cat "$work/data/every-byte"; } >"$work/data/ALLBYTES.tiv"
cp "$samples/TAG00001.tiv" "$here/rig_lib.sh" "$work/data/"
cp "$work/data/ALLBYTES.tiv" "$work/data/TAG00001.tiv" "$work/sim1/"
cp "$work/data/ALLBYTES.tiv" "$work/data/TAG00001.tiv" "$work/sim2/"

# Every rate, parity and stop-bit count the settings dialog offers appears on each line, and
# every pair of rate and parity, of rate and stop bits and of parity and stop bits: 12 of
# the 24 settings per line, about half the time of all of them.
covering_settings() {
    printf '%s\n' '9600 E 1' '9600 O 2' '9600 N 1' '19200 E 2' '19200 O 1' '19200 N 2' \
        '38400 E 1' '38400 O 2' '38400 N 2' '57600 E 2' '57600 O 1' '57600 N 1'
}

# QEMU's trace of each program run (between the guest's RIG-CMD and RIG-CMD-END lines) must
# show the UART or adapter decoding the settings asked for (that the line is set back after
# the run, rig-line-watch checks). The FTDI adapter's baud comes from a divisor: 57600
# decodes as 57553, so rates compare within 1 %.
check_decoded_settings() {
    tr -d '\r' <"$1" | awk '
        function matches(d, b, p, s) {
            return state[d, "data"] == 8 && state[d, "parity"] == p && state[d, "stop"] == s &&
                   state[d, "baud"] >= b * 0.99 && state[d, "baud"] <= b * 1.01
        }
        function note(d) {
            if (running && d == device && matches(d, baud, parity, stop)) { asked = 1 }
        }
        /^RIG-CMD / {
            running = 1; device = $2; baud = $3; parity = $4; stop = $5; what = $0
            asked = matches(device, baud, parity, stop); count++
            next
        }
        /^RIG-CMD-END/ {
            if (!asked) {
                print "FAIL: QEMU never decoded the settings of " what " (last: " state[device, "baud"] \
                      "," state[device, "parity"] "," state[device, "data"] "," state[device, "stop"] ")"
            }
            running = 0
            next
        }
        /serial_update_parameters/ {
            split($0, f, /[= ]+/)
            for (i = 1; i < length(f); i++) {
                if (f[i] == "baudrate") state["ttyS1", "baud"] = f[i + 1]
                if (f[i] == "parity") { p = f[i + 1]; gsub(/\047/, "", p); state["ttyS1", "parity"] = p }
                if (f[i] == "data") state["ttyS1", "data"] = f[i + 1]
                if (f[i] == "stop") state["ttyS1", "stop"] = f[i + 1]
            }
            note("ttyS1")
        }
        /usb_serial_set_baud/ { state["ttyUSB0", "baud"] = $NF; note("ttyUSB0") }
        /usb_serial_set_data/ {
            line = $0
            sub(/.*parity /, "", line); state["ttyUSB0", "parity"] = substr(line, 1, 1)
            line = $0; sub(/.*data bits /, "", line); state["ttyUSB0", "data"] = line + 0
            line = $0; sub(/.*stop bits /, "", line); state["ttyUSB0", "stop"] = line + 0
            note("ttyUSB0")
        }
        END { print "checked QEMU'"'"'s decoding of " count " program runs" }
    '
}

run_exchanges() {
    covering_settings >"$work/settings.one"
    sed 's/^/ttyS1 /' "$work/settings.one" >"$work/data/settings"
    sed 's/^/ttyUSB0 /' "$work/settings.one" >>"$work/data/settings"
    local status=0
    "$source_dir/scripts/rig.sh" run --keep "$work/rig" --timeout 150 \
        --copy "$cli" --copy "$watch" --data "$work/data" \
        --host "'$sim' --files '$work/sim1' --seed '$seed' --serve \"\$RIG_LINE1\" 2>'$work/sim1.log' &
                '$sim' --files '$work/sim2' --seed '$seed' --serve \"\$RIG_LINE2\" 2>'$work/sim2.log' &
                wait" \
        "$here/exchanges_guest.sh" || status=$?
    tr -d '\r' <"$work/rig/console.log" | grep -E '^(FAIL|RIG-GUEST|/dev/)' || true
    [ "$status" = 0 ] || fail "the guest's cases ended with status $status"
    check_decoded_settings "$work/rig/console.log" | tee "$work/decoded"
    if grep -q '^FAIL' "$work/decoded"; then failures=$((failures + 1)); fi
    # The file sent on each line (at its first setting) is stored as sent, byte for byte:
    # its header, the setting it was sent at, every byte value.
    local line label
    label=$(head -n 1 "$work/settings.one" | tr -d ' ')
    for line in 1 2; do
        [ "$(ls "$work/sim$line" | grep -c '^RP')" = 1 ] ||
            fail "line $line: not one file stored: $(ls "$work/sim$line")"
        { printf 'TB020264%-8s' "$label"; cat "$work/data/every-byte"; } |
            cmp -s - "$work/sim$line/RP00.tiv" || fail "line $line: RP00.tiv is not stored as sent"
    done
}

run_unplug() {
    # BIG: the largest file there is, 9999 data bytes, about 10 s at 9600 baud.
    { printf 'TB029999'; yes UNPLUGME | head -c 9999 || true; } >"$work/sim2/BIG.tiv"
    # QEMU 7.2 itself now and then dies of a signal while it removes the USB device; that
    # says nothing of our program, so such a run is made again, at most twice.
    local status attempt
    for attempt in 1 2 3; do
        status=0
        "$source_dir/scripts/rig.sh" run --keep "$work/rig" --timeout 150 --copy "$window" \
            --file "$offscreen" --data "$work/data" \
            --host "'$here/unplug_host.sh' '$sim' '$work/sim2' '$work' '$source_dir/scripts/rig.sh'" \
            "$here/unplug_guest.sh" || status=$?
        [ "$status" = 123 ] || break
        echo "QEMU died of a signal in attempt $attempt; running the unplug cases again"
    done
    tr -d '\r' <"$work/rig/console.log" | grep -E '^(FAIL|RIG-|\[  )' || true
    [ "$status" = 0 ] || fail "the guest's cases ended with status $status"
}

case "$scenario" in
exchanges) run_exchanges ;;
unplug) run_unplug ;;
*)
    echo "unknown scenario $scenario" >&2
    exit 2
    ;;
esac

echo "work files and transcript: $work"
if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s) (simulator seed $seed: DRAVOLIN_TEST_SEED repeats it)"
    exit 1
fi
