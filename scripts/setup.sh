#!/bin/bash
# Installs what building and testing need on a Debian machine, when missing:
# cmake, GoogleTest (and its sources, for the i386 unit tests), a -m32
# toolchain, mingw-w64 (i686 and x86_64), Xvfb, debootstrap; then makes (once,
# in a cache) the 32-bit Wine that the tests and the demo run the product on
# (scripts/i386/runner.sh). The host needs no 32-bit packages of its own.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

source "$root/scripts/apt-install.sh"

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
# clang and lld: the exe once more (ctest exe.clang, llvm-nm reads its objects) and the
# fuzz targets (libFuzzer's runtime).
command -v clang++ >/dev/null || need+=(clang)
command -v ld.lld >/dev/null || need+=(lld)
command -v llvm-nm >/dev/null || need+=(llvm)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
command -v Xvfb >/dev/null || need+=(xvfb xauth)
command -v xdpyinfo >/dev/null || need+=(x11-utils)
command -v debootstrap >/dev/null || need+=(debootstrap)
command -v unshare >/dev/null || need+=(util-linux)
[ ${#need[@]} -eq 0 ] || apt_install "${need[@]}"

if "$root/scripts/i386/runner.sh" make && "$root/scripts/i386/runner.sh" works; then
  exit 0
fi
# Without the 32-bit runner the Wine tests and the demo take the 64-bit build
# of the same sources, under the host's 64-bit Wine.
echo "setup: 32-bit Wine cannot run here (above): the Wine tests and the demo use the 64-bit build instead"
dpkg -s wine64 >/dev/null 2>&1 || apt_install wine wine64
