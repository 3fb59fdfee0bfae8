#!/bin/bash
# Installs what building and testing need on a Debian machine, when missing:
# cmake, GoogleTest (and its sources, for the i386 unit tests), a -m32
# toolchain, mingw-w64 (i686 and x86_64), Wine with its 32-bit half, Xvfb.
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v python3 >/dev/null || need+=(python3)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/gmock/gmock.h ] || need+=(libgmock-dev)
# The unit tests also run as i386 programs: a -m32 toolchain and GoogleTest's sources.
dpkg -s g++-multilib >/dev/null 2>&1 || need+=(g++-multilib)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v i686-w64-mingw32-g++ >/dev/null || need+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++ >/dev/null || need+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
command -v Xvfb >/dev/null || need+=(xvfb xauth)
command -v xdpyinfo >/dev/null || need+=(x11-utils)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine wine32:i386)
dpkg -s wine64 >/dev/null 2>&1 || need+=(wine64)

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then dpkg --add-architecture i386; fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

"$(dirname "$0")/wine32-enable.sh"
