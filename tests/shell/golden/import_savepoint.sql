-- .import inside .begin is one savepoint: the 4th record duplicates a key
-- written earlier in the transaction, so nothing of the file stays, and the
-- transaction goes on to keep its own statements.
.mode list
CREATE TABLE C (NUM INTEGER PRIMARY KEY, NOM CHAR(10));
.begin
INSERT INTO C VALUES (1, 'Un');
.import dup4.csv C
INSERT INTO C VALUES (9, 'Neuf');
.commit
SELECT NUM, NOM FROM C;
