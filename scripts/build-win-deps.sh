#!/usr/bin/env bash
# Cross-builds what the Windows Lullhost needs beyond mingw-w64, from Debian's source packages:
#   - libxml2 as a static library with only the tree, parser and output parts that Lullhost uses
#     (users define LIBXML_STATIC);
#   - plink.exe, the SSH client that Lullhost.exe starts from its own folder, with the client's own
#     CMake build and its mingw tool-chain file.
# Both are cached outside the source tree, keyed by the Debian package versions, so a later run that
# finds them does nothing:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/server-maintenance/mingw/{libxml2-VERSION,putty-VERSION}
# and the file deps.cmake there tells the mingw preset where they are (its cache variable
# LULLHOST_WIN_DEPS names another file).
#
# Needs the deb-src entry and the packages that scripts/setup.sh installs; runs without root.
# Usage: scripts/build-win-deps.sh [--print]   (--print: only show the deps.cmake path)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/server-maintenance/mingw
deps_file=$cache/deps.cmake

if [ "${1:-}" = --print ]; then
    echo "$deps_file"
    exit 0
fi

die() {
    echo "build-win-deps.sh: $*" >&2
    exit 1
}

note() { echo "build-win-deps.sh: $*"; }

command -v x86_64-w64-mingw32-gcc >/dev/null || die "mingw-w64 missing: run scripts/setup.sh as root"
mkdir -p "$cache"

# The build directories live in the cache as well, so nothing is left in /tmp after a failure and
# the next run starts them afresh.
work=$cache/work.$$
trap 'rm -rf "$work"' EXIT

# Version of the source package that apt-get source would fetch now (from the .dsc file name).
source_version() {
    local uris
    mkdir -p "$work/print" && cd "$work/print"
    uris=$(apt-get source --print-uris "$1" 2>/dev/null) ||
        die "no source package '$1': the deb-src entry is missing, run scripts/setup.sh as root"
    sed -n "s/^'[^']*' $1_\(.*\)\.dsc .*/\1/p" <<<"$uris" | head -n1
}

# Checks the downloaded files against the SHA-256 sums of the package's .dsc file.
check_sums() {
    local dsc=$1 name sum
    while read -r sum _ name; do
        [ -f "$name" ] || continue
        echo "$sum  $name" | sha256sum --quiet -c - || die "checksum mismatch: $name"
    done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/{/^ /p}' "$dsc")
}

build_libxml2() {
    local version=$1 dest=$cache/libxml2-$1 src
    [ -f "$dest/.done" ] && return 0
    note "libxml2 $version: fetching the Debian source"
    rm -rf "$dest" "$work/libxml2" && mkdir -p "$work/libxml2" && cd "$work/libxml2"
    apt-get source -q libxml2 >/dev/null 2>&1 || die "apt-get source libxml2 failed"
    src=$(find . -maxdepth 1 -type d -name 'libxml2-*' | head -n1)
    [ -n "$src" ] || die "libxml2 source tree not found"
    note "libxml2 $version: cross-building (static)"
    local off=(C14N CATALOG DEBUG DOCB FTP HTML HTTP ICONV ICU LEGACY LZMA MODULES PATTERN PROGRAMS
        PYTHON READER SCHEMAS SCHEMATRON TESTS THREADS WRITER XINCLUDE XPATH XPTR ZLIB)
    local opts=() f
    for f in "${off[@]}"; do opts+=("-DLIBXML2_WITH_$f=OFF"); done
    cmake -S "$src" -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$dest" -DBUILD_SHARED_LIBS=OFF -DHAVE_PTHREAD_H=OFF \
        "${opts[@]}" >build.log 2>&1 || { tail -n 30 build.log >&2; die "libxml2 configure failed"; }
    cmake --build build -j2 >>build.log 2>&1 && cmake --install build >>build.log 2>&1 ||
        { tail -n 30 build.log >&2; die "libxml2 build failed"; }
    touch "$dest/.done"
}

build_plink() {
    local version=$1 dest=$cache/putty-$1 upstream src p
    [ -f "$dest/plink.exe" ] && return 0
    note "putty $version: fetching the Debian source"
    rm -rf "$work/putty" && mkdir -p "$work/putty" && cd "$work/putty"
    # apt-get source stops on the upstream signature file, which the mirror lacks; the files that
    # matter are downloaded before that, so they are checked and unpacked here instead.
    apt-get source -q --download-only putty >/dev/null 2>&1 || true
    upstream=${version%-*}
    upstream=${upstream#*:}
    [ -f "putty_$version.dsc" ] && [ -f "putty_$upstream.orig.tar.gz" ] &&
        [ -f "putty_$version.debian.tar.xz" ] || die "putty source files were not downloaded"
    check_sums "putty_$version.dsc"
    tar -xzf "putty_$upstream.orig.tar.gz"
    src=$PWD/putty-$upstream
    [ -d "$src" ] || die "putty source tree not found"
    tar -xJf "putty_$version.debian.tar.xz" -C "$src"
    while read -r p; do
        case $p in '' | '#'*) continue ;; esac
        patch -d "$src" -p1 -s -N <"$src/debian/patches/$p" >/dev/null || die "patch $p failed"
    done <"$src/debian/patches/series"
    note "putty $version: cross-building plink.exe (a few minutes, once)"
    cmake -S "$src" -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-mingw.cmake" \
        -DCMAKE_EXE_LINKER_FLAGS=-static >build.log 2>&1 ||
        { tail -n 30 build.log >&2; die "putty configure failed"; }
    cmake --build build --target plink -j2 >>build.log 2>&1 ||
        { tail -n 30 build.log >&2; die "plink build failed"; }
    mkdir -p "$dest.tmp"
    cp build/plink.exe "$dest.tmp/plink.exe"
    rm -rf "$dest" && mv "$dest.tmp" "$dest"
}

xml_version=$(source_version libxml2)
putty_version=$(source_version putty)
[ -n "$xml_version" ] && [ -n "$putty_version" ] || die "cannot tell the source package versions"

build_libxml2 "$xml_version"
build_plink "$putty_version"

xml=$cache/libxml2-$xml_version
lib=$(find "$xml" -name 'libxml2*.a' | head -n1)
[ -n "$lib" ] || die "no static libxml2 in $xml"
cat >"$deps_file.tmp" <<EOF
# Written by scripts/build-win-deps.sh: the cross-built dependencies of the Windows Lullhost.
set(LIBXML2_INCLUDE_DIR "$xml/include/libxml2" CACHE PATH "libxml2 headers (static build)" FORCE)
set(LIBXML2_LIBRARY "$lib" CACHE FILEPATH "libxml2 static library" FORCE)
set(LULLHOST_PLINK_EXE "$cache/putty-$putty_version/plink.exe" CACHE FILEPATH "plink.exe for Windows" FORCE)
EOF
mv "$deps_file.tmp" "$deps_file"
# Builds of older package versions are no longer referenced.
find "$cache" -maxdepth 1 -mindepth 1 -type d \( -name 'libxml2-*' -o -name 'putty-*' \) \
    ! -name "libxml2-$xml_version" ! -name "putty-$putty_version" -exec rm -rf {} +
note "ready: $deps_file"
