-- A memo construct names a file that cannot be read, or no regular file (a
-- device that never ends, a directory): the statement is not run.
.create DOCS (ID INTEGER, SCAN BINARY MEMO)
INSERT INTO DOCS VALUES (1, {JXMemoBinaire('absent.txt')});
INSERT INTO DOCS VALUES (2, {JXMemoBinaire('/dev/zero')});
INSERT INTO DOCS VALUES (3, {JXMemoBinaire('.')});
SELECT ID FROM DOCS;
