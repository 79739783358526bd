// .import [OPTIONS] FILE TABLE: reads a CSV file into a table, making the
// table from the header and the values when it does not exist. The file is
// read and checked whole before anything is written, and written as one
// statement, so an import either brings in every record or nothing: a
// malformed file or a record the library refuses fails the command with
// the place in the file ("FILE:LINE:COLUMN: what") and leaves the database
// as it was.
#ifndef ZKSHELL_IMPORT_H
#define ZKSHELL_IMPORT_H

#include <string>
#include <vector>

namespace zkshell {

class Shell;

// words are the command's words, ".import" first.
void Import(Shell* shell, const std::vector<std::string>& words);

}  // namespace zkshell

#endif
