# Sourced by rig_test.sh on the host and, from /rig/data, by the guest scripts (busybox sh):
# failures counted, a wait for a condition, the guest's last line.
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Waits up to $1 seconds until the test in the other arguments holds.
wait_until() {
    seconds=$1
    shift
    for _ in $(seq $((seconds * 50))); do
        test "$@" && return 0
        usleep 20000
    done
    return 1
}

# The guest script's end: the line the host looks for, and its status.
guest_done() {
    echo "RIG-GUEST-DONE failures=$failures"
    [ "$failures" = 0 ]
}
