#!/bin/bash
# The driver through unixODBC's driver manager, with a private set-up
# (ODBCSYSINI, ODBCINI) written into a temporary folder: isql runs a script
# against a fresh database and its printed table is checked, then the
# pyodbc checks run against another fresh database.
# Usage: driver_manager_test.sh SHELL DRIVER PYODBC_CHECK
set -u
shell=$1 driver=$2 check=$3
command -v isql >/dev/null || { echo "isql is not installed: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/odbcinst.ini" <<INI
[zksql]
Description = zksql ODBC driver
Driver = $driver
INI
cat > "$work/odbc.ini" <<INI
[isqldb]
Driver = zksql
Database = $work/isqldb

[pydb]
Driver = zksql
Database = $work/pydb
INI
export ODBCSYSINI=$work ODBCINI=$work/odbc.ini
"$shell" --create "$work/isqldb" "CREATE TABLE T (N INTEGER, S CHAR(12))" >/dev/null || exit 1
"$shell" --create "$work/pydb" ".tables" >/dev/null || exit 1

printf '%s\n' "INSERT INTO T VALUES (1, 'Bœuf')" "INSERT INTO T VALUES (2, 'un €')" \
  "SELECT N, S FROM T ORDER BY N" | isql -b isqldb > "$work/isql.out" 2>&1
expected='+------------+-------------+
| N          | S           |
+------------+-------------+
| 1          | Bœuf       |
| 2          | un €      |
+------------+-------------+
SQLRowCount returns 2
2 rows fetched'
if ! grep -qF -- "$expected" "$work/isql.out"; then
  echo "isql printed:"; cat "$work/isql.out"; echo "expected:"; echo "$expected"
  exit 1
fi
echo "isql table as expected"

if ! /usr/bin/python3 -c 'import pyodbc' 2>/dev/null; then
  echo "pyodbc is not installed (python3-pyodbc): skipped"
  exit 77
fi
/usr/bin/python3 "$check" pydb
