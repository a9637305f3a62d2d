#!/usr/bin/env bash
# Builds libpng for the Windows presets from the original tarball of Debian's libpng1.6 source package, with
# each mingw-w64 compiler, into build/deps/win64 and build/deps/win32 (lib/libpng16.a, include/png*.h).
# zlib comes from Debian's libz-mingw-w64-dev, which carries both architectures.
#
#   bash scripts/build-libpng.sh [win64] [win32]     (both when none is named)
#
# Needs a deb-src entry in the apt sources (scripts/setup.sh adds one). A library already built from the same
# tarball is left alone, so a second run costs nothing.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="$repo/build/deps"
sources="$deps/src"

# SHA-256 of libpng1.6_1.6.39.orig.tar.gz as Debian 12 ships it. The tarball is checked against the .dsc that
# apt downloads with it and, for this version, against this value too.
pinned_version=1.6.39
pinned_sha256=a00e9d2f2f664186e4202db9299397f851aea71b36a35e74910b8820e380d441

arches=("$@")
[ "${#arches[@]}" -gt 0 ] || arches=(win64 win32)

fail() { echo "build-libpng: $*" >&2; exit 1; }

# The original tarball and its .dsc, downloaded once into build/deps/src. A mirror may lack one of the versions
# the source index lists (security updates are often missing), so try each, newest first.
tarball() { ls "$sources"/libpng1.6_*.orig.tar.* 2>/dev/null | head -n 1; }
if [ -z "$(tarball)" ] || ! ls "$sources"/libpng1.6_*.dsc >/dev/null 2>&1; then
    rm -rf "$sources"
    mkdir -p "$sources"
    versions="$(apt-cache showsrc libpng1.6 2>/dev/null | sed -n 's/^Version: //p' | sort -r -V -u)"
    [ -n "$versions" ] || fail "apt knows no source package libpng1.6: add a deb-src entry and run apt-get update"
    for version in $versions; do
        echo "build-libpng: downloading Debian's libpng1.6 $version source package"
        if (cd "$sources" && apt-get source --download-only "libpng1.6=$version") >>"$sources/download.log" 2>&1
        then
            break
        fi
        find "$sources" -maxdepth 1 -name 'libpng1.6_*' -delete
    done
    [ -n "$(tarball)" ] || { cat "$sources/download.log" >&2; fail "could not download libpng1.6's sources"; }
fi
archive="$(tarball)"
[ -n "$archive" ] || fail "no original tarball in $sources"
name="$(basename "$archive")"
dsc="$(ls "$sources"/libpng1.6_*.dsc | head -n 1)"
[ -f "$dsc" ] || fail "no .dsc beside $name"

# Verify: the .dsc lists the SHA-256 of every file of the source package.
actual="$(sha256sum "$archive" | cut -d' ' -f1)"
expected="$(awk -v file="$name" '/^Checksums-Sha256:/ { in_list = 1; next }
                                 /^[^ ]/ { in_list = 0 }
                                 in_list && $3 == file { print $1 }' "$dsc")"
[ -n "$expected" ] || fail "$dsc lists no SHA-256 for $name"
[ "$actual" = "$expected" ] || fail "$name does not match its .dsc (SHA-256 $actual, expected $expected)"
version="${name#libpng1.6_}"
version="${version%.orig.tar.*}"
if [ "$version" = "$pinned_version" ] && [ "$actual" != "$pinned_sha256" ]; then
    fail "$name does not match the SHA-256 recorded in scripts/build-libpng.sh"
fi

for arch in "${arches[@]}"; do
    case "$arch" in
        win64) triplet=x86_64-w64-mingw32 ;;
        win32) triplet=i686-w64-mingw32 ;;
        *) fail "unknown architecture $arch (win64 or win32)" ;;
    esac
    out="$deps/$arch"
    stamp="$out/built-from"
    if [ -f "$out/lib/libpng16.a" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$name $actual" ]; then
        continue
    fi
    echo "build-libpng: building libpng $version for $arch"
    work="$deps/build-$arch"
    rm -rf "$work" "$out"
    mkdir -p "$work" "$out/lib" "$out/include"
    tar -xf "$archive" -C "$work" --strip-components=1
    # The configuration libpng ships for builds without its configure script: everything on, no SIMD code.
    cp "$work/scripts/pnglibconf.h.prebuilt" "$work/pnglibconf.h"
    objects=()
    for source in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans \
                  pngwio pngwrite pngwtran pngwutil; do
        "$triplet-gcc-posix" -O2 -I"$work" -c "$work/$source.c" -o "$work/$source.o"
        objects+=("$work/$source.o")
    done
    rm -f "$out/lib/libpng16.a"
    "$triplet-gcc-ar-posix" rcs "$out/lib/libpng16.a" "${objects[@]}"
    cp "$work/png.h" "$work/pngconf.h" "$work/pnglibconf.h" "$out/include/"
    cp "$work/LICENSE" "$out/LICENSE"
    rm -rf "$work"
    echo "$name $actual" >"$stamp"
done
