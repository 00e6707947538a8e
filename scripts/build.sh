#!/usr/bin/env bash
# Configures and builds into build/ (BUILD_DIR overrides); BUILD_TARGET builds only that target.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" --parallel "$(nproc)" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
