#!/usr/bin/env bash
# The whole `dravolin-cli get` of a 9999-byte file against the simulated programmer, as an
# operator runs it: processor time (user + system) of dravolin-cli alone, elapsed time, and
# the line time of the bytes exchanged (from the simulator's trace; 11 bits a byte at 8E1).
#   bench/paced_get.sh [BUILD_DIR] [RUNS]      paced at 57600 8E1, then unpaced
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/default}
runs=${2:-5}
cli=$(realpath "$build/src/cli/dravolin-cli")
sim=$(realpath "$build/tools/sim/voska-sim")
baud=57600

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

mkdir "$work/device" "$work/pc"
python3 - "$work/device/LARGEST.tiv" <<'EOF'
import sys
data = bytes((i * 7 + i // 256 + 3) & 0xFF for i in range(9999))
open(sys.argv[1], "wb").write(b"TB01" + b"9999" + data)
EOF

startSimulator() {
    "$sim" --files "$work/device" --trace "$@" >"$work/path" 2>"$work/trace" &
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

# Prints "user system elapsed" of one get and checks the file arrived whole.
timedGet() {
    rm -f "$work/pc/out.tiv"
    (cd "$work/pc" && /usr/bin/time -f '%U %S %e' -o "$work/time" \
        "$cli" --port "1=$(cat "$work/path")" --baud "$baud" --parity E \
        get LARGEST -o out.tiv 2>/dev/null)
    cmp -s "$work/pc/out.tiv" "$work/device/LARGEST.tiv" || {
        echo "the fetched file differs" >&2
        exit 1
    }
    tail -n 1 "$work/time"
}

echo "paced at $baud 8E1, $runs runs"
startSimulator --pace "$baud,E,1"
timedGet >/dev/null  # one run to count the bytes on the line
lineBytes=$(lineBytesOfOneGet)
lineTime=$(awk -v b="$lineBytes" -v baud="$baud" 'BEGIN { printf "%.3f", b * 11 / baud }')
echo "bytes on the line: $lineBytes, line time ${lineTime} s"
printf '%8s %8s %8s %8s %10s\n' user system cpu elapsed "x line"
for _ in $(seq "$runs"); do
    read -r user system elapsed < <(timedGet)
    awk -v u="$user" -v s="$system" -v e="$elapsed" -v l="$lineTime" \
        'BEGIN { printf "%8.2f %8.2f %8.2f %8.2f %10.3f\n", u, s, u + s, e, e / l }'
done
stopSimulator

echo "unpaced, $runs runs"
startSimulator
printf '%8s %8s %8s %8s %10s\n' user system cpu elapsed "MB/s"
for _ in $(seq "$runs"); do
    read -r user system elapsed < <(timedGet)
    awk -v u="$user" -v s="$system" -v e="$elapsed" -v b="$lineBytes" \
        'BEGIN { printf "%8.2f %8.2f %8.2f %8.2f %10.2f\n", u, s, u + s, e, (e > 0 ? b / e / 1e6 : 0) }'
done
stopSimulator
