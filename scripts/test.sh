#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. With no arguments every preset runs:
# default (RelWithDebInfo), asan (AddressSanitizer + UndefinedBehaviorSanitizer) and tsan
# (ThreadSanitizer), then the fuzz targets for a few seconds each (where clang is installed),
# then the Windows build and its tests under wine (scripts/windows.sh).
#   scripts/test.sh            every preset, the fuzz targets and the Windows build
#   scripts/test.sh default    one preset
#   scripts/test.sh fuzz       only the fuzz targets (scripts/fuzz.sh runs one for longer)
#   scripts/test.sh windows    only the Windows build and its tests under wine
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
    presets=(default asan tsan)
    presets+=(fuzz windows)
fi

# Each step says how long it took, so that the slow ones are plain in a CI log.
step() {
    local started=$SECONDS
    "$@"
    echo "--- $* took $((SECONDS - started)) s"
}

jobs=$(nproc)
for preset in "${presets[@]}"; do
    if [ "$preset" = fuzz ]; then
        echo "=== fuzz: build, run each target"
        step scripts/fuzz.sh --all "${DRAVOLIN_FUZZ_SECONDS:-10}"
        continue
    fi
    if [ "$preset" = windows ]; then
        echo "=== windows: cross build, installer and zip, tests under wine"
        step scripts/windows.sh
        continue
    fi
    echo "=== ${preset}: configure, build, test"
    cmake --preset "$preset"
    step cmake --build --preset "$preset" -j "$jobs"
    step ctest --preset "$preset" -j "$jobs"
done

# The whole suite also builds the Debian package and runs its checks (lintian).
if [ $# -eq 0 ]; then
    step scripts/package.sh
fi
echo "=== all steps: $SECONDS s"
