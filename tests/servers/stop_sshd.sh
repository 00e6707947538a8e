#!/usr/bin/env bash
# Stops the sshd instances that start_sshd.sh started, by the process ids it recorded, and
# removes their folder.
# Usage: stop_sshd.sh STATE
set -u
state="$1"
[ -s "$state" ] || exit 0
dir="$(cat "$state")"
case "$dir" in /tmp/vorlen-sshd.*) ;; *) exit 0 ;; esac
pids=()
for pidfile in "$dir"/*.pid; do
    [ -f "$pidfile" ] || continue
    case "$pidfile" in *.sshd.pid) continue ;; esac
    pid="$(cat "$pidfile")"
    case "$pid" in '' | *[!0-9]*) continue ;; esac
    kill -TERM "$pid" 2>/dev/null && pids+=("$pid")
    rm -f "$pidfile"
done
for pid in "${pids[@]}"; do
    for _ in $(seq 1 30); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
done
rm -rf "$dir"
rm -f "$state"
exit 0
