# Shared by the scripts in scripts/wine: where Wine lives on Debian and how every Windows program here runs.
# Sourced, not run.

quillon_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Debian keeps the 64-bit loader off the PATH. Every Wine program starts through "${wine64[@]}", which gives it
# the Chinese locale (so that the ANSI code page is 936). The locale is set for Wine's processes only, never in
# the calling shell: a shell that started before the locale was generated cannot switch to it, and says so.
wine64_loader=/usr/lib/wine/wine64
wine64=(env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$wine64_loader")
wineserver=/usr/lib/wine/wineserver

# The prepared prefix, made once per machine; each test run works on a copy of it.
prefix_template="$quillon_repo/build/wine/prefix-template"

# The environment of every Wine process besides the locale: no debug output, and no Mono/Gecko installers
# (the program needs neither .NET nor the HTML engine).
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
