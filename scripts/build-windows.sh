#!/usr/bin/env bash
# Cross-builds the check program for 64-bit Windows with mingw-w64:
#   scripts/build-windows.sh [BUILD_DIR] [extra cmake arguments...]
# gives BUILD_DIR/check/zrprereqhandler.exe (BUILD_DIR defaults to
# build-windows), statically linked. Only the check and agent subsystems are
# built (the toolchain file leaves the library and the test suite out by
# default). Installs the cross compilers first when they are missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-windows}"
shift || true
bash "$root/scripts/install-windows-deps.sh" >/dev/null
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" --target zrprereqhandler result_message_probe
echo "built $build/check/zrprereqhandler.exe"
