#!/usr/bin/env bash
# Times `quillon-db export FILE Server` against `mdb-export FILE Server` on a file holding 10,000 Server rows,
# in the same run, and prints both times and their ratio (quillon-db / mdb-export; the aim is 1.0 or less).
# Also says whether the two printed the same CSV.
#
#   bench/export_vs_mdb.sh [BUILD_FOLDER] [RUNS]
#     BUILD_FOLDER  holds quillon-db and engine_bench (default: build/native)
#     RUNS          runs of each command (default: 20); the best run of each is compared
#
# Uses hyperfine when it is installed, a timing loop in bash otherwise.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
runs=${2:-20}
tool=$build/quillon-db
bench=$build/engine_bench

for program in "$tool" "$bench"; do
    if [[ ! -x $program ]]; then
        echo "export_vs_mdb.sh: $program is missing; build the quillon-db and engine_bench targets first" >&2
        exit 1
    fi
done
if ! command -v mdb-export > /dev/null; then
    echo "export_vs_mdb.sh: mdb-export is not installed (package mdbtools)" >&2
    exit 1
fi

work=$(mktemp -d "$build/export-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$bench" "$work" --file-only > /dev/null
file=$work/servers.mdb

if cmp -s <("$tool" export "$file" Server) <(mdb-export "$file" Server); then
    echo "the two exports print the same CSV"
else
    echo "the two exports differ (compare: $tool export FILE Server, mdb-export FILE Server)"
fi

# Best (least) wall time of `runs` runs of a command, in microseconds, from bash's own clock.
best_of() {
    local best="" start end took i
    "$@" > /dev/null  # warm the page cache
    for ((i = 0; i < runs; ++i)); do
        start=${EPOCHREALTIME/[.,]/}
        "$@" > /dev/null
        end=${EPOCHREALTIME/[.,]/}
        took=$((end - start))
        if [[ -z $best || $took -lt $best ]]; then best=$took; fi
    done
    echo "$best"
}

if command -v hyperfine > /dev/null; then
    csv=$work/times.csv
    hyperfine --style none --shell=none --warmup 3 --runs "$runs" --export-csv "$csv" \
        "$tool export $file Server" "mdb-export $file Server" > /dev/null
    # Columns: command,mean,stddev,median,user,system,min,max (seconds).
    read -r ours_mean ours_best < <(awk -F, 'NR == 2 { printf "%d %d\n", $2 * 1e6, $7 * 1e6 }' "$csv")
    read -r theirs_mean theirs_best < <(awk -F, 'NR == 3 { printf "%d %d\n", $2 * 1e6, $7 * 1e6 }' "$csv")
    how="hyperfine, $runs runs each"
else
    ours_best=$(best_of "$tool" export "$file" Server)
    theirs_best=$(best_of mdb-export "$file" Server)
    ours_mean="" theirs_mean=""
    how="bash timing loop, $runs runs each"
fi

ms() { awk -v us="$1" 'BEGIN { printf "%.2f ms", us / 1000 }'; }
echo "export of 10,000 Server rows ($how):"
printf '  %-12s best %s%s\n' "quillon-db" "$(ms "$ours_best")" "${ours_mean:+, mean $(ms "$ours_mean")}"
printf '  %-12s best %s%s\n' "mdb-export" "$(ms "$theirs_best")" "${theirs_mean:+, mean $(ms "$theirs_mean")}"
awk -v a="$ours_best" -v b="$theirs_best" 'BEGIN { printf "  ratio quillon-db / mdb-export (best): %.2f (aim: 1.00 or less)\n", a / b }'
