"""Makes the release archive from this build with scripts/package.sh, unpacks
it into a temporary folder and checks its checksums, the unpacked mivet-mcp
(initialize, --status with a temporary HOME) and the browser-host script.
Usage: release_archive_test.py SOURCE_DIR BUILD_DIR STATIC_RUNTIME"""
import hashlib
import json
import os
import platform
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile

source, build, static_runtime = sys.argv[1:4]
cache = open(os.path.join(build, "CMakeCache.txt")).read()
build_type = re.search(r"^CMAKE_BUILD_TYPE:\w+=(.*)$", cache, re.M).group(1)
if build_type not in ("Release", "RelWithDebInfo", "MinSizeRel"):
    print(f"skipped: the archive is made from optimised builds; this one is {build_type or 'plain'}")
    sys.exit(77)
if platform.system() == "Linux" and static_runtime.upper() not in ("ON", "TRUE", "1"):
    print("skipped: the archive is made from Linux builds that load only the C library; this one links the C++ runtime dynamically")
    sys.exit(77)
version = re.search(r"^CMAKE_PROJECT_VERSION:\w+=(.*)$", cache, re.M).group(1)
os_name = {"Darwin": "macos"}.get(platform.system(), platform.system().lower())

work = tempfile.mkdtemp()
made = subprocess.run([f"{source}/scripts/package.sh", "--reuse", build, "--out", f"{work}/dist"],
                      check=True, capture_output=True, text=True).stdout.split()[-1]
name = f"mivet-companions-{version}-{os_name}-{platform.machine()}"
assert os.path.basename(made) == f"{name}.tar.gz", made
with tarfile.open(made) as archive:
    archive.extractall(f"{work}/unpacked")
root = f"{work}/unpacked/{name}"

files = sorted(os.path.relpath(os.path.join(folder, file), root)
               for folder, _, names in os.walk(root) for file in names)
assert files == ["README.md", "SHA256SUMS", "bin/mivet-browser-bridge", "bin/mivet-mcp",
                 "install-browser-host.sh", "share/mivet/com.mivet.browser_bridge.json.in"], files
sums = dict(reversed(line.split("  ", 1)) for line in open(f"{root}/SHA256SUMS").read().splitlines())
assert sorted(sums) == [file for file in files if file != "SHA256SUMS"], sums
for file, digest in sums.items():
    assert hashlib.sha256(open(f"{root}/{file}", "rb").read()).hexdigest() == digest, file

home = f"{work}/home"
os.makedirs(home)
env = dict(os.environ, HOME=home)
initialize = {"jsonrpc": "2.0", "id": 1, "method": "initialize",
              "params": {"protocolVersion": "2025-06-18", "capabilities": {},
                         "clientInfo": {"name": "archive-test", "version": "1"}}}
answer = subprocess.run([f"{root}/bin/mivet-mcp"], input=json.dumps(initialize) + "\n",
                        env=env, check=True, capture_output=True, text=True, timeout=30).stdout
assert json.loads(answer)["result"]["serverInfo"]["name"] == "mivet", answer
status = json.loads(subprocess.run([f"{root}/bin/mivet-mcp", "--status"], env=env, check=True,
                                   capture_output=True, text=True, timeout=30).stdout)
assert status["claude"] == {"connected": False, "path": f"{home}/.claude.json"}, status

browser = (f"{home}/Library/Application Support/Chromium" if os_name == "macos"
           else f"{home}/.config/chromium")
os.makedirs(browser)
extension = "abcdefghijklmnopabcdefghijklmnop"
subprocess.run([f"{root}/install-browser-host.sh", extension], env=env, check=True, timeout=30)
manifest = json.load(open(f"{browser}/NativeMessagingHosts/com.mivet.browser_bridge.json"))
assert manifest["path"] == f"{root}/bin/mivet-browser-bridge", manifest
assert manifest["allowed_origins"] == [f"chrome-extension://{extension}/"], manifest
shutil.rmtree(work)
print(f"{name}.tar.gz: {len(sums)} files, checksums, initialize, --status and the browser host install work")
