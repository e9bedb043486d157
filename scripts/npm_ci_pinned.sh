#!/usr/bin/env bash
# Installs a test folder's npm packages exactly as its package-lock.json pins
# them. Does nothing when node_modules was installed from the same lock and
# every given path inside the folder exists.
# Usage: scripts/npm_ci_pinned.sh FOLDER REQUIRED_PATH...
set -euo pipefail
cd "$1"
shift

stamp=node_modules/.installed-lock.sha256
if command -v sha256sum >/dev/null; then
  wanted=$(sha256sum package-lock.json | cut -d' ' -f1)
else
  wanted=$(shasum -a 256 package-lock.json | cut -d' ' -f1)
fi
current=true
[[ -f $stamp && $(cat "$stamp") == "$wanted" ]] || current=false
for required in "$@"; do
  [[ -e $required ]] || current=false
done
if $current; then
  echo "$(basename "$PWD"): node_modules is current"
  exit 0
fi
npm ci --no-audit --no-fund
echo "$wanted" > "$stamp"
