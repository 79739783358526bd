-- .output sends everything to a file until .output alone; .once only what
-- the next command writes. Echoed commands go where the output goes.
.output all.txt
.echo on
.tables
.echo off
.output
.once once.txt
.help
.echo on
.echo off
