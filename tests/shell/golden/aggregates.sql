-- Aggregates select their rows but compute no value: COUNT(*) alone leaves
-- a result without a column, which the shell notes on the side (no
-- failure); SUM(A) shows A of each row. HAVING is refused.
.mode list
CREATE TABLE T (A INTEGER, B CHAR(5));
INSERT INTO T VALUES (1, 'x');
INSERT INTO T VALUES (2, 'x');
SELECT COUNT(*) FROM T;
SELECT COUNT(*) FROM T WHERE A = 3;
SELECT B, SUM(A) FROM T GROUP BY B;
SELECT B FROM T GROUP BY B HAVING B = 'x';
