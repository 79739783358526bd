-- .import into an existing table goes in as one transaction: a record the
-- library refuses names its line and leaves the table as it was. Header
-- names become identifiers: spelt in ASCII, blanks and signs "_",
-- keywords prefixed, duplicates numbered.
.mode list
CREATE TABLE CLIENTS (NUM INTEGER, NOM CHAR(10));
INSERT INTO CLIENTS VALUES (1, 'Un');
.import bad_numbers.csv CLIENTS
.import open_quote.csv CLIENTS
.import absent.csv CLIENTS
.import headers.csv
SELECT NUM, NOM FROM CLIENTS;
.import headers.csv DIVERS
.schema DIVERS
.headers on
SELECT * FROM DIVERS;
