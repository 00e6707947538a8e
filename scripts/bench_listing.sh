#!/usr/bin/env bash
# The listing parsers now against an earlier commit, in one run: builds bench/listing_bench
# (Release, no widgets) from this work tree and from BASE (default: the commit before the second
# round of listing forms) in folders under /tmp, then runs the two programs in turns, ROUNDS times
# each, and prints lines per second of every form with the ratio new/old, and the machine
# listing's rate against the Unix parser's of the same run. Ratios, not absolute figures, are
# what a shared machine can show; with CALLGRIND=1 it also counts the instructions each parse of
# a whole listing takes under valgrind (the same on a busy machine as on an idle one).
# Usage: [CALLGRIND=1] scripts/bench_listing.sh [BASE] [ROUNDS]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
base="${1:-9d570bd}"
rounds="${2:-3}"
work=/tmp/vorlen-bench-listing
mkdir -p "$work"

build() {
    local src="$1" out="$2"
    cmake -S "$src" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORLEN_BUILD_TESTS=OFF \
        -DVORLEN_BUILD_APP=OFF -DVORLEN_BUILD_BENCHMARKS=ON >/dev/null
    cmake --build "$out" --target listing_bench >/dev/null
}

rm -rf "$work/old-src"
git -C "$repo" worktree prune
git -C "$repo" worktree add --detach "$work/old-src" "$base" >/dev/null 2>&1
trap 'git -C "$repo" worktree remove --force "$work/old-src" >/dev/null 2>&1 || true' EXIT
echo "building $base and the work tree ..." >&2
build "$work/old-src" "$work/old-build"
build "$repo" "$work/new-build"

: >"$work/results.csv"
for round in $(seq 1 "$rounds"); do
    for side in old new; do
        "$work/$side-build/bench/listing_bench" --benchmark_filter='Parse' \
            --benchmark_format=csv 2>/dev/null | grep '^"BM_' |
            sed "s/^/$side,/" >>"$work/results.csv"
    done
done

python3 - "$work/results.csv" <<'PY'
import csv, statistics, sys
rates = {}
for row in csv.reader(open(sys.argv[1])):
    side, name = row[0], row[1].strip('"')
    # The counter column is the last number on the row.
    rate = float([v for v in row if v.replace('.', '', 1).replace('e+', '', 1).isdigit()][-1])
    rates.setdefault((side, name), []).append(rate)
med = {k: statistics.median(v) for k, v in rates.items()}
print("%-18s %14s %14s %8s" % ("form", "old lines/s", "new lines/s", "new/old"))
for name in sorted({n for _, n in med}):
    old, new = med.get(("old", name)), med.get(("new", name))
    print("%-18s %14s %14s %8s" % (name, "%.0f" % old if old else "-", "%.0f" % new if new else "-",
                                    "%.2f" % (new / old) if old and new else "-"))
unix, machine = med.get(("new", "BM_UnixParse")), med.get(("new", "BM_MachineParse"))
if unix and machine:
    print("machine listing / Unix parser (new): %.2f" % (machine / unix))
PY

if [ "${CALLGRIND:-}" = 1 ]; then
    # One timed iteration and the untimed warm-up: two parses of each listing.
    echo "instructions per listed line (callgrind):"
    for side in old new; do
        for form in Unix Machine Windows Zos; do
            out="$work/callgrind.$side.$form"
            valgrind --tool=callgrind --callgrind-out-file="$out" \
                "$work/$side-build/bench/listing_bench" --benchmark_filter="BM_${form}Parse\$" \
                --benchmark_min_time=0.000001 >/dev/null 2>&1 || continue
            instructions="$(callgrind_annotate --inclusive=yes "$out" 2>/dev/null |
                grep 'ParseListing(' | head -1 | awk '{gsub(",", "", $1); print $1}' || true)"
            [ -n "$instructions" ] || continue
            lines=100000
            [ "$form" = Zos ] && lines=20000
            echo "$side $form $((instructions / (2 * lines)))"
        done
    done
fi
