-- A character Windows-1252 cannot hold stops its statement before it runs;
-- é, € and œ pass on to the library (which then reports the missing table).
SELECT NOM FROM CLIENTS WHERE NOM = 'Zoë ✓';
SELECT NOM FROM CLIENTS WHERE NOM = 'Cœur à 5 €';
