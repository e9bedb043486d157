#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need,
# and fetches the simdjson source that the build compiles into the programs.
# Safe to run again: it only asks apt for what is missing. Run as root (or with sudo).
# Usage: scripts/setup.sh [--release]
#   --release  only what building and packaging the programs needs (scripts/package.sh)
set -euo pipefail

# dpkg-dev unpacks simdjson's source; binutils' readelf checks the release's libraries.
packages=(cmake ninja-build g++ binutils pkg-config dpkg-dev libtomlplusplus-dev libutf8proc-dev)
command -v python3 >/dev/null || packages+=(python3) # demo, release checks
if [ "${1:-}" != --release ]; then
  packages+=(
    clang libgtest-dev libgmock-dev libbenchmark-dev
    clang-format clang-tidy libclang-rt-14-dev
    clang-19 libc++-19-dev libc++abi-19-dev unifdef
    chromium
  )
  # chromium runs headless in the browser-bridge client test. Node.js (for the
  # MCP SDK and assistant client tests) may come with its own npm from outside
  # Debian; only ask apt for it when the commands are missing.
  command -v node >/dev/null || packages+=(nodejs)
  command -v npm >/dev/null || packages+=(npm)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

"$(dirname "$0")/fetch_simdjson.sh"
