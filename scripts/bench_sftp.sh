#!/usr/bin/env bash
# Throughput of our SFTP session against OpenSSH's sftp, in one run: a file downloaded and
# uploaded by both over loopback sshd (SIZE_MB, default 1024), then over a 50 ms round-trip
# link made by ../shared/wan/wan-link.sh (WAN_SIZE_MB, default 200), best of ROUNDS (3) each,
# with the ratio ours/OpenSSH and our peak memory (our process and the ssh under it). Twice:
# every side with its defaults (no cipher forced), then every side with AES-GCM (our ssh told
# so by a configuration file, OpenSSH's sftp by -c). OLD_DRIVER may name another build's
# sftp_transfer_driver (an older transport) measured beside them with its defaults. Needs root.
# Environment: SIZE_MB, WAN_SIZE_MB, ROUNDS, BUILD_DIR (build-bench-sftp), OLD_DRIVER; WAN=0
# skips the link, LOOPBACK=0 the loopback run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench-sftp}"
size_mb="${SIZE_MB:-1024}"
wan_size_mb="${WAN_SIZE_MB:-200}"
rounds="${ROUNDS:-3}"
wan_script="$root/../shared/wan/wan-link.sh"
[ -x "$wan_script" ] || wan_script=/work/shared/wan/wan-link.sh
old_driver="${OLD_DRIVER:-}"

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
    # Warm the page cache and the destinations: every file is written once before timing.
    cat "$sroot/big.bin" "$work/up.bin" >/dev/null
    cp "$work/up.bin" "$work/down.bin"
    local clients=(ours openssh)
    [ -n "$old_driver" ] && clients+=(old)
    for c in "${clients[@]}"; do
        cp "$work/up.bin" "$sroot/up-$c.bin"
    done
    chown "$user" "$sroot"/up-*.bin
    echo "Ciphers aes128-gcm@openssh.com" >"$work/gcm.conf"
    for cipher in defaults aes128-gcm; do
        local sftp_cipher=() ours_env=()
        if [ "$cipher" = aes128-gcm ]; then
            sftp_cipher=(-c aes128-gcm@openssh.com)
            ours_env=(env VORLEN_BENCH_SSH_CONFIG="$work/gcm.conf")
        fi
        sftp_cmd=("${run[@]}" sftp -q "${sftp_cipher[@]}" -i "$work/client_key" -P "$port" \
            -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o BatchMode=yes)
        for direction in down up; do
            for c in "${clients[@]}"; do : >"$work/$c-$direction.txt"; done
            for _ in $(seq 1 "$rounds"); do
                for c in "${clients[@]}"; do
                    [ "$c" = old ] && [ "$cipher" != defaults ] && continue
                    local verb=get remote_file=big.bin local_file="$work/down.bin"
                    if [ "$direction" = up ]; then
                        verb=put remote_file="up-$c.bin" local_file="$work/up.bin"
                    fi
                    case "$c" in
                        ours) measure "${run[@]}" "${ours_env[@]}" "$driver" "$verb" "$address" "$port" "$user" "$remote_file" "$local_file" ;;
                        old) measure "${run[@]}" "$old_driver" "$verb" "$address" "$port" "$user" "$remote_file" "$local_file" ;;
                        openssh)
                            if [ "$direction" = down ]; then echo "get big.bin $local_file"; else echo "put $local_file $remote_file"; fi >"$work/batch"
                            measure "${sftp_cmd[@]}" -b "$work/batch" "$user@$address" ;;
                    esac >>"$work/$c-$direction.txt"
                    if [ "$direction" = down ]; then
                        cmp -s "$work/down.bin" "$sroot/big.bin" || { echo "$c download differs" >&2; exit 1; }
                    else
                        cmp -s "$work/up.bin" "$sroot/$remote_file" || { echo "$c upload differs" >&2; exit 1; }
                    fi
                done
            done
        done
        echo
        echo "== $label: $mb MiB, best of $rounds, $cipher =="
        printf '%-6s %12s %14s %8s %14s' dir "ours MiB/s" "OpenSSH MiB/s" ratio "our peak KiB"
        [ -n "$old_driver" ] && [ "$cipher" = defaults ] && printf ' %12s %9s' "old MiB/s" "ours/old"
        echo
        for direction in down up; do
            local o c rss
            o="$(cut -d' ' -f1 "$work/ours-$direction.txt" | best)"
            c="$(cut -d' ' -f1 "$work/openssh-$direction.txt" | best)"
            rss="$(cut -d' ' -f2 "$work/ours-$direction.txt" | sort -n | tail -1)"
            printf '%-6s %12s %14s %8s %14s' "$direction" "$(rate "$bytes" "$o")" "$(rate "$bytes" "$c")" "$(ratio "$o" "$c")" "$rss"
            if [ -n "$old_driver" ] && [ "$cipher" = defaults ]; then
                local d
                d="$(cut -d' ' -f1 "$work/old-$direction.txt" | best)"
                printf ' %12s %9s' "$(rate "$bytes" "$d")" "$(ratio "$o" "$d")"
            fi
            echo
        done
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
