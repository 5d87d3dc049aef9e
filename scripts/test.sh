#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. With no arguments every step runs:
#   default  RelWithDebInfo with Debian's hardening flags: every program, suite and
#            benchmark, and every test
#   asan     AddressSanitizer + UndefinedBehaviorSanitizer: the suites labelled `memory`
#   tsan     ThreadSanitizer: the suites labelled `threads`
#   fuzz     the libFuzzer targets for a few seconds each (where clang is installed)
#   package  the Debian package, made from the default build, and its checks
#   windows  the Windows cross build, its installer and zip, and its tests under wine
# Pure table tests run once, in the default step; the sanitizer steps build and run only
# the suites that exercise our own threads and memory (tests/CMakeLists.txt says which).
#   scripts/test.sh               every step
#   scripts/test.sh default       one step (or several: scripts/test.sh default package)
#   scripts/test.sh fuzz          only the fuzz targets (scripts/fuzz.sh runs one for longer)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

# The steps of a whole run, in order. A new step (another platform, another rig) is a word
# added here and a branch in run_step below.
all_steps=(default asan tsan fuzz package windows)

steps=("$@")
if [ ${#steps[@]} -eq 0 ]; then
    steps=("${all_steps[@]}")
fi

jobs=$(nproc)
timings=()

# Sets cpu to the processor seconds (user + system) used so far by the commands this script
# ran. `times` runs in this shell, not in a subshell, which would know none of them.
times_file=$(mktemp)
trap 'rm -f "$times_file"' EXIT
processor_seconds() {
    times >"$times_file"
    cpu=$(tail -n 1 "$times_file" | awk '{
        total = 0
        for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); total += t[1] * 60 + t[2] }
        printf "%d", total }')
}

# Each part of a step says how long it took, and how much processor time (on a busy machine
# the steadier measure), so that the slow ones are plain in a CI log; the table at the end
# repeats them.
timed() {
    local label=$1 started=$SECONDS cpu_started
    processor_seconds
    cpu_started=$cpu
    shift
    "$@"
    processor_seconds
    local took=$((SECONDS - started)) used=$((cpu - cpu_started))
    echo "--- $label ($*) took $took s, processor $used s"
    timings+=("$(printf '%-18s %5d s  processor %5d s' "$label" "$took" "$used")")
}

preset_step() {
    local preset=$1
    echo "=== ${preset}: configure, build, test"
    timed "$preset configure" cmake --preset "$preset"
    timed "$preset build" cmake --build --preset "$preset" -j "$jobs"
    timed "$preset test" ctest --preset "$preset" -j "$jobs"
}

run_step() {
    case "$1" in
        default | asan | tsan)
            preset_step "$1"
            ;;
        fuzz)
            echo "=== fuzz: build, run each target"
            # A few seconds each keeps a whole run within its quarter of an hour: enough to
            # catch a target that breaks on its seeds or soon after; scripts/fuzz.sh TARGET
            # runs one for minutes (DRAVOLIN_FUZZ_SECONDS sets this step's seconds).
            timed "fuzz" scripts/fuzz.sh --all "${DRAVOLIN_FUZZ_SECONDS:-5}"
            ;;
        package)
            # From build/default when the default step made it (scripts/package.sh says).
            timed "package" scripts/package.sh
            ;;
        windows)
            echo "=== windows: cross build, installer and zip, tests under wine"
            timed "windows" scripts/windows.sh
            ;;
        *)
            echo "scripts/test.sh: no step named '$1'; these exist: ${all_steps[*]}" >&2
            exit 2
            ;;
    esac
}

for step in "${steps[@]}"; do
    run_step "$step"
done

echo "=== time of each step"
printf '%s\n' "${timings[@]}"
echo "=== all steps: $SECONDS s"
