#!/usr/bin/env bash
# Installs every build and test dependency on a fresh Debian 12 machine.
# Run as root; safe to run again (apt-get skips what is already there).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
  cmake ninja-build
  wine wine64 xvfb xauth fonts-wine x11-utils
  googletest python3
  wixl msitools mscompress gcab osslsigncode
  clang-14 libclang-rt-14-dev clang-format
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
