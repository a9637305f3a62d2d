#!/usr/bin/env bash
# Makes the Wine prefix every Windows run starts from (build/wine/prefix-template), once per machine:
# `wineboot -i` under the Chinese locale. Later runs find it and return at once.
#
#   bash scripts/wine/prefix.sh [--force]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ "${1:-}" = "--force" ]; then rm -rf "$prefix_template"; fi
[ -f "$prefix_template/.quillon-ready-3" ] && exit 0

[ -x "$wine64_loader" ] || { echo "wine: $wine64_loader is missing (install Debian's wine64)" >&2; exit 1; }
mkdir -p "$(dirname "$prefix_template")"
exec 9>"$(dirname "$prefix_template")/prefix.lock"
flock 9
[ -f "$prefix_template/.quillon-ready-3" ] && exit 0   # made by another run while this one waited

echo "wine: preparing the prefix $prefix_template (once per machine)"
work="$prefix_template.new"
rm -rf "$work" "$prefix_template"
export WINEPREFIX="$work"
# wineboot needs no display; without one, Wine's X11 driver stays unloaded while the prefix is made.
unset DISPLAY
"${wine64[@]}" wineboot -i >"$(dirname "$prefix_template")/wineboot.log" 2>&1 ||
    { cat "$(dirname "$prefix_template")/wineboot.log" >&2; echo "wine: wineboot failed" >&2; exit 1; }
# Without a window manager (Xvfb), Wine waits two seconds whenever a managed window hides or closes;
# unmanaged windows close at once.
"${wine64[@]}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$(dirname "$prefix_template")/wineboot.log" 2>&1
# A program that crashes prints its backtrace (winedbg --auto) and ends at once with a non-zero exit code,
# instead of waiting for someone to close Wine's crash dialog.
"${wine64[@]}" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >>"$(dirname "$prefix_template")/wineboot.log" 2>&1
"$wineserver" -w
touch "$work/.quillon-ready-3"
mv "$work" "$prefix_template"
echo "wine: prefix ready"
