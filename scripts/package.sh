#!/usr/bin/env bash
# Builds a Release of both programs and writes the release archive
# dist/mivet-companions-<version>-<os>-<arch>.tar.gz: bin/mivet-mcp,
# bin/mivet-browser-bridge, the native-messaging manifest template with the
# script that installs it for an extension, the README and SHA256SUMS.
# On Linux it first installs the Debian packages the build needs and fetches
# simdjson's source (scripts/setup.sh --release), so that it works alone on a
# fresh clone, and it refuses a build whose programs load any shared library
# but the C library's own (libc, libm, the loader).
# Usage: scripts/package.sh [--reuse BUILD_DIR] [--out DIR]
#   --reuse BUILD_DIR  package an already built optimised build folder as it is
#                      (default: set up, configure and build build-release, without tests)
#   --out DIR          where the archive goes (default: dist)
set -euo pipefail
cd "$(dirname "$0")/.."
build=""
out=dist
while [ $# -gt 0 ]; do
  case $1 in
    --reuse) build=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: scripts/package.sh [--reuse BUILD_DIR] [--out DIR]" >&2; exit 2 ;;
  esac
done

linux=false
[ "$(uname -s)" = Linux ] && linux=true
if [ -z "$build" ]; then
  build=build-release
  if $linux; then scripts/setup.sh --release; fi
  scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DMIVET_BUILD_TESTS=OFF
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
case $build_type in
  Release | RelWithDebInfo | MinSizeRel) ;;
  *) echo "package: $build is a ${build_type:-plain} build, not an optimised one" >&2; exit 1 ;;
esac
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
os=$(uname -s | tr '[:upper:]' '[:lower:]')
[ "$os" = darwin ] && os=macos
name=mivet-companions-$version-$os-$(uname -m)

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/mivet-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/install" --strip >"$work/install.log" ||
  { cat "$work/install.log"; exit 1; }
if $linux && ! python3 tests/release/linked_libraries_test.py --installed "$work/install" \
  >"$work/libraries.log"; then
  cat "$work/libraries.log" >&2
  echo "package: refused: the programs of $build load more than the C library" >&2
  exit 1
fi

root=$work/$name
mkdir -p "$root/bin" "$root/share/mivet"
cp "$work/install/bin/mivet-mcp" "$work/install/bin/mivet-browser-bridge" "$root/bin/"
cp MivetBrowserBridge/manifest/com.mivet.browser_bridge.json.in "$root/share/mivet/"
cp packaging/install-browser-host.sh README.md "$root/"
if command -v sha256sum >/dev/null; then sha256=(sha256sum); else sha256=(shasum -a 256); fi
(cd "$root" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
  while IFS= read -r file; do "${sha256[@]}" "$file"; done >SHA256SUMS)

tar -C "$work" -czf "$out/$name.tar.gz" "$name"
echo "$out/$name.tar.gz"
