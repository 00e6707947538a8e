#!/usr/bin/env bash
# Throughput of our SFTP session against OpenSSH's sftp, in one run: a file downloaded and
# uploaded by both over loopback sshd (SIZE_MB, default 1024), then over a 50 ms round-trip
# link made by ../shared/wan/wan-link.sh (WAN_SIZE_MB, default 200), best of ROUNDS (3) each,
# with the ratio ours/OpenSSH and our peak memory. Both sides use the same cipher and MAC
# (aes128-ctr, hmac-sha2-256: the fastest pair the bundled libssh2 has). Needs root.
# Environment: SIZE_MB, WAN_SIZE_MB, ROUNDS, BUILD_DIR (build-bench-sftp); WAN=0 skips the
# link, LOOPBACK=0 the loopback run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench-sftp}"
size_mb="${SIZE_MB:-1024}"
wan_size_mb="${WAN_SIZE_MB:-200}"
rounds="${ROUNDS:-3}"
wan_script="$root/../shared/wan/wan-link.sh"
[ -x "$wan_script" ] || wan_script=/work/shared/wan/wan-link.sh
cipher=(-c aes128-ctr -o MACs=hmac-sha2-256)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVORLEN_BUILD_BENCHMARKS=ON -DVORLEN_BUILD_TESTS=OFF -DVORLEN_BUILD_APP=OFF >/dev/null
ninja -C "$build" -j1 sftp_transfer_driver >/dev/null
driver="$build/bench/sftp_transfer_driver"

work="$(mktemp -d /tmp/vorlen-sftp-bench.XXXXXX)"
chmod 755 "$work"
wan_up=0
cleanup() {
    for s in "$work"/*.state; do
        [ -f "$s" ] && "$root/tests/servers/stop_sshd.sh" "$s"
    done
    [ "$wan_up" = 1 ] && "$wan_script" down >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
ssh-keygen -q -t ed25519 -N '' -f "$work/client_key"

# Runs a command under /usr/bin/time; prints "seconds maxrss_kb".
measure() {
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null
    cat "$work/time.txt"
}
best() { sort -n | head -1; }
rate() { awk -v b="$1" -v s="$2" 'BEGIN { printf "%.1f", (s > 0 ? b / s / 1048576 : 0) }'; }
ratio() { awk -v e="$1" -v c="$2" 'BEGIN { printf "%.2f", (e > 0 ? c / e : 0) }'; }

# bench LABEL SIZE_MB ADDRESS [SERVER_NETNS CLIENT_NETNS]
bench() {
    local label="$1" mb="$2" address="$3" server_ns="${4:-}" client_ns="${5:-}"
    local state="$work/$label.state" run=()
    [ -n "$client_ns" ] && run=(ip netns exec "$client_ns")
    SSHD_LISTEN="$address" SSHD_NETNS="$server_ns" SSHD_AUTHORIZED_KEYS="$work/client_key.pub" CI=true \
        "$root/tests/servers/start_sshd.sh" "$state" >/dev/null
    local env_file port user sroot
    env_file="$(cat "$state")/servers.env"
    value() { grep "^$1=" "$env_file" | cut -d= -f2-; }
    port="$(value SSHD_PORT)"
    user="$(value SSH_USER)"
    sroot="$(value SSH_ROOT)"
    export VORLEN_BENCH_PASSWORD="$(value SSH_PASSWORD)"
    local bytes=$((mb * 1024 * 1024))
    head -c "$bytes" /dev/urandom >"$sroot/big.bin"
    cp "$sroot/big.bin" "$work/up.bin"
    chown "$user" "$sroot/big.bin"
    sftp_cmd=("${run[@]}" sftp -q "${cipher[@]}" -i "$work/client_key" -P "$port" \
        -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o BatchMode=yes)
    # Warm the page cache and the destinations: every file is written once before timing.
    cat "$sroot/big.bin" "$work/up.bin" >/dev/null
    cp "$work/up.bin" "$work/down.bin"
    cp "$work/up.bin" "$sroot/up-ours.bin"
    cp "$work/up.bin" "$sroot/up-openssh.bin"
    chown "$user" "$sroot"/up-*.bin
    for direction in down up; do
        : >"$work/ours-$direction.txt"
        : >"$work/openssh-$direction.txt"
        for _ in $(seq 1 "$rounds"); do
            if [ "$direction" = down ]; then
                measure "${run[@]}" "$driver" get "$address" "$port" "$user" big.bin "$work/down.bin" >>"$work/ours-down.txt"
                cmp -s "$work/down.bin" "$sroot/big.bin" || { echo "our download differs" >&2; exit 1; }
                echo "get big.bin $work/down.bin" >"$work/batch"
                measure "${sftp_cmd[@]}" -b "$work/batch" "$user@$address" >>"$work/openssh-down.txt"
                cmp -s "$work/down.bin" "$sroot/big.bin" || { echo "OpenSSH download differs" >&2; exit 1; }
            else
                measure "${run[@]}" "$driver" put "$address" "$port" "$user" up-ours.bin "$work/up.bin" >>"$work/ours-up.txt"
                cmp -s "$work/up.bin" "$sroot/up-ours.bin" || { echo "our upload differs" >&2; exit 1; }
                echo "put $work/up.bin up-openssh.bin" >"$work/batch"
                measure "${sftp_cmd[@]}" -b "$work/batch" "$user@$address" >>"$work/openssh-up.txt"
            fi
        done
    done
    echo
    echo "== $label: $mb MiB, best of $rounds, aes128-ctr + hmac-sha2-256 =="
    printf '%-6s %12s %14s %8s %14s\n' dir "ours MiB/s" "OpenSSH MiB/s" ratio "our peak KiB"
    for direction in down up; do
        local o c rss
        o="$(cut -d' ' -f1 "$work/ours-$direction.txt" | best)"
        c="$(cut -d' ' -f1 "$work/openssh-$direction.txt" | best)"
        rss="$(cut -d' ' -f2 "$work/ours-$direction.txt" | sort -n | tail -1)"
        printf '%-6s %12s %14s %8s %14s\n' "$direction" "$(rate "$bytes" "$o")" "$(rate "$bytes" "$c")" "$(ratio "$o" "$c")" "$rss"
    done
    rm -f "$sroot/big.bin" "$sroot"/up-*.bin "$work/down.bin"
    "$root/tests/servers/stop_sshd.sh" "$state"
}

[ "${LOOPBACK:-1}" != 0 ] && bench loopback "$size_mb" 127.0.0.1
if [ "${WAN:-1}" != 0 ]; then
    "$wan_script" up 25
    wan_up=1
    bench wan-50ms "$wan_size_mb" 10.99.0.1 vorlen_wan_srv vorlen_wan_cli
fi
