-- Errors in a script: the French message with its SQLSTATE and the line the
-- statement starts on; the script goes on and the shell exits 1.
.mode list
CREATE TABLE T (A INTEGER PRIMARY KEY, B CHAR(5));
SELECT A FRM T;
SELECT A
  FROM NOWHERE;
INSERT INTO T VALUES (1, 'un');
INSERT INTO T VALUES (1, 'deux');
INSERT INTO T VALUES ('x', 'trois');
UPDATE T SET B = 'quatre';
SELECT A, B FROM T;
-- An open quote runs to the end of the input, where the statement ends.
SELECT A FROM T WHERE A = 'abc;
SELECT A FROM T;
