-- --csv and --header set the starting mode; the empty result prints nothing.
CREATE TABLE T (A INTEGER, B CHAR(5));
INSERT INTO T VALUES (1, 'a,b');
SELECT A, B FROM T;
SELECT A, B FROM T WHERE A = 2;
