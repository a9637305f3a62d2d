# Shared by the scripts in scripts/wine: where Wine lives on Debian and how every Windows program here runs.
# Sourced, not run.

quillon_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Debian keeps the 64-bit loader off the PATH.
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# The prepared prefix, made once per machine; each test run works on a copy of it.
prefix_template="$quillon_repo/build/wine/prefix-template"

# The environment of every Wine process: Chinese locale (so the ANSI code page is 936), no debug output, and
# no Mono/Gecko installers (the program needs neither .NET nor the HTML engine).
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# A Unix path in the form Windows programs see it: Wine maps / to drive Z:.
windows_path() {
    local path
    path="$(realpath -m "$1")"
    path="${path//\//\\}"
    printf 'Z:%s' "$path"
}
