#!/usr/bin/env bash
# Installs the Debian packages that the Windows build and its tests need:
# the 64-bit mingw-w64 C and C++ compilers in their POSIX threading variant
# (std::thread and std::mutex work there), CMake and Ninja, 64-bit Wine to
# run the program and its tests, and Python 3 for the test script. A 64-bit
# Wine prefix runs 64-bit programs without the i386 architecture, so none is
# added. Safe to run again; skips apt when everything is present already.
set -euo pipefail
bash "$(dirname "$0")/apt-install.sh" \
  cmake ninja-build python3 \
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix \
  wine wine64
