#!/usr/bin/env bash
# The program's CPU use while it idles under Wine with the session monitor running: quillon.exe with SERVERS
# servers in its list (default 100), measured over SECONDS seconds (default 30) once its list has loaded, as
# the processor time Linux counts for its process (and for the Wine server, which works for it). Prints the
# share of one core each used.
#
#   bash bench/wine/run_idle_bench.sh [SERVERS] [SECONDS]
#
# Build first: cmake --preset win64 && cmake --build --preset win64, and the native quillon-db
# (cmake --build --preset native --target quillon-db), which writes the servers.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$repo/scripts/wine/common.sh"

servers="${1:-100}"
seconds="${2:-30}"
build="${QUILLON_WIN64_BUILD:-$repo/build/win64}"
tool="$repo/build/native/quillon-db"
for file in "$build/quillon.exe" "$tool"; do
    [ -x "$file" ] || [ -f "$file" ] || { echo "idle bench: $file is missing; build it first" >&2; exit 1; }
done

folder="$build/idle-bench"
rm -rf "$folder"
mkdir -p "$folder"
cp "$build/quillon.exe" "$folder/"
"$tool" template "$folder/config.MDB"
for i in $(seq "$servers"); do
    "$tool" sql "$folder/config.MDB" \
        "insert into Server (ip, port, user, password, note) values ('10.0.0.$((i % 250))', '$((3000 + i))', 'u', 'p', 'server $i')" \
        >/dev/null
done

session="$folder/session"
trap 'bash "$repo/scripts/wine/session.sh" stop "$session" >/dev/null 2>&1' EXIT
bash "$repo/scripts/wine/session.sh" start "$session" >/dev/null 2>&1
source "$session/session.env"
export WINEPREFIX DISPLAY
(cd "$folder" && exec "${wine64[@]}" ./quillon.exe) </dev/null >"$folder/wine.log" 2>&1 &

for _ in $(seq 120); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Quillon": (' && break
    sleep 0.5
done
sleep 5  # the loader fills the list; the monitor settles into its passes
program=$(pgrep -f 'quillon\.exe' | head -n 1)
server=$(pgrep -f "wineserver" | head -n 1)
[ -n "$program" ] || { echo "idle bench: quillon.exe did not start" >&2; exit 1; }

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
p0=$(ticks "$program"); s0=$(ticks "$server")
sleep "$seconds"
p1=$(ticks "$program"); s1=$(ticks "$server")
awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v hz="$hz" -v t="$seconds" -v n="$servers" 'BEGIN {
    printf "idle with %d servers, over %d s (share of one core):\n", n, t
    printf "  quillon.exe  %6.2f %%\n", 100 * p / hz / t
    printf "  wineserver   %6.2f %%\n", 100 * s / hz / t
}'
