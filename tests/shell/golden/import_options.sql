-- .import options: a ";"-separated file whose codes keep their leading
-- zero (text, since 08747 would come back as 8747) and whose amounts with
-- a decimal comma are numbers only under --decimal-comma; header names
-- spelt in ASCII; lines skipped before a file without a header, with a tab
-- separator.
.import --separator ; imp_fr.csv SANS
.import --csv --separator ";" --decimal-comma imp_fr.csv AVEC
.schema SANS
.schema AVEC
.mode list
.headers on
SELECT * FROM SANS;
SELECT * FROM AVEC;
.import --separator ; imp_fr.csv AVEC
SELECT CODE_POSTAL FROM AVEC;
.import --skip 2 --no-header --separator '\t' imp_skip.csv FRUITS
.schema FRUITS
SELECT * FROM FRUITS;
