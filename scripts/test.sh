#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. With no arguments every preset runs:
# default (RelWithDebInfo), asan (AddressSanitizer + UndefinedBehaviorSanitizer) and tsan
# (ThreadSanitizer).
#   scripts/test.sh            every preset
#   scripts/test.sh default    one preset
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
    presets=(default asan tsan)
fi

jobs=$(nproc)
for preset in "${presets[@]}"; do
    echo "=== ${preset}: configure, build, test"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done
