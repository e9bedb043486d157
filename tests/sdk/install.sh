#!/usr/bin/env bash
# Installs the MCP SDK client test's packages exactly as package-lock.json pins them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../../scripts/npm_ci_pinned.sh" "$here" node_modules/@modelcontextprotocol/sdk
