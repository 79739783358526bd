-- .separator takes \t, \n, \r and \\ for the characters they name, for the
-- columns and, as a second argument, for the end of each line.
CREATE TABLE T (A INTEGER, B CHAR(5));
INSERT INTO T VALUES (1, 'un');
INSERT INTO T VALUES (2, 'deux');
.headers on
.separator '\t'
SELECT A, B FROM T;
.separator \\
SELECT A, B FROM T;
.separator ' = ' '\n--\n'
SELECT A, B FROM T;
.separator , \n
SELECT A, B FROM T;
.separator
