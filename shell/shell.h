// The shell proper: reads input from a line source, runs dot-commands and
// statements, shows results in the current output mode, reports errors
// and remembers whether anything failed. The dot-commands themselves live
// in commands.cc; this class holds the state they change.
#ifndef ZKSHELL_SHELL_H
#define ZKSHELL_SHELL_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "line_source.h"
#include "output_format.h"
#include "session.h"

namespace zkshell {

class Shell {
 public:
  explicit Shell(Session* session);
  ~Shell();

  // Runs every line of source. name is "" for standard input, the file's
  // name for .read, so errors can say where they happened. Returns false
  // when reading stopped because of bail or .quit.
  bool Run(LineSource* source, const std::string& name);
  // Runs one argument (--cmd or an SQL argument): a dot-command when it
  // starts with ".", else one or more statements.
  bool RunArgument(const std::string& text);

  // Runs one statement (UTF-8 text, without its ";").
  void RunStatement(const std::string& text);

  // Reports a failure on standard error ("" sqlState for the shell's own
  // failures) and counts it; with bail on, input stops.
  void Fail(const std::string& message, const std::string& sqlState = "");
  bool AnyFailure() const { return failures_ > 0; }
  bool Stopping() const { return stop_; }
  // Ctrl-C stopped a script (standard input or .read).
  bool Interrupted() const { return interrupted_; }
  void Quit() { stop_ = true; }

  // Writes text (UTF-8) to the current output.
  void Write(const std::string& text);
  // The current output's stream (.dump finds from it where its file is).
  FILE* output() const { return out_; }
  // .output FILE ("" = standard output) and .once FILE.
  bool SetOutput(const std::string& path, bool once, std::string* error);

  FormatSettings& format() { return format_; }
  Session& session() { return *session_; }
  bool bail = false;
  bool echo = false;
  bool timer = false;
  bool changes = false;  // .changes: report the rows each write changed

 private:
  void RunLine(const std::string& line, LineSource* source);
  void EndOnce();
  std::string Where() const;

  Session* session_;
  FormatSettings format_;
  FILE* out_ = stdout;
  bool once_ = false;
  int failures_ = 0;
  int64_t totalChanges_ = 0;  // rows changed by every write so far
  bool stop_ = false;
  bool interrupted_ = false;
  // Where the statement being run came from, for error messages.
  std::string sourceName_;
  int sourceLine_ = 0;
  bool script_ = false;
  bool interactive_ = false;  // bail does not end a terminal session
  int depth_ = 0;             // nesting of .read
};

// The library's messages start with a blank and may hold an empty line
// before their details: shown trimmed, details indented under the first
// line.
std::string TidyMessage(const std::string& message);

// Runs a dot-command line; defined in commands.cc.
void RunDotCommand(Shell* shell, const std::string& line);

}  // namespace zkshell

#endif
