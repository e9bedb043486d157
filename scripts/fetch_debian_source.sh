#!/usr/bin/env bash
# Fetches a Debian source package, at the version of the given binary package
# that apt has, and unpacks it into .deps/SOURCE so that the build can compile
# it into the programs (simdjson; utf8proc for the macOS builds). apt runs
# with a private sources list (deb-src twins of this machine's own entries)
# and a private lists folder, so the machine's apt configuration and package
# lists stay as they are. Does nothing when .deps/SOURCE already holds that version.
# Usage: scripts/fetch_debian_source.sh SOURCE BINARY_PACKAGE
#   e.g. scripts/fetch_debian_source.sh simdjson libsimdjson-dev
set -euo pipefail
source=${1:?usage: scripts/fetch_debian_source.sh SOURCE BINARY_PACKAGE}
binary=${2:?usage: scripts/fetch_debian_source.sh SOURCE BINARY_PACKAGE}
cd "$(dirname "$0")/.."
deps=$PWD/.deps
target=$deps/$source
stamp=$target/.debian-version

version=$(dpkg-query -W -f='${Version}' "$binary" 2>/dev/null || true)
[ -n "$version" ] || version=$(apt-cache policy "$binary" | awk '/Candidate:/ {print $2}')
if [ -z "$version" ] || [ "$version" = "(none)" ]; then
  echo "fetch_debian_source: apt knows no $binary package; run apt-get update" >&2
  exit 1
fi
version=${version%+b[0-9]*}  # a binary-only rebuild has the source of the version before it
if [ "$(cat "$stamp" 2>/dev/null)" = "$version" ]; then
  exit 0
fi

mkdir -p "$deps"
work=$(mktemp -d "$deps/fetch-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources.list.d" "$work/lists/partial" "$work/download"
: >"$work/sources.list"

# deb-src entries for every deb entry of this machine, in both source formats.
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$file" ] && sed -nE 's/^[[:space:]]*deb[[:space:]]+/deb-src /p' "$file" >>"$work/sources.list"
done
for file in /etc/apt/sources.list.d/*.sources; do
  [ -f "$file" ] && sed -E 's/^Types:.*/Types: deb-src/' "$file" >"$work/sources.list.d/$(basename "$file")"
done

# As root, apt downloads as its own unprivileged user, which must reach these folders.
if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then
  chmod 755 "$work"
  chown -R _apt "$work/lists" "$work/download"
fi
apt_private=(-q -o "Dir::Etc::SourceList=$work/sources.list"
  -o "Dir::Etc::SourceParts=$work/sources.list.d" -o "Dir::State::Lists=$work/lists")
echo "== fetching the $source $version source package into .deps/$source"
apt-get "${apt_private[@]}" update >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
(cd "$work/download" && apt-get "${apt_private[@]}" source --download-only "$source=$version") \
  >>"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }

dpkg-source -x "$work/download/${source}_${version#*:}.dsc" "$work/$source" >>"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; exit 1; }
echo "$version" >"$work/$source/.debian-version"
rm -rf "$target"
mv "$work/$source" "$target"
