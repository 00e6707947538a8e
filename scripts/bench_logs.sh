#!/usr/bin/env bash
# Log processing against gawk on the same month of access logs, in one run: LINES combined-layout
# lines (default 2,000,000, about 400 MB) in 30 daily files, page cache warmed, then
#   ours: bench/log_processing_driver (LogRun: rows, URL completion, summaries, filters, CSV);
#   gawk: a program doing the same work on these logs (same fields, URL rules, summaries,
#         filter, quoting), fields split at the quotes, in the C locale: its fastest form.
# Reports lines per second of each (best of ROUNDS, default 3, wall time of the whole program),
# the ratio, our peak memory (max RSS) and whether both wrote the same CSV. Then the web traffic
# report reads a CSV of the month with every line a row (no summary types, no filter):
#   bench/log_report_driver (ReadLogReport), best of ROUNDS, rows per second and peak memory.
# The drivers are built with one g++ -O2 command each (BUILD_DIR, default build-bench-logs).
# gawk is installed when missing (needs root; otherwise: apt-get install gawk).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench-logs}"
lines="${LINES:-2000000}"
rounds="${ROUNDS:-3}"
summary="gif/jpg/png/css/js/ico"
filter="robots.txt"
python=/usr/bin/python3

if ! command -v gawk >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "gawk is missing: install it with 'apt-get install gawk' (as root)" >&2
        exit 1
    fi
    apt-get update -qq && apt-get install -y -qq gawk >/dev/null
fi

mkdir -p "$build"
driver="$build/log_processing_driver"
report_driver="$build/log_report_driver"
# shellcheck disable=SC2046
g++ -std=c++20 -O2 -DNDEBUG -Wall -Wextra -I"$root/src" $(pkg-config --cflags Qt6Core) \
    "$root/src/logs/log_run.cpp" "$root/src/config/words.cpp" \
    "$root/bench/log_processing_driver.cpp" $(pkg-config --libs Qt6Core) -o "$driver"
# shellcheck disable=SC2046
g++ -std=c++20 -O2 -DNDEBUG -Wall -Wextra -I"$root/src" $(pkg-config --cflags Qt6Core) \
    "$root/src/logs/log_report.cpp" "$root/src/logs/log_run.cpp" "$root/src/config/words.cpp" \
    "$root/bench/log_report_driver.cpp" $(pkg-config --libs Qt6Core) -o "$report_driver"

work="$(mktemp -d /tmp/vorlen-logs-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/200511"

# ---- a month of logs -------------------------------------------------------------------------
"$python" - "$work/200511" "$lines" <<'EOF'
import random, sys
folder, total = sys.argv[1], int(sys.argv[2])
rng = random.Random(2005)
agents = [
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
    "Version/17.1 Safari/605.1.15",
    "Mozilla/5.0 (X11; Linux x86_64; rv:121.0) Gecko/20100101 Firefox/121.0",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
    "Gecko) Version/17.1 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
    "curl/7.88.1",
]
pages = ["/", "/index.html", "/about.html", "/contact.php", "/Blog/Post-%d.html",
         "/search.php?q=term%d&lang=en", "http://www.example.com/news/%d.html",
         "www.example.com/shop/item%d.html", "/robots.txt", "/downloads/file%d.zip"]
assets = ["/images/logo.gif", "/img/photo%d.jpg", "/css/site.css", "/js/app%d.js",
          "/favicon.ico", "/icons/i%d.png"]
referrers = ["-", "-", "http://www.example.com/index.html", "https://www.google.com/search?q=%d",
             "http://Blog.Example.org/links.html"]
addresses = ["%d.%d.%d.%d" % (rng.randint(1, 223), rng.randint(0, 255), rng.randint(0, 255),
                              rng.randint(1, 254)) for _ in range(3000)]
addresses += ["2001:db8:%x::%x" % (rng.randint(0, 65535), rng.randint(1, 65535))
              for _ in range(300)]
per_day = total // 30
for day in range(1, 31):
    count = per_day + (total - per_day * 30 if day == 30 else 0)
    out = []
    for i in range(count):
        second = i * 86400 // count
        stamp = "%02d/Nov/2005:%02d:%02d:%02d +0000" % (day, second // 3600, second // 60 % 60,
                                                        second % 60)
        url = rng.choice(assets if rng.random() < 0.55 else pages)
        if "%d" in url:
            url = url % rng.randint(1, 500)
        status = rng.choice((200, 200, 200, 200, 304, 404))
        size = "-" if status == 304 else str(rng.randint(200, 60000))
        referrer = rng.choice(referrers)
        if "%d" in referrer:
            referrer = referrer % rng.randint(1, 9999)
        method = "POST" if rng.random() < 0.03 else "GET"
        out.append('%s - - [%s] "%s %s HTTP/1.1" %d %s "%s" "%s"\n' % (
            rng.choice(addresses), stamp, method, url, status, size, referrer,
            rng.choice(agents)))
    with open("%s/stats.200511%02d" % (folder, day), "w") as f:
        f.writelines(out)
EOF
logs=("$work/200511"/stats.200511*)
bytes="$(cat "${logs[@]}" | wc -c)"
cat "${logs[@]}" >/dev/null  # warm the page cache

# ---- the peer: gawk doing the same work ------------------------------------------------------
# Written as an awk user would for speed: fields split at the double quotes, index() rather
# than regular expressions where it can.
cat >"$work/logs.awk" <<'EOF'
function csv(s, c) {
    c = substr(s, 1, 1)
    if (s != "-" && (c == "-" || c == "=" || c == "+" || c == "@" || c == "\t" || c == "\r")) {
        gsub(/"/, "\"\"", s); return "\"'" s "\""
    }
    if (index(s, ",") || index(s, "\"") || index(s, "\r")) { gsub(/"/, "\"\"", s); return "\"" s "\"" }
    return s
}
BEGIN {
    FS = "\""
    ntypes = split(summ, list, "/")
    for (i = 1; i <= ntypes; i++) { list[i] = tolower(list[i]); if (list[i] != "" && !(list[i] in istype)) istype[list[i]] = i }
    pw = proto "www."; pwlen = length(pw)
    printf "Date,Time,Hit,Size,Referrer,Browser,Visitor's IP Address\r\n"
}
{
    o = index($1, "["); c = index($1, "]")
    if (!o || !c || o > c || NF < 7) next
    stamp = substr($1, o + 1, c - o - 1)
    w = index(stamp, " "); if ((w ? w - 1 : length(stamp)) < 18) next
    date = substr(stamp, 1, 11); time = substr(stamp, 13, 8)
    if (!seen) { first = date; seen = 1 }
    split($2, rw, " "); url = tolower(rw[2])
    split($3, nw, " "); size = nw[2]; if (size == "") next
    split($4, fw, " "); ref = tolower(fw[1])
    browser = $6; for (i = 7; i < NF; i++) browser = browser "\"" $i
    if (substr(url, 1, 1) == "/") url = proto dom url
    if (length(url) < 2) next
    if (substr(url, 1, 4) == "www.") url = substr(url, 5)
    if (substr(url, 1, pwlen) == pw) url = proto substr(url, pwlen + 1)
    q = index(url, "?"); if (q > 1 && index(substr(url, 1, q - 1), ".")) url = substr(url, 1, q - 1)
    if (!index(url, proto)) url = proto url
    if (filt != "" && index(url, filt)) next
    n = split(url, parts, "."); t = n > 1 ? parts[n] : ""
    if (t in istype) { if (size ~ /^[0-9]+$/) { hits[t]++; total[t] += size }; next }
    split($1, aw, " ")
    printf "%s,%s,%s,%s,%s,%s,%s\r\n", csv(date), csv(time), csv(url), csv(size), csv(ref), csv(browser), csv(aw[1])
}
END {
    if (!seen) first = "?"
    for (i = 1; i <= ntypes; i++) {
        t = list[i]
        if (t != "" && istype[t] == i && total[t] > 0)
            printf "%s,%s,%s,%d, , ,\r\n", csv(first), "00:00:00", csv("*." t " (" hits[t] " hits)"), total[t]
    }
}
EOF

measure() {  # OUTPUT_FILE COMMAND...: prints "seconds max_rss_kb"
    local out="$1"
    shift
    sync
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >"$out" 2>"$work/err.txt" ||
        { cat "$work/err.txt" >&2; exit 1; }
    cat "$work/time.txt"
}
ours_best="" gawk_best="" ours_rss=0
for run in $(seq 1 "$rounds"); do
    read -r s rss < <(measure "$work/ours.txt" "$driver" -s "$summary" -f "$filter" \
        "$work/ours.csv" "${logs[@]}")
    [ -z "$ours_best" ] || awk -v a="$s" -v b="$ours_best" 'BEGIN { exit !(a < b) }' && ours_best="$s"
    [ "$rss" -gt "$ours_rss" ] && ours_rss="$rss"
    read -r s _ < <(measure "$work/gawk.csv" env LC_ALL=C gawk -v proto=http:// \
        -v dom=example.com -v summ="$summary" -v filt="$filter" -f "$work/logs.awk" "${logs[@]}")
    [ -z "$gawk_best" ] || awk -v a="$s" -v b="$gawk_best" 'BEGIN { exit !(a < b) }' && gawk_best="$s"
done

rate() { awk -v n="$lines" -v s="$1" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }
echo
echo "== $lines lines ($((bytes / 1000000)) MB) in ${#logs[@]} files, best of $rounds =="
printf '%-10s %8s s %12s lines/s\n' "ours" "$ours_best" "$(rate "$ours_best")"
printf '%-10s %8s s %12s lines/s\n' "gawk" "$gawk_best" "$(rate "$gawk_best")"
awk -v a="$ours_best" -v b="$gawk_best" 'BEGIN { printf "ratio (ours / gawk, lines/s): %.2f\n", (a > 0 ? b / a : 0) }'
echo "our peak memory (max RSS): $((ours_rss / 1024)) MB; driver: $(cat "$work/ours.txt")"
echo "CSV rows: ours $(($(wc -l <"$work/ours.csv") - 1)), gawk $(($(wc -l <"$work/gawk.csv") - 1))"
if cmp -s "$work/ours.csv" "$work/gawk.csv"; then
    echo "both wrote the same CSV ($(wc -c <"$work/ours.csv") bytes)"
else
    echo "the CSV files differ:" >&2
    diff "$work/ours.csv" "$work/gawk.csv" | head -10 >&2
    exit 1
fi

# ---- the report over a month of rows -----------------------------------------------------------
# Every line a row, so the reader sees about LINES rows; it keeps counts only, so its memory stays
# flat however long the month.
"$driver" "$work/all.csv" "${logs[@]}" >/dev/null
rows=$(($(wc -l <"$work/all.csv") - 1))
csv_bytes="$(wc -c <"$work/all.csv")"
cat "$work/all.csv" >/dev/null  # warm the page cache
report_best="" report_rss=0
for _ in $(seq 1 "$rounds"); do
    read -r s rss < <(measure "$work/report.txt" "$report_driver" "$work/all.csv")
    [ -z "$report_best" ] || awk -v a="$s" -v b="$report_best" 'BEGIN { exit !(a < b) }' && report_best="$s"
    [ "$rss" -gt "$report_rss" ] && report_rss="$rss"
done
echo
echo "== report: $rows rows ($((csv_bytes / 1000000)) MB CSV), best of $rounds =="
printf '%-10s %8s s %12s rows/s\n' "report" "$report_best" \
    "$(awk -v n="$rows" -v s="$report_best" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }')"
echo "report peak memory (max RSS): $((report_rss / 1024)) MB; driver: $(cat "$work/report.txt")"
