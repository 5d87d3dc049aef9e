# The measuring part of bench/paced_get.sh and bench/paced_get_wine.sh, sourced by both from
# the repository's top. The caller sets runs, baud, sim (the simulator) and simulatorOptions
# (more of its options), defines timedCliGet (runs `python3 -c "$timer" CLI ... get LARGEST
# -o out.tiv` in the current folder against the simulator's port, $work/path), then calls
# measurePacedGet.
work=$(mktemp -d)
simPid=
cleanup() {
    if [ -n "$simPid" ]; then
        kill "$simPid" 2>/dev/null || true
        wait "$simPid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
# The runs log their exchanges here, not in the operator's own transfer log.
export XDG_STATE_HOME="$work/state"

mkdir "$work/device" "$work/pc"
python3 - "$work/device/LARGEST.tiv" <<'EOF'
import sys
data = bytes((i * 7 + i // 256 + 3) & 0xFF for i in range(9999))
open(sys.argv[1], "wb").write(b"TB01" + b"9999" + data)
EOF

startSimulator() {
    "$sim" --files "$work/device" "${simulatorOptions[@]}" --trace "$@" >"$work/path" 2>"$work/trace" &
    simPid=$!
    for _ in $(seq 100); do
        [ -s "$work/path" ] && return
        sleep 0.05
    done
    echo "the simulator did not start" >&2
    exit 1
}

stopSimulator() {
    kill "$simPid"
    wait "$simPid" 2>/dev/null || true
    simPid=
}

# Bytes on the line in one get: every hex pair of the trace's PC>DEV and DEV>PC lines.
lineBytesOfOneGet() {
    awk '/^(PC>DEV|DEV>PC)/ { n += NF - 1 } END { print n }' "$work/trace"
}

# Prints "user system elapsed" in seconds of one get (dravolin-cli alone, from its resource
# usage) and checks that the file arrived whole.
timedGet() {
    rm -f "$work/pc/out.tiv" "$work/cli.trace"
    (cd "$work/pc" && timedCliGet)
    cmp -s "$work/pc/out.tiv" "$work/device/LARGEST.tiv" || {
        echo "the fetched file differs" >&2
        exit 1
    }
}
timer='
import resource, subprocess, sys, time
before = resource.getrusage(resource.RUSAGE_CHILDREN)
start = time.monotonic()
subprocess.run(sys.argv[1:], stderr=subprocess.DEVNULL, check=True)
elapsed = time.monotonic() - start
after = resource.getrusage(resource.RUSAGE_CHILDREN)
user = after.ru_utime - before.ru_utime
system = after.ru_stime - before.ru_stime
print(f"{user:.4f} {system:.4f} {elapsed:.4f}")
'

# The unpaced runs, then the paced ones. The unpaced get's elapsed time is what a get costs
# apart from the line (start-up, two openings, saving the file), taken off the paced time in
# the last column.
measurePacedGet() {
    echo "unpaced, $runs runs"
    startSimulator
    timedGet >/dev/null  # one run to count the bytes on the line
    lineBytes=$(lineBytesOfOneGet)
    printf '%8s %8s %8s %8s %10s\n' user system cpu elapsed "MB/s"
    fixed=0
    for _ in $(seq "$runs"); do
        result=$(timedGet)
        read -r user system elapsed <<<"$result"
        fixed=$(awk -v f="$fixed" -v e="$elapsed" -v n="$runs" 'BEGIN { print f + e / n }')
        awk -v u="$user" -v s="$system" -v e="$elapsed" -v b="$lineBytes" \
            'BEGIN { printf "%8.3f %8.3f %8.3f %8.3f %10.2f\n", u, s, u + s, e, (e > 0 ? b / e / 1e6 : 0) }'
    done
    stopSimulator

    lineTime=$(awk -v b="$lineBytes" -v baud="$baud" 'BEGIN { printf "%.3f", b * 11 / baud }')
    echo "paced at $baud 8E1, $runs runs; $lineBytes bytes on the line take ${lineTime} s"
    startSimulator --pace "$baud,E,1"
    printf '%8s %8s %8s %8s %10s %18s\n' user system cpu elapsed "x line" "x line, less fixed"
    for _ in $(seq "$runs"); do
        result=$(timedGet)
        read -r user system elapsed <<<"$result"
        awk -v u="$user" -v s="$system" -v e="$elapsed" -v l="$lineTime" -v f="$fixed" \
            'BEGIN { printf "%8.3f %8.3f %8.3f %8.3f %10.3f %18.3f\n", u, s, u + s, e, e / l, (e - f) / l }'
    done
    stopSimulator
}
