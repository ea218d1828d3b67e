#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (ASan, UBSan, LSan) in
# build-fuzz and runs each for a bounded time on a copy of its seed corpus,
# so that the committed corpus is never changed:
#   scripts/fuzz.sh [TARGET...]        (default: every target)
# FUZZ_SECONDS (default 30) is the time per target. Exits non-zero when a
# target finds a crash, a leak, a time-out (10 s for one input), an
# out-of-memory or any sanitizer report; the input that caused it is kept
# in build-fuzz/fuzz-artifacts/<target>/ and the end of the run's output is
# printed. Installs clang and its runtime (and SQLite for fuzz_sqlgen) when
# they are missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
seconds="${FUZZ_SECONDS:-30}"

bash "$root/scripts/apt-install.sh" clang libclang-rt-14-dev cmake ninja-build libxml2-dev libsqlite3-dev >/dev/null

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORV_FUZZ=ON -DORV_BUILD_LIBRARY=ON -DORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target orv_fuzzers

list="$build/fuzz/fuzzers.txt"
if [ ! -s "$list" ]; then
  echo "fuzz: no fuzz targets in this build" >&2
  exit 1
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/orv-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT

ran=0
failed=()
while IFS=$'\t' read -r name program max_len seeds dict; do
  [ -n "$name" ] || continue
  if [ "$#" -gt 0 ]; then
    wanted=0
    for t in "$@"; do [ "$t" = "$name" ] && wanted=1; done
    [ "$wanted" -eq 1 ] || continue
  fi
  ran=$((ran + 1))

  corpus="$work/$name/corpus"
  mkdir -p "$corpus"
  IFS=':' read -r -a seed_dirs <<< "$seeds"
  for dir in "${seed_dirs[@]}"; do
    cp -R "$dir/." "$corpus/"
  done
  artifacts="$build/fuzz-artifacts/$name"
  mkdir -p "$artifacts"
  args=(-max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048
    -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$artifacts/")
  [ "$dict" != "-" ] && args+=(-dict="$dict")

  echo "== $name: ${seconds} s on $(find "$corpus" -type f | wc -l) seeds"
  log="$work/$name/output.log"
  status=0
  ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$program" "${args[@]}" "$corpus" >"$log" 2>&1 || status=$?

  # A report that did not end the run still fails it.
  if [ "$status" -eq 0 ] && grep -qE "ERROR: [A-Za-z]+Sanitizer|runtime error:|WARNING: [A-Za-z]+Sanitizer" "$log"; then
    status=1
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  if [ "$status" -ne 0 ]; then
    tail -n 80 "$log"
    echo "$name: FAILED (exit $status); inputs kept in $artifacts/"
    failed+=("$name")
  else
    echo "$name: passed, ${runs:-?} inputs run, corpus of $(find "$corpus" -type f | wc -l)"
  fi
done < "$list"

if [ "$ran" -eq 0 ]; then
  echo "fuzz: none of the targets $* is in this build" >&2
  exit 1
fi
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: ${#failed[@]} of $ran targets failed: ${failed[*]}"
  exit 1
fi
echo "fuzz: $ran targets passed"
