-- A syntax error shows the statement's line holding the error with a caret
-- under the place, on standard error beside the message: a one-line
-- statement, the later line of a statement over several, a line with tabs
-- and accents, and an error at the very end of the statement.
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
