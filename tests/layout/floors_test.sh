#!/usr/bin/env bash
# The floor check passes on the tree as it is and fails, naming the file,
# on a copy with an upward include planted in it.
set -euo pipefail
root=$1
check=$root/scripts/check-floors.sh
bash "$check" "$root"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for folder in util datastore db persist; do cp -r "$root/$folder" "$work/"; done
bash "$check" "$work"
printf '#include "persist/table_io.h"\n' >> "$work/datastore/relvar.cpp"
if bash "$check" "$work" 2> "$work/out"; then
  echo "an upward include passed the check" >&2
  exit 1
fi
grep -q 'datastore/relvar.cpp:[0-9]*: datastore/ includes persist/, a floor above it' "$work/out"
cp "$root/datastore/relvar.cpp" "$work/datastore/relvar.cpp"
printf '#include "db/connection.h"\n' >> "$work/util/vector.h"
if bash "$check" "$work" 2> "$work/out"; then
  echo "an upward include from util/ passed the check" >&2
  exit 1
fi
grep -q 'util/vector.h:[0-9]*: util/ includes db/' "$work/out"
echo "floor check: passes the tree, fails on planted upward includes"
