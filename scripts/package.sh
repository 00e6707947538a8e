#!/usr/bin/env bash
# Builds the Debian package: an optimised build (-O2) of the program alone in build-release/
# (PACKAGE_BUILD_DIR overrides), then CPack, which strips the program. Prints the path of the
# package it made.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PACKAGE_BUILD_DIR:-$root/build-release}"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DVORLEN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
rm -f "$build"/vorlen-ftp*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/vorlen-ftp_"$version"_*.deb
