"""The driver through unixODBC's driver manager from Python (pyodbc).

Run with the data source name of a fresh, empty database as its argument,
ODBCSYSINI and ODBCINI pointing at a private set-up. Exits non-zero, saying
what differed, when a check fails.
"""
import datetime
import sys

import pyodbc


def main(dsn):
    cnxn = pyodbc.connect("DSN=" + dsn, autocommit=True)
    cur = cnxn.cursor()
    cur.execute("CREATE TABLE P (N INTEGER, S CHAR(30), R DOUBLE, D DATE)")
    rows = [(1, "l'été", 1.5, datetime.date(2024, 2, 29)),
            (2, "prix en €", -0.25, datetime.date(1999, 12, 31)),
            (3, "œuvre", 10.0, datetime.date(2000, 1, 1))]
    for row in rows:
        cur.execute("INSERT INTO P VALUES (?, ?, ?, ?)", *row)
    got = [tuple(r) for r in cur.execute("SELECT N, S, R, D FROM P").fetchall()]
    assert got == rows, got
    assert [type(v) for v in got[0]] == [int, str, float, datetime.date], got[0]

    # A value that would rewrite the statement as text matches nothing.
    assert cur.execute("SELECT N FROM P WHERE S = ?", "x' OR 'a' = 'a").fetchall() == []

    assert cur.execute("UPDATE P SET R = (0) WHERE N > 1").rowcount == 2
    assert cur.execute("DELETE FROM P WHERE N = 3").rowcount == 1

    # Autocommit off: commit keeps, rollback undoes.
    cnxn.autocommit = False
    cur.execute("INSERT INTO P VALUES (4, 'gardé', 0, {d '2024-01-01'})")
    cnxn.commit()
    cur.execute("INSERT INTO P VALUES (5, 'annulé', 0, {d '2024-01-01'})")
    cnxn.rollback()
    cnxn.autocommit = True
    assert [r[0] for r in cur.execute("SELECT N FROM P").fetchall()] == [1, 2, 4]

    # An error carries the SQLSTATE and the library's French text.
    try:
        cur.execute("SELECT * FROM ABSENTE")
        raise AssertionError("no error for a missing table")
    except pyodbc.Error as error:
        state, message = error.args[0], error.args[1]
        assert len(state) == 5, error.args
        assert "inexistante" in message and "ABSENTE" in message, error.args

    # The catalogue.
    tables = [t.table_name for t in cur.tables()]
    assert tables == ["P"], tables
    columns = [(c.column_name, c.type_name) for c in cur.columns(table="P")]
    assert columns == [("N", "INTEGER"), ("S", "VARCHAR"), ("R", "DOUBLE PRECISION"),
                       ("D", "DATE")], columns
    cnxn.close()
    print("pyodbc checks passed")


if __name__ == "__main__":
    main(sys.argv[1])
