-- Grouped transactions through the engine's host transaction calls.
.commit
.rollback
.begin
.begin
.commit
.begin
.rollback
