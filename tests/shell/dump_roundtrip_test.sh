#!/usr/bin/env bash
# .dump writes what makes the same database again: scripts fill a first
# database, its dump is loaded into an empty one, and the second's dump
# must equal the first's, memo files included, as must every table's rows
# read from both. A dump holding memos is refused when its output is a
# pipe, with nothing written.
#   dump_roundtrip_test.sh ZKSQL SCRIPT...
# The scripts run in order in a folder holding corps.txt and scan.bin, the
# memo files they may name.
set -u
zksql=$(realpath "$1")
shift
scripts=()
for s in "$@"; do scripts+=("$(realpath "$s")"); done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { HOME=$work timeout 60 "$zksql" "$@"; }
fail() {
  echo "FAILED: $1"
  exit 1
}

mkdir "$work/source" "$work/a" "$work/b"
cd "$work/source" || exit 1
printf 'caf\xe9 cr\xe8me\nseconde ligne' > corps.txt
printf 'PDF\0\1\2\377 fin' > scan.bin
cat "${scripts[@]}" | run --create --bail "$work/first" > /dev/null || fail "the scripts did not run"

# Each dump is written from its own folder under the same name: the memo
# files it names (dump.memos/...) are then the same text in both.
cd "$work/a" && run "$work/first" ".output dump.sql" .dump || fail ".dump of the first database"
run --create --bail "$work/second" < dump.sql || fail "the dump did not load into an empty database"
cd "$work/b" && run "$work/second" ".output dump.sql" .dump || fail ".dump of the second database"
diff -u "$work/a/dump.sql" "$work/b/dump.sql" || fail "the second dump differs from the first"
if [[ -d $work/a/dump.memos || -d $work/b/dump.memos ]]; then
  diff -r "$work/a/dump.memos" "$work/b/dump.memos" || fail "the memo files differ"
fi

tables=$(run "$work/first" .tables)
rows=0
for table in $tables; do
  run "$work/first" "SELECT * FROM $table" > "$work/first.rows" || fail "reading $table"
  run "$work/second" "SELECT * FROM $table" > "$work/second.rows" || fail "reading $table again"
  diff -u "$work/first.rows" "$work/second.rows" || fail "the rows of $table differ"
  rows=$((rows + $(grep -c '' "$work/first.rows")))
done
[[ $rows -gt 0 ]] || fail "the scripts made no row"

if [[ -d $work/a/dump.memos ]]; then
  out=$(run "$work/first" .dump 2>&1 | cat)
  [[ $out == *"send the dump to a file"* && $out != *INSERT* ]] ||
    fail "a dump of memos into a pipe was not refused: $out"
fi
echo "dump round trip: $(echo $tables | wc -w) tables, $rows result lines made again identically"
