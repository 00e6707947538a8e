#!/usr/bin/env bash
# Unpacks ProFTPD (with its TLS module) and Pure-FTPd from Debian's packages into a folder of their
# own, without installing them: as packages each provides and conflicts with ftp-server, and so
# with vsftpd. The test fixtures run the server programs from there on loopback ports with their
# own configuration; no daemon on port 21 is started. Their libraries are installed normally
# (scripts/packages/ftp.txt). Does nothing when the unpacked versions are the current ones.
# Usage: fetch_test_ftpds.sh [DIR]   (default: /opt/vorlen-test-ftpds, or $VORLEN_TEST_FTPDS)
set -euo pipefail
dest="${1:-${VORLEN_TEST_FTPDS:-/opt/vorlen-test-ftpds}}"
packages=(proftpd-core proftpd-mod-crypto pure-ftpd)

versions=""
for pkg in "${packages[@]}"; do
    version="$(apt-cache policy "$pkg" | sed -n 's/^ *Candidate: //p')"
    if [ -z "$version" ] || [ "$version" = "(none)" ]; then
        apt-get update >/dev/null
        version="$(apt-cache policy "$pkg" | sed -n 's/^ *Candidate: //p')"
    fi
    versions+="$pkg=$version"$'\n'
done
if [ -f "$dest/.versions" ] && [ "$(cat "$dest/.versions")" = "$versions" ] &&
    [ -x "$dest/usr/sbin/proftpd" ] && [ -x "$dest/usr/sbin/pure-ftpd" ]; then
    exit 0
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# apt's download user must be able to write the folder.
chmod 777 "$work"
(cd "$work" && apt-get download "${packages[@]}" >/dev/null)
rm -rf "$dest.new"
mkdir -p "$dest.new"
for deb in "$work"/*.deb; do
    dpkg-deb -x "$deb" "$dest.new"
done
printf '%s' "$versions" >"$dest.new/.versions"
rm -rf "$dest"
mv "$dest.new" "$dest"
chmod 755 "$dest"
echo "ProFTPD and Pure-FTPd unpacked into $dest"
