-- A syntax error shows the statement's line holding the error with a caret
-- under the place, on standard error beside the message: a one-line
-- statement, the later line of a statement over several, a line with tabs
-- and accents, an error at the very end of the statement and one after a
-- date escape, shown rewritten as the library read it. A statement holding
-- a memo file gets the message alone: the library counts in a text the
-- shell does not see.
CREATE TABLE T (A INTEGER, B CHAR(5));
SELECT A FRM T;
SELECT A,
       B
  FROM T
  WHERE A = = 1;
SELECT	A,	B	FROM T WHERE B = 'été' AND AND A = 1;
CREATE TABLE U (A INTEGER
;
SELECT A FROM NOWHERE;
SELECT A FROM T WHERE B = {d '2024-01-31'} AND AND A = 1;
INSERT INTO T VALUES ({JXMemoBinaire('notes.txt')}, 1 2);
