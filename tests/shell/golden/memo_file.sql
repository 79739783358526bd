-- A memo construct names a file that cannot be read: the statement is not run.
INSERT INTO DOCS VALUES (1, {JXMemoBinaire('absent.txt')});
