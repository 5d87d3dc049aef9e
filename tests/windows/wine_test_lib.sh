# Sourced by the wine test scripts: the runner, a work folder removed at the end, failures
# counted and summed up, and the simulator serving wine's COM1 (LINK points at its pty).
run=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine_run.sh
samples=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools/sim/samples" && pwd)
work=$(mktemp -d)
simPid=
failures=0
trap 'stopSimulator; rm -rf "$work"' EXIT

# A Windows path for a path here (wine's Z: drive is the root).
windowsPath() {
    printf 'Z:%s' "${1//\//\\}"
}

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# startSimulator FILES [OPTION]...: the simulator $sim on $link, serving FILES; returns once it
# has made the link.
startSimulator() {
    local files=$1
    shift
    rm -f "$work/sim.out"
    "$sim" --files "$files" --link "$link" --trace --seed "${DRAVOLIN_TEST_SEED:-1}" "$@" \
        >"$work/sim.out" 2>"$work/sim.trace" &
    simPid=$!
    for _ in $(seq 200); do
        [ -s "$work/sim.out" ] && return
        sleep 0.05
    done
    echo "the simulator did not start" >&2
    exit 1
}

stopSimulator() {
    if [ -n "$simPid" ]; then
        kill "$simPid" 2>/dev/null
        wait "$simPid" 2>/dev/null
        simPid=
    fi
}

finish() {
    if [ "$failures" -gt 0 ]; then
        echo "$failures checks failed (simulator seed ${DRAVOLIN_TEST_SEED:-1}:" \
            "DRAVOLIN_TEST_SEED repeats it)"
        exit 1
    fi
    echo "all checks passed"
}
