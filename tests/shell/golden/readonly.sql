-- Opened with --readonly: reads work; every write (a statement, a group, an
-- import) is refused as read-only and changes nothing.
.mode list
SELECT A, B FROM T;
INSERT INTO T VALUES (2, 'deux');
.begin
.import dup4.csv T
SELECT A, B FROM T;
