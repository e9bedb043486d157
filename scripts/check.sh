#!/usr/bin/env bash
# Static checks: formatting against .clang-format and the curated clang-tidy
# checks, on the project's own sources. Usage: scripts/check.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "== clang-format"
clang-format --dry-run --Werror "${sources[@]}"
echo "== clang-tidy"
mapfile -t units < <(git ls-files 'common/*.cpp' 'mcp/*.cpp' 'MivetBrowserBridge/*.cpp' 'app_sim/*.cpp')
run-clang-tidy-14 -quiet -p "$build" -j "$(nproc)" "${units[@]}" >"$build/clang-tidy.log" 2>&1 ||
  { grep -E 'error:|warning:' "$build/clang-tidy.log" | sort -u | head -n 50; exit 1; }
echo "clang-tidy: no findings in ${#units[@]} files"
