-- A value may hold any byte the table's character set has, control bytes
-- included: each column is fetched on its own, so a unit separator (0x1F)
-- inside a text stays in its column.
CREATE TABLE T (A CHAR(10), B INTEGER);
INSERT INTO T VALUES ('ab', 1);
INSERT INTO T VALUES ('tab	here', 2);
.mode csv
SELECT A, B FROM T;
