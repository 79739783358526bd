-- .read runs a file; its errors name the file and the line in it.
.read script.sql
.read absent.sql
.tables
