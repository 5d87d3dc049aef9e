# In the rig's guest (busybox sh): list, get and put over ttyS1 (8250 driver, 16550A) and
# ttyUSB0 (ftdi_sio) at the line settings of /rig/data/settings, each program run watched
# by rig-line-watch; then the port listing. Prints "FAIL: ..." for each fault found and a
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
    # file of every byte value sent and fetched.
    if [ -f "$data/expect-inpck" ] && [ "$parity" != N ]; then
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
    grep -v '^\(before\|during\|after\|left-as-found\) ' /tmp/out >/tmp/stdout
    grep '^\(before\|during\|after\|left-as-found\) ' /tmp/out >/tmp/watch
    if [ "$status" != 0 ]; then
        fail "$what: status $status: $(grep '^dravolin-cli' /tmp/err | tr '\n' ' ')"
        return 1
    fi
    check_watch /tmp/watch "$what"
}

# A file of every byte value, its first bytes naming the case, so that each put differs.
# Each case stores its own file (RP00, RP01, ...; the programmer holds 15, 2 are its own),
# which the host side compares byte for byte after the run.
make_put_file() {
    {
        printf 'TB020264%-8s' "$2"
        cat "$data/every-byte"
    } >"/tmp/$1.tiv"
}

run_case() {
    device=$1 baud=$2 parity=$3 stop=$4 number=$5
    if [ "$number" = 00 ]; then
        cli list || return
        for name in ALLBYTES TAG00001; do
            grep -qx "$name" /tmp/stdout || fail "$what: $name not listed: $(cat /tmp/stdout)"
        done
    fi
    # A get lists the programmer's files first, then fetches one: every byte value, 0x00,
    # 0x11 and 0x13 (XON, XOFF), 0x0D, 0xFF (doubled under PARMRK) among them.
    rm -f /tmp/got.tiv
    cli get ALLBYTES -o /tmp/got.tiv || return
    cmp "$data/ALLBYTES.tiv" /tmp/got.tiv || fail "$what: the file fetched differs"
    make_put_file "RP$number" "$baud$parity$stop"
    cli put "/tmp/RP$number.tiv"
    rm -f "/tmp/RP$number.tiv"
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
    case "$usb" in
    *"/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_RIG0001-if00-port0"*) ;;
    *) fail "ports: the adapter's stable name is missing: '$usb'" ;;
    esac
    tr -d ' \n' </tmp/ports.json >/tmp/ports.flat
    grep -q '"usbId":"0403:6001"' /tmp/ports.flat || fail "ports --json: no VID:PID 0403:6001"
    grep -q "^/dev/ttyS1	.*built-in serial port at I/O 0x2F8" /tmp/ports ||
        fail "ports: ttyS1 is not the 16550 at 0x2F8"
    for absent in ttyS2 ttyS3; do
        grep -q "^/dev/$absent	.*probably absent" /tmp/ports || fail "ports: $absent is not probably absent"
    done
}

# udev would make the adapter's stable name; this guest has none, so it is made as udev does.
make_by_id_link() {
    usb=$(readlink -f /sys/class/tty/ttyUSB0/device/../..)
    id="usb-$(cat "$usb/manufacturer")_$(cat "$usb/product")_$(cat "$usb/serial")-if00-port0"
    mkdir -p /dev/serial/by-id
    ln -sf ../../ttyUSB0 "/dev/serial/by-id/$(echo "$id" | tr ' ' _)"
}

# The adapter appears once the host end of its line is open: the host side is serving.
wait_until 10 -e /dev/ttyUSB0 || fail "no /dev/ttyUSB0"
make_by_id_link
# Held open for the whole run, so that each program finds the line as the one before left it.
exec 3</dev/ttyS1 4</dev/ttyUSB0

previous=""
while read -r device baud parity stop; do
    [ "$device" = "$previous" ] || index=0
    previous=$device
    run_case "$device" "$baud" "$parity" "$stop" "$(printf %02d $((index % 12)))"
    index=$((index + 1))
done <"$data/settings"
check_ports

guest_done
