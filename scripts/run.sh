#!/usr/bin/env bash
# Installs what is missing, builds the program (the tests are built by scripts/test.sh), puts it
# into the desktop's menu, and starts it logged in to a local demo FTP server (its files under
# $XDG_DATA_HOME/VorlenFTP-demo), which stops when the program ends. VORLEN_NO_DEMO=1, or a
# script run (-s), starts the program alone.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exe="${BUILD_DIR:-$root/build}/src/vorlen"
"$root/scripts/setup.sh"
# A Release build: a person running the program gets an optimised one.
BUILD_TARGET=vorlen "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release
"$root/scripts/install_desktop_entry.sh" "$exe"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [[ " $* " != *" -s"* ]]; then
    echo "No display here: the window cannot open; run a transfer script unattended instead, for example $exe -s/path/to/script.txt (see README.md, Command line)."
    exit 0
fi
if [ "${VORLEN_NO_DEMO:-}" = 1 ] || [[ " $* " == *" -s"* ]]; then
    exec "$exe" "$@"
fi

demo="${XDG_DATA_HOME:-$HOME/.local/share}/VorlenFTP-demo"
port_file="$demo/server.port"
server_log="$demo/server.log"
/usr/bin/python3 "$root/scripts/demo/make_demo_folder.py" "$demo/server" "$demo/local"

server_pid=""
stop_demo_server() {
    if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
        kill -TERM "$server_pid" 2>/dev/null || true
        # It closes its connections and goes; one that hangs is not left behind.
        for _ in $(seq 50); do
            kill -0 "$server_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
}
trap stop_demo_server EXIT

# A fresh password every start: it lives only in this environment and, scrambled, in the
# "Local demo" site the program saves.
VORLEN_DEMO_USER=demo
VORLEN_DEMO_PASSWORD="$(/usr/bin/python3 -c 'import secrets; print(secrets.token_urlsafe(18))')"
VORLEN_DEMO_LOCAL="$demo/local"
export VORLEN_DEMO_USER VORLEN_DEMO_PASSWORD VORLEN_DEMO_LOCAL
rm -f "$port_file"
# Its own session, so Ctrl-C reaches the program only and the server is stopped after it;
# it also ends by itself once this script is gone. A background job here leads no process
# group, so setsid does not fork and $! is the server itself.
setsid /usr/bin/python3 "$root/scripts/demo/demo_server.py" --parent-pid "$$" \
    "$demo/server" "$port_file" </dev/null >>"$server_log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
    [ -s "$port_file" ] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$port_file" ]; then
    echo "The demo server did not start (see $server_log); VORLEN_NO_DEMO=1 $0 starts the program without it." >&2
    exit 1
fi
port="$(cat "$port_file")"
echo "Demo server running on 127.0.0.1:$port, serving $demo/server (your side: $demo/local)."
# Not exec'd, so that the trap stops the server; a failing status ends the script with it.
"$exe" "--demo-site=127.0.0.1:$port" "$@"
