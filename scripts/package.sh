#!/usr/bin/env bash
# Builds a Release of both programs and writes the release archive
# dist/mivet-companions-<version>-<os>-<arch>.tar.gz: bin/mivet-mcp,
# bin/mivet-browser-bridge, the native-messaging manifest template with the
# script that installs it for an extension, the README and SHA256SUMS.
# On Linux it first installs the Debian packages the build needs and fetches
# simdjson's source (scripts/setup.sh --release), so that it works alone on a
# fresh clone, and it refuses a build whose programs load any shared library
# but the C library's own (libc, libm, the loader).
# With --macos it writes dist/mivet-companions-<version>-macos-universal.tar.gz
# instead, from the macOS cross builds (presets macos-arm64 and macos-x86_64,
# set up by scripts/setup.sh --macos): the same files and bin/mivet-app-sim,
# each program one universal binary for arm64 and x86_64 Macs. It refuses
# programs that load any library but libSystem, or whose signature is broken.
# Usage: scripts/package.sh [--macos] [--reuse BUILD_DIR] [--out DIR]
#   --macos            the macOS archive, cross-built on Linux
#   --reuse BUILD_DIR  package an already built optimised build folder as it is
#                      (default: set up, configure and build build-release, without tests);
#                      with --macos, the two folders BUILD_DIR-arm64 and BUILD_DIR-x86_64
#                      (default: build-release-macos-arm64 and -x86_64, without tests)
#   --out DIR          where the archive goes (default: dist)
set -euo pipefail
cd "$(dirname "$0")/.."
build=""
out=dist
macos=false
while [ $# -gt 0 ]; do
  case $1 in
    --macos) macos=true; shift ;;
    --reuse) build=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: scripts/package.sh [--macos] [--reuse BUILD_DIR] [--out DIR]" >&2; exit 2 ;;
  esac
done

# Checks that BUILD_DIR is an optimised build and prints its project version.
optimised_build_version() {
  local build_type
  build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$1/CMakeCache.txt")
  case $build_type in
    Release | RelWithDebInfo | MinSizeRel) ;;
    *) echo "package: $1 is a ${build_type:-plain} build, not an optimised one" >&2; exit 1 ;;
  esac
  sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$1/CMakeCache.txt"
}

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/mivet-package-XXXXXX")
trap 'rm -rf "$work"' EXIT

if $macos; then
  programs=(mivet-mcp mivet-browser-bridge mivet-app-sim)
  if [ -z "$build" ]; then
    build=build-release-macos
    scripts/setup.sh --macos
    for arch in arm64 x86_64; do
      scripts/build.sh "$build-$arch" --preset "macos-$arch" -DMIVET_BUILD_TESTS=OFF
    done
  fi
  version=$(optimised_build_version "$build-arm64")
  [ "$(optimised_build_version "$build-x86_64")" = "$version" ] ||
    { echo "package: $build-arm64 and $build-x86_64 are of different versions" >&2; exit 1; }
  name=mivet-companions-$version-macos-universal
  root=$work/$name
  mkdir -p "$root/bin"
  # Not stripped: a stripped arm64 program would need signing again.
  for arch in arm64 x86_64; do
    cmake --install "$build-$arch" --prefix "$work/$arch" >"$work/install.log" ||
      { cat "$work/install.log"; exit 1; }
  done
  for program in "${programs[@]}"; do
    llvm-lipo-14 -create "$work/arm64/bin/$program" "$work/x86_64/bin/$program" \
      -output "$root/bin/$program"
  done
  if ! python3 tests/release/macos_programs_test.py installed "$root/bin" arm64 x86_64 \
    >"$work/programs.log" 2>&1; then
    cat "$work/programs.log" >&2
    echo "package: refused: the macOS programs of $build-arm64 and $build-x86_64 fail their checks" >&2
    exit 1
  fi
else
  linux=false
  [ "$(uname -s)" = Linux ] && linux=true
  if [ -z "$build" ]; then
    build=build-release
    if $linux; then scripts/setup.sh --release; fi
    scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DMIVET_BUILD_TESTS=OFF
  fi
  version=$(optimised_build_version "$build")
  os=$(uname -s | tr '[:upper:]' '[:lower:]')
  [ "$os" = darwin ] && os=macos
  name=mivet-companions-$version-$os-$(uname -m)
  cmake --install "$build" --prefix "$work/install" --strip >"$work/install.log" ||
    { cat "$work/install.log"; exit 1; }
  if $linux && ! python3 tests/release/linked_libraries_test.py --installed "$work/install" \
    >"$work/libraries.log"; then
    cat "$work/libraries.log" >&2
    echo "package: refused: the programs of $build load more than the C library" >&2
    exit 1
  fi
  root=$work/$name
  mkdir -p "$root/bin"
  cp "$work/install/bin/mivet-mcp" "$work/install/bin/mivet-browser-bridge" "$root/bin/"
fi

mkdir -p "$root/share/mivet"
cp MivetBrowserBridge/manifest/com.mivet.browser_bridge.json.in "$root/share/mivet/"
cp packaging/install-browser-host.sh README.md "$root/"
if command -v sha256sum >/dev/null; then sha256=(sha256sum); else sha256=(shasum -a 256); fi
(cd "$root" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
  while IFS= read -r file; do "${sha256[@]}" "$file"; done >SHA256SUMS)

tar -C "$work" -czf "$out/$name.tar.gz" "$name"
echo "$out/$name.tar.gz"
