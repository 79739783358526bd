// The readline interface of libedit is enough here: a prompt, a line, a
// history list saved to a file.
#include "line_source.h"

#include <editline/readline.h>

#include <cstdlib>

namespace zkshell {
namespace {

constexpr char kPrompt[] = "zksql> ";
constexpr char kContinuation[] = "   ...> ";
constexpr int kHistoryLines = 1000;

}  // namespace

bool StreamLineSource::ReadLine(std::string* line, bool /*continuation*/) {
  line->clear();
  int c;
  bool any = false;
  while ((c = fgetc(stream_)) != EOF) {
    any = true;
    if (c == '\n') break;
    *line += static_cast<char>(c);
  }
  if (!any) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  ++line_;
  return true;
}

TerminalLineSource::TerminalLineSource() {
  using_history();
  stifle_history(kHistoryLines);
  const char* home = getenv("HOME");
  if (home != nullptr && *home != '\0') {
    historyPath_ = std::string(home) + "/.zksql_history";
    read_history(historyPath_.c_str());
  }
}

TerminalLineSource::~TerminalLineSource() {
  if (!historyPath_.empty()) write_history(historyPath_.c_str());
}

bool TerminalLineSource::ReadLine(std::string* line, bool continuation) {
  char* text = readline(continuation ? kContinuation : kPrompt);
  if (text == nullptr) return false;
  *line = text;
  free(text);
  ++line_;
  return true;
}

void TerminalLineSource::Remember(const std::string& line) {
  if (line.find_first_not_of(" \t") == std::string::npos) return;
  HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
  if (last != nullptr && last->line != nullptr && line == last->line) return;
  add_history(line.c_str());
}

}  // namespace zkshell
