#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite:
#   1. the normal build,
#   2. the Windows program, cross-built with mingw-w64 and run under Wine
#      (ORV_SKIP_WINE=1 leaves it out of a local run; CI never does),
#   3. the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
#   4. the concurrency tests under ThreadSanitizer,
#   5. every fuzz target for a bounded time (scripts/fuzz.sh; FUZZ_SECONDS
#      per target, default 30).
# ORV_QUICK=1 runs steps 1 and 2 only (for a quick local run; CI never
# sets it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh

jobs="$(nproc)"
run_suite() {  # build dir, ctest arguments...
  local dir="$1"; shift
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@"
}

echo "== build and test"
bash scripts/build.sh "$root/build" -DORV_BUILD_TESTS=ON -DORV_BUILD_LIBRARY=ON
run_suite "$root/build"

bash scripts/test-windows.sh

if [ "${ORV_QUICK:-0}" = "1" ] && [ "${CI:-}" != "true" ]; then
  exit 0
fi

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
bash scripts/build.sh "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DORV_BUILD_TESTS=ON -DORV_BUILD_LIBRARY=ON -DORV_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite "$root/build-asan"

echo "== ThreadSanitizer (concurrency tests)"
bash scripts/build.sh "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DORV_BUILD_TESTS=ON -DORV_BUILD_LIBRARY=ON -DORV_SANITIZE=thread
# The embedded Firebird engine is not built with ThreadSanitizer, so the
# concurrency tests leave it out of their processes.
ORV_DB_ENGINES=sqlite,pg,mariadb TSAN_OPTIONS=halt_on_error=1 run_suite "$root/build-tsan" -L concurrency

echo "== fuzzing (libFuzzer with ASan and UBSan)"
bash scripts/fuzz.sh
