// Dot-commands: the lines starting with "." that act on the shell rather
// than on the database (modes, output, scripts) or that reach the database
// in ways SQL cannot (catalogue, CSV import and export, memo files,
// grouped transactions).
#ifndef ZKSHELL_COMMANDS_H
#define ZKSHELL_COMMANDS_H

#include <string>
#include <vector>

namespace zkshell {

// Splits a dot-command line into words: blanks separate them, and a word
// may be quoted with ' or " to hold blanks.
std::vector<std::string> SplitCommandLine(const std::string& line);

// True when name matches a .tables pattern: "%" any run, "_" one
// character, letters compared without regard to case.
bool MatchesPattern(const std::string& name, const std::string& pattern);

}  // namespace zkshell

#endif
