#!/usr/bin/env bash
# Installs what is missing, builds the check program and runs it on the
# sample registry in examples/, then prints its exit code and its log.
# Then builds the data-access library's demo (examples/library_demo.cpp)
# and runs it on a SQLite file under out/library-demo (database file,
# library root and log all there; no ODBC configuration is needed).
#   scripts/run-example.sh [check options...]
# Without options it runs with: -name "Symantec Endpoint Protection"
# -foundError 50020 -notFoundError 0 -processname example-product.exe
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh >/dev/null
bash scripts/build.sh "$root/build" -DORV_BUILD_TESTS=OFF >/dev/null

work="$root/out/example"
mkdir -p "$work/agent"
sed "s|@AGENT_DIR@|$work/agent/|" examples/sample-registry.reg > "$work/registry.reg"
rm -f "$work/agent/logs/zrprereqhandler.log"

if [ "$#" -eq 0 ]; then
  set -- -name "Symantec Endpoint Protection" -foundError 50020 -notFoundError 0 -processname example-product.exe
fi

set +e
ORV_REGISTRY_FILE="$work/registry.reg" "$root/build/check/zrprereqhandler" "$@"
status=$?
set -e
echo "exit status: $status (the low 8 bits of the exit code; the log's \"Exit Code\" line has the whole value)"
echo "log: $work/agent/logs/zrprereqhandler.log"
cat "$work/agent/logs/zrprereqhandler.log"

echo
echo "== library demo: examples/library_demo.cpp on out/library-demo =="
cmake -S "$root" -B "$root/build" -G Ninja -DORV_BUILD_TESTS=OFF -DORV_BUILD_LIBRARY=ON >/dev/null
cmake --build "$root/build" --target library_demo >/dev/null
"$root/build/examples/library_demo" "$root/examples/library-demo/data" "$root/out/library-demo"

echo
echo "== data object demo: examples/dataobject_demo.cpp on out/dataobject-demo =="
cmake --build "$root/build" --target dataobject_demo >/dev/null
"$root/build/examples/dataobject_demo" "$root/examples/data" "$root/out/dataobject-demo"
