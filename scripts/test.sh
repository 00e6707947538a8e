#!/usr/bin/env bash
# Installs what is missing, runs the fuzz targets for a bounded time, builds the Debian package,
# and builds and runs every test once, with AddressSanitizer and UndefinedBehaviorSanitizer,
# into build-asan/ (BUILD_DIR overrides). A memory fault, undefined behaviour or a leak of our
# own fails the test it happens in; the suppression files in tests/sanitizers/ name only what
# libraries we do not own do.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-asan}"
"$root/scripts/setup.sh"
"$root/scripts/fuzz.sh"
BUILD_DIR="$build" "$root/scripts/build.sh" -DVORLEN_SANITIZE=ON
# The Debian package, a Release build of the program alone, which the suite's package test checks
# (and, in CI, installs, runs and purges).
"$root/scripts/package.sh"
supp="$root/tests/sanitizers"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:suppressions=$supp/asan.supp"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp"
cd "$build"
# CTest's summary is the last thing printed.
ctest --output-on-failure --timeout 600
