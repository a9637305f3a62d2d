#!/usr/bin/env bash
# The server-list benchmark under Wine (a session of its own unless one runs; see scripts/wine/emulator.sh):
# the list of MainWindow filled with 10,000 servers in a window of the benchmark's own and sorted there by
# header clicks, then quillon.exe started beside a config.MDB holding them, timed until its loader has filled
# the list, with the longest time its main window did not answer. Prints the figures.
#
#   bash bench/wine/run_list_fill_bench.sh [RUNS] [SERVERS] [OTHER_QUILLON_EXE...]
#
# Other builds of quillon.exe given after SERVERS are started in turns with the build's own, for a
# before/after comparison (their file names label the figures).
# Build first: the win64 preset (or QUILLON_WIN64_BUILD=<folder> for another build of it), targets quillon
# and list_fill_bench.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$repo/scripts/wine/common.sh"

build="${QUILLON_WIN64_BUILD:-$repo/build/win64}"
for program in quillon.exe list_fill_bench.exe; do
    [ -f "$build/$program" ] || {
        echo "list fill bench: $build/$program is missing; build the targets quillon and list_fill_bench first" >&2
        exit 1
    }
done

runs="${1:-5}"
servers="${2:-10000}"
shift 2 || shift $#
others=()
for other in "$@"; do
    [ -f "$other" ] || { echo "list fill bench: $other is missing" >&2; exit 1; }
    others+=("$(windows_path "$other")")
done
scratch="$build/list-fill-bench"
rm -rf "$scratch"
mkdir -p "$scratch"
bash "$repo/scripts/wine/emulator.sh" "$build/list_fill_bench.exe" \
    "$(windows_path "$scratch")" "$(windows_path "$build/quillon.exe")" "${others[@]}" \
    --runs "$runs" --servers "$servers"
