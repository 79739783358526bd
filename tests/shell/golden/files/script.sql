.mode csv

SELECT X FRM T;
.read nested.sql
