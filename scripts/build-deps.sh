#!/usr/bin/env bash
# Builds the libraries the Windows presets link, from the original tarballs of Debian's source packages, with
# each mingw-w64 compiler, into build/deps/win64 and build/deps/win32:
#
#   libpng   (source package libpng1.6)  lib/libpng16.a, include/png.h, pngconf.h, pnglibconf.h
#   pugixml  (source package pugixml)    lib/libpugixml.a, include/pugixml.hpp, pugiconfig.hpp
#   Mbed TLS (source package mbedtls)    lib/libmbedcrypto.a (its cryptography library only), include/mbedtls,
#                                        include/psa
#
# zlib comes from Debian's libz-mingw-w64-dev, which carries both architectures. Natively the build uses
# Debian's -dev packages of the same libraries.
#
#   bash scripts/build-deps.sh [win64] [win32]     (both when none is named)
#
# Needs a deb-src entry in the apt sources (scripts/setup.sh adds one). Each tarball is checked against the
# .dsc that apt downloads with it and, for the version Debian 12 ships, against a SHA-256 recorded here. A
# library already built from the same tarball is left alone, so a second run costs nothing.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="$repo/build/deps"
sources="$deps/src"

arches=("$@")
[ "${#arches[@]}" -gt 0 ] || arches=(win64 win32)

fail() { echo "build-deps: $*" >&2; exit 1; }

# The SHA-256 of each original tarball as Debian 12 ships it: "package version sha256".
pinned=(
    "libpng1.6 1.6.39 a00e9d2f2f664186e4202db9299397f851aea71b36a35e74910b8820e380d441"
    "pugixml 1.13 5c5ad5d7caeb791420408042a7d88c2c6180781bf218feca259fd9d840a888e1"
    "mbedtls 2.28.3 3b4953aa55a681e084d31892d9904cc5328d6b4958ea57b90ae4b4f94ae69a8d"
)

# fetch PACKAGE: downloads the source package's original tarball and .dsc once into build/deps/src, checks them
# and sets $archive (the tarball), $stamp_text ("<tarball name> <sha256>") and $version.
fetch() {
    local package=$1
    tarball() { ls "$sources/${package}"_*.orig.tar.* 2>/dev/null | head -n 1; }
    if [ -z "$(tarball)" ] || ! ls "$sources/${package}"_*.dsc >/dev/null 2>&1; then
        mkdir -p "$sources"
        find "$sources" -maxdepth 1 -name "${package}_*" -delete
        # A mirror may lack one of the versions the source index lists (security updates are often missing),
        # so try each, newest first.
        local versions v
        versions="$(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -r -V -u)"
        [ -n "$versions" ] || fail "apt knows no source package $package: add a deb-src entry and run apt-get update"
        for v in $versions; do
            echo "build-deps: downloading Debian's $package $v source package"
            if (cd "$sources" && apt-get source --download-only "$package=$v") >>"$sources/download.log" 2>&1; then
                break
            fi
            find "$sources" -maxdepth 1 -name "${package}_*" -delete
        done
        [ -n "$(tarball)" ] || { cat "$sources/download.log" >&2; fail "could not download $package's sources"; }
    fi
    archive="$(tarball)"
    local name dsc actual expected
    name="$(basename "$archive")"
    dsc="$(ls "$sources/${package}"_*.dsc | head -n 1)"
    [ -f "$dsc" ] || fail "no .dsc beside $name"
    # The .dsc lists the SHA-256 of every file of the source package.
    actual="$(sha256sum "$archive" | cut -d' ' -f1)"
    expected="$(awk -v file="$name" '/^Checksums-Sha256:/ { in_list = 1; next }
                                     /^[^ ]/ { in_list = 0 }
                                     in_list && $3 == file { print $1 }' "$dsc")"
    [ -n "$expected" ] || fail "$dsc lists no SHA-256 for $name"
    [ "$actual" = "$expected" ] || fail "$name does not match its .dsc (SHA-256 $actual, expected $expected)"
    version="${name#"${package}"_}"
    version="${version%.orig.tar.*}"
    local entry p v sha
    for entry in "${pinned[@]}"; do
        read -r p v sha <<<"$entry"
        if [ "$p" = "$package" ] && [ "$v" = "$version" ] && [ "$actual" != "$sha" ]; then
            fail "$name does not match the SHA-256 recorded in scripts/build-deps.sh"
        fi
    done
    stamp_text="$name $actual"
}

# unpack PACKAGE ARCH: the package's tarball unpacked into a fresh $work; false (nothing to do) when the
# library was built from the same tarball already.
unpack() {
    local package=$1 arch=$2
    stamp="$deps/$arch/built-from-$package"
    if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_text" ]; then return 1; fi
    echo "build-deps: building $package $version for $arch"
    work="$deps/build-$arch-$package"
    rm -rf "$work" "$stamp"
    mkdir -p "$work" "$deps/$arch/lib" "$deps/$arch/include"
    tar -xf "$archive" -C "$work" --strip-components=1
}

# finish ARCH LIBRARY OBJECTS...: the static library from the objects, the stamp, the work folder removed.
finish() {
    local arch=$1 library=$2
    shift 2
    rm -f "$deps/$arch/lib/$library"
    "$triplet-gcc-ar-posix" rcs "$deps/$arch/lib/$library" "$@"
    rm -rf "$work"
    echo "$stamp_text" >"$stamp"
}

build_libpng() {
    local arch=$1 objects=() source
    unpack libpng1.6 "$arch" || return 0
    # The configuration libpng ships for builds without its configure script: everything on, no SIMD code.
    cp "$work/scripts/pnglibconf.h.prebuilt" "$work/pnglibconf.h"
    for source in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans \
                  pngwio pngwrite pngwtran pngwutil; do
        "$triplet-gcc-posix" -O2 -I"$work" -c "$work/$source.c" -o "$work/$source.o"
        objects+=("$work/$source.o")
    done
    cp "$work/png.h" "$work/pngconf.h" "$work/pnglibconf.h" "$deps/$arch/include/"
    cp "$work/LICENSE" "$deps/$arch/LICENSE-libpng"
    rm -f "$deps/$arch/built-from" "$deps/$arch/LICENSE"  # the names an earlier version of this script used
    finish "$arch" libpng16.a "${objects[@]}"
}

build_pugixml() {
    local arch=$1
    unpack pugixml "$arch" || return 0
    "$triplet-g++-posix" -O2 -c "$work/src/pugixml.cpp" -o "$work/pugixml.o"
    cp "$work/src/pugixml.hpp" "$work/src/pugiconfig.hpp" "$deps/$arch/include/"
    cp "$work/LICENSE.md" "$deps/$arch/LICENSE-pugixml"
    finish "$arch" libpugixml.a "$work/pugixml.o"
}

build_mbedtls() {
    local arch=$1 objects=() source
    unpack mbedtls "$arch" || return 0
    # The cryptography library's sources as its own CMake list names them, in the default configuration.
    local list
    list="$(sed -n '/^set(src_crypto/,/^)/p' "$work/library/CMakeLists.txt" | grep -o '[a-z0-9_]*\.c')"
    [ -n "$list" ] || fail "mbedtls: no list of the cryptography sources in library/CMakeLists.txt"
    for source in $list; do
        "$triplet-gcc-posix" -O2 -I"$work/include" -I"$work/library" -c "$work/library/$source" \
            -o "$work/${source%.c}.o"
        objects+=("$work/${source%.c}.o")
    done
    rm -rf "$deps/$arch/include/mbedtls" "$deps/$arch/include/psa"
    cp -r "$work/include/mbedtls" "$work/include/psa" "$deps/$arch/include/"
    cp "$work/LICENSE" "$deps/$arch/LICENSE-mbedtls"
    finish "$arch" libmbedcrypto.a "${objects[@]}"
}

for package in libpng1.6 pugixml mbedtls; do
    fetch "$package"
    for arch in "${arches[@]}"; do
        case "$arch" in
            win64) triplet=x86_64-w64-mingw32 ;;
            win32) triplet=i686-w64-mingw32 ;;
            *) fail "unknown architecture $arch (win64 or win32)" ;;
        esac
        case "$package" in
            libpng1.6) build_libpng "$arch" ;;
            pugixml) build_pugixml "$arch" ;;
            mbedtls) build_mbedtls "$arch" ;;
        esac
    done
done
