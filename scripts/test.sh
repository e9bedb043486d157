#!/usr/bin/env bash
# Sets up the machine, builds every flavour and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
echo "== gcc build, warnings as errors"
scripts/build.sh build -DMIVET_WARNINGS_AS_ERRORS=ON
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DMIVET_SANITIZE=ON -DMIVET_WARNINGS_AS_ERRORS=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
