-- .changes shows the rows each INSERT, UPDATE or DELETE changed and the
-- total so far; reads and failed writes show nothing, and the total counts
-- the writes made while it was off.
CREATE TABLE T (A INTEGER PRIMARY KEY, B CHAR(5));
INSERT INTO T VALUES (1, 'un');
.changes on
INSERT INTO T VALUES (2, 'deux');
INSERT INTO T VALUES (3, 'trois');
UPDATE T SET B = ('x') WHERE A > 1;
DELETE FROM T WHERE A = 42;
SELECT A, B FROM T;
INSERT INTO T VALUES (1, 'dup');
delete from T;
.changes off
INSERT INTO T VALUES (4, 'q');
.changes
.changes on
DELETE FROM T;
