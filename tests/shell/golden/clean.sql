-- A script in which everything succeeds exits 0.
.mode table
.headers on
.separator ;
.timer off
.begin
.commit
