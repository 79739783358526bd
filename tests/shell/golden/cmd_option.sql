.mode bogus2
