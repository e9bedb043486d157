#!/usr/bin/env bash
# A short MCP session with mivet-mcp. Usage: scripts/demo.sh BIN_DIR
set -euo pipefail
bin=$1
socket=$(mktemp -u /tmp/mivet-demo-XXXXXX.sock)
session='{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"demo","version":"1"}}}
{"jsonrpc":"2.0","method":"notifications/initialized"}
{"jsonrpc":"2.0","id":2,"method":"tools/list"}
{"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"tasks_list","arguments":{"scope":"today"}}}'
echo "$session" | while IFS= read -r line; do echo ">> $line"; done
echo "$session" | "$bin/mivet-mcp" --socket "$socket" | while IFS= read -r line; do
  echo "<< ${line:0:200}$([ ${#line} -gt 200 ] && echo ' ...')"
done
