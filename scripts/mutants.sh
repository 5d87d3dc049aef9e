#!/usr/bin/env bash
# Mutation testing: how many small faults in src/ the suites catch. Not part of CI (slow).
#   scripts/mutants.sh --count 150 --seed 1     a seeded sample spread over src/
#   scripts/mutants.sh --list --count 20         only print the sample
#   scripts/mutants.sh --help                    every option
# The mutants are applied one at a time to a scratch copy (build/mutants/tree), never to
# the working tree; the report is also written to build/mutants/report.tsv.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutants.py "$@"
