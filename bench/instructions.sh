#!/usr/bin/env bash
# Instructions (valgrind's callgrind: the same count on a busy or an idle machine) that quillon-db executes on
# a configuration database of 10,000 servers for an export, a SELECT filtered on ip and port, and an UPDATE of
# one row (with its journal, locks and flushes), beside the same commands of another build of quillon-db, such
# as one of an earlier commit, on the same file. Each command's output is checked.
#
#   bench/instructions.sh [BUILD_FOLDER] [OTHER_BUILD_FOLDER]
#     BUILD_FOLDER        holds quillon-db and export_bench (default: build/native)
#     OTHER_BUILD_FOLDER  holds the quillon-db to compare with (default: none, this build's figures alone)
#
# A build of an earlier commit, for example the one before a change:
#   git worktree add /tmp/before COMMIT && (cd /tmp/before && cmake --preset native &&
#     cmake --build --preset native --target quillon-db)
#   bench/instructions.sh build/native /tmp/before/build/native
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
other=${2:-}
command -v valgrind > /dev/null || { echo "instructions.sh: valgrind is not installed" >&2; exit 1; }
for program in "$build/quillon-db" "$build/export_bench" ${other:+"$other/quillon-db"}; do
    [[ -x $program ]] || { echo "instructions.sh: $program is missing; build it first" >&2; exit 1; }
done

work=$(mktemp -d "$build/instructions.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/export_bench" --write "$work/servers.mdb" 10000
select="select * from Server where ip='10.0.19.136' and port='3389'"
update="update Server set note='renamed' where ip='10.0.19.136' and port='3389'"

# instructions TOOL WHAT ARGS...: the count of one run (on a fresh copy of the file), after checking its
# output; a failure is noted in $work/failed.
instructions() {
    local tool=$1 what=$2
    shift 2
    cp "$work/servers.mdb" "$work/run.mdb"
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$tool" "$@" > "$work/out.txt" 2> "$work/valgrind.txt" || {
        echo "instructions.sh: $tool $what failed:" >&2
        cat "$work/valgrind.txt" >&2
        touch "$work/failed"
    }
    local lines expected
    lines=$(wc -l < "$work/out.txt")
    case $what in
        export) expected=10001 ;;
        select) expected=2 ;;
        update) expected=1 ;;
    esac
    if [[ $lines -ne $expected ]] || { [[ $what == update ]] && [[ $(cat "$work/out.txt") != 1 ]]; }; then
        echo "instructions.sh: $tool $what printed $lines lines, not $expected" >&2
        touch "$work/failed"
    fi
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/valgrind.txt"
}

measure() {
    local tool=$1
    instructions "$tool" export export "$work/run.mdb" Server
    instructions "$tool" select sql "$work/run.mdb" "$select"
    instructions "$tool" update sql "$work/run.mdb" "$update"
}

mapfile -t ours < <(measure "$build/quillon-db")
if [[ -n $other ]]; then mapfile -t theirs < <(measure "$other/quillon-db"); fi
names=("export Server" "SELECT on ip and port" "UPDATE of one row")
printf '%-24s %14s %14s %8s\n' "quillon-db, 10,000 rows" "instructions" "${other:+other build}" "${other:+change}"
for i in 0 1 2; do
    if [[ -n $other ]]; then
        awk -v n="${names[$i]}" -v a="${ours[$i]}" -v b="${theirs[$i]}" \
            'BEGIN { printf "%-24s %14d %14d %+7.1f%%\n", n, a, b, (a - b) * 100 / b }'
    else
        printf '%-24s %14d\n' "${names[$i]}" "${ours[$i]}"
    fi
done
[[ ! -e $work/failed ]]
