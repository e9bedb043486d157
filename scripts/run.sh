#!/usr/bin/env bash
# Sets up the machine, builds and installs the programs into ./install, and
# runs the demo: an MCP session and a browser digest against mivet-app-sim.
# It installs only what that needs (no browser, test clients or cross toolchain).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --release
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DMIVET_BUILD_TESTS=OFF
cmake --install build-release --prefix install >/dev/null
echo "Installed: $(ls install/bin | tr '\n' ' ')"
scripts/demo.sh install/bin
