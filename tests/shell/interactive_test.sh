#!/usr/bin/env bash
# Drives the shell at a terminal under tmux: the prompt, a statement over
# two lines with its continuation prompt and its result as a table, an
# error at the prompt, line editing's history (up arrow) and the history
# file kept across sessions.
#   interactive_test.sh ZKSQL
# Skipped (exit 77) when tmux is not installed.
set -u
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
fail() {
  echo "FAILED: $1"
  echo "--- screen:"
  tmux -L "$socket" capture-pane -p -t t 2> /dev/null
  exit 1
}
timeout 20 "$zksql" --create "$work/db" "CREATE TABLE T (A INTEGER, B CHAR(10))" \
  "INSERT INTO T VALUES (7, 'sept')" || fail "cannot create the database"

start() {
  tmux -L "$socket" new-session -d -s t -x 100 -y 30 \
    "env HOME=$work TERM=xterm timeout 60 $zksql $work/db" || fail "tmux did not start"
}
# Waits up to 10 seconds for the screen to hold the text.
expect() {
  for _ in $(seq 1 100); do
    if tmux -L "$socket" capture-pane -p -t t 2> /dev/null | grep -qF -- "$1"; then return 0; fi
    sleep 0.1
  done
  fail "the screen never showed: $1"
}
keys() { tmux -L "$socket" send-keys -t t "$@"; }
last_line() {
  tmux -L "$socket" capture-pane -p -t t | sed -e '/^[[:space:]]*$/d' | tail -n 1
}

start
expect "zksql>"
keys "SELECT A, B" Enter
expect "...>"
# tmux reads a bare trailing ";" as its own command separator: escaped.
keys -l 'FROM T\;'
keys Enter
# A terminal gets table mode: the result framed and aligned.
expect "| A | B    |"
expect "| 7 | sept |"
keys -l 'SELECT A FRM T\;'
keys Enter
expect "'FROM' attendu"
expect "Error [00123]"
keys ".mode bogus" Enter
expect "usage: .mode"
keys Up
sleep 0.3
[[ $(last_line) == "zksql> .mode bogus" ]] || fail "the up arrow did not recall the last line"
keys C-u ".quit" Enter
for _ in $(seq 1 100); do
  tmux -L "$socket" has-session -t t 2> /dev/null || break
  sleep 0.1
done
tmux -L "$socket" has-session -t t 2> /dev/null && fail ".quit did not end the shell"
[[ -f $work/.zksql_history ]] || fail "no ~/.zksql_history was written"
grep -q "FRM" "$work/.zksql_history" || fail "the history file lacks the statement"
grep -q "^FROM.*T;" "$work/.zksql_history" || fail "the history file lacks the two-line statement (libedit writes blanks as \\040)"

# A new session starts with the saved history.
start
expect "zksql>"
keys Up Up
sleep 0.3
[[ $(last_line) == "zksql> .mode bogus" ]] || fail "the history did not survive the session"
keys C-u C-d
echo "interactive session: prompt, continuation, errors and history all behaved"
