#!/usr/bin/env bash
# Stops the servers that start_ftp_servers.sh started, by the process ids it recorded, checks
# that none of them still runs, and removes their folder. One that survives is named (pid and
# command line) and makes this fail; the folder is then kept for a look.
# Usage: stop_ftp_servers.sh STATE
set -u
state="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/server_pids.sh"
[ -s "$state" ] || exit 0
dir="$(cat "$state")"
case "$dir" in /tmp/vorlen-ftp-servers.*) ;; *) exit 0 ;; esac
records=()
for pidfile in "$dir"/*.pid; do
    [ -f "$pidfile" ] && records+=("$pidfile")
done
if ! stop_recorded_servers ${records[@]+"${records[@]}"}; then
    echo "test servers not stopped; their folder stays: $dir" >&2
    exit 1
fi
rm -rf "$dir"
rm -f "$state"
exit 0
