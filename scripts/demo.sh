#!/usr/bin/env bash
# Shows the whole system at work against mivet-app-sim, the stand-in desktop
# application: an MCP session through mivet-mcp, then a browser digest sent
# through mivet-browser-bridge and read back through mivet-mcp.
# Usage: scripts/demo.sh BIN_DIR
set -euo pipefail
bin=$(cd "${1:?usage: scripts/demo.sh BIN_DIR}" && pwd)
for program in mivet-app-sim mivet-mcp; do
  [ -x "$bin/$program" ] || { echo "demo: $bin/$program is missing; build and install first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/mivet-demo-XXXXXX)
socket=$work/app.sock
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# Nothing in the demo may read or write the real home directory.
export HOME=$work

heading() { printf '\n=== %s ===\n' "$*"; }

pretty() {
  python3 -c 'import json, sys; print(json.dumps(json.load(sys.stdin), indent=2, ensure_ascii=False))'
}

# A tools/call answer: its isError flag, then the tool's text (JSON itself) pretty-printed.
pretty_tool_answer() {
  python3 -c '
import json, sys
result = json.load(sys.stdin)["result"]
text = result["content"][0]["text"]
print("isError:", json.dumps(result["isError"]))
try:
    print(json.dumps(json.loads(text), indent=2, ensure_ascii=False))
except ValueError:
    print(text)'
}

# Waits until the stand-in answers on its socket.
wait_for_socket() {
  python3 - "$1" <<'EOF'
import socket, sys, time
for _ in range(250):
    try:
        with socket.socket(socket.AF_UNIX) as s:
            s.connect(sys.argv[1])
            sys.exit(0)
    except OSError:
        time.sleep(0.02)
sys.exit(1)
EOF
}

# --- the stand-in -------------------------------------------------------------
cat >"$work/calendar.json" <<'EOF'
{"events": [
  {"title": "Standup", "start": "09:00", "end": "09:15", "calendar": "Work"},
  {"title": "Design review", "start": "09:10", "end": "10:00", "calendar": "Work"},
  {"title": "Lunch with Ana", "start": "12:30", "end": "13:30", "location": "Canteen"}
]}
EOF
heading "Starting mivet-app-sim, the stand-in desktop application"
echo "\$ mivet-app-sim --socket $socket --state $work/tasks.json --calendar $work/calendar.json"
"$bin/mivet-app-sim" --socket "$socket" --state "$work/tasks.json" \
  --calendar "$work/calendar.json" 2>"$work/app-sim.log" &
sim_pid=$!
wait_for_socket "$socket" || { cat "$work/app-sim.log"; exit 1; }
echo "listening on $socket"

# --- an MCP session -----------------------------------------------------------
# Two named pipes rather than a coprocess, which macOS's bash 3.2 lacks:
# requests go out on descriptor 3, answers come back on descriptor 4.
mkfifo "$work/mcp.in" "$work/mcp.out"
"$bin/mivet-mcp" --socket "$socket" <"$work/mcp.in" >"$work/mcp.out" &
mcp_pid=$!
exec 3>"$work/mcp.in" 4<"$work/mcp.out"
next_id=1

# Sends one JSON-RPC request to mivet-mcp and leaves its answer line in $answer.
ask_mcp() {
  local request=$1
  echo "--> mivet-mcp"
  pretty <<<"$request"
  echo "$request" >&3
  IFS= read -r -t 30 answer <&4 || { echo "no answer from mivet-mcp"; exit 1; }
  echo "<-- mivet-mcp"
}

# Calls one tool and leaves the tool's text in $tool_text.
call_tool() {
  local name=$1 arguments=$2
  heading "tools/call $name"
  ask_mcp "{\"jsonrpc\":\"2.0\",\"id\":$next_id,\"method\":\"tools/call\",\"params\":{\"name\":\"$name\",\"arguments\":$arguments}}"
  next_id=$((next_id + 1))
  pretty_tool_answer <<<"$answer"
  tool_text=$(python3 -c 'import json, sys; print(json.load(sys.stdin)["result"]["content"][0]["text"])' <<<"$answer")
}

heading "initialize"
ask_mcp "{\"jsonrpc\":\"2.0\",\"id\":$next_id,\"method\":\"initialize\",\"params\":{\"protocolVersion\":\"2025-06-18\",\"capabilities\":{},\"clientInfo\":{\"name\":\"demo\",\"version\":\"1.0\"}}}"
next_id=$((next_id + 1))
pretty <<<"$answer"
echo '{"jsonrpc":"2.0","method":"notifications/initialized"}' >&3

heading "tools/list"
ask_mcp "{\"jsonrpc\":\"2.0\",\"id\":$next_id,\"method\":\"tools/list\"}"
next_id=$((next_id + 1))
echo "(abbreviated: each tool with its arguments, * = required)"
python3 -c '
import json, sys
for tool in json.load(sys.stdin)["result"]["tools"]:
    schema = tool["inputSchema"]
    required = schema.get("required", [])
    arguments = ", ".join(name + ("*" if name in required else "") for name in schema["properties"])
    print("  %-21s (%s)\n      %s" % (tool["name"], arguments, tool["description"]))' <<<"$answer"

call_tool tasks_add '{"title":"Send the quarterly report","dueAt":"today","notes":"Numbers are in Ana'"'"'s mail","sourceContext":"demo"}'
task_id=$(python3 -c 'import json, sys; print(json.load(sys.stdin)["id"])' <<<"$tool_text")
call_tool tasks_add '{"title":"Book the team offsite","dueAt":"tomorrow"}'
call_tool tasks_list '{"scope":"today"}'
call_tool tasks_complete "{\"id\":\"$task_id\"}"
call_tool schedule_today '{}'

# --- a digest through the browser bridge --------------------------------------
heading "mivet-browser-bridge: a heartbeat and a Gmail digest from the extension"
if [ -x "$bin/mivet-browser-bridge" ]; then
  messages='{"type":"heartbeat","payload":{"enabledSources":["gmail","slack"],"extensionVersion":"1.4.0"}}
{"type":"digest","payload":{"source":"gmail","unread":2,"items":[{"from":"Ana","subject":"Quarterly numbers","snippet":"Here are the final figures"},{"from":"Build bot","subject":"Nightly build passed"}]}}'
  while IFS= read -r message; do
    echo "--> mivet-browser-bridge (one native-messaging frame)"
    pretty <<<"$message"
  done <<<"$messages"
  # Each frame: the body's length as 4 native-endian bytes, then the JSON body.
  python3 -c '
import struct, sys
for line in sys.stdin.read().splitlines():
    body = line.encode()
    sys.stdout.buffer.write(struct.pack("=I", len(body)) + body)' <<<"$messages" |
    "$bin/mivet-browser-bridge" --socket "$socket" |
    python3 -c '
import json, struct, sys
data = sys.stdin.buffer.read()
while len(data) >= 4:
    (length,) = struct.unpack("=I", data[:4])
    print("<-- mivet-browser-bridge")
    print(json.dumps(json.loads(data[4:4 + length]), indent=2, ensure_ascii=False))
    data = data[4 + length:]'
else
  echo "(skipped: $bin/mivet-browser-bridge is not built)"
fi
call_tool browser_check_source '{"source":"gmail"}'

# --- the end ------------------------------------------------------------------
exec 3>&- 4<&-
wait "$mcp_pid" 2>/dev/null || true
heading "Stopping mivet-app-sim"
kill -TERM "$sim_pid"
wait "$sim_pid" || true
sim_pid=""
cat "$work/app-sim.log"
if [ -e "$socket" ]; then echo "socket left behind: $socket"; else echo "socket removed"; fi
