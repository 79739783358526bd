// Where input lines come from: a terminal, with line editing and a
// history kept in ~/.zksql_history, or a stream (a pipe, a file, a script
// given to .read) read as it is.
#ifndef ZKSHELL_LINE_SOURCE_H
#define ZKSHELL_LINE_SOURCE_H

#include <cstdio>
#include <string>

namespace zkshell {

class LineSource {
 public:
  virtual ~LineSource() = default;
  // Reads the next line without its line break; false at the end of input.
  // continuation says a statement is under way (the prompt shows it).
  virtual bool ReadLine(std::string* line, bool continuation) = 0;
  // Line number of the line last read, from 1.
  int LineNumber() const { return line_; }
  virtual bool Interactive() const { return false; }
  // Records an entered line in the history (terminals only).
  virtual void Remember(const std::string& /*line*/) {}

 protected:
  int line_ = 0;
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
// is made and written when it goes.
class TerminalLineSource : public LineSource {
 public:
  TerminalLineSource();
  ~TerminalLineSource() override;
  bool ReadLine(std::string* line, bool continuation) override;
  bool Interactive() const override { return true; }
  void Remember(const std::string& line) override;

 private:
  std::string historyPath_;
};

}  // namespace zkshell

#endif
