-- Grouped transactions through the engine's host transaction calls: a
-- rollback undoes every statement since .begin, a commit keeps them, and
-- a transaction still open at the end is rolled back with a warning.
.mode list
CREATE TABLE T (A INTEGER);
.commit
.rollback
.begin
.begin
INSERT INTO T VALUES (1);
INSERT INTO T VALUES (2);
.rollback
SELECT A FROM T;
.begin
INSERT INTO T VALUES (3);
.commit
SELECT A FROM T;
.begin
INSERT INTO T VALUES (4);
