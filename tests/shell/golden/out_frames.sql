-- The framed modes on the same rows: box drawn with line characters,
-- markdown with its alignment rule and escapes, a value over several lines
-- inside its cell, and every frame closed on a result without rows.
CREATE TABLE NOTES (NUM INTEGER, TEXTE CHAR(30), PRIX DOUBLE PRECISION);
INSERT INTO NOTES VALUES (1, 'Crème brûlée', 4.5);
INSERT INTO NOTES VALUES (12, 'première ligne
seconde | fin', 12.25);
.mode box
SELECT NUM, TEXTE, PRIX FROM NOTES;
SELECT NUM, TEXTE FROM NOTES WHERE NUM = 99;
.mode markdown
SELECT NUM, TEXTE, PRIX FROM NOTES;
SELECT NUM, TEXTE FROM NOTES WHERE NUM = 99;
.mode table
SELECT NUM, TEXTE, PRIX FROM NOTES;
SELECT NUM, TEXTE FROM NOTES WHERE NUM = 99;
.mode grid
