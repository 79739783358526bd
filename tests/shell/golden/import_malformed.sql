-- A malformed file stops .import at its place in the file (line and
-- column as an editor shows them, line breaks inside quoted fields
-- counted), before anything is written: no table is made and an existing
-- table keeps its rows. So does a record the library refuses, named by its
-- line, and a value the column would cut.
.mode list
.import imp_stray_quote.csv STRAY
.import imp_too_many.csv MANY
.import imp_too_few.csv FEW
.import imp_not_cp1252.csv SYMBOLS
.import imp_empty_header.csv EMPTY
.import --tabs imp_too_many.csv MANY
CREATE TABLE K (NUM INTEGER PRIMARY KEY, NOTE CHAR(20));
INSERT INTO K VALUES (1, 'un');
.import imp_dup_key.csv K
.import imp_too_long.csv K
.import --skip 2 --no-header --separator '\t' imp_skip.csv K
.tables
SELECT NUM, NOTE FROM K;
