#!/usr/bin/env bash
# Installs what is missing, builds the program (the tests are built by scripts/test.sh), puts it
# into the desktop's menu, and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exe="${BUILD_DIR:-$root/build}/src/vorlen"
"$root/scripts/setup.sh"
BUILD_TARGET=vorlen "$root/scripts/build.sh"
"$root/scripts/install_desktop_entry.sh" "$exe"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [[ " $* " != *" -s"* ]]; then
    echo "No display here: the window cannot open; run a transfer script unattended instead, for example $exe -s/path/to/script.txt (see README.md, Command line)."
    exit 0
fi
exec "$exe" "$@"
