#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. With no arguments both presets run:
# default (RelWithDebInfo) and asan (AddressSanitizer + UndefinedBehaviorSanitizer).
#   scripts/test.sh            both presets
#   scripts/test.sh default    one preset
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
    presets=(default asan)
fi

jobs=$(nproc)
for preset in "${presets[@]}"; do
    echo "=== ${preset}: configure, build, test"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

# The whole suite also builds the Debian package and runs its checks (lintian).
if [ $# -eq 0 ]; then
    scripts/package.sh
fi
