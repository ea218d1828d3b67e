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
# Each step prints how long it took when it ends, and the run ends with a
# table of the steps' durations and the total (also when a step fails), so
# that the margin to CI's limit stays in sight as the suite grows.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

run_started=$(date +%s)
step_name=""
step_started=0
step_lines=()
# "1 min 05 s" for 65 seconds.
duration() {
  printf '%d min %02d s' $(($1 / 60)) $(($1 % 60))
}
# Ends the running step (if any), printing its duration, with the word
# given (e.g. "failed").
end_step() {
  [ -n "$step_name" ] || return 0
  local took=$(($(date +%s) - step_started))
  local line
  line="$(printf '%-48s %s%s' "$step_name" "$(duration "$took")" "${1:+ ($1)}")"
  step_lines+=("$line")
  echo "== $step_name: $(duration "$took")${1:+ ($1)}"
  step_name=""
}
# Ends the running step and starts the one named.
step() {
  end_step
  step_name="$1"
  step_started=$(date +%s)
  echo "== $1"
}
summary() {
  local status=$?
  if [ "$status" -ne 0 ]; then end_step "failed"; else end_step; fi
  echo "== durations"
  local line
  for line in "${step_lines[@]}"; do echo "   $line"; done
  printf '   %-48s %s\n' "total" "$(duration $(($(date +%s) - run_started)))"
  return "$status"
}
trap summary EXIT

step "installing what is missing"
bash scripts/install-deps.sh

jobs="$(nproc)"
run_suite() {  # build dir, ctest arguments...
  local dir="$1"; shift
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@"
}

step "build and test"
bash scripts/build.sh "$root/build" -DORV_BUILD_TESTS=ON -DORV_BUILD_LIBRARY=ON
run_suite "$root/build"

step "Windows program under Wine"
bash scripts/test-windows.sh

if [ "${ORV_QUICK:-0}" = "1" ] && [ "${CI:-}" != "true" ]; then
  exit 0
fi

step "AddressSanitizer and UndefinedBehaviorSanitizer"
bash scripts/build.sh "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DORV_BUILD_TESTS=ON -DORV_BUILD_LIBRARY=ON -DORV_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite "$root/build-asan"

step "ThreadSanitizer (concurrency tests)"
bash scripts/build.sh "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DORV_BUILD_TESTS=ON -DORV_BUILD_LIBRARY=ON -DORV_SANITIZE=thread
# The embedded Firebird engine is not built with ThreadSanitizer, so the
# concurrency tests leave it out of their processes.
ORV_DB_ENGINES=sqlite,sqlite_odbc,pg,mariadb TSAN_OPTIONS=halt_on_error=1 run_suite "$root/build-tsan" -L concurrency

step "fuzzing (libFuzzer with ASan and UBSan)"
bash scripts/fuzz.sh
