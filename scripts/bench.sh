#!/usr/bin/env bash
# Runs every benchmark against its peer, in the same process, and prints the
# ratios ours/peer (above 1 means ours is faster):
#   - the log writer against spdlog (1, 2 and 4 writing threads, a flush after
#     every record), records per second, the median of a few repetitions;
#   - the in-memory table store against SQLite in memory (adding 1,000,000
#     rows; selecting them by "A > 500000 and B = 7");
#   - fetching 100,000 rows (integer, double, text, date) from a SQLite file
#     through the SQLite ODBC driver, ExecuteQuery against SOCI's ODBC
#     backend, every value kept in memory on both sides;
#   - saving 10,000 new rows into a SQLite file: SaveTable through the
#     library against SOCI's ODBC backend with one prepared statement in one
#     transaction, the median of 7 runs;
#   - the SQLite provider against SOCI's native sqlite3 backend: fetching
#     the 100,000 rows of the fetch section and saving 10,000 new rows with
#     SaveTable, the median of 7 runs each;
#   - a data object built from a 100,000-row join of 10,000 parents and
#     their children against ExecuteQuery of the same statement (at most 2
#     times its time), the median of 7 runs.
# Installs the packages the benchmarks need when they are missing, builds
# Release in build-bench.
#   scripts/bench.sh [SECTION]   (every section by default)
#
# Each section is a name in `sections` with its packages, its targets and
# a function run_NAME that runs it and prints its lines. The packages in
# `common` are those bench/CMakeLists.txt finds when it is configured.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
which="${1:-all}"

sections=(log relvar fetch save sqlite dataobject)
common="libbenchmark-dev libspdlog-dev libsqlite3-dev unixodbc-dev libsoci-dev libsoci-odbc4.0 libsoci-sqlite3-4.0 libboost-dev"
declare -A packages=(
  [log]=""
  [relvar]=""
  [fetch]="libsqliteodbc"
  [save]="libsqliteodbc"
  [sqlite]=""
  [dataobject]="libsqliteodbc"
)
declare -A targets=(
  [log]="log_writer_bench"
  [relvar]="relvar_bench"
  [fetch]="odbc_fetch_bench"
  [save]="table_save_bench"
  [sqlite]="sqlite_bench"
  [dataobject]="dataobject_bench"
)

run_log() {
  json="$build/log_writer_bench.json"
  "$build/bench/log_writer_bench" --benchmark_out="$json" --benchmark_out_format=json
  python3 - "$json" <<'PY'
import json, re, sys
rates = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    m = re.match(r"BM_(Orv|Spdlog)(?:Log)?Info/.*threads:(\d+)", b["name"])
    # Each benchmark is repeated; its median stands for it.
    if m and b.get("aggregate_name", "median") == "median":
        rates.setdefault(int(m.group(2)), {})[m.group(1)] = b["items_per_second"]
for threads in sorted(rates):
    r = rates[threads]
    if "Orv" in r and "Spdlog" in r:
        print(f"log writer, threads {threads}: ours {r['Orv'] / 1e6:.3f} M/s, spdlog {r['Spdlog'] / 1e6:.3f} M/s, "
              f"ratio ours/spdlog {r['Orv'] / r['Spdlog']:.2f}")
PY
}

run_relvar() {
  json="$build/relvar_bench.json"
  "$build/bench/relvar_bench" --benchmark_out="$json" --benchmark_out_format=json
  python3 - "$json" <<'PY'
import json, sys
t = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("run_type", "iteration") == "iteration":
        t[b["name"].split("/")[0]] = b["real_time"]
for what, ours, peer in (("add 1,000,000 rows", "BM_OrvAddNewRow", "BM_SqliteInsert"),
                         ("select A > 500000 and B = 7", "BM_OrvSelectRows", "BM_SqliteSelect")):
    if ours in t and peer in t:
        print(f"table store, {what}: ours {t[ours]:.1f} ms, sqlite {t[peer]:.1f} ms, "
              f"ratio sqlite/ours {t[peer] / t[ours]:.2f}")
PY
}

run_fetch() {
  json="$build/odbc_fetch_bench.json"
  "$build/bench/odbc_fetch_bench" --benchmark_out="$json" --benchmark_out_format=json
  python3 - "$json" <<'PY'
import json, sys
t = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("run_type", "iteration") == "iteration":
        t[b["name"].split("/")[0]] = b["real_time"]
ours, peer = t.get("BM_OrvExecuteQuery"), t.get("BM_SociRowset")
if ours and peer:
    print(f"odbc fetch, 100,000 rows: ours {ours:.1f} ms, soci {peer:.1f} ms, ratio soci/ours {peer / ours:.2f}")
PY
}

run_save() {
  "$build/bench/table_save_bench"
}

run_sqlite() {
  "$build/bench/sqlite_bench" 7
}

run_dataobject() {
  "$build/bench/dataobject_bench" 7
}

if [ "$which" = all ]; then
  chosen=("${sections[@]}")
elif [ -n "${targets[$which]+x}" ]; then
  chosen=("$which")
else
  echo "usage: scripts/bench.sh [$(IFS='|'; echo "${sections[*]}")]" >&2
  exit 2
fi

read -ra need <<<"$common"
build_targets=()
for s in "${chosen[@]}"; do
  read -ra p <<<"${packages[$s]}"
  need+=("${p[@]}")
  read -ra t <<<"${targets[$s]}"
  build_targets+=("${t[@]}")
done
bash "$root/scripts/apt-install.sh" "${need[@]}" >/dev/null

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_BENCH=ON -DORV_BUILD_TESTS=OFF \
  -DORV_BUILD_LIBRARY=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${build_targets[@]}" >/dev/null

for s in "${chosen[@]}"; do
  "run_$s"
done
