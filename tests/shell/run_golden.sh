#!/usr/bin/env bash
# Runs one golden case through the shell and compares its transcript.
#   run_golden.sh ZKSQL GOLDEN_DIR NAME
# The case is GOLDEN_DIR/NAME.sql, fed to `zksql --create DB ARGS...` on
# standard input in a fresh folder holding a copy of GOLDEN_DIR/files/.
# When GOLDEN_DIR/NAME.setup exists, it makes the database first (`zksql
# --create DB` reading it) and the case runs without --create.
# ARGS are the lines of NAME.args, when present (@DB@ stands for DB there;
# a line "-" alone means standard input is not redirected). The transcript
# is standard output, then "--- stderr" and standard error when there is
# any, then "--- exit N", then "--- file F" and each file named in
# NAME.files. It must equal NAME.out.
# A case whose first line reads "-- needs: WHAT" waits for a library
# feature and is skipped (exit 77) unless ZKSQL_GOLDEN_ALL=1.
# ZKSQL_GOLDEN_UPDATE=1 rewrites NAME.out instead of comparing.
set -u
zksql=$(realpath "$1") dir=$(cd "$2" && pwd) name=$3
case_sql=$dir/$name.sql
first=$(head -n 1 "$case_sql")
if [[ $first == "-- needs:"* && ${ZKSQL_GOLDEN_ALL:-0} != 1 ]]; then
  echo "skipped: ${first#-- needs: } is not there yet (ZKSQL_GOLDEN_ALL=1 runs it anyway)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[[ -d $dir/files ]] && cp -r "$dir/files/." "$work/"
args=()
if [[ -f $dir/$name.args ]]; then
  while IFS= read -r line || [[ -n $line ]]; do
    args+=("${line//@DB@/$work/db}")
  done < "$dir/$name.args"
fi

cd "$work" || exit 1
# HOME points into the work folder: no history file of the user is touched;
# the busy timeout is the engine's default whatever the caller's setting.
run() { HOME=$work timeout 30 env -u JXENGINE_BUSY_TIMEOUT "$zksql" "$@"; }
create=(--create)
if [[ -f $dir/$name.setup ]]; then
  if ! run --create "$work/db" < "$dir/$name.setup" > "$work/.setup" 2>&1; then
    echo "the setup of $name failed:" >&2
    cat "$work/.setup" >&2
    exit 1
  fi
  create=()
fi
run "${create[@]}" "$work/db" "${args[@]}" < "$case_sql" > "$work/.stdout" 2> "$work/.stderr"
code=$?
if [[ $code == 124 ]]; then
  echo "the shell did not finish within 30 seconds" >&2
  exit 1
fi
{
  cat "$work/.stdout"
  if [[ -s $work/.stderr ]]; then
    echo "--- stderr"
    cat "$work/.stderr"
  fi
  echo "--- exit $code"
  if [[ -f $dir/$name.files ]]; then
    while IFS= read -r f || [[ -n $f ]]; do
      echo "--- file $f"
      if [[ -f $work/$f ]]; then cat "$work/$f"; else echo "(missing)"; fi
    done < "$dir/$name.files"
  fi
} > "$work/.transcript"

if [[ ${ZKSQL_GOLDEN_UPDATE:-0} == 1 ]]; then
  cp "$work/.transcript" "$dir/$name.out"
  echo "updated $dir/$name.out"
  exit 0
fi
if ! diff -u "$dir/$name.out" "$work/.transcript"; then
  echo "golden case $name differs (- expected, + actual)" >&2
  exit 1
fi
