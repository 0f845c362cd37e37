#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent; runs as root on a fresh Debian 12 machine without a terminal.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang clang-format
  googletest libgtest-dev libgmock-dev
  # libraries
  libxml2-dev zlib1g-dev libcurl4-openssl-dev
  # SSH client and a loopback server for the session tests
  putty-tools openssh-server
  # 32-bit Linux build
  g++-multilib libxml2-dev:i386
  # Windows cross build and its test run
  g++-mingw-w64-x86-64-win32 libz-mingw-w64-dev wine xvfb xdotool
  # screenshots of Stub's window for the documentation (xwd, xwdtopnm, pnmtopng)
  x11-apps netpbm
  # Debian source packages unpacked and patched for the Windows dependencies
  dpkg-dev patch
  # test helpers
  python3 iproute2 procps
  # test certificates of the https tests
  openssl
)

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh: run as root (it installs Debian packages)" >&2
  exit 1
fi

# The 32-bit build links the i386 variants of the libraries.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

# The Windows build cross-compiles libxml2 and plink from Debian's source packages
# (scripts/build-win-deps.sh): apt needs a deb-src entry for the same mirrors.
src_list=/etc/apt/sources.list.d/server-maintenance-src.sources
need_update=0
has_deb_src() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    grep -Eqs '^(deb-src[[:space:]]|Types:.*\bdeb-src\b)' "$f" && return 0
  done
  return 1
}
if ! has_deb_src; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$src_list.new"
  else
    sed -n 's/^deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"${src_list%.sources}.list.new"
  fi
  for f in "$src_list.new" "${src_list%.sources}.list.new"; do
    [ -s "$f" ] && mv "$f" "${f%.new}"
    rm -f "$f"
  done
  has_deb_src || { echo "setup.sh: cannot add a deb-src entry" >&2; exit 1; }
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ] && [ $need_update -eq 0 ]; then
  echo "setup.sh: all packages present"
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
[ ${#missing[@]} -eq 0 ] || apt-get install -y -q --no-install-recommends "${missing[@]}"
