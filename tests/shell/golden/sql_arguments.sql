-- Standard input is not read when SQL comes as arguments.
.nosuchcommand
