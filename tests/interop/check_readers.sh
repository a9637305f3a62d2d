#!/usr/bin/env bash
# Writes the sample databases through the engine, then reads each one with independent readers and checks that
# they see exactly what the engine sees:
#   - mdb-tables -1 lists exactly the user tables;
#   - mdb-count gives the engine's row count of every table;
#   - mdb-export prints every table byte for byte as `quillon-db export` does;
#   - mdb-schema reads the file and names every column;
#   - mdb-reader (npm) reads the same tables, columns and rows as the engine, in the same order;
# Row order: a row that an update moved is listed by the engine at its original place (as Jet does) and by
# the other readers where its data now lives. For samples with such updates (NAME.order says "any") the rows
# must be the same but may come in another order; every other sample must match in order too.
#   - `quillon-db check` finds the file sound.
# A missing reader is a failure, never a reason to skip.
#
#   check_readers.sh SAMPLES_PROGRAM QUILLON_DB WORKDIR [FOREIGN_FILE...] [--optional FOREIGN_FILE...]
#
# Each FOREIGN_FILE (a database written by another program) is checked the same way, without being changed.
# One named after --optional that is not there is skipped with a line that says so.
set -uo pipefail

if [ $# -lt 3 ]; then
    echo "usage: check_readers.sh SAMPLES_PROGRAM QUILLON_DB WORKDIR [FOREIGN_FILE...] [--optional FOREIGN_FILE...]" >&2
    exit 2
fi
samples_program=$1
quillon_db=$2
workdir=$3
shift 3
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

missing=0
for tool in mdb-tables mdb-count mdb-export mdb-schema node; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "FAIL: $tool is not installed (run scripts/setup.sh)" >&2
        missing=1
    fi
done
for program in "$samples_program" "$quillon_db"; do
    [ -x "$program" ] || { echo "FAIL: $program has not been built" >&2; missing=1; }
done
if ! (cd "$here" && node -e 'import("mdb-reader").catch(() => process.exit(1))' 2>/dev/null); then
    echo "FAIL: the npm package mdb-reader is not installed (run scripts/setup.sh)" >&2
    missing=1
fi
[ "$missing" -eq 0 ] || exit 1

rm -rf "$workdir"
mkdir -p "$workdir"
samples_dir="$workdir/samples"
out="$workdir/out"
mkdir -p "$out"

read_args=()
optional=no
for file in "$@"; do
    if [ "$file" = --optional ]; then optional=yes; continue; fi
    if [ ! -f "$file" ]; then
        if [ "$optional" = yes ]; then echo "skip  $file: not here"; continue; fi
        echo "FAIL: $file does not exist" >&2
        exit 1
    fi
    read_args+=(--read "foreign-$(basename "$file" .mdb)" "$file")
done

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok    $*"; }
fail() { failed=$((failed + 1)); echo "FAIL  $*"; }

# Writing the samples is itself a check: the generator verifies every row it reads back.
if "$samples_program" "$samples_dir" "${read_args[@]}" >"$out/samples.log" 2>&1; then
    pass "samples written and read back by the engine"
else
    fail "samples written and read back by the engine:"
    sed 's/^/      /' "$out/samples.log"
fi
if [ ! -s "$samples_dir/samples.txt" ]; then
    echo "FAIL: no sample was written" >&2
    exit 1
fi

# Whether two CSV files have the same header and the same lines after it, in any order.
same_lines_any_order() {
    [ "$(head -n 1 "$1")" = "$(head -n 1 "$2")" ] &&
        cmp -s <(tail -n +2 "$1" | LC_ALL=C sort) <(tail -n +2 "$2" | LC_ALL=C sort)
}

# Shows the first lines where two outputs differ.
show_diff() { diff -u "$1" "$2" | head -n 20 | sed 's/^/      /'; }

while IFS= read -r sample; do
    file="$samples_dir/$sample.mdb"
    any_order=0
    [ "$(cat "$samples_dir/$sample.order")" = "any" ] && any_order=1
    tables=()
    while IFS= read -r table; do tables+=("$table"); done <"$samples_dir/$sample.tables"

    if mdb-tables -1 "$file" >"$out/$sample.mdb-tables" 2>"$out/$sample.mdb-tables.err" &&
       diff -q "$samples_dir/$sample.tables" "$out/$sample.mdb-tables" >/dev/null; then
        pass "$sample: mdb-tables lists the user tables"
    else
        fail "$sample: mdb-tables lists the user tables (left: engine, right: mdb-tables)"
        cat "$out/$sample.mdb-tables.err"
        show_diff "$samples_dir/$sample.tables" "$out/$sample.mdb-tables"
    fi

    if "$quillon_db" check "$file" >"$out/$sample.check" 2>&1; then
        pass "$sample: quillon-db check"
    else
        fail "$sample: quillon-db check"
        sed 's/^/      /' "$out/$sample.check"
    fi

    if mdb-schema "$file" >"$out/$sample.schema" 2>"$out/$sample.schema.err"; then
        unnamed=()
        while IFS=$'\t' read -r table column; do
            # The column must appear inside its own table's CREATE TABLE statement.
            if ! awk -v start="CREATE TABLE [$table]" -v want="[$column]" '
                    index($0, start) == 1 { inside = 1; next }
                    inside && /^\);/ { inside = 0 }
                    inside && index($0, want) { found = 1 }
                    END { exit !found }' "$out/$sample.schema"; then
                unnamed+=("$table.$column")
            fi
        done <"$samples_dir/$sample.columns"
        if [ "${#unnamed[@]}" -eq 0 ]; then
            pass "$sample: mdb-schema names every column"
        else
            fail "$sample: mdb-schema does not name ${unnamed[*]}"
        fi
    else
        fail "$sample: mdb-schema cannot read the file"
        sed 's/^/      /' "$out/$sample.schema.err"
    fi

    for index in "${!tables[@]}"; do
        table=${tables[$index]}
        engine_count=$(awk -F'\t' -v t="$table" '$1 == t { print $2 }' "$samples_dir/$sample.counts")
        mdb_count=$(mdb-count "$file" "$table" 2>&1)
        if [ "$mdb_count" = "$engine_count" ]; then
            pass "$sample: mdb-count $table = $engine_count"
        else
            fail "$sample: mdb-count $table gives '$mdb_count', the engine counts $engine_count"
        fi

        engine_csv="$out/$sample.$index.quillon.csv"
        mdb_csv="$out/$sample.$index.mdb.csv"
        if ! "$quillon_db" export "$file" "$table" >"$engine_csv" 2>"$engine_csv.err"; then
            fail "$sample: quillon-db export $table failed"
            sed 's/^/      /' "$engine_csv.err"
        elif ! mdb-export "$file" "$table" >"$mdb_csv" 2>"$mdb_csv.err"; then
            fail "$sample: mdb-export $table failed"
            sed 's/^/      /' "$mdb_csv.err"
        elif cmp -s "$engine_csv" "$mdb_csv"; then
            pass "$sample: mdb-export $table matches quillon-db export byte for byte"
        elif [ "$any_order" -eq 1 ] && same_lines_any_order "$engine_csv" "$mdb_csv"; then
            pass "$sample: mdb-export $table has the same lines as quillon-db export (moved rows listed elsewhere)"
        else
            fail "$sample: mdb-export $table differs from quillon-db export (left: quillon-db, right: mdb-export)"
            show_diff "$engine_csv" "$mdb_csv"
        fi
    done

    order_option=()
    [ "$any_order" -eq 1 ] && order_option=(--any-order)
    if node "$here/read_with_mdb_reader.mjs" "$file" --expect "$samples_dir/$sample.json" "${order_option[@]}" \
            >"$out/$sample.mdb-reader" 2>&1; then
        pass "$sample: $(cat "$out/$sample.mdb-reader")"
    else
        fail "$sample: mdb-reader disagrees with the engine"
        head -n 20 "$out/$sample.mdb-reader" | sed 's/^/      /'
    fi
done <"$samples_dir/samples.txt"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
