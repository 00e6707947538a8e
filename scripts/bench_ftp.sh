#!/usr/bin/env bash
# Throughput of the FTP engine against curl over loopback vsftpd, in one run: a 1 GiB file
# downloaded and uploaded by both, best of ROUNDS each, with the ratio engine/curl and the
# engine's peak memory for a small and the large file (flat memory: both about the same).
# Needs root (vsftpd test user). Big files live in /tmp and are removed afterwards.
# TLS=1 measures FTP over TLS instead (explicit AUTH TLS, protected data) against the bench's
# vsftpd with TLS, beside curl --ssl-reqd.
# Environment: SIZE_MB (1024), ROUNDS (2), BUILD_DIR (build-bench-ftp), TLS (unset).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench-ftp}"
size_mb="${SIZE_MB:-1024}"
rounds="${ROUNDS:-2}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVORLEN_BUILD_BENCHMARKS=ON -DVORLEN_BUILD_TESTS=OFF -DVORLEN_BUILD_APP=OFF >/dev/null
ninja -C "$build" -j2 ftp_transfer_driver >/dev/null
driver="$build/bench/ftp_transfer_driver"

work="$(mktemp -d /tmp/vorlen-ftp-bench.XXXXXX)"
state="$work/servers.state"
cleanup() {
    "$root/tests/servers/stop_ftp_servers.sh" "$state" || true
    rm -rf "$work"
}
trap cleanup EXIT
CI=true "$root/tests/servers/start_ftp_servers.sh" "$state" >/dev/null
env_file="$(cat "$state")/servers.env"
value() { grep "^$1=" "$env_file" | cut -d= -f2-; }
port="$(value VSFTPD_PORT)"
curl_tls=()
if [ -n "${TLS:-}" ]; then
    port="$(value VSFTPD_TLS_PORT)"
    # The bench's certificate is self-signed: both clients trust it as it is.
    curl_tls=(--ssl-reqd --insecure)
    export VORLEN_BENCH_TLS=explicit
    VORLEN_BENCH_FINGERPRINT="SHA256:$(openssl x509 -noout -fingerprint -sha256 \
        -in "$(cat "$state")/vsftpd-tls.pem" | cut -d= -f2)"
    export VORLEN_BENCH_FINGERPRINT
    echo "FTP over TLS (explicit), port $port"
fi
user="$(value FTP_USER)"
ftproot="$(value FTP_ROOT)"
export VORLEN_BENCH_PASSWORD="$(value FTP_PASSWORD)"
netrc="$work/netrc"
(umask 077 && printf 'machine 127.0.0.1 login %s password %s\n' "$user" "$VORLEN_BENCH_PASSWORD" >"$netrc")

echo "Creating a ${size_mb} MiB file ..."
head -c "$((size_mb * 1024 * 1024))" /dev/urandom >"$ftproot/big.bin"
head -c $((16 * 1024 * 1024)) /dev/urandom >"$ftproot/small.bin"
cp "$ftproot/big.bin" "$work/up.bin"
chmod 777 "$ftproot"
cat "$ftproot/big.bin" "$work/up.bin" >/dev/null  # warm the page cache
bytes=$((size_mb * 1024 * 1024))

# Runs a command under /usr/bin/time; prints "seconds maxrss_kb".
measure() {
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null
    cat "$work/time.txt"
}

best() { sort -n | head -1; }

declare -A secs
for direction in down up; do
    for who in engine curl; do
        : >"$work/$who-$direction.txt"
    done
    for _ in $(seq 1 "$rounds"); do
        rm -f "$work/down.bin" "$ftproot/up-"*.bin
        if [ "$direction" = down ]; then
            measure "$driver" get 127.0.0.1 "$port" "$user" big.bin "$work/down.bin" >>"$work/engine-down.txt"
            cmp -s "$work/down.bin" "$ftproot/big.bin" || { echo "engine download differs" >&2; exit 1; }
            rm -f "$work/down.bin"
            measure curl -s "${curl_tls[@]}" --netrc-file "$netrc" -o "$work/down.bin" "ftp://127.0.0.1:$port/big.bin" >>"$work/curl-down.txt"
        else
            measure "$driver" put 127.0.0.1 "$port" "$user" up-engine.bin "$work/up.bin" >>"$work/engine-up.txt"
            cmp -s "$work/up.bin" "$ftproot/up-engine.bin" || { echo "engine upload differs" >&2; exit 1; }
            measure curl -s "${curl_tls[@]}" --netrc-file "$netrc" -T "$work/up.bin" "ftp://127.0.0.1:$port/up-curl.bin" >>"$work/curl-up.txt"
        fi
    done
    for who in engine curl; do
        secs[$who-$direction]="$(cut -d' ' -f1 "$work/$who-$direction.txt" | best)"
    done
done
rm -f "$work/down.bin" "$ftproot/up-"*.bin

small_rss="$(measure "$driver" get 127.0.0.1 "$port" "$user" small.bin "$work/small.bin" | cut -d' ' -f2)"
big_rss="$(cut -d' ' -f2 "$work/engine-down.txt" | sort -n | tail -1)"
up_rss="$(cut -d' ' -f2 "$work/engine-up.txt" | sort -n | tail -1)"

rate() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.1f", (s > 0 ? b / s / 1048576 : 0) }'; }
ratio() { awk -v e="$1" -v c="$2" 'BEGIN { printf "%.2f", (e > 0 ? c / e : 0) }'; }
echo
printf '%-10s %14s %14s %8s\n' direction "engine MiB/s" "curl MiB/s" ratio
for direction in down up; do
    e="${secs[engine-$direction]}"
    c="${secs[curl-$direction]}"
    printf '%-10s %14s %14s %8s\n' "$direction" "$(rate "$e")" "$(rate "$c")" "$(ratio "$e" "$c")"
done
echo
echo "engine peak memory: ${small_rss} KiB for 16 MiB down, ${big_rss} KiB for ${size_mb} MiB down, ${up_rss} KiB for ${size_mb} MiB up"
