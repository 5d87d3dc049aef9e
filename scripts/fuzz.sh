#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (the fuzz preset) and runs them.
#   scripts/fuzz.sh --list              the targets
#   scripts/fuzz.sh TARGET [SECONDS]    run one target, 300 seconds unless told
#   scripts/fuzz.sh --all SECONDS       run every target, as many at once as there are
#                                       processors (scripts/test.sh does this)
# Each run starts from the seed corpus in fuzz/corpus/TARGET and keeps what it learns in
# build/fuzz/corpus/TARGET (outside the repository). An input that breaks a property or
# crashes is saved under build/fuzz/findings/TARGET/; run the target on that file to see
# it again, and keep it as a seed or a unit test once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(decimal_field replies tag_data_file names engine cli_options lock_file marked_input
         sim_arguments sim_frames)

usage() {
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
}

# Inputs as long as the largest reply or file (9999 data bytes and the frame around them).
max_len_of() {
    case "$1" in
        replies | tag_data_file | sim_frames) echo 10100 ;;
        *) echo 4096 ;;
    esac
}

build() {
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz -j "$(nproc)"
}

run_target() {
    local target=$1 seconds=$2
    local work=build/fuzz/corpus/$target findings=build/fuzz/findings/$target
    mkdir -p "$work" "$findings"
    echo "--- ${target}: ${seconds} s"
    local log scratch status=0
    log=$(mktemp)
    # The files a target makes go to a memory file system where there is one, and are
    # removed even when the target stopped on a finding.
    scratch=$(mktemp -d -p "$([ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")
    # One process, no -jobs: the machines that run this are small and shared.
    TMPDIR=$scratch build/fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" \
        -max_len="$(max_len_of "$target")" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    rm -rf "$scratch"
    if [ "$status" -eq 0 ]; then
        grep -E '^#[0-9]+[[:space:]]+DONE' "$log" || tail -n 3 "$log"
        rm -f "$log"
        return 0
    fi
    tail -n 40 "$log"
    echo "${target}: FAILED; the input is in ${findings}/, the whole log in ${log}" >&2
    return 1
}

if [ $# -eq 0 ]; then
    usage >&2
    exit 2
fi
case "$1" in
    --list)
        printf '%s\n' "${targets[@]}"
        exit 0
        ;;
    -h | --help)
        usage
        exit 0
        ;;
esac

if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz: clang++ is not installed (scripts/setup.sh installs it); nothing fuzzed" >&2
    exit 0
fi

# Every target for SECONDS each, as many at once as there are processors (each target is
# one process), their reports printed in the order of the list.
run_all() {
    local seconds=$1 width reports target passed=0 failed=0
    width=${DRAVOLIN_FUZZ_JOBS:-$(nproc)}
    reports=$(mktemp -d)
    for target in "${targets[@]}"; do
        while [ "$(jobs -rp | wc -l)" -ge "$width" ]; do
            wait -n || true
        done
        (
            status=0
            run_target "$target" "$seconds" >"$reports/$target" 2>&1 || status=$?
            echo "$status" >"$reports/$target.status"
        ) &
    done
    wait
    for target in "${targets[@]}"; do
        cat "$reports/$target"
        if [ "$(cat "$reports/$target.status")" -eq 0 ]; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
        fi
    done
    rm -rf "$reports"
    echo "fuzz: ${passed} passed, ${failed} failed"
    [ "$failed" -eq 0 ]
}

if [ "$1" = --all ]; then
    seconds=${2:?--all needs a number of seconds}
    build
    run_all "$seconds"
    exit
fi

target=$1
seconds=${2:-300}
if [[ ! " ${targets[*]} " == *" ${target} "* ]]; then
    echo "fuzz: no target named '${target}'; these exist:" >&2
    printf '  %s\n' "${targets[@]}" >&2
    exit 2
fi
build
run_target "$target" "$seconds"
