-- .timeout shows the busy timeout (the engine's default at first) and sets
-- it; a value that is no number of milliseconds is refused and changes
-- nothing.
.timeout
.timeout 250
.timeout
.timeout -1
.timeout soon
.timeout 0
.timeout
