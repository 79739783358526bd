// Where input lines come from: a terminal, with line editing, completion
// and a history kept in ~/.zksql_history, or a stream (a pipe, a file, a
// script given to .read) read as it is.
#ifndef ZKSHELL_LINE_SOURCE_H
#define ZKSHELL_LINE_SOURCE_H

#include <cstdio>
#include <string>

namespace zkshell {

class Completer;

class LineSource {
 public:
  virtual ~LineSource() = default;
  // Reads the next line without its line break; false at the end of input.
  // continuation says a statement is under way (the prompt shows it).
  virtual bool ReadLine(std::string* line, bool continuation) = 0;
  // Line number of the line last read, from 1.
  int LineNumber() const { return line_; }
  virtual bool Interactive() const { return false; }
  // Records an entry in the history (terminals only): a dot-command, or a
  // statement with all its lines.
  virtual void Remember(const std::string& /*entry*/) {}
  // After a ReadLine that returned true: Ctrl-C cleared the line being
  // typed (which comes back empty), and a statement begun on earlier
  // lines is dropped.
  bool Cancelled() const { return cancelled_; }

 protected:
  int line_ = 0;
  bool cancelled_ = false;
};

class StreamLineSource : public LineSource {
 public:
  // The stream stays the caller's.
  explicit StreamLineSource(FILE* stream) : stream_(stream) {}
  bool ReadLine(std::string* line, bool continuation) override;

 private:
  FILE* stream_;
};

// Line editing through libedit. The history file is read when the source
// is made, and each entry is appended to it as it is made, so that the
// history survives however the shell ends. Tab asks completer, which
// stays the caller's (nullptr: no completion but file names).
class TerminalLineSource : public LineSource {
 public:
  explicit TerminalLineSource(Completer* completer = nullptr);
  ~TerminalLineSource() override;
  bool ReadLine(std::string* line, bool continuation) override;
  bool Interactive() const override { return true; }
  void Remember(const std::string& entry) override;

 private:
  std::string historyPath_;
  Completer* completer_;
};

}  // namespace zkshell

#endif
