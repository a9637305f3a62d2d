#!/usr/bin/env bash
# Sets the machine up, builds quillon.exe (preset win64) and starts it under Wine with the Chinese locale, in
# a folder of its own (build/run by default), where it keeps config.MDB.
#
#   bash scripts/run.sh [FOLDER]
#
# Without a usable display (DISPLAY unset, as in CI or over ssh) it runs on an Xvfb display of its own, waits
# for the main window (caption "Quillon"), saves a screenshot to build/screenshots/main.png, prints its path,
# then ends the program and the display. With a display it leaves the program running there for the person.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
folder="$(realpath -m "${1:-build/run}")"

bash scripts/setup.sh

if [ ! -f src/app/main_win32.cpp ]; then
    # No Windows program yet: show the configuration database it starts with instead.
    cmake --preset native >/dev/null
    cmake --build --preset native --target quillon-db
    tool=build/native/quillon-db
    mkdir -p "$folder"
    rm -f "$folder/config.MDB"
    "$tool" template "$folder/config.MDB"
    echo "Wrote $folder/config.MDB; consistency check: $("$tool" check "$folder/config.MDB")"
    while IFS= read -r table; do
        echo
        echo "== $table =="
        "$tool" export "$folder/config.MDB" "$table"
    done < <("$tool" tables "$folder/config.MDB")
    exit 0
fi

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target quillon
mkdir -p "$folder"
install -m 0755 build/win64/quillon.exe "$folder/quillon.exe"

source scripts/wine/common.sh
screenshots="$repo/build/screenshots"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    # On the person's display, with a prefix of its own that lasts from one run to the next.
    export WINEPREFIX="$repo/build/wine/run-prefix"
    if [ ! -d "$WINEPREFIX/drive_c" ]; then
        bash scripts/wine/prefix.sh
        cp -a "$prefix_template" "$WINEPREFIX"
    fi
    cd "$folder"
    setsid "${wine64[@]}" ./quillon.exe </dev/null >"$folder/wine.log" 2>&1 &
    echo "Quillon is running on $DISPLAY from $folder (Wine's messages in $folder/wine.log)."
    echo "Close its window to end it."
    exit 0
fi

# No display: an Xvfb session of its own, stopped however this script ends.
session="$repo/build/run-session"
trap 'bash "$repo/scripts/wine/session.sh" stop "$session"' EXIT
bash scripts/wine/session.sh start "$session"
source "$session/session.env"
export WINEPREFIX DISPLAY

(cd "$folder" && exec "${wine64[@]}" ./quillon.exe) </dev/null >"$folder/wine.log" 2>&1 &
program=$!

# Wine gives each top-level window an X window named after its caption.
found=no
for _ in $(seq 120); do
    if xwininfo -root -tree 2>/dev/null | grep -q '"Quillon": ('; then found=yes; break; fi
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
if [ "$found" = no ]; then
    echo "run: the main window (caption \"Quillon\") did not appear; Wine's messages:" >&2
    tail -n 40 "$folder/wine.log" >&2
    exit 1
fi
sleep 2  # let the list and the pictures paint
mkdir -p "$screenshots"
import -window root "$screenshots/main.png"
echo "Quillon started in $folder; screenshot of its main window: $screenshots/main.png"
