#!/usr/bin/env bash
# Installs the assistant command-line clients of the client tests exactly as
# package-lock.json pins them. Does nothing when node_modules was installed
# from the same lock.
set -euo pipefail
cd "$(dirname "$0")"

stamp=node_modules/.installed-lock.sha256
if command -v sha256sum >/dev/null; then
  wanted=$(sha256sum package-lock.json | cut -d' ' -f1)
else
  wanted=$(shasum -a 256 package-lock.json | cut -d' ' -f1)
fi
if [[ -f $stamp && $(cat "$stamp") == "$wanted" && -x node_modules/.bin/codex && -x node_modules/.bin/claude ]]; then
  echo "tests/clients: node_modules is current"
  exit 0
fi
npm ci --no-audit --no-fund
echo "$wanted" > "$stamp"
