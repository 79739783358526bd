-- Errors in a script: the French message with its SQLSTATE and the line the
-- statement starts on; the script goes on and the shell exits 1.
SELECT A FRM T;
SELECT A
  FROM NOWHERE;
SELECT A FROM T WHERE A = 'abc;
