#!/usr/bin/env bash
# The manual page renders without a warning and names every option of
# --help and every dot-command of .help, so it cannot fall behind them.
#   man_page_test.sh ZKSQL MANPAGE
# Skipped (exit 77) when groff is not installed.
set -u
zksql=$1 page=$2
if ! command -v groff > /dev/null; then
  echo "skipped: groff is not installed (apt-get install groff-base)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $1"
  exit 1
}
groff -man -Tutf8 -P-cbou -ww "$page" > "$work/page" 2> "$work/warnings" ||
  fail "groff failed"
[[ -s $work/warnings ]] && fail "groff warns: $(cat "$work/warnings")"
for option in $("$zksql" --help | grep -oE -- '--[a-z]+' | sort -u) -h -v; do
  grep -qF -- "$option" "$work/page" || fail "the manual page lacks the option $option"
done
commands=$(HOME=$work "$zksql" --create "$work/db" ".help" | grep -oE '^\.[a-z]+')
[[ -n $commands ]] || fail ".help listed no command"
for command in $commands; do
  grep -qF -- "$command" "$work/page" || fail "the manual page lacks the command $command"
done
echo "the manual page renders and names every option and command"
