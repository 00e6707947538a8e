#!/usr/bin/env bash
# Transfers through the whole program path (login, the Upload/Download batch with its progress
# display; bench/transfer_driver) against the engines alone and against peer clients, in one
# run over loopback vsftpd and sshd:
#   (a) one SIZE_MB file (default 1024) down and up: ours, the engine alone (ftp/sftp
#       transfer drivers), curl (FTP) and OpenSSH sftp (SFTP);
#   (b) a tree of FILES files (2000) of 4 KiB in 20 folders down and up: ours, lftp mirror (FTP)
#       and sftp -r (SFTP), in files per second.
# Best of ROUNDS (2); every time is the wall time of the whole program, login included. Needs
# root (the benches' test users; lftp is installed when missing). BUILD_DIR (build-bench-transfers).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench-transfers}"
size_mb="${SIZE_MB:-1024}"
files="${FILES:-2000}"
rounds="${ROUNDS:-2}"

command -v lftp >/dev/null || { apt-get update -qq && apt-get install -y -qq lftp >/dev/null; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVORLEN_BUILD_BENCHMARKS=ON -DVORLEN_BUILD_TESTS=OFF -DVORLEN_BUILD_APP=OFF >/dev/null
ninja -C "$build" -j2 transfer_driver ftp_transfer_driver sftp_transfer_driver >/dev/null
bin="$build/bench"

work="$(mktemp -d /tmp/vorlen-transfer-bench.XXXXXX)"
chmod 755 "$work"
cleanup() {
    "$root/tests/servers/stop_ftp_servers.sh" "$work/ftp.state" >/dev/null 2>&1 || true
    "$root/tests/servers/stop_sshd.sh" "$work/sshd.state" >/dev/null 2>&1 || true
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
CI=true "$root/tests/servers/start_ftp_servers.sh" "$work/ftp.state" >/dev/null
SSHD_AUTHORIZED_KEYS="$work/client_key.pub" CI=true \
    "$root/tests/servers/start_sshd.sh" "$work/sshd.state" >/dev/null
value() { grep "^$2=" "$(cat "$1")/servers.env" | cut -d= -f2-; }
ftp_port="$(value "$work/ftp.state" VSFTPD_PORT)"
ftp_user="$(value "$work/ftp.state" FTP_USER)"
ftp_pass="$(value "$work/ftp.state" FTP_PASSWORD)"
ftp_root="$(value "$work/ftp.state" FTP_ROOT)"
ssh_port="$(value "$work/sshd.state" SSHD_PORT)"
ssh_user="$(value "$work/sshd.state" SSH_USER)"
ssh_pass="$(value "$work/sshd.state" SSH_PASSWORD)"
ssh_root="$(value "$work/sshd.state" SSH_ROOT)"
netrc="$work/netrc"
(umask 077 && printf 'machine 127.0.0.1 login %s password %s\n' "$ftp_user" "$ftp_pass" >"$netrc")
# OpenSSH's own defaults, as our transport (the system's ssh) uses them: like for like.
sftp_cmd=(sftp -q -i "$work/client_key" -P "$ssh_port" -o StrictHostKeyChecking=no
    -o UserKnownHostsFile=/dev/null -o BatchMode=yes)

measure() {  # prints the wall time of the command in seconds
    sync  # the previous run's written pages are not flushed during this one
    /usr/bin/time -f "%e" -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" ||
        { cat "$work/err.txt" >&2; exit 1; }
    cat "$work/time.txt"
}
best() { sort -n | head -1; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.1f", (s > 0 ? n / s : 0) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }'; }
row() { printf '%-28s %10s %10s\n' "$1" "$2" "$3"; }

# ---- (a) one large file --------------------------------------------------------------------
bytes=$((size_mb * 1024 * 1024))
mkdir -p "$work/local"
for side in "$ftp_root" "$ssh_root"; do
    head -c "$bytes" /dev/urandom >"$side/big.bin"
done
chown "$ftp_user" "$ftp_root/big.bin"
chown "$ssh_user" "$ssh_root/big.bin"
cp "$ftp_root/big.bin" "$work/local/up.bin"
cat "$ftp_root/big.bin" "$ssh_root/big.bin" "$work/local/up.bin" >/dev/null
cp "$work/local/up.bin" "$work/local/big.bin"  # the targets exist already: warm pages
cp "$work/local/up.bin" "$ftp_root/up.bin"
cp "$work/local/up.bin" "$ssh_root/up.bin"
chown "$ftp_user" "$ftp_root/up.bin"
chown "$ssh_user" "$ssh_root/up.bin"
declare -A t
for run in $(seq 1 "$rounds"); do
    export VORLEN_BENCH_PASSWORD="$ftp_pass"
    t[ftp_ours_down]+="$(measure "$bin/transfer_driver" ftp 127.0.0.1 "$ftp_port" "$ftp_user" "$ftp_root" get big.bin "$work/local") "
    cmp -s "$work/local/big.bin" "$ftp_root/big.bin" || { echo "FTP download differs" >&2; exit 1; }
    t[ftp_engine_down]+="$(measure "$bin/ftp_transfer_driver" get 127.0.0.1 "$ftp_port" "$ftp_user" "$ftp_root/big.bin" "$work/local/big.bin") "
    t[ftp_curl_down]+="$(measure curl -s --netrc-file "$netrc" -o "$work/local/big.bin" "ftp://127.0.0.1:$ftp_port/%2F${ftp_root#/}/big.bin") "
    t[ftp_ours_up]+="$(measure "$bin/transfer_driver" ftp 127.0.0.1 "$ftp_port" "$ftp_user" "$ftp_root" put up.bin "$work/local") "
    cmp -s "$work/local/up.bin" "$ftp_root/up.bin" || { echo "FTP upload differs" >&2; exit 1; }
    t[ftp_engine_up]+="$(measure "$bin/ftp_transfer_driver" put 127.0.0.1 "$ftp_port" "$ftp_user" "$ftp_root/up.bin" "$work/local/up.bin") "
    t[ftp_curl_up]+="$(measure curl -s --netrc-file "$netrc" -T "$work/local/up.bin" "ftp://127.0.0.1:$ftp_port/%2F${ftp_root#/}/up.bin") "

    export VORLEN_BENCH_PASSWORD="$ssh_pass"
    t[sftp_ours_down]+="$(measure "$bin/transfer_driver" sftp 127.0.0.1 "$ssh_port" "$ssh_user" "$ssh_root" get big.bin "$work/local") "
    cmp -s "$work/local/big.bin" "$ssh_root/big.bin" || { echo "SFTP download differs" >&2; exit 1; }
    t[sftp_engine_down]+="$(measure "$bin/sftp_transfer_driver" get 127.0.0.1 "$ssh_port" "$ssh_user" "$ssh_root/big.bin" "$work/local/big.bin") "
    echo "get $ssh_root/big.bin $work/local/big.bin" >"$work/batch"
    t[sftp_peer_down]+="$(measure "${sftp_cmd[@]}" -b "$work/batch" "$ssh_user@127.0.0.1") "
    t[sftp_ours_up]+="$(measure "$bin/transfer_driver" sftp 127.0.0.1 "$ssh_port" "$ssh_user" "$ssh_root" put up.bin "$work/local") "
    cmp -s "$work/local/up.bin" "$ssh_root/up.bin" || { echo "SFTP upload differs" >&2; exit 1; }
    t[sftp_engine_up]+="$(measure "$bin/sftp_transfer_driver" put 127.0.0.1 "$ssh_port" "$ssh_user" "$ssh_root/up.bin" "$work/local/up.bin") "
    echo "put $work/local/up.bin $ssh_root/up.bin" >"$work/batch"
    t[sftp_peer_up]+="$(measure "${sftp_cmd[@]}" -b "$work/batch" "$ssh_user@127.0.0.1") "
done
b() { tr ' ' '\n' <<<"${t[$1]}" | grep . | best; }
echo
echo "== (a) one ${size_mb} MiB file, MiB/s, best of $rounds (ratios: ours / the other) =="
row "" "down" "up"
for p in ftp sftp; do
    peer=$([ $p = ftp ] && echo curl || echo peer)
    row "$p ours (program path)" "$(rate "$size_mb" "$(b ${p}_ours_down)")" "$(rate "$size_mb" "$(b ${p}_ours_up)")"
    row "$p engine alone" "$(rate "$size_mb" "$(b ${p}_engine_down)")" "$(rate "$size_mb" "$(b ${p}_engine_up)")"
    row "$p $([ $p = ftp ] && echo curl || echo 'OpenSSH sftp')" "$(rate "$size_mb" "$(b ${p}_${peer}_down)")" "$(rate "$size_mb" "$(b ${p}_${peer}_up)")"
    row "  ratio to the engine" "$(ratio "$(b ${p}_ours_down)" "$(b ${p}_engine_down)")" "$(ratio "$(b ${p}_ours_up)" "$(b ${p}_engine_up)")"
    row "  ratio to the peer" "$(ratio "$(b ${p}_ours_down)" "$(b ${p}_${peer}_down)")" "$(ratio "$(b ${p}_ours_up)" "$(b ${p}_${peer}_up)")"
done
rm -f "$ftp_root"/*.bin "$ssh_root"/*.bin "$work/local"/*.bin

# ---- (b) a tree of small files -------------------------------------------------------------
per_dir=$((files / 20))
mkdir -p "$work/src/tree"
for d in $(seq 1 20); do
    mkdir -p "$work/src/tree/d$d"
    for f in $(seq 1 "$per_dir"); do
        head -c 4096 /dev/urandom >"$work/src/tree/d$d/f$f.bin"
    done
done
tree_run() {  # KIND SERVER_ROOT USER PASSWORD PORT
    local kind="$1" sroot="$2" user="$3" pass="$4" port="$5"
    export VORLEN_BENCH_PASSWORD="$pass"
    for run in $(seq 1 "$rounds"); do
        rm -rf "$sroot/tree" "$work/dst"
        mkdir -p "$work/dst"
        t[${kind}_tree_ours_up]+="$(measure "$bin/transfer_driver" "$kind" 127.0.0.1 "$port" "$user" "$sroot" put tree "$work/src") "
        diff -r "$work/src/tree" "$sroot/tree" >/dev/null || { echo "$kind tree upload differs" >&2; exit 1; }
        chown -R "$user" "$sroot/tree"
        t[${kind}_tree_ours_down]+="$(measure "$bin/transfer_driver" "$kind" 127.0.0.1 "$port" "$user" "$sroot" get tree "$work/dst") "
        diff -r "$work/src/tree" "$work/dst/tree" >/dev/null || { echo "$kind tree download differs" >&2; exit 1; }
        rm -rf "$sroot/tree" "$work/dst"
        mkdir -p "$work/dst"
        if [ "$kind" = ftp ]; then
            t[ftp_tree_peer_up]+="$(measure lftp -f "$(lftp_file "$user" "$pass" "$port" 127.0.0.1 "set net:max-retries 1; mirror -R $work/src/tree $sroot/tree")") "
            chown -R "$user" "$sroot/tree"
            t[ftp_tree_peer_down]+="$(measure lftp -f "$(lftp_file "$user" "$pass" "$port" 127.0.0.1 "set net:max-retries 1; mirror $sroot/tree $work/dst/tree")") "
        else
            echo "put -r $work/src/tree $sroot/tree" >"$work/batch"
            t[sftp_tree_peer_up]+="$(measure "${sftp_cmd[@]}" -b "$work/batch" "$user@127.0.0.1") "
            chown -R "$user" "$sroot/tree"
            echo "get -r $sroot/tree $work/dst/tree" >"$work/batch"
            t[sftp_tree_peer_down]+="$(measure "${sftp_cmd[@]}" -b "$work/batch" "$user@127.0.0.1") "
        fi
        diff -r "$work/src/tree" "$work/dst/tree" >/dev/null || { echo "$kind peer download differs" >&2; exit 1; }
    done
}
chmod 777 "$ftp_root" "$ssh_root"
tree_run ftp "$ftp_root" "$ftp_user" "$ftp_pass" "$ftp_port"
tree_run sftp "$ssh_root" "$ssh_user" "$ssh_pass" "$ssh_port"
echo
echo "== (b) $files files of 4 KiB in 20 folders, files/s, best of $rounds =="
row "" "down" "up"
for p in ftp sftp; do
    row "$p ours" "$(rate "$files" "$(b ${p}_tree_ours_down)")" "$(rate "$files" "$(b ${p}_tree_ours_up)")"
    row "$p $([ $p = ftp ] && echo 'lftp mirror' || echo 'sftp -r')" "$(rate "$files" "$(b ${p}_tree_peer_down)")" "$(rate "$files" "$(b ${p}_tree_peer_up)")"
    row "  ratio to the peer" "$(ratio "$(b ${p}_tree_ours_down)" "$(b ${p}_tree_peer_down)")" "$(ratio "$(b ${p}_tree_ours_up)" "$(b ${p}_tree_peer_up)")"
done
