# In the rig's guest (busybox sh): the USB adapter is removed (QMP device_del) while the
# window receives a large file over it. The window must end the exchange with "has gone",
# leave no file and no lock behind and let go of the line, so that the adapter plugged in
# again comes back as ttyUSB0 and the next receive works (tests/rig/window_cases.cpp).

. /rig/data/rig_lib.sh

wait_until 10 -e /dev/ttyUSB0 || fail "no /dev/ttyUSB0"
QT_QPA_PLATFORM=offscreen rig-window-cases </dev/null >/tmp/window 2>&1 ||
    fail "the window's cases: $(grep -A3 'Failure\|FAILED' /tmp/window)"
grep '^\[  ' /tmp/window
[ -z "$(ls /run/lock/LCK..* 2>/dev/null)" ] || fail "a lock file was left behind by the window"

guest_done
