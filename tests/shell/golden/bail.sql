-- With --bail the first error ends the script.
.mode list
SELECT A FROM NOWHERE;
.mode bogus
