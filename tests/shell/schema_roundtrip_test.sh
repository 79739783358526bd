#!/usr/bin/env bash
# .schema writes statements that make the same dictionary again: a schema
# goes into one database, its .schema output into an empty one, and the
# second .schema must equal the first. With jxtool, the engine's own item
# lists (types, sizes, keys, order) of every table must agree as well.
#   schema_roundtrip_test.sh ZKSQL SCHEMA_SQL [JXTOOL]
set -u
zksql=$(realpath "$1") schema=$(realpath "$2") jxtool=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { HOME=$work timeout 30 "$zksql" "$@"; }

run --create --bail "$work/first" < "$schema" > /dev/null ||
  { echo "FAILED: the schema did not run"; exit 1; }
tables=$(run "$work/first" .tables)
[[ -n $tables ]] || { echo "FAILED: the schema made no table"; exit 1; }
run "$work/first" .schema > "$work/first.sql" || { echo "FAILED: .schema"; exit 1; }
run --create --bail "$work/second" < "$work/first.sql" ||
  { echo "FAILED: the .schema output did not run on an empty database"; exit 1; }
run "$work/second" .schema > "$work/second.sql"
if ! diff -u "$work/first.sql" "$work/second.sql"; then
  echo "FAILED: the dictionary made from .schema differs"
  exit 1
fi
if [[ -n $jxtool ]]; then
  for table in $tables; do
    "$jxtool" "$work/first" items "$table" > "$work/first.items"
    "$jxtool" "$work/second" items "$table" > "$work/second.items"
    if ! diff -u "$work/first.items" "$work/second.items"; then
      echo "FAILED: the engine describes $table differently"
      exit 1
    fi
  done
fi
echo "schema round trip: $(echo $tables | wc -w) tables made again identically"
