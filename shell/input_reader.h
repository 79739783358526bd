// Statement splitting: input arrives line by line (from a terminal, a pipe,
// a file or an argument) and leaves as whole statements. A statement ends
// with ";" outside string literals and may span lines; "--" starts a
// comment that runs to the end of the line (the library's lexer knows no
// comments, so they never reach it). Each statement remembers the line it
// started on, for error messages in scripts.
#ifndef ZKSHELL_INPUT_READER_H
#define ZKSHELL_INPUT_READER_H

#include <deque>
#include <string>
#include <vector>

namespace zkshell {

struct Statement {
  std::string text;  // without its ";", comments removed, lines joined by "\n"
  int line = 0;      // line of its first character, from 1
};

class StatementSplitter {
 public:
  // Adds one line of input (without its line break).
  void AddLine(const std::string& line, int lineNumber);
  // Hands out the next complete statement; false when none is complete.
  bool Next(Statement* statement);
  // True while a statement has begun and not ended: the continuation
  // prompt is due, and a line starting with "." is SQL, not a dot-command.
  bool Pending() const;
  // The unfinished statement's text (what the end of input leaves over).
  Statement TakePending();
  void Reset();

 private:
  void Finish();

  std::deque<Statement> ready_;
  std::string current_;
  int currentLine_ = 0;
  char quote_ = 0;  // the quote character of an open string literal, or 0
};

// True when text holds only blanks.
bool IsBlank(const std::string& text);

// A line that is a dot-command: its first non-blank character is ".".
bool IsDotCommand(const std::string& line);

// The history entry of what was typed over several lines to end a
// statement: the lines joined by a blank, each without its "--" comment,
// so that it comes back as one line to edit and run again. A line break
// inside a string literal is part of the value and is kept.
std::string HistoryEntry(const std::vector<std::string>& lines);

}  // namespace zkshell

#endif
