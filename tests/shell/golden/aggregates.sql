-- Aggregates give one row, or one row per group; HAVING keeps the groups
-- it holds for.
.mode list
CREATE TABLE T (A INTEGER, B CHAR(5));
INSERT INTO T VALUES (1, 'x');
INSERT INTO T VALUES (2, 'x');
SELECT COUNT(*) FROM T;
SELECT COUNT(*) FROM T WHERE A = 3;
SELECT B, SUM(A) FROM T GROUP BY B;
SELECT B FROM T GROUP BY B HAVING B = 'x';
