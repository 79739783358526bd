-- Dot-commands and their usage errors.
.help
.mode json
.mode
.headers on
.separator
.timer sometimes
.output
.read
.memo T C x out.bin
.export T
.schema NOWHERE
.nosuchcommand
