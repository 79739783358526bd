#!/usr/bin/env bash
# Shells run side by side on one database, and a script stopped by Ctrl-C:
#  - while one shell holds a .begin transaction with a write, another
#    reads at once and sees the last committed state;
#  - a second writer waits for its .timeout, then fails saying so;
#  - after the commit, readers see the write;
#  - SIGINT during a script's long statement stops that statement and the
#    script (status 130), and nothing after it runs.
#   background_test.sh ZKSQL
set -u
# shellcheck source=long_join_tables.sh
. "$(dirname "$0")/long_join_tables.sh"
zksql=$(realpath "$1")
work=$(mktemp -d)
holder=
cleanup() {
  exec 3>&- 2> /dev/null
  [[ -n $holder ]] && kill "$holder" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: ${1:0:2000}"
  exit 1
}
db=$work/db
run() { timeout 30 env -u JXENGINE_BUSY_TIMEOUT "$zksql" "$db" "$@"; }
# Milliseconds since the epoch.
now() { date +%s%3N; }

{
  echo "CREATE TABLE T (A INTEGER, B CHAR(10));"
  echo "INSERT INTO T VALUES (1, 'un');"
  long_join_tables
} > "$work/setup.sql"
timeout 60 "$zksql" --create "$db" < "$work/setup.sql" || fail "cannot create the database"

# The writer: a shell reading its commands from a pipe kept open.
mkfifo "$work/writer.in"
timeout 60 "$zksql" "$db" < "$work/writer.in" > "$work/writer.out" 2>&1 &
holder=$!
exec 3> "$work/writer.in"
echo ".begin" >&3
echo "INSERT INTO T VALUES (2, 'deux');" >&3
echo ".print written" >&3
for _ in $(seq 1 100); do
  grep -q written "$work/writer.out" && break
  sleep 0.1
done
grep -q written "$work/writer.out" || fail "the writer did not write: $(cat "$work/writer.out")"

# A reader does not wait for the writer and sees the last commit.
started=$(now)
out=$(run "SELECT A FROM T" 2>&1) || fail "the reader failed: $out"
(($(now) - started < 3000)) || fail "the reader waited for the writer"
[[ $out == 1 ]] || fail "the reader saw uncommitted rows: $out"

# A second writer waits its .timeout, then fails saying why.
started=$(now)
out=$(run --cmd ".timeout 300" "INSERT INTO T VALUES (3, 'trois')" 2>&1)
code=$?
waited=$(($(now) - started))
[[ $code == 1 ]] || fail "the second writer ended with $code: $out"
((waited >= 300 && waited < 4000)) || fail "the second writer waited $waited ms, not about 300"
grep -q "\[HYT00\].*300 ms" <<< "$out" || fail "no busy message naming the wait: $out"

echo ".commit" >&3
exec 3>&-
wait "$holder" || fail "the writer failed: $(cat "$work/writer.out")"
holder=
out=$(run "SELECT A FROM T" 2>&1)
[[ $out == $'1\n2' ]] || fail "after the commit the reader saw: $out"

# SIGINT stops a script: its running statement fails as interrupted, and
# the statement after it never runs. Job control gives the background
# shell Ctrl-C as a foreground one has it.
printf '%s;\n%s;\n' "SELECT A.K FROM A, B WHERE A.V <> B.V AND A.K = B.K" \
  "INSERT INTO T VALUES (4, 'quatre')" > "$work/script.sql"
# (timeout would stand between the signal and the shell.)
set -m
"$zksql" "$db" < "$work/script.sql" > "$work/script.out" 2>&1 &
script=$!
set +m
sleep 1
kill -INT "$script"
wait "$script"
code=$?
[[ $code == 130 ]] || fail "the interrupted script ended with $code: $(cat "$work/script.out")"
grep -q "Error near line 1 \[HY008\]" "$work/script.out" ||
  fail "the statement was not stopped: $(cat "$work/script.out")"
grep -q "interrupted; the rest of the input was not run" "$work/script.out" ||
  fail "the script did not say it stopped: $(cat "$work/script.out")"
out=$(run "SELECT A FROM T WHERE A = 4" 2>&1)
[[ -z $out ]] || fail "the statement after the interrupt ran: $out"
echo "side by side: readers never wait, a busy writer waits its timeout; SIGINT stops a script"
