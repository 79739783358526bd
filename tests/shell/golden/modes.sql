-- needs: execution
-- Every output mode on the same rows: numbers right-aligned in table mode,
-- RFC 4180 quoting in csv, non-ASCII text converted back to UTF-8.
CREATE TABLE PRODUITS (NUM INTEGER, LIBELLE CHAR(20), PRIX DOUBLE PRECISION);
INSERT INTO PRODUITS VALUES (1, 'Crème brûlée', 4.5);
INSERT INTO PRODUITS VALUES (12, 'Vin "rouge", 75cl', 12.25);
.mode table
SELECT NUM, LIBELLE, PRIX FROM PRODUITS;
.mode list
SELECT NUM, LIBELLE, PRIX FROM PRODUITS;
.headers on
.separator " ; "
SELECT NUM, LIBELLE, PRIX FROM PRODUITS;
.mode csv
SELECT NUM, LIBELLE, PRIX FROM PRODUITS;
.mode tabs
SELECT NUM, LIBELLE, PRIX FROM PRODUITS;
.mode line
SELECT NUM, LIBELLE, PRIX FROM PRODUITS;
.mode json
SELECT NUM, LIBELLE, PRIX FROM PRODUITS;
