#!/usr/bin/env bash
# Installs the assistant command-line clients of the client tests exactly as
# package-lock.json pins them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../../scripts/npm_ci_pinned.sh" "$here" node_modules/.bin/codex node_modules/.bin/claude
