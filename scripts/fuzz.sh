#!/usr/bin/env bash
# Runs every fuzzer of a -DMIVET_FUZZ=ON build for a bounded time, starting
# from the seed corpora, and fails on any crash, leak or sanitizer report.
# Usage: scripts/fuzz.sh BUILD_DIR [SECONDS_EACH]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=${2:-60}
if ! ls "$build"/fuzz/*_fuzzer >/dev/null 2>&1; then
  echo "fuzz.sh: no fuzzers in $build/fuzz; they are built on Linux with clang and -DMIVET_FUZZ=ON" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for fuzzer in "$build"/fuzz/*_fuzzer; do
  name=$(basename "$fuzzer" _fuzzer)
  mkdir -p "$work/$name"
  echo "== fuzzing $name for ${seconds}s"
  if ! "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
       -artifact_prefix="$work/" "$work/$name" "fuzz/corpus/$name" >"$work/$name.log" 2>&1; then
    tail -n 60 "$work/$name.log"
    echo "fuzzer $name failed; the input that broke it:"
    ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* 2>/dev/null || true
    exit 1
  fi
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|cov:' "$work/$name.log" | tail -n 3
done
