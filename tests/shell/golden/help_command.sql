-- .help NAME shows one command's entry, named with or without its dot or
-- by another name of the command; an unknown name is a failure.
.help import
.help .memo
.help header
.help frobnicate
.help .
.help mode csv
