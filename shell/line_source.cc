// The readline interface of libedit is enough here: a prompt, a line, a
// history list saved to a file, and completion. When Ctrl-C comes at the
// prompt, libedit puts the terminal back, passes the signal on to the
// shell's handler and returns no line, as at the end of input: the
// handler's mark tells the two apart.
#include "line_source.h"

#include <editline/readline.h>

#include <cstdlib>
#include <cstring>

#include "completion.h"
#include "interrupt.h"

namespace zkshell {
namespace {

constexpr char kPrompt[] = "zksql> ";
constexpr char kContinuation[] = "   ...> ";
constexpr int kHistoryLines = 1000;

// libedit's completion hooks are plain functions: they reach the source's
// completer and the statement's earlier lines through these.
Completer* g_completer = nullptr;
std::string g_earlierLines;
std::vector<std::string> g_matches;

char* NextMatch(const char* /*text*/, int state) {
  static size_t next = 0;
  if (state == 0) next = 0;
  return next < g_matches.size() ? strdup(g_matches[next++].c_str()) : nullptr;
}

char** Complete(const char* text, int start, int /*end*/) {
  rl_attempted_completion_over = 1;
  if (g_completer == nullptr) return nullptr;
  std::string before = g_earlierLines + std::string(rl_line_buffer, static_cast<size_t>(start));
  std::optional<std::vector<std::string>> matches = g_completer->Complete(before, text);
  if (!matches) {
    rl_attempted_completion_over = 0;  // a file name: libedit's own completion
    return nullptr;
  }
  if (matches->empty()) return nullptr;
  g_matches = std::move(*matches);
  return rl_completion_matches(text, NextMatch);
}

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

TerminalLineSource::TerminalLineSource(Completer* completer) : completer_(completer) {
  rl_readline_name = "zksql";
  g_completer = completer;
  rl_attempted_completion_function = Complete;
  using_history();
  stifle_history(kHistoryLines);
  const char* home = getenv("HOME");
  if (home != nullptr && *home != '\0') {
    historyPath_ = std::string(home) + "/.zksql_history";
    // Entries are appended as they come: the file is cut back to the
    // newest ones here, so it does not grow without end.
    history_truncate_file(historyPath_.c_str(), kHistoryLines);
    read_history(historyPath_.c_str());
  }
}

TerminalLineSource::~TerminalLineSource() {
  g_completer = nullptr;
  rl_attempted_completion_function = nullptr;
}

bool TerminalLineSource::ReadLine(std::string* line, bool continuation) {
  if (!continuation) g_earlierLines.clear();
  cancelled_ = false;
  TakeInterrupt();  // a Ctrl-C that came during the last statement is spent
  char* text = readline(continuation ? kContinuation : kPrompt);
  if (text == nullptr) {
    if (!TakeInterrupt()) return false;
    // Ctrl-C at the prompt: the line is dropped and a fresh prompt shown.
    fputs("^C\n", stdout);
    fflush(stdout);
    g_earlierLines.clear();
    line->clear();
    cancelled_ = true;
    return true;
  }
  *line = text;
  free(text);
  ++line_;
  g_earlierLines += *line + "\n";
  return true;
}

void TerminalLineSource::Remember(const std::string& entry) {
  if (completer_ != nullptr && Completer::MayChangeCatalogue(entry)) completer_->Forget();
  if (entry.find_first_not_of(" \t") == std::string::npos) return;
  HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
  if (last != nullptr && last->line != nullptr && entry == last->line) return;
  add_history(entry.c_str());
  if (!historyPath_.empty()) append_history(1, historyPath_.c_str());
}

}  // namespace zkshell
