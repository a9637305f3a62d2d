#!/usr/bin/env bash
# `quillon-db export FILE Server` beside `mdb-export FILE Server` on files of 1,000, 10,000 and 100,000
# servers: median wall time of paired runs, peak memory and page faults, each export checked against the rows
# the file holds (export_bench does the work; see bench/export_bench.cpp).
#
#   bench/export_vs_mdb.sh [BUILD_FOLDER] [PAIRS]
#     BUILD_FOLDER  holds quillon-db and export_bench (default: build/native)
#     PAIRS         paired runs per file (default: 20)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
pairs=${2:-20}

for program in "$build/quillon-db" "$build/export_bench"; do
    if [[ ! -x $program ]]; then
        echo "export_vs_mdb.sh: $program is missing; build the quillon-db and export_bench targets first" >&2
        exit 1
    fi
done
if ! command -v mdb-export > /dev/null; then
    echo "export_vs_mdb.sh: mdb-export is not installed (package mdbtools)" >&2
    exit 1
fi

work=$(mktemp -d "$build/export-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/export_bench" "$build/quillon-db" "$work" "$pairs"
