#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Safe to run more than once; works as root or through sudo.
set -euo pipefail

PACKAGES=(
  g++ cmake pkg-config make
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev
  libssl3 libssl-dev openssl
  libmdb3 mdbtools-dev mdbtools
  libsqlite3-dev sqlite3
  qt6-base-dev
  unzip curl xvfb time python3
  fonts-dejavu-extra
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64
)

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-deps: run as root or install sudo" >&2
  exit 1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
