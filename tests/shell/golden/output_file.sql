-- .output sends everything to a file until .output alone; .once only what
-- the next command writes. Echoed commands go where the output goes;
-- .print is not echoed, its text shows once.
.output all.txt
.echo on
.tables
.print Bonjour, été à 5 €
.echo off
.output
.once once.txt
.help
.echo on
.echo off
