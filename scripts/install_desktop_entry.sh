#!/usr/bin/env bash
# Puts Vorlen FTP into the desktop's application menu: a desktop entry and its icon, for the
# executable in the build folder. As root they go under /usr/local/share, otherwise under the
# user's ~/.local/share. Usage: install_desktop_entry.sh EXECUTABLE
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exe="$1"
if [ "$(id -u)" -eq 0 ]; then
    share=/usr/local/share
else
    share="${XDG_DATA_HOME:-$HOME/.local/share}"
fi
install -D -m 644 "$root/packaging/vorlen-ftp.svg" "$share/icons/hicolor/scalable/apps/vorlen-ftp.svg"
mkdir -p "$share/applications"
# The package's entry, pointed at this executable.
sed "s|^Exec=.*|Exec=$exe|" "$root/packaging/vorlen-ftp.desktop" >"$share/applications/vorlen-ftp.desktop"
if command -v update-desktop-database >/dev/null; then
    update-desktop-database -q "$share/applications" || true
fi
