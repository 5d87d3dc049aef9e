#!/usr/bin/env bash
# The real-driver rig: runs programs in a small Linux guest under QEMU against the 8250
# UART driver (ttyS1, a 16550A at I/O 0x2F8) and the ftdi_sio USB-serial driver (ttyUSB0,
# an FTDI FT232 on an xHCI bus), the host end of each line being a pseudo-terminal that a
# host-side command serves. The guest is Debian's kernel with busybox; its console is its
# own ttyS0 on QEMU's standard output. QEMU's decoding of the line settings the guest sets
# (baud, parity, data and stop bits) is traced into the same transcript.
#
#   scripts/rig.sh prepare
#       downloads Debian's kernel (linux-image-amd64, and busybox-static unless installed)
#       once into the cache (DRAVOLIN_RIG_CACHE, else ~/.cache/dravolin-rig) and unpacks
#       what the guest needs: the kernel, decompressed, and the USB serial drivers' modules
#   scripts/rig.sh run [OPTION]... GUEST-SCRIPT
#       boots the guest, runs GUEST-SCRIPT there with busybox sh and returns its status
#       --copy FILE        put the program FILE into the guest's /rig/bin, with the shared
#                          libraries it needs (repeatable)
#       --file FILE        put FILE at the same path in the guest, with the shared libraries
#                          it needs when it is one itself (a Qt plugin; repeatable)
#       --data DIR         copy DIR into the guest as /rig/data
#       --host COMMAND     run COMMAND (with bash) on the host once both lines exist; it finds
#                          RIG_LINE1 (ttyS1's host end), RIG_LINE2 (ttyUSB0's), RIG_QMP (QEMU's
#                          QMP socket) and RIG_CONSOLE (the transcript) in its environment
#                          and is ended (SIGTERM) when the guest script has ended
#       --serial TEXT      the USB adapter's serial number (default RIG0001)
#       --timeout SECONDS  the time limit of the whole run (default 60)
#       --keep DIR         keep the transcript (DIR/console.log) and the work files in DIR
#   scripts/rig.sh qmp SOCKET COMMAND-JSON...
#       sends QMP commands to a running rig's QEMU and prints the replies
#
# Exit status of run: the guest script's status; 123 when QEMU itself was killed by a signal
# (a fault of the emulator, which its unplugging path has now and then: worth a retry);
# 124 when the time limit passed; 125 when the guest crashed or QEMU failed otherwise (the
# transcript's end is printed); 126 when the rig could not be set up.
set -euo pipefail

readonly kExitEmulatorDied=123
readonly kExitTimeLimit=124
readonly kExitCrashed=125
readonly kExitSetup=126

cache="${DRAVOLIN_RIG_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/dravolin-rig}"
# Loaded in this order: each needs the ones before it.
readonly modules=(usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio pl2303 cp210x ch341)

say() { echo "rig: $*" >&2; }
die() {
    say "$*"
    exit "$kExitSetup"
}

# --- prepare: the kernel, its modules and busybox, once -------------------------------

kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        awk '/Depends: linux-image-[0-9]/ { print $2; exit }'
}

# Decompresses the kernel proper out of a vmlinuz, as the kernel's extract-vmlinux does:
# find the compressed payload by its magic bytes and try each place until an ELF comes out.
# The uncompressed kernel boots through its PVH note, about twice as fast under TCG.
extract_vmlinux() {
    local image=$1 out=$2 magic offset tool
    for magic in 'xz:\xfd7zXZ\x00' 'gzip:\x1f\x8b\x08' 'zstd:\x28\xb5\x2f\xfd'; do
        tool=${magic%%:*}
        for offset in $(LC_ALL=C grep -obUaP "${magic#*:}" "$image" | cut -d: -f1); do
            tail -c +$((offset + 1)) "$image" | "$tool" -dc >"$out" 2>/dev/null || true
            if [ "$(head -c 4 "$out" | od -An -tx1 | tr -d ' ')" = 7f454c46 ]; then
                return 0
            fi
        done
    done
    rm -f "$out"
    return 1
}

# The guest's /init: mounts what programs expect, loads the USB-serial drivers, waits for
# the USB adapter (it appears once the host end of its line is open), runs the script and
# prints its status as the last line.
write_init() {
    cat >"$1" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/rig/bin:/bin HOME=/root TMPDIR=/tmp LANG=C.UTF-8
mkdir -p /proc /sys /dev /tmp /run/lock /root
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for module in $(cat /rig/modules); do
    insmod "/lib/modules/rig/$module.ko" || echo "RIG: cannot load $module"
done
cd /root
sh /rig/guest.sh </dev/null
echo "RIG-EXIT $?"
reboot -f
INIT
    chmod 755 "$1"
}

# Two rigs starting at once (ctest -j) prepare the cache one after the other; the lock is
# held while preparing only, so that their guests run side by side.
prepare() {
    mkdir -p "$cache"
    (
        flock 9
        prepare_unlocked
    ) 9>"$cache/.lock" || exit $?
}

prepare_unlocked() {
    if [ -f "$cache/ready" ] && [ -f "$cache/$(cat "$cache/ready")/base.cpio" ]; then
        return 0
    fi
    local package
    package=$(kernel_package)
    if [ -z "$package" ]; then
        apt-get update -q >/dev/null 2>&1 || true
        package=$(kernel_package)
    fi
    [ -n "$package" ] || die "apt-cache does not know linux-image-amd64 (run apt-get update)"
    local dir="$cache/$package" download="$cache/download"
    say "preparing the guest from $package and busybox-static in $dir"
    rm -rf "$dir" "$download"
    mkdir -p "$dir/root" "$download"
    # busybox-static from scripts/setup.sh when it is there, else a copy of its own.
    local busybox=/bin/busybox wanted=("$package")
    if ! dpkg-query -W -f='${Status}' busybox-static 2>/dev/null | grep -q 'install ok installed'; then
        busybox="$download/busybox/bin/busybox"
        wanted+=(busybox-static)
    fi
    (cd "$download" && apt-get download -q "${wanted[@]}" >/dev/null 2>&1) ||
        die "apt-get download ${wanted[*]} failed"
    # Only the kernel image and the modules of the USB serial path are unpacked.
    dpkg-deb --fsys-tarfile "$download/${package}"_*.deb |
        tar -x -C "$dir" --wildcards './boot/vmlinuz-*' \
            './lib/modules/*/kernel/drivers/usb/common/*' \
            './lib/modules/*/kernel/drivers/usb/core/*' \
            './lib/modules/*/kernel/drivers/usb/host/xhci*' \
            './lib/modules/*/kernel/drivers/usb/serial/*'
    if [ "$busybox" != /bin/busybox ]; then
        dpkg-deb -x "$download"/busybox-static_*.deb "$download/busybox"
    fi
    extract_vmlinux "$dir"/boot/vmlinuz-* "$dir/vmlinux" || die "no kernel found in the vmlinuz"

    local root="$dir/root" module found
    mkdir -p "$root/bin" "$root/lib/modules/rig" "$root/rig"
    cp "$busybox" "$root/bin/busybox"
    for module in "${modules[@]}"; do
        found=$(find "$dir/lib/modules" -name "$module.ko*" | head -n 1)
        [ -n "$found" ] || die "module $module not in $package"
        case "$found" in
        *.xz) xz -dc "$found" >"$root/lib/modules/rig/$module.ko" ;;
        *.zst) zstd -qdc "$found" >"$root/lib/modules/rig/$module.ko" ;;
        *) cp "$found" "$root/lib/modules/rig/$module.ko" ;;
        esac
    done
    echo "${modules[*]}" >"$root/rig/modules"
    write_init "$root/init"
    (cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) >"$dir/base.cpio"
    rm -rf "$download" "$dir/lib" "$dir/boot" "$root"
    echo "$package" >"$cache/ready"
}

# --- run -------------------------------------------------------------------------------

# Copies a program and every shared library it loads into the staging root, at the
# paths the dynamic loader looks in.
stage_program() {
    local program=$1 root=$2 library
    [ -x "$program" ] || die "$program is not a program"
    install -D -m 755 "$program" "$root/rig/bin/$(basename "$program")"
    for library in $(ldd "$program" | grep -o '/[^ ]*'); do
        if [ ! -e "$root$library" ]; then
            install -D -m 755 "$(readlink -f "$library")" "$root$library"
        fi
    done
}

# Copies a file to its own path in the staging root, and the libraries it loads.
stage_file() {
    local file=$1 root=$2 library
    [ -f "$file" ] || die "no file $file"
    install -D -m 755 "$file" "$root$(readlink -f "$file")"
    for library in $(ldd "$file" 2>/dev/null | grep -o '/[^ ]*' || true); do
        if [ ! -e "$root$library" ]; then
            install -D -m 755 "$(readlink -f "$library")" "$root$library"
        fi
    done
}

# Waits until PATTERN (extended regex) shows in FILE, or the process PID ends, or SECONDS
# pass; the line that matched is printed.
wait_for_line() {
    local pattern=$1 file=$2 seconds=$3 pid=${4:-} deadline=$((SECONDS + $3))
    while [ "$SECONDS" -le "$deadline" ]; do
        if grep -m 1 -E -- "$pattern" "$file" 2>/dev/null; then
            return 0
        fi
        if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
            return 1
        fi
        sleep 0.05
    done
    return 1
}

stop_process_group() {
    local pid=$1
    kill -TERM -- "-$pid" 2>/dev/null || return 0
    for _ in $(seq 40); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

run() {
    local copies=() files=() data="" host="" serial=RIG0001 timeout=60 keep="" script
    while [ $# -gt 0 ]; do
        case "$1" in
        --copy) copies+=("$2"); shift 2 ;;
        --file) files+=("$2"); shift 2 ;;
        --data) data=$2; shift 2 ;;
        --host) host=$2; shift 2 ;;
        --serial) serial=$2; shift 2 ;;
        --timeout) timeout=$2; shift 2 ;;
        --keep) keep=$2; shift 2 ;;
        -*) die "unknown option $1" ;;
        *) break ;;
        esac
    done
    [ $# -eq 1 ] || die "run takes one guest script (see the top of $0)"
    script=$1
    [ -f "$script" ] || die "no guest script $script"
    command -v qemu-system-x86_64 >/dev/null || die "qemu-system-x86_64 is missing: run scripts/setup.sh"

    prepare
    local dir
    dir="$cache/$(cat "$cache/ready")"
    local work
    if [ -n "$keep" ]; then
        work=$keep
        rm -rf "$work"
        mkdir -p "$work"
    else
        work=$(mktemp -d)
        trap 'rm -rf "$work"' EXIT
    fi
    work=$(cd "$work" && pwd)

    local stage="$work/stage" program
    mkdir -p "$stage/rig/bin"
    for program in "${copies[@]}"; do
        stage_program "$program" "$stage"
    done
    for program in "${files[@]}"; do
        stage_file "$program" "$stage"
    done
    install -m 644 "$script" "$stage/rig/guest.sh"
    if [ -n "$data" ]; then
        cp -r "$data" "$stage/rig/data"
    fi
    # Two archives one after the other: the kernel unpacks both; nothing to compress for a
    # guest that lives a few seconds.
    (cd "$stage" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) >"$work/payload.cpio"
    cat "$dir/base.cpio" "$work/payload.cpio" >"$work/initrd"
    rm -rf "$stage" "$work/payload.cpio"

    local console="$work/console.log" qmp="$work/qmp.sock"
    : >"$console"
    # KVM here is nested and cannot run a stock kernel; TCG can.
    setsid qemu-system-x86_64 -nodefaults -nographic -no-reboot -accel tcg -m 512 -smp 1 \
        -kernel "$dir/vmlinux" -initrd "$work/initrd" \
        -append "console=ttyS0,115200 quiet loglevel=1 panic=-1 mitigations=off" \
        -chardev stdio,id=console,signal=off -serial chardev:console \
        -chardev pty,id=line1 -serial chardev:line1 \
        -device qemu-xhci,id=xhci \
        -chardev pty,id=line2 -device "usb-serial,id=usb1,chardev=line2,serial=$serial" \
        -qmp "unix:$qmp,server=on,wait=off" \
        -trace serial_update_parameters -trace 'usb_serial_set_*' \
        </dev/null >"$console" 2>&1 &
    local qemu=$!

    local line1 line2
    line1=$(wait_for_line 'redirected to /dev/pts/[0-9]+ \(label line1\)' "$console" 20 "$qemu" |
        grep -o '/dev/pts/[0-9]*') || true
    line2=$(wait_for_line 'redirected to /dev/pts/[0-9]+ \(label line2\)' "$console" 20 "$qemu" |
        grep -o '/dev/pts/[0-9]*') || true
    if [ -z "$line1" ] || [ -z "$line2" ]; then
        stop_process_group "$qemu"
        say "QEMU did not make its lines:"
        tail -n 20 "$console" >&2
        exit "$kExitSetup"
    fi

    local hostpid=""
    if [ -n "$host" ]; then
        RIG_LINE1=$line1 RIG_LINE2=$line2 RIG_QMP=$qmp RIG_CONSOLE=$console \
            setsid bash -c "$host" </dev/null &
        hostpid=$!
    fi

    local status ended
    ended=$(wait_for_line '^RIG-EXIT [0-9]+' "$console" "$timeout" "$qemu") || true
    if [ -n "$ended" ]; then
        status=${ended#RIG-EXIT }
        status=${status%%[!0-9]*}
    elif kill -0 "$qemu" 2>/dev/null; then
        say "the guest did not end within $timeout s; its console's end:"
        tail -n 30 "$console" >&2
        status=$kExitTimeLimit
    else
        local qemu_status=0
        wait "$qemu" || qemu_status=$?
        say "the guest crashed or QEMU failed (QEMU's status $qemu_status); the console's end:"
        tail -n 30 "$console" >&2
        grep -a -m 1 'Kernel panic' "$console" | sed 's/^/rig: /' >&2 || true
        status=$kExitCrashed
        if [ "$qemu_status" -gt 128 ]; then
            say "QEMU itself was killed by signal $((qemu_status - 128))"
            status=$kExitEmulatorDied
        fi
    fi
    stop_process_group "$qemu"
    if [ -n "$hostpid" ]; then
        stop_process_group "$hostpid"
    fi
    rm -f "$work/initrd"  # tens of megabytes of libraries; the transcript is what is kept
    exit "$status"
}

# --- qmp -------------------------------------------------------------------------------

qmp() {
    local socket=$1
    shift
    command -v socat >/dev/null || die "socat is missing: run scripts/setup.sh"
    { printf '%s\n' '{"execute":"qmp_capabilities"}' "$@"; sleep 0.2; } |
        socat -t 1 - "UNIX-CONNECT:$socket"
}

case "${1:-}" in
prepare) prepare ;;
run) shift; run "$@" ;;
qmp) shift; qmp "$@" ;;
*) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
esac
