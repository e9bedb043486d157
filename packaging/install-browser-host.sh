#!/bin/sh
# Registers bin/mivet-browser-bridge of this folder as the native-messaging
# host of the Mivet extension: fills in share/mivet/com.mivet.browser_bridge.json.in
# and installs the manifest for every Chrome and Chromium that has a profile
# folder for this user (or, with --system, into the system-wide folders).
# Usage: ./install-browser-host.sh EXTENSION_ID [--system]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
id=${1:-}
if ! printf '%s' "$id" | grep -Eq '^[a-p]{32}$'; then
  echo "usage: $0 EXTENSION_ID [--system]   (the extension's 32-letter id, a to p)" >&2
  exit 2
fi
host=com.mivet.browser_bridge
bridge=$here/bin/mivet-browser-bridge
# The path goes inside a JSON string, and that into a sed replacement.
bridge_json=$(printf '%s' "$bridge" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g')
bridge_sed=$(printf '%s' "$bridge_json" | sed -e 's/[\\|&]/\\&/g')

if [ "$(uname -s)" = Darwin ]; then
  user_browsers="$HOME/Library/Application Support/Google/Chrome
$HOME/Library/Application Support/Chromium"
  system_folders="/Library/Google/Chrome/NativeMessagingHosts
/Library/Application Support/Chromium/NativeMessagingHosts"
else
  user_browsers="$HOME/.config/google-chrome
$HOME/.config/chromium"
  system_folders="/etc/opt/chrome/native-messaging-hosts
/etc/chromium/native-messaging-hosts"
fi
if [ "${2:-}" = --system ]; then
  folders=$system_folders
else
  folders=""
  while IFS= read -r browser; do
    [ -d "$browser" ] && folders="$folders$browser/NativeMessagingHosts
"
  done <<LIST
$user_browsers
LIST
  if [ -z "$folders" ]; then
    echo "No Chrome or Chromium profile folder for this user; start the browser once, or use --system" >&2
    exit 1
  fi
fi

while IFS= read -r folder; do
  [ -n "$folder" ] || continue
  mkdir -p "$folder"
  sed -e "s|@MIVET_NATIVE_HOST_NAME@|$host|" -e "s|@MIVET_BRIDGE_PATH_JSON@|$bridge_sed|" \
    -e "s|@MIVET_ALLOWED_ORIGINS@|\"chrome-extension://$id/\"|" \
    "$here/share/mivet/$host.json.in" >"$folder/$host.json"
  echo "Installed $folder/$host.json"
done <<LIST
$folders
LIST
