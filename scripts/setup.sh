#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need,
# fetches the simdjson and utf8proc sources that the builds compile into the
# programs, and installs the pinned macOS cross toolchain (cmake/macos).
# Safe to run again: it only asks apt and npm for what is missing. Run as root (or with sudo).
# Usage: scripts/setup.sh [--release | --macos]
#   --release  only what building and packaging the Linux programs and running
#              the demo need (scripts/run.sh, scripts/package.sh)
#   --macos    only what the macOS cross builds and their archive need
#              (scripts/package.sh --macos)
set -euo pipefail
mode=${1:-all}
case $mode in
  all | --release | --macos) ;;
  *) echo "usage: scripts/setup.sh [--release | --macos]" >&2; exit 2 ;;
esac

# dpkg-dev unpacks the Debian source packages; binutils' readelf checks the
# release's libraries, llvm-14's tools the macOS programs (llvm-otool, llvm-lipo).
packages=(cmake ninja-build g++ binutils pkg-config dpkg-dev libtomlplusplus-dev libutf8proc-dev)
command -v python3 >/dev/null || packages+=(python3) # demo, release checks
if [ "$mode" = all ]; then
  packages+=(
    clang libgtest-dev libgmock-dev libbenchmark-dev
    clang-format clang-tidy libclang-rt-14-dev
    clang-19 libc++-19-dev libc++abi-19-dev unifdef
    chromium
  )
  # chromium runs headless in the browser-bridge client test.
fi
if [ "$mode" != --release ]; then
  packages+=(llvm-14)
  # Node.js (for the MCP SDK and assistant client tests, and npm for the macOS
  # toolchain) may come with its own npm from outside Debian; only ask apt for
  # it when the commands are missing.
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

here=$(dirname "$0")
"$here/fetch_debian_source.sh" simdjson libsimdjson-dev
if [ "$mode" != --release ]; then
  "$here/fetch_debian_source.sh" utf8proc libutf8proc-dev
  "$here/../cmake/macos/install.sh"
fi
