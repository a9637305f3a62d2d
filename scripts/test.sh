#!/usr/bin/env bash
# Sets the machine up, then builds and runs every test: the native build, the same under AddressSanitizer and
# UndefinedBehaviorSanitizer, the 64-bit Windows build with its Windows-side tests under Wine, the 32-bit
# Windows build (built only: this machine runs no 32-bit code), and a short fuzzing run of the database reader
# and of the import's readers.
#
# The plain native build runs from a copy of the repository that has nothing beside it (build/alone/quillon),
# as a fresh clone would: it proves that the tests need nothing outside the repository. Every other build runs
# from here, with the team's shared folder beside the checkout where there is one (the Jet-made reference
# database, which some tests compare with).
#
#   bash scripts/test.sh            everything
#   FUZZ_SECONDS=300 bash scripts/test.sh   a longer fuzzing run of the database reader and journal
#   IMPORT_FUZZ_SECONDS=120 bash ...        a longer one of each reader of the import (15 s each otherwise)
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
started=$SECONDS
fuzz_seconds=${FUZZ_SECONDS:-60}
import_fuzz_seconds=${IMPORT_FUZZ_SECONDS:-15}

bash scripts/setup.sh

failures=()
step() {
    echo
    echo "=== $* (at $((SECONDS - started))s) ==="
}

# The repository's files as they are here (tracked and new ones, not ignored ones) in a folder of their own.
# Files keep their times, so that the copy's build redoes only what changed since the last run.
alone="$repo/build/alone/quillon"
copy_alone() {
    mkdir -p "$alone"
    find "$alone" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
    if git -C "$repo" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$repo" ls-files -z --cached --others --exclude-standard |
            tar -C "$repo" --null --files-from=- --ignore-failed-read -cf - 2>/dev/null
    else
        tar -C "$repo" --exclude=./build --exclude=./node_modules -cf - .
    fi | tar -C "$alone" -xf -
    ln -s "$repo/node_modules" "$alone/node_modules"  # installed by setup from the same package-lock.json
}

for preset in native native-asan; do
    where="$repo"
    if [ "$preset" = native ]; then
        step "copy the repository alone to $alone"
        copy_alone
        where="$alone"
    fi
    step "build $preset"
    if (cd "$where" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"); then
        step "test $preset"
        (cd "$where" && ctest --preset "$preset") || failures+=("tests of $preset")
    else
        failures+=("build of $preset")
    fi
done

# Windows, 64-bit: the Windows-side tests run under Wine, in one session (Xvfb, a fresh prefix, one
# wineserver) started here and stopped however this script ends.
step "build win64"
if cmake --preset win64 >/dev/null && cmake --build --preset win64; then
    step "test win64 (under Wine)"
    trap 'bash scripts/wine/session.sh stop' EXIT
    if bash scripts/wine/session.sh start; then
        ctest --preset win64 || failures+=("tests of win64 (under Wine)")
    else
        failures+=("the Wine session")
    fi
    bash scripts/wine/session.sh stop
    trap - EXIT
else
    failures+=("build of win64")
fi

# Windows, 32-bit: built only.
step "build win32"
cmake --preset win32 >/dev/null && cmake --build --preset win32 || failures+=("build of win32")

# Fuzzing, each target with a corpus of its own in build/fuzz/corpus/<target>, kept for the next run. The
# reader starts from the engine's own files (the samples the reader tests wrote) and the Jet-made empty
# database, where it is here; the journal fuzzer from nothing, with room for a few whole pages per input. The
# import's readers (table_fuzz, rdp_fuzz, rdg_fuzz, confcons_fuzz) run shorter, each from the sample files
# its unit tests wrote (fuzz-samples in the native build).
step "build fuzz"
if cmake --preset fuzz >/dev/null && cmake --build --preset fuzz; then
    artifacts=build/fuzz/artifacts
    mkdir -p build/fuzz/corpus/reader_fuzz build/fuzz/corpus/journal_fuzz "$artifacts"
    seeds=("$alone"/build/native/interop/samples/*.mdb)
    reference="$repo/../shared/reference/jet4-engine-made-empty.mdb"
    [ -f "$reference" ] && seeds+=("$reference")
    for sample in "${seeds[@]}"; do
        if [ -f "$sample" ]; then install -m 0644 "$sample" "build/fuzz/corpus/reader_fuzz/start-$(basename "$sample")"; fi
    done
    for samples in "$alone"/build/native/fuzz-samples/*/; do
        [ -d "$samples" ] || continue
        corpus="build/fuzz/corpus/$(basename "$samples")"
        mkdir -p "$corpus"
        for sample in "$samples"*; do
            if [ -f "$sample" ]; then install -m 0644 "$sample" "$corpus/start-$(basename "$sample")"; fi
        done
    done
    for fuzzer in build/fuzz/*_fuzz; do
        [ -x "$fuzzer" ] || continue
        name=$(basename "$fuzzer")
        corpus="build/fuzz/corpus/$name"
        mkdir -p "$corpus"
        options=()
        [ "$name" = journal_fuzz ] && options+=(-max_len=16384 -len_control=0)
        seconds=$fuzz_seconds
        case "$name" in reader_fuzz | journal_fuzz) ;; *) seconds=$import_fuzz_seconds ;; esac
        step "fuzz $name for ${seconds}s"
        if "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
                "${options[@]}" -artifact_prefix="$artifacts/" "$corpus" >"build/fuzz/$name.log" 2>&1; then
            grep '^stat::' "build/fuzz/$name.log" || true
        else
            tail -n 80 "build/fuzz/$name.log"
            failures+=("fuzzing $name (log in build/fuzz/$name.log, input kept in $artifacts)")
        fi
    done
else
    failures+=("build of the fuzz targets")
fi

echo
echo "=== finished in $((SECONDS - started))s ==="
if [ "${#failures[@]}" -gt 0 ]; then
    printf 'FAILED: %s\n' "${failures[@]}"
    exit 1
fi
echo "all tests passed"
