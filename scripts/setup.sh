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
)

# Node.js runs the second independent reader (npm package mdb-reader). A machine may already carry a Node.js
# that bundles npm (and conflicts with Debian's npm package); take Debian's only when they are missing.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

# --- Windows cross build (mingw-w64, Wine, Chinese locale and font, Xvfb) -----------------------------------
# The packages of the win64/win32 presets and the tests that run under Wine join this list here, and their
# one-time preparation (Wine prefix, locale generation, libpng for mingw) goes in prepare_windows below.
# packages+=( ... )
prepare_windows() { :; }
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
for tool in g++ cmake ninja clang++ mdb-tables mdb-export mdb-count mdb-schema node; do
    command -v "$tool" >/dev/null 2>&1 || { echo "setup: $tool is still missing after installation" >&2; exit 1; }
done
(cd "$repo" && node -e 'import("mdb-reader").catch(() => { console.error("setup: npm package mdb-reader does not load"); process.exit(1); })')

echo "setup: ready"
