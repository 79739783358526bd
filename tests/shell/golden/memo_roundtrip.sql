-- A memo read from a file by an INSERT and written back by .memo byte for
-- byte: line breaks, é, €, — and a zero byte. CREATE TABLE has no memo type:
-- .create makes the table, and .schema writes it as .create again.
.create DOCS (ID INTEGER, TITRE CHAR(20), TEXTE MEMO, SCAN BINARY MEMO)
INSERT INTO DOCS VALUES (1, 'notes', 'court', {JXMemoBinaire('notes.txt')});
.memo DOCS SCAN 1 back.txt
.memo DOCS TEXTE 1 text.txt
.schema DOCS
.mode list
SELECT ID, TITRE, TEXTE FROM DOCS;
.memo DOCS SCAN 2 none.txt
.memo DOCS TITRE 1 none.txt
