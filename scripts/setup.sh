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
  # test helpers
  python3 iproute2 procps
)

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh: run as root (it installs Debian packages)" >&2
  exit 1
fi

# The 32-bit build links the i386 variants of the libraries.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup.sh: all packages present"
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
