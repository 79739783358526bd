-- nested
.mode nonsense
