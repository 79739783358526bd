-- .check on a consistent database (records, keys and memos): the engine's
-- report, and no failure.
CREATE TABLE T (A INTEGER PRIMARY KEY, B CHAR(5));
CREATE INDEX T_B ON T (B);
INSERT INTO T VALUES (1, 'un');
INSERT INTO T VALUES (2, 'deux');
DELETE FROM T WHERE A = 1;
.create DOCS (ID INTEGER, TEXTE MEMO)
INSERT INTO DOCS VALUES (1, 'court');
.check
