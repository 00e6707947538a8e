#!/usr/bin/env bash
# Stops the sshd instances that start_sshd.sh started, by the process ids it recorded, checks
# that none of them still runs, and removes their folder. One that survives is named (pid and
# command line) and makes this fail; its folder is then kept for a look.
# Usage: stop_sshd.sh STATE
set -u
state="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/server_pids.sh"
[ -s "$state" ] || exit 0
dir="$(cat "$state")"
case "$dir" in /tmp/vorlen-sshd.*) ;; *) exit 0 ;; esac
records=()
for pidfile in "$dir"/*.pid; do
    [ -f "$pidfile" ] || continue
    # sshd's own pid file: its listener is in our records already.
    case "$pidfile" in *.sshd.pid) continue ;; esac
    records+=("$pidfile")
done
if ! stop_recorded_servers ${records[@]+"${records[@]}"}; then
    echo "sshd not stopped; its folder stays: $dir" >&2
    exit 1
fi
rm -rf "$dir"
rm -f "$state"
exit 0
