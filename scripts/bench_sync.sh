#!/usr/bin/env bash
# Synchronise through the whole program path (bench/transfer_driver sync-up, sync-down): a tree
# of FILES files (default 2000) of 4 KiB in FOLDERS (20) folders published onto an empty remote
# folder (one file at a time and with the setting's default), a second run that finds nothing to
# do, and the tree back into an empty folder; beside it the peers: lftp mirror -R and mirror
# (FTP, plain and --parallel=4, and a second run) and OpenSSH sftp put -r and get -r. FTP against vsftpd and SFTP against sshd on loopback, and both over the
# 50 ms link of ../shared/wan/wan-link.sh with the servers inside its namespace (WAN=0 skips it,
# LOOPBACK=0 the loopback runs). Over the link each file costs round trips: FILES=200 is sensible.
# Best of ROUNDS (2), wall time of each whole program, login included. Needs root.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench-transfers}"
files="${FILES:-2000}"
rounds="${ROUNDS:-2}"
wan_script="$root/../shared/wan/wan-link.sh"
[ -x "$wan_script" ] || wan_script=/work/shared/wan/wan-link.sh

command -v lftp >/dev/null || { apt-get update -qq && apt-get install -y -qq lftp >/dev/null; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVORLEN_BUILD_BENCHMARKS=ON -DVORLEN_BUILD_TESTS=OFF -DVORLEN_BUILD_APP=OFF >/dev/null
ninja -C "$build" -j2 transfer_driver >/dev/null
driver="$build/bench/transfer_driver"

work="$(mktemp -d /tmp/vorlen-sync-bench.XXXXXX)"
chmod 755 "$work"
wan_up=0
cleanup() {
    "$root/tests/servers/stop_ftp_servers.sh" "$work/ftp.state" >/dev/null 2>&1 || true
    for s in "$work"/*.sshd; do
        [ -e "$s" ] && "$root/tests/servers/stop_sshd.sh" "$s" >/dev/null 2>&1 || true
    done
    if [ -e "$work/vsftpd-wan.pid" ]; then kill "$(cat "$work/vsftpd-wan.pid")" 2>/dev/null || true; fi
    if [ "$wan_up" = 1 ]; then "$wan_script" down >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
# An lftp command file with the login in it (0600, in the work folder), so that no password
# is on a command line: lftp_file USER PASS PORT HOST COMMANDS; prints its path.
lftp_file() {
    local f
    f="$(mktemp "$work/lftp.XXXXXX")"
    printf 'open -u "%s","%s" -p %s %s\n%s\nquit\n' "$1" "$2" "$3" "$4" "$5" >"$f"
    echo "$f"
}
ssh-keygen -q -t ed25519 -N '' -f "$work/client_key"

folders="${FOLDERS:-20}"
per_dir=$((files / folders))
for d in $(seq 1 "$folders"); do
    mkdir -p "$work/src/tree/d$d"
    for f in $(seq 1 "$per_dir"); do
        head -c 4096 /dev/urandom >"$work/src/tree/d$d/f$f.bin"
    done
done

measure() {  # wall seconds, and the driver's own line when it prints one
    /usr/bin/time -f "%e" -o "$work/time.txt" "$@" >"$work/out.txt" 2>"$work/err.txt" ||
        { cat "$work/err.txt" >&2; exit 1; }
    echo "$(cat "$work/time.txt") $(grep -o 'ms=[0-9]* sent=[0-9]* failed=[0-9]* chdirs=[0-9]*' "$work/out.txt" || true)"
}
best() { sort -n | head -1; }
declare -A t
note() { t[$1]+="$2"$'\n'; }
show() { printf '%-44s %8s s  %s\n' "$1" "$(printf '%s' "${t[$2]}" | cut -d' ' -f1 | best)" \
    "$(printf '%s' "${t[$2]}" | head -1 | cut -d' ' -f2-)"; }

# run LABEL KIND ADDRESS PORT USER PASSWORD SERVER_ROOT [CLIENT_NETNS]
run() {
    local label="$1" kind="$2" address="$3" port="$4" user="$5" pass="$6" sroot="$7" ns="${8:-}"
    local in=() sftp_cmd
    [ -n "$ns" ] && in=(ip netns exec "$ns")
    export VORLEN_BENCH_PASSWORD="$pass"
    sftp_cmd=("${in[@]}" sftp -q -i "$work/client_key" -P "$port" -o StrictHostKeyChecking=no
        -o UserKnownHostsFile=/dev/null -o BatchMode=yes)
    for _ in $(seq 1 "$rounds"); do
        rm -rf "$sroot/tree" && mkdir "$sroot/tree" && chown "$user" "$sroot/tree"
        note "$label-first1" "$(VORLEN_BENCH_SIMULTANEOUS=1 measure "${in[@]}" "$driver" "$kind" "$address" "$port" "$user" "$sroot" sync-up tree "$work/src")"
        diff -r "$work/src/tree" "$sroot/tree" >/dev/null || { echo "$label: tree differs" >&2; exit 1; }
        rm -rf "$sroot/tree" && mkdir "$sroot/tree" && chown "$user" "$sroot/tree"
        note "$label-first" "$(measure "${in[@]}" "$driver" "$kind" "$address" "$port" "$user" "$sroot" sync-up tree "$work/src")"
        diff -r "$work/src/tree" "$sroot/tree" >/dev/null || { echo "$label: tree differs" >&2; exit 1; }
        note "$label-again" "$(measure "${in[@]}" "$driver" "$kind" "$address" "$port" "$user" "$sroot" sync-up tree "$work/src")"
        # The other way: the server's tree into an empty folder here.
        rm -rf "$work/down" && mkdir -p "$work/down/tree" && chmod -R 777 "$work/down"
        note "$label-down" "$(measure "${in[@]}" "$driver" "$kind" "$address" "$port" "$user" "$sroot" sync-down tree "$work/down")"
        diff -r "$work/src/tree" "$work/down/tree" >/dev/null || { echo "$label: tree down differs" >&2; exit 1; }
        rm -rf "$work/down"
        if [ "$kind" = ftp ]; then
            for par in 1 4; do
                mkdir -p "$work/down"
                note "$label-lftpdown$par" "$(measure "${in[@]}" lftp -f "$(lftp_file "$user" "$pass" "$port" "$address" "set net:max-retries 1; mirror --parallel=$par $sroot/tree $work/down/tree")")"
                rm -rf "$work/down"
            done
        else
            mkdir -p "$work/down"
            echo "get -r $sroot/tree $work/down/tree" >"$work/batch"
            note "$label-sftpdown" "$(measure "${sftp_cmd[@]}" -b "$work/batch" "$user@$address")"
            rm -rf "$work/down"
        fi
        rm -rf "$sroot/tree"
        if [ "$kind" = ftp ]; then
            for par in 1 4; do
                note "$label-lftp$par" "$(measure "${in[@]}" lftp -f "$(lftp_file "$user" "$pass" "$port" "$address" "set net:max-retries 1; mirror -R --parallel=$par $work/src/tree $sroot/tree")")"
                rm -rf "$sroot/tree"
            done
            mkdir "$sroot/tree" && chown "$user" "$sroot/tree"
            "${in[@]}" lftp -f "$(lftp_file "$user" "$pass" "$port" "$address" "mirror -R $work/src/tree $sroot/tree")" >/dev/null
            note "$label-lftp-again" "$(measure "${in[@]}" lftp -f "$(lftp_file "$user" "$pass" "$port" "$address" "set net:max-retries 1; mirror -R --parallel=4 $work/src/tree $sroot/tree")")"
            rm -rf "$sroot/tree"
        else
            echo "put -r $work/src/tree $sroot/tree" >"$work/batch"
            mkdir "$sroot/tree" && chown "$user" "$sroot/tree"
            note "$label-sftp" "$(measure "${sftp_cmd[@]}" -b "$work/batch" "$user@$address")"
            rm -rf "$sroot/tree"
        fi
    done
    echo
    echo "== $label: $files files of 4 KiB in $folders folders, best of $rounds =="
    show "ours: first synchronise, one file at a time" "$label-first1"
    show "ours: first synchronise (all sent)" "$label-first"
    show "ours: second synchronise (nothing to do)" "$label-again"
    show "ours: synchronise down into an empty folder" "$label-down"
    if [ "$kind" = ftp ]; then
        show "lftp mirror -R" "$label-lftp1"
        show "lftp mirror -R --parallel=4" "$label-lftp4"
        show "lftp mirror -R --parallel=4, nothing to do" "$label-lftp-again"
        show "lftp mirror (down)" "$label-lftpdown1"
        show "lftp mirror --parallel=4 (down)" "$label-lftpdown4"
    else
        show "OpenSSH sftp put -r" "$label-sftp"
        show "OpenSSH sftp get -r (down)" "$label-sftpdown"
    fi
}

start_sshd() {  # STATE ADDRESS [SERVER_NETNS]
    SSHD_LISTEN="$2" SSHD_NETNS="${3:-}" SSHD_AUTHORIZED_KEYS="$work/client_key.pub" CI=true \
        "$root/tests/servers/start_sshd.sh" "$1" >/dev/null
}
value() { grep "^$2=" "$(cat "$1")/servers.env" | cut -d= -f2-; }

if [ "${LOOPBACK:-1}" != 0 ]; then
    CI=true "$root/tests/servers/start_ftp_servers.sh" "$work/ftp.state" >/dev/null
    f="$work/ftp.state"
    run ftp-loopback ftp 127.0.0.1 "$(value "$f" VSFTPD_PORT)" "$(value "$f" FTP_USER)" \
        "$(value "$f" FTP_PASSWORD)" "$(value "$f" FTP_ROOT)"
    "$root/tests/servers/stop_ftp_servers.sh" "$f" >/dev/null

    s="$work/loop.sshd"
    start_sshd "$s" 127.0.0.1
    run sftp-loopback sftp 127.0.0.1 "$(value "$s" SSHD_PORT)" "$(value "$s" SSH_USER)" \
        "$(value "$s" SSH_PASSWORD)" "$(value "$s" SSH_ROOT)"
fi

if [ "${WAN:-1}" != 0 ]; then
    "$wan_script" up 25 >/dev/null
    wan_up=1
    # vsftpd of the FTP bench (its user, folder and configuration) once more, inside the server
    # namespace; stopped by the pid recorded here.
    CI=true "$root/tests/servers/start_ftp_servers.sh" "$work/ftp.state" >/dev/null
    f="$work/ftp.state"
    sed -e "s/^listen_address=.*/listen_address=10.99.0.1/" "$(cat "$f")/vsftpd.conf" \
        >"$work/vsftpd-wan.conf"
    ip netns exec vorlen_wan_srv vsftpd "$work/vsftpd-wan.conf" >"$work/vsftpd-wan.out" 2>&1 &
    echo $! >"$work/vsftpd-wan.pid"
    wan_port="$(value "$f" VSFTPD_PORT)"
    for _ in $(seq 50); do
        ip netns exec vorlen_wan_cli bash -c "exec 3<>/dev/tcp/10.99.0.1/$wan_port" 2>/dev/null && break
        sleep 0.1
    done
    run ftp-wan-50ms ftp 10.99.0.1 "$wan_port" "$(value "$f" FTP_USER)" \
        "$(value "$f" FTP_PASSWORD)" "$(value "$f" FTP_ROOT)" vorlen_wan_cli
    kill "$(cat "$work/vsftpd-wan.pid")" 2>/dev/null || true
    "$root/tests/servers/stop_ftp_servers.sh" "$f" >/dev/null
    s="$work/wan.sshd"
    start_sshd "$s" 10.99.0.1 vorlen_wan_srv
    run sftp-wan-50ms sftp 10.99.0.1 "$(value "$s" SSHD_PORT)" "$(value "$s" SSH_USER)" \
        "$(value "$s" SSH_PASSWORD)" "$(value "$s" SSH_ROOT)" vorlen_wan_cli
fi
