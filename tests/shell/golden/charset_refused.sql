-- A character Windows-1252 cannot hold stops its statement before it runs;
-- é, € and œ go through to the library and come back as they were.
.mode list
CREATE TABLE CLIENTS (NUM INTEGER, NOM CHAR(20));
INSERT INTO CLIENTS VALUES (1, 'Zoë ✓');
INSERT INTO CLIENTS VALUES (2, 'Cœur à 5 €');
SELECT NUM, NOM FROM CLIENTS;
SELECT NUM FROM CLIENTS WHERE NOM = 'Cœur à 5 €';
SELECT NUM FROM CLIENTS WHERE NOM LIKE '%5 €';
