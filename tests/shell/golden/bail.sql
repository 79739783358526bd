-- With --bail the first error ends the script: what ran before it stays
-- done, nothing after it runs, and the shell exits 1.
.mode list
CREATE TABLE T (A INTEGER);
INSERT INTO T VALUES (1);
SELECT A FROM T;
SELECT A FROM NOWHERE;
INSERT INTO T VALUES (2);
SELECT A FROM T;
