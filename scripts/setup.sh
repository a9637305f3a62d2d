#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine, then the Node packages of the
# repository. Safe to run again: when everything is already there it only checks and returns.
#
# Run it as root (as CI does) or as a user who may use sudo.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

if [ "$(id -u)" -eq 0 ]; then
    as_root() { "$@"; }
elif command -v sudo >/dev/null 2>&1; then
    as_root() { sudo "$@"; }
else
    echo "setup: not root and no sudo: cannot install packages" >&2
    exit 1
fi

# Debian packages of the native build and its tests.
packages=(
    g++ cmake ninja-build              # compilers and build
    googletest libgtest-dev            # unit tests
    libbenchmark-dev                   # benchmarks
    mdbtools                           # independent reader of the database files
    clang libclang-rt-14-dev           # fuzzing (libFuzzer) and sanitizers
    bash coreutils diffutils           # the test scripts
    python3 unicode-data               # the table of pinyin initials, from the Unihan readings
    time valgrind                      # benchmarks: peak memory (export_bench), instructions (bench/instructions.sh)
)

# Node.js runs the second independent reader (npm package mdb-reader). A machine may already carry a Node.js
# that bundles npm (and conflicts with Debian's npm package); take Debian's only when they are missing.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

# --- Windows cross build (mingw-w64, Wine, Chinese locale and font, Xvfb) -----------------------------------
packages+=(
    g++-mingw-w64-x86-64-posix         # the win64 preset
    g++-mingw-w64-i686-posix           # the win32 preset
    libz-mingw-w64-dev                 # zlib for both (under /usr/x86_64-w64-mingw32 and /usr/i686-w64-mingw32)
    dpkg-dev xz-utils                  # apt-get source (libpng for mingw is built from Debian's sources)
    wine wine64                        # runs the 64-bit Windows programs (no wine32: no 32-bit code runs here)
    xvfb xauth x11-utils               # a display of its own for the Windows programs; xwininfo finds windows
    imagemagick                        # screenshots (import)
    locales fonts-wqy-zenhei           # zh_CN.UTF-8, so that Wine uses code page 936, and a Chinese font
    libpng-dev                         # libpng natively
    libpugixml-dev libmbedtls-dev      # XML and cryptography natively (the import of other programs' files)
    freerdp2-x11 freerdp2-shadow-x11   # a real Remote Desktop client and server for the login test
    winpr-utils procps                 # winpr-hash (the server's user file), pkill
    xdotool                            # real mouse clicks on the notification icon
)

# apt-get source needs deb-src entries: mirror the machine's own Debian entries (deb822 or one-line form) in a
# file of ours, once.
add_source_entries() {
    local list=/etc/apt/sources.list.d/quillon-deb-src.sources
    [ -f "$list" ] && return 0
    if apt-cache showsrc libpng1.6 >/dev/null 2>&1; then return 0; fi
    local deb822=/etc/apt/sources.list.d/debian.sources
    echo "setup: adding deb-src entries ($list)"
    if [ -f "$deb822" ] && grep -q '^Types:.*\<deb\>' "$deb822"; then
        sed -e 's/^Types:.*/Types: deb-src/' "$deb822" | as_root tee "$list" >/dev/null
    else
        # The one-line form of /etc/apt/sources.list, or Debian 12's defaults when there is nothing to mirror.
        local lines
        lines="$(grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | grep -v -e nodesource -e google || true)"
        if [ -z "$lines" ]; then
            lines=$'deb http://deb.debian.org/debian bookworm main\ndeb http://deb.debian.org/debian bookworm-updates main\ndeb http://deb.debian.org/debian-security bookworm-security main'
        fi
        list=/etc/apt/sources.list.d/quillon-deb-src.list
        printf '%s\n' "$lines" | sed -e 's/^deb /deb-src /' | as_root tee "$list" >/dev/null
    fi
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
}

prepare_windows() {
    # The Chinese locale Wine runs under.
    if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
        echo "setup: generating the zh_CN.UTF-8 locale"
        if ! grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
            echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
        fi
        as_root locale-gen >/dev/null
    fi
    # libpng, pugixml and Mbed TLS for mingw, built once into build/deps/<arch> from Debian's source packages.
    local arch library
    for arch in win64 win32; do
        for library in libpng16.a libpugixml.a libmbedcrypto.a; do
            if [ ! -f "$repo/build/deps/$arch/lib/$library" ]; then
                add_source_entries
                bash "$repo/scripts/build-deps.sh" win64 win32
                break 2
            fi
        done
    done
    # The Wine prefix every Windows test run starts from, made once per machine.
    bash "$repo/scripts/wine/prefix.sh"
}
# -------------------------------------------------------------------------------------------------------------

missing=()
for package in "${packages[@]}"; do
    status="$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)"
    [ "$status" = "install ok installed" ] || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

prepare_windows

# The npm packages, exactly as package-lock.json pins them, into the repository's node_modules. npm leaves
# node_modules/.package-lock.json behind; when it is newer than the lock file nothing has changed since.
if [ ! -f "$repo/node_modules/.package-lock.json" ] ||
   [ "$repo/package-lock.json" -nt "$repo/node_modules/.package-lock.json" ]; then
    echo "setup: installing the Node packages"
    (cd "$repo" && npm ci --no-audit --no-fund --loglevel=error)
fi

# Fail here, with a clear message, rather than later in a test.
for tool in g++ cmake ninja clang++ mdb-tables mdb-export mdb-count mdb-schema node \
            x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix Xvfb xwininfo import \
            xfreerdp freerdp-shadow-cli winpr-hash pkill xdotool; do
    command -v "$tool" >/dev/null 2>&1 || { echo "setup: $tool is still missing after installation" >&2; exit 1; }
done
[ -x /usr/lib/wine/wine64 ] || { echo "setup: /usr/lib/wine/wine64 is missing after installation" >&2; exit 1; }
for file in /usr/bin/python3 /usr/share/unicode/Unihan_Readings.txt.bz2; do
    [ -e "$file" ] || { echo "setup: $file is missing after installation" >&2; exit 1; }
done
(cd "$repo" && node -e 'import("mdb-reader").catch(() => { console.error("setup: npm package mdb-reader does not load"); process.exit(1); })')

echo "setup: ready"
