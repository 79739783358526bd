// Where in a statement the library stopped reading it. A syntax error's
// message ends with "Position : N", counting in the Windows-1252 text the
// library parsed; the shell shows the line of the statement holding that
// place with a caret under it, so the reader need not count characters.
#ifndef ZKSHELL_ERROR_CARET_H
#define ZKSHELL_ERROR_CARET_H

#include <string>

namespace zkshell {

// The position a library message names ("Position : N", from 1), or -1
// when it names none.
int MessagePosition(const std::string& message);

// Two lines (UTF-8, each indented by two blanks and ended by "\n"): the
// line of statement (Windows-1252) that holds position, and a caret under
// the item found there. The library counts from where it began to look for
// the item, blanks included, so the caret goes to the first non-blank
// character from there; a position past the end points just after the
// last character. A tab above the caret stays a tab below it, so both lines
// reach the same column on a terminal; a very long line is shown around
// the caret only. "" for a position below 1.
std::string CaretLines(const std::string& statement, int position);

}  // namespace zkshell

#endif
