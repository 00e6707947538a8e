#!/usr/bin/env bash
# Installs what is missing to build and test Vorlen FTP on Debian 12 (run as root).
# The package lists live in scripts/packages/*.txt, one package per line, "#" starts a comment.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

mapfile -t wanted < <(cat "$here"/packages/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

# ProFTPD and Pure-FTPd for the FTP test bench: unpacked, not installed (they conflict with vsftpd).
"$here/fetch_test_ftpds.sh"
