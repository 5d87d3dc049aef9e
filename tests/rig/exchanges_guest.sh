# In the rig's guest (busybox sh): get over ttyS1 (8250 driver, 16550A) and ttyUSB0
# (ftdi_sio) at each line setting of /rig/data/settings and put at each line's first, each
# program run watched by rig-line-watch; then the port listing. Prints "FAIL: ..." for each fault found and a
# "RIG-CMD"/"RIG-CMD-END" pair around each program run, which the host side matches with
# QEMU's trace of the settings its UART and USB adapter decoded. Exits 1 when anything failed.

data=/rig/data
. $data/rig_lib.sh

# The expected settings of one program run from rig-line-watch's report: one setting
# while the program ran, the one asked for, raw, and the same settings after as before.
check_watch() {
    report=$1 what=$2
    during=$(grep -c '^during ' "$report")
    if [ "$during" != 1 ]; then
        fail "$what: $during settings seen while the program ran, not 1"
        cat "$report"
        return
    fi
    line=$(grep '^during ' "$report")
    for want in "baud=$baud " "data=8 " "parity=$parity " "stop=$stop " "icanon=0 " "echo=0 " \
        "isig=0 " "opost=0 " "icrnl=0 " "ixon=0 " "crtscts=0 " "istrip=0 " "vmin=1 " "cread=1 "; do
        case "$line" in
        *" $want"* | "during $want"*) ;;
        *) fail "$what: the driver holds '${line#during }', not $want" ;;
        esac
    done
    # The driver checks the parity of what it receives only with INPCK (without parity
    # there is nothing to check). Whether a byte 0xFF arrives doubled (PARMRK) shows in the
    # file of every byte value fetched.
    if [ "$parity" != N ]; then
        case "$line" in
        *" inpck=1 "*) ;;
        *) fail "$what: no parity check on input (inpck=0) with parity $parity" ;;
        esac
    fi
    echo "  the driver held: ${line#during }"
    grep -q '^left-as-found yes$' "$report" || fail "$what: the line was not left as found"
}

# Runs dravolin-cli on the case's line and settings under rig-line-watch.
cli() {
    what="$device $baud,$parity,$stop $1"
    echo "RIG-CMD $device $baud $parity $stop $1"
    rig-line-watch "/dev/$device" dravolin-cli --no-saved-settings --device "/dev/$device" \
        --baud "$baud" --parity "$parity" --stop-bits "$stop" "$@" </dev/null >/tmp/out \
        2>/tmp/err 3>&- 4>&-
    status=$?
    echo "RIG-CMD-END"
    if [ "$status" != 0 ]; then
        fail "$what: status $status: $(grep '^dravolin-cli' /tmp/err | tr '\n' ' ')"
        return 1
    fi
    check_watch /tmp/out "$what"
}

get_case() {
    # A get lists the programmer's files first, then fetches one: every byte value, 0x00,
    # 0x11 and 0x13 (XON, XOFF), 0x0D, 0xFF (doubled under PARMRK) among them.
    rm -f /tmp/got.tiv
    cli get ALLBYTES -o /tmp/got.tiv || return
    cmp "$data/ALLBYTES.tiv" /tmp/got.tiv || fail "$what: the file fetched differs"
}

# At each line's first setting, a put of every byte value, its first bytes naming the
# setting; the host side compares what the programmer stored byte for byte.
put_case() {
    { printf 'TB020264%-8s' "$baud$parity$stop"; cat "$data/every-byte"; } >/tmp/RP00.tiv
    cli put /tmp/RP00.tiv
}

check_ports() {
    dravolin-cli --no-saved-settings ports >/tmp/ports 2>&1 || fail "ports: $(cat /tmp/ports)"
    dravolin-cli --no-saved-settings ports --json >/tmp/ports.json 2>&1 ||
        fail "ports --json: $(cat /tmp/ports.json)"
    cat /tmp/ports
    usb=$(grep "^/dev/ttyUSB0	" /tmp/ports)
    case "$usb" in
    *"QEMU USB SERIAL, serial number RIG0001"*) ;;
    *) fail "ports: the FTDI adapter is not named: '$usb'" ;;
    esac
    tr -d ' \n' </tmp/ports.json >/tmp/ports.flat
    grep -q '"usbId":"0403:6001"' /tmp/ports.flat || fail "ports --json: no VID:PID 0403:6001"
    grep -q "^/dev/ttyS1	.*built-in serial port at I/O 0x2F8" /tmp/ports ||
        fail "ports: ttyS1 is not the 16550 at 0x2F8"
    for absent in ttyS2 ttyS3; do
        grep -q "^/dev/$absent	.*probably absent" /tmp/ports || fail "ports: $absent is not probably absent"
    done
}

# The adapter appears once the host end of its line is open: the host side is serving.
wait_until 10 -e /dev/ttyUSB0 || fail "no /dev/ttyUSB0"
# Held open for the whole run, so that each program finds the line as the one before left it.
exec 3</dev/ttyS1 4</dev/ttyUSB0

previous=""
while read -r device baud parity stop; do
    get_case
    [ "$device" = "$previous" ] || put_case
    previous=$device
done <"$data/settings"
check_ports

guest_done
