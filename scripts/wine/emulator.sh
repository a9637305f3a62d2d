#!/usr/bin/env bash
# Runs one Windows program under Wine as if it were a native one: ctest calls it for every Windows test
# (CMAKE_CROSSCOMPILING_EMULATOR of the win64 preset), and it can be called by hand:
#
#   scripts/wine/emulator.sh build/win64/environment_test.exe [ARGUMENTS...]
#
# It uses the Wine session in $QUILLON_WINE_SESSION (default build/win64/wine-session), or, when none runs,
# starts one for this program alone and stops it afterwards. The program sees:
#   QUILLON_TEST_DIR  a fresh, empty scratch folder (from QUILLON_TEST_DIR_UNIX, or a new one under the
#                     session), in Windows form (Z:\...)
#   QUILLON_EXE       quillon.exe in Windows form, when QUILLON_EXE_UNIX names it
#   QUILLON_BROWSER_LOG  the file the browser stand-in writes to, in the scratch folder ("browser.log")
# Its exit code is the program's.
set -euo pipefail
here="$(dirname "${BASH_SOURCE[0]}")"
source "$here/common.sh"

[ $# -ge 1 ] || { echo "usage: emulator.sh PROGRAM.exe [ARGUMENTS...]" >&2; exit 2; }
session="${QUILLON_WINE_SESSION:-$quillon_repo/build/win64/wine-session}"

own_session=no
if ! bash "$here/session.sh" status "$session" >/dev/null 2>&1; then
    session="$(mktemp -d "${TMPDIR:-/tmp}/quillon-wine.XXXXXX")"
    bash "$here/session.sh" start "$session" </dev/null >&2
    own_session=yes
fi
source "$session/session.env"
export WINEPREFIX DISPLAY

scratch="${QUILLON_TEST_DIR_UNIX:-$session/scratch/$(basename "$1" .exe)}"
rm -rf "$scratch"
mkdir -p "$scratch"
export QUILLON_TEST_DIR="$(windows_path "$scratch")"
# Where the browser stand-in (tests/wine/tools/record_browser.sh) writes the addresses it is given. It runs
# outside Wine, so it sees this environment, not the one a Windows program sets.
export QUILLON_BROWSER_LOG="$scratch/browser.log"
if [ -n "${QUILLON_EXE_UNIX:-}" ]; then
    export QUILLON_EXE="$(windows_path "$QUILLON_EXE_UNIX")"
fi

status=0
"${wine64[@]}" "$@" || status=$?
if [ "$own_session" = yes ]; then
    bash "$here/session.sh" stop "$session" >&2
    rm -rf "$session"
fi
exit "$status"
