#!/usr/bin/env bash
# Installs the Debian packages that the Windows build and its tests need:
# the 64-bit mingw-w64 C and C++ compilers in their POSIX threading variant
# (std::thread and std::mutex work there), CMake and Ninja, and 64-bit Wine
# to run the program and its tests, and Python 3 for the test script. A 64-bit Wine prefix runs 64-bit
# programs without the i386 architecture, so none is added. Safe to run
# again; skips apt when everything is present already.
set -euo pipefail

packages=(
  cmake ninja-build
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
  wine wine64
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The Wine tests are a Python 3 script (standard library only).
command -v python3 >/dev/null 2>&1 || missing+=(python3)

if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
