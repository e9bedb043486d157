#!/usr/bin/env bash
# Sets up the machine, checks that code macOS compiles has no Linux-only
# names outside a Linux guard, builds with gcc and with clang (AddressSanitizer,
# UndefinedBehaviorSanitizer and fuzzing coverage), runs every test in both,
# runs each fuzzer for a while, builds with clang 19 and libc++ (the standard
# library of macOS) and runs the unit tests there, cross-builds the programs and
# every unit test for macOS (arm64 and x86_64, with macOS's own headers; nothing
# of them runs here) and checks the programs and their universal archive, and
# checks formatting and clang-tidy. The builds are the presets of CMakePresets.json.
# FUZZ_SECONDS (default 45) bounds each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
tests/sdk/install.sh
tests/clients/install.sh
export MIVET_REQUIRE_CLIENTS=1 # a client test whose client is missing fails instead of skipping

jobs=$(getconf _NPROCESSORS_ONLN)
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
# Runs the tests of one preset.
run_ctest() {
  ctest --preset "$1" -j "$jobs" | tee -a "$summary" | grep -v -E '^ *[0-9]+/[0-9]+ Test'
}

echo "== Linux-only names in code that macOS compiles"
scripts/check_linux_names.sh --self-test
scripts/check_linux_names.sh

echo "== the CI workflow's README steps run lines the README gives"
while IFS= read -r command; do
  grep -qF -- "$command" README.md || { echo "not in the README: $command" >&2; exit 1; }
done < <(awk '/name: "?README/ {want = 1; next} want && /run:/ {sub(/^ *run: /, ""); print; want = 0}' \
  .github/workflows/ci.yml)

echo "== gcc build, warnings as errors (its tests also make and check the release archive)"
scripts/build.sh build --preset gcc
run_ctest gcc

# Root's run above skips some tests and takes other paths in others; these
# run once more as users run them. The user only reads and runs the build;
# ctest keeps its log in a folder of the user's.
if [ "$(id -u)" -eq 0 ]; then
  echo "== gcc build: the tests whose checks depend on who runs them, as an ordinary user"
  unprivileged=mivet-tests
  id "$unprivileged" >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin "$unprivileged"
  chmod -R a+rX,go-w build
  # A checkout under a private folder (root's home): the user may pass through
  # those folders, without listing them, for this run only.
  closed=()
  folder=$PWD
  while [ "$folder" != / ]; do
    [ -n "$(find "$folder" -maxdepth 0 ! -perm -o+x)" ] && closed+=("$folder")
    folder=$(dirname "$folder")
  done
  [ ${#closed[@]} -gt 0 ] && chmod o+x "${closed[@]}"
  reopen() { [ ${#closed[@]} -eq 0 ] || chmod o-x "${closed[@]}"; }
  trap 'reopen; rm -f "$summary"' EXIT
  runuser -u "$unprivileged" -- test -x build/mcp/mivet-mcp ||
    { echo "$unprivileged cannot reach $PWD/build" >&2; exit 1; }
  ctest_log=$(mktemp -d /tmp/mivet-ctest-XXXXXX)
  chown "$unprivileged" "$ctest_log"
  echo "subdirs(\"$PWD/build\")" >"$ctest_log/CTestTestfile.cmake"
  runuser -u "$unprivileged" -- ctest --test-dir "$ctest_log" -L unprivileged -j "$jobs" \
    --output-on-failure | tee -a "$summary" | grep -v -E '^ *[0-9]+/[0-9]+ Test'
  rm -rf "$ctest_log"
  reopen
  closed=()
fi

echo "== clang build with AddressSanitizer, UndefinedBehaviorSanitizer and fuzzers"
scripts/build.sh build-clang --preset clang
run_ctest clang
scripts/fuzz.sh build-clang "${FUZZ_SECONDS:-45}"

echo "== clang 19 and libc++ 19, the standard library of macOS: unit tests"
scripts/build.sh build-libcxx --preset libcxx
run_ctest libcxx

echo "== macOS cross builds, arm64 and x86_64: programs and unit tests compiled and linked, not run"
macos_start=$SECONDS
for arch in arm64 x86_64; do
  scripts/build.sh "build-macos-$arch" --preset "macos-$arch"
  python3 tests/release/macos_programs_test.py build "build-macos-$arch" "$arch"
done
echo "== the macOS archive: universal programs, unpacked and checked"
python3 tests/release/macos_programs_test.py archive "$PWD" "$PWD/build-macos"
echo "macOS cross builds and archive: $((SECONDS - macos_start)) s"

scripts/check.sh build

passed=$(grep -E 'tests passed' "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+)/\2 \1/' |
  awk '{total += $1; failed += $2} END {print total - failed}')
failed=$(grep -E 'tests passed' "$summary" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+)/\1/' |
  awk '{failed += $1} END {print failed}')
echo "tests: ${passed} passed, ${failed} failed"
