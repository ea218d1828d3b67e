#!/usr/bin/env bash
# Benchmarks the log writer against spdlog (1 and 2 writing threads, a flush
# after every record) and prints the ratios ours/spdlog of records per
# second. Installs libspdlog-dev and libbenchmark-dev when they are missing,
# builds Release in build-bench.
#   scripts/bench.sh [extra benchmark arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"

bash "$root/scripts/apt-install.sh" libspdlog-dev libbenchmark-dev >/dev/null

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_BENCH=ON -DORV_BUILD_TESTS=OFF \
  -DORV_BUILD_LIBRARY=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target log_writer_bench >/dev/null

json="$build/log_writer_bench.json"
"$build/bench/log_writer_bench" --benchmark_out="$json" --benchmark_out_format=json "$@"

python3 - "$json" <<'PY'
import json, re, sys
rates = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    m = re.match(r"BM_(Orv|Spdlog)(?:Log)?Info/.*threads:(\d+)", b["name"])
    if m and b.get("run_type", "iteration") == "iteration":
        rates.setdefault(int(m.group(2)), {})[m.group(1)] = b["items_per_second"]
for threads in sorted(rates):
    r = rates[threads]
    if "Orv" in r and "Spdlog" in r:
        print(f"threads {threads}: ours {r['Orv'] / 1e6:.3f} M/s, spdlog {r['Spdlog'] / 1e6:.3f} M/s, "
              f"ratio ours/spdlog {r['Orv'] / r['Spdlog']:.2f}")
PY
