#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
# Usage: scripts/build.sh BUILD_DIR [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
# simdjson compiled into the programs when scripts/setup.sh has fetched its source.
simdjson=()
[ -f .deps/simdjson/singleheader/simdjson.cpp ] && simdjson=(-DMIVET_SIMDJSON_SOURCE_DIR="$PWD/.deps/simdjson")
cmake -S . -B "$dir" -G Ninja ${simdjson[@]+"${simdjson[@]}"} "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir"
