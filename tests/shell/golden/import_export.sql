-- .import creates the table from the header and the values (integers,
-- reals, texts sized to the longest), .export writes it back as the same
-- CSV: quotes, embedded commas and line breaks, é, € and œ.
.import clients.csv CLIENTS
.schema CLIENTS
.mode list
SELECT NUM, NOM, SOLDE FROM CLIENTS;
.export CLIENTS back.csv
.import clients.csv CLIENTS
SELECT NUM FROM CLIENTS;
