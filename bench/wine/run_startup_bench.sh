#!/usr/bin/env bash
# The start-up benchmark: quillon.exe against the minimal Win32 program, both from the win64 build, under
# Wine (a session of its own unless one runs; see scripts/wine/emulator.sh). Prints median start-up times,
# their ratio and the memory each uses once started.
#
#   bash bench/wine/run_startup_bench.sh [RUNS] [DATABASE]
#
# DATABASE, when given, is the config.MDB the program starts with (for example the 10,000 servers that
# `build/native/engine_bench FOLDER --file-only` leaves in FOLDER/servers.mdb); otherwise the program writes
# its template.
#
# quillon.exe counts as started when its main window is shown and its start-up loader has finished (it then
# sets the window property "QuillonLoaded").
#
# Build first: cmake --preset win64 && cmake --build --preset win64
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$repo/scripts/wine/common.sh"

build="${QUILLON_WIN64_BUILD:-$repo/build/win64}"
for program in quillon.exe minimal_window.exe; do
    [ -f "$build/$program" ] || {
        echo "startup bench: $build/$program is missing; build the win64 preset first" >&2
        exit 1
    }
done

# The benchmark program itself: taken from the build when the build makes it, compiled here otherwise.
bench="$build/startup_bench.exe"
if [ ! -f "$bench" ]; then
    bench="$build/bench-wine/startup_bench.exe"
    if [ ! -f "$bench" ] || [ "$repo/bench/wine/startup_bench.cpp" -nt "$bench" ]; then
        mkdir -p "$(dirname "$bench")"
        x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -static \
            -o "$bench" "$repo/bench/wine/startup_bench.cpp"
    fi
fi

runs="${1:-11}"
shift || true
startWith=()
if [ -n "${1:-}" ]; then startWith=(--database "$(windows_path "$1")"); shift; fi
scratch="$build/startup-bench"
rm -rf "$scratch"
mkdir -p "$scratch"
bash "$repo/scripts/wine/emulator.sh" "$bench" \
    "$(windows_path "$build/quillon.exe")" "$(windows_path "$build/minimal_window.exe")" \
    "$(windows_path "$scratch/program")" "$runs" --loaded-property QuillonLoaded "${startWith[@]}"
