-- .dump writes a table's statements and rows: each column kind, a quote
-- and a line break in texts, an absent date and time (left out of their
-- row). An unknown table is a failure and writes nothing. Memos go to
-- files beside the dump file, which the INSERTs name.
CREATE TABLE T (N INTEGER PRIMARY KEY, P SMALLINT, M TINYINT, R REAL, D DOUBLE PRECISION, C CHAR(20), J DATE, H TIME);
INSERT INTO T VALUES (1, -300, 7, 0.5, -12.25, 'l''été', '2024-02-29', '08:30');
INSERT INTO T (N, C) VALUES (2, 'deux
lignes');
.dump T
.dump nope
.create DOCS (ID INTEGER, CORPS MEMO, SCAN BINARY MEMO)
INSERT INTO DOCS VALUES (1, 'court', {JXMemoBinaire('notes.txt')});
INSERT INTO DOCS (ID) VALUES (2);
.once out.sql
.dump DOCS
.print after
