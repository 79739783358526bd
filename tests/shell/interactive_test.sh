#!/usr/bin/env bash
# Drives the shell at a terminal under tmux: the prompt, a statement over
# two lines with its continuation prompt and its result as a table, an
# error at the prompt, the history (a statement typed over two lines comes
# back as one entry, the file kept across sessions), Ctrl-C at the prompt
# and during a long statement (stopped, the open transaction kept), a
# second Ctrl-C leaving with status 130, and Tab completion.
#   interactive_test.sh ZKSQL
# Skipped (exit 77) when tmux is not installed.
set -u
# shellcheck source=long_join_tables.sh
. "$(dirname "$0")/long_join_tables.sh"
zksql=$(realpath "$1")
if ! command -v tmux > /dev/null; then
  echo "skipped: tmux is not installed (apt-get install tmux)"
  exit 77
fi
work=$(mktemp -d)
socket=zksql-test-$$
cleanup() {
  tmux -L "$socket" kill-server 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' TERM INT
fail() {
  echo "FAILED: $1"
  echo "--- screen:"
  tmux -L "$socket" capture-pane -p -t t 2> /dev/null
  exit 1
}

# Two tables of 3,000 rows whose join on non-key columns runs for seconds.
{
  echo "CREATE TABLE T (A INTEGER, B CHAR(10));"
  echo "INSERT INTO T VALUES (7, 'sept');"
  echo "CREATE TABLE CLIENTS (NUMERO INTEGER, VILLE CHAR(20));"
  long_join_tables
} > "$work/setup.sql"
timeout 60 "$zksql" --create "$work/db" < "$work/setup.sql" || fail "cannot create the database"

# The pane runs the shell under sh, which writes its exit status to a file
# when it ends (sh waits out a Ctrl-C its child catches). remain-on-exit is
# set before the session is made, so that the screen stays to be looked at.
start() {
  rm -f "$work/status"
  tmux -L "$socket" -f /dev/null start-server \; set-option -g remain-on-exit on \; \
    new-session -d -s t -x 120 -y 30 \
    "env HOME=$work TERM=xterm $zksql $work/db; echo \$? > $work/status" ||
    fail "tmux did not start"
}
# Waits up to 10 seconds for the screen to hold the text.
expect() {
  for _ in $(seq 1 100); do
    if tmux -L "$socket" capture-pane -p -t t 2> /dev/null | grep -qF -- "$1"; then return 0; fi
    sleep 0.1
  done
  fail "the screen never showed: $1"
}
# Waits for a line of the screen to be exactly the text.
expect_line() {
  for _ in $(seq 1 100); do
    if tmux -L "$socket" capture-pane -p -t t 2> /dev/null | grep -qxF -- "$1"; then return 0; fi
    sleep 0.1
  done
  fail "no line of the screen is: $1"
}
keys() { tmux -L "$socket" send-keys -t t "$@"; }
# tmux reads a bare trailing ";" as its own command separator: escaped.
statement() {
  keys -l "$1\\;"
  keys Enter
}
last_line() {
  tmux -L "$socket" capture-pane -p -t t | sed -e '/^[[:space:]]*$/d' | tail -n 1
}
# Waits for the last line of the screen to be exactly the text.
expect_last() {
  for _ in $(seq 1 50); do
    [[ $(last_line) == "$1" ]] && return 0
    sleep 0.1
  done
  fail "the last line is not: $1"
}
# Waits for the shell to end; prints its exit status.
ended() {
  for _ in $(seq 1 100); do
    [[ -s $work/status ]] && break
    sleep 0.1
  done
  cat "$work/status" 2> /dev/null || echo "none: the shell is still running"
}
restart() {
  tmux -L "$socket" kill-server 2> /dev/null
  start
  expect "zksql>"
}

start
expect "zksql>"
keys "SELECT A, B" Enter
expect "...>"
statement "FROM T"
# A terminal gets table mode: the result framed and aligned.
expect "| A | B    |"
expect "| 7 | sept |"
statement "SELECT A FRM T"
expect "'FROM' attendu"
expect "Error [00123]"
keys ".mode bogus" Enter
expect "usage: .mode"
keys Up
expect_last "zksql> .mode bogus"
# The two-line statement is one entry, two steps further back.
keys Up Up
expect_last "zksql> SELECT A, B FROM T;"
keys C-u

# Ctrl-C at the prompt clears the line; at the continuation prompt it also
# drops the lines before, so the next statement starts afresh.
keys "SELECT nonsense"
keys C-c
expect "^C"
expect_last "zksql>"
keys "SELECT B" Enter
expect "...>"
keys C-c
expect_last "zksql>"
statement "SELECT B FROM T WHERE A = 7"
expect_line "| sept |"

# Completion of a command, a table and a column.
keys ".hel" Tab
expect_last "zksql> .help"
keys C-u "SELECT * FROM CLI" Tab
expect_last "zksql> SELECT * FROM CLIENTS"
keys C-u "SELECT VIL" Tab
expect_last "zksql> SELECT VILLE"
keys C-u

# Ctrl-C during a long statement stops it with the library's message; the
# transaction opened before stays open with its row.
keys ".begin" Enter
statement "INSERT INTO T VALUES (8, 'huit')"
statement "$long_select"
sleep 1
expect_last "zksql> $long_select;"
keys C-c
expect "[HY008]"
expect "Opération annulée"
keys ".commit" Enter
statement "SELECT B FROM T WHERE A = 8"
expect_line "| huit |"
tmux -L "$socket" capture-pane -p -t t | grep -q "no transaction is open" &&
  fail "the interrupt ended the transaction"

# A second Ctrl-C while the first is pending leaves at once, with 130: a
# write waiting for another connection's transaction does not stop at the
# first. That connection is a shell in the background holding a .begin.
mkfifo "$work/holder.in"
"$zksql" "$work/db" < "$work/holder.in" > "$work/holder.out" 2>&1 &
holder=$!
exec 3> "$work/holder.in"
printf '.begin\nINSERT INTO T VALUES (9, %s);\n.print held\n' "'neuf'" >&3
for _ in $(seq 1 100); do
  grep -q held "$work/holder.out" && break
  sleep 0.1
done
grep -q held "$work/holder.out" || fail "the other connection did not write"
keys ".timeout 60000" Enter
expect_last "zksql>"
statement "INSERT INTO T VALUES (10, 'dix')"
# Still no prompt: the write waits.
sleep 1
expect_last "zksql> INSERT INTO T VALUES (10, 'dix');"
keys C-c
sleep 0.5
keys C-c
status=$(ended)
exec 3>&-
wait "$holder"
[[ $status == 130 ]] || fail "a second Ctrl-C left with status $status, not 130"
expect "interrupted again; leaving"
[[ -f $work/.zksql_history ]] || fail "no ~/.zksql_history was written"
grep -q "FRM" "$work/.zksql_history" || fail "the history file lacks the statement"
# libedit writes blanks as \040.
grep -qF 'SELECT\040A,\040B\040FROM\040T;' "$work/.zksql_history" ||
  fail "the history file lacks the two-line statement as one entry"

# A new session starts with the saved history, up to the statement that
# was running when the shell was left; neither that write nor the other
# connection's stayed.
restart
keys Up
expect_last "zksql> INSERT INTO T VALUES (10, 'dix');"
keys C-u
statement "SELECT B FROM T WHERE A >= 8"
expect_line "| huit |"
tmux -L "$socket" capture-pane -p -t t | grep -qE 'neuf|dix' && fail "a write that was left stayed"
# Keys typed before the prompt is back reach the terminal's line mode.
expect_last "zksql>"
keys C-d
status=$(ended)
[[ $status == 0 ]] || fail "Ctrl-D at the prompt left with status $status"
echo "interactive session: prompt, continuation, errors, history, Ctrl-C and completion all behaved"
