#!/usr/bin/env bash
# Static checks: formatting against .clang-format and the curated clang-tidy
# checks, on the project's own sources. Usage: scripts/check.sh BUILD_DIR
# Runs under macOS's bash 3.2 too; takes the versioned tool names Debian
# installs when they are there, the plain names otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1

# The first of the given commands that exists.
first_command() {
  for name in "$@"; do
    if command -v "$name" >/dev/null; then
      echo "$name"
      return 0
    fi
  done
  echo "check.sh: none of $* is installed" >&2
  return 1
}

sources=()
while IFS= read -r file; do sources+=("$file"); done < <(git ls-files '*.cpp' '*.h')
units=()
while IFS= read -r file; do units+=("$file"); done < <(
  git ls-files 'common/*.cpp' 'mcp/*.cpp' 'MivetBrowserBridge/*.cpp' 'app_sim/*.cpp')

echo "== string reads of parsed elements"
# A number that no double holds is kept as a string element marked with 0xFF,
# so only the reader (common/json_reader, with its stand-ins) reads element
# strings directly; all other code goes through stringContent or jsonString.
string_reads='get_string|get_c_str|get_u8string|is_string|get<(std::string_view|const char ?\*)>'
for sample in 'v.get_string()' 'v.get<std::string_view>()' 'v.get<const char*>()' 'v.is_string()'; do
  printf '%s\n' "$sample" | grep -Eq "$string_reads" ||
    { echo "check.sh: the string-read rule misses $sample" >&2; exit 1; }
done
readers=()
while IFS= read -r file; do readers+=("$file"); done < <(
  git ls-files 'common/*' 'mcp/*' 'MivetBrowserBridge/*' 'app_sim/*' | grep -E '\.(cpp|h)$' |
    grep -Ev '^common/json_(reader|stand_ins)\.')
if grep -nE "$string_reads" "${readers[@]}"; then
  echo "check.sh: read parsed strings through stringContent or jsonString (common/json_reader.h)" >&2
  exit 1
fi
echo "no direct string reads in ${#readers[@]} files"
echo "== clang-format"
"$(first_command clang-format-14 clang-format)" --dry-run --Werror "${sources[@]}"
echo "== clang-tidy"
run_clang_tidy=$(first_command run-clang-tidy-14 run-clang-tidy)
"$run_clang_tidy" -quiet -p "$build" -j "$(getconf _NPROCESSORS_ONLN)" "${units[@]}" \
  >"$build/clang-tidy.log" 2>&1 ||
  { grep -E 'error:|warning:' "$build/clang-tidy.log" | sort -u | head -n 50; exit 1; }
echo "clang-tidy: no findings in ${#units[@]} files"
