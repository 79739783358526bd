-- needs: a memo column type in CREATE TABLE
-- A memo stored from a file and written back by .memo byte for byte.
CREATE TABLE DOCS (ID INTEGER, TEXTE MEMO);
INSERT INTO DOCS VALUES (1, {JXMemoBinaire('notes.txt')});
.memo DOCS TEXTE 1 back.txt
