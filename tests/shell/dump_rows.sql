-- Rows for the tables of schema_kinds.sql, for the .dump round trip: the
-- limits of each integer type, reals of several sizes, texts holding what
-- a literal must escape or a script splitter could misread (quotes, ";",
-- "--", line breaks, accents of Windows-1252), empty dates and times, and
-- memos: text, binary with zero bytes, and none. The memo files are made
-- by the test beside this script's run.
INSERT INTO TOUT VALUES (1, 2147483647, 32767, 127, 0.1, 1234567.891, 'l''été', 'a;b -- pas un commentaire', '2024-02-29', '23:59');
INSERT INTO TOUT VALUES (-2147483648, -2147483648, -32768, -128, -2.5, -0.000001, 'Bœuf & Cœur €', 'deux
lignes', '19991231', '0000');
INSERT INTO TOUT (ENTIER, TEXTE) VALUES (3, '');
INSERT INTO TOUT VALUES (4, 0, 0, 0, 1e20, 98765432101.5, '''guillemets''', '{accolades} et \barres/', '2000-01-01', '12:05');
.create EXTRA (ID INTEGER, NOTE MEMO)
INSERT INTO DOCS VALUES (1, 'Réunion', {JXMemoBinaire('corps.txt')}, {JXMemoBinaire('scan.bin')}, '2024-01-15');
INSERT INTO DOCS (ID, TITRE) VALUES (2, 'sans memo');
INSERT INTO DOCS (ID, CORPS, RECU) VALUES (3, 'texte court', '2023-12-01');
INSERT INTO EXTRA VALUES (7, 'une note');
