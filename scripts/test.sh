#!/usr/bin/env bash
# Installs what is missing, builds, runs the fuzz targets for a bounded time, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
"$root/scripts/fuzz.sh"
cd "$build"
# CTest's summary is the last thing printed.
ctest --output-on-failure --timeout 600
