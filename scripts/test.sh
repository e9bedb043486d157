#!/usr/bin/env bash
# Sets up the machine, builds with gcc and with clang (AddressSanitizer,
# UndefinedBehaviorSanitizer and fuzzing coverage), runs every test in both,
# runs each fuzzer for a while and checks formatting and clang-tidy.
# FUZZ_SECONDS (default 45) bounds each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
tests/sdk/install.sh

jobs=$(nproc)
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
run_ctest() {
  ctest --test-dir "$1" --output-on-failure -j "$jobs" | tee -a "$summary" | grep -v -E '^ *[0-9]+/[0-9]+ Test'
}

echo "== gcc build, warnings as errors"
scripts/build.sh build -DMIVET_WARNINGS_AS_ERRORS=ON
run_ctest build

echo "== clang build with AddressSanitizer, UndefinedBehaviorSanitizer and fuzzers"
CC=clang CXX=clang++ scripts/build.sh build-clang -DCMAKE_BUILD_TYPE=Debug \
  -DMIVET_SANITIZE=ON -DMIVET_FUZZ=ON -DMIVET_WARNINGS_AS_ERRORS=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_ctest build-clang
scripts/fuzz.sh build-clang "${FUZZ_SECONDS:-45}"

scripts/check.sh build

passed=$(grep -E 'tests passed' "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+)/\2 \1/' |
  awk '{total += $1; failed += $2} END {print total - failed}')
failed=$(grep -E 'tests passed' "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+)/\1/' |
  awk '{failed += $1} END {print failed}')
echo "tests: ${passed} passed, ${failed} failed"
