-- .bail on takes effect from where it stands.
.frobnicate
.bail on
.headers maybe
.mode bogus
