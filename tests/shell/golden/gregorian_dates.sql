-- New dates follow the Gregorian leap rule: 29 February of 1900 and 2100
-- never existed and are refused, that of 2000 is kept, in either written
-- form; date arithmetic steps over the missing days.
.mode list
CREATE TABLE D (N INTEGER, X DATE);
INSERT INTO D VALUES (1, '2000-02-29');
INSERT INTO D VALUES (2, '2100-02-29');
INSERT INTO D VALUES (3, '19000229');
INSERT INTO D VALUES (4, '2023-02-29');
INSERT INTO D VALUES (5, '2100-02-28');
INSERT INTO D VALUES (6, '2400-02-29');
SELECT N, X FROM D;
SELECT N FROM D WHERE X = '2100-02-28';
