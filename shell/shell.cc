// Statements cross three conversions here: UTF-8 to Windows-1252 on the
// way in (refusing what Windows-1252 cannot hold before anything runs),
// memo constructs resolved into memo blocks, and rows, column names and
// messages back to UTF-8 on the way out.
#include "shell.h"

#include <cctype>
#include <chrono>
#include <cstring>
#include <optional>

#include "charset.h"
#include "commands.h"
#include "error_caret.h"
#include "input_reader.h"
#include "interrupt.h"
#include "memo_blocks.h"

namespace zkshell {
namespace {

constexpr int kMaxReadDepth = 16;

// Shows a result as it is fetched: each row formatted straight into the
// formatter's text, which reaches the output in large pieces.
class PrintingSink : public RowSink {
 public:
  PrintingSink(const FormatSettings& settings, FILE* out) : settings_(settings), out_(out) {}

  void Start(const std::string& columnText) override {
    formatter_.emplace(settings_, ParseColumnText(zkhost::Cp1252ToUtf8(columnText)),
                       [this](const char* data, size_t size) { fwrite(data, 1, size, out_); });
  }
  void Row(const std::string_view* fields, size_t count) override {
    formatter_->AddRow(fields, count);
  }
  // The rows shown so far when the result failed half way; else the end of
  // the result.
  void End(bool complete) {
    if (!formatter_) return;
    if (complete) {
      formatter_->Finish();
    } else {
      formatter_->Flush();
    }
  }

 private:
  const FormatSettings& settings_;
  FILE* out_;
  std::optional<ResultFormatter> formatter_;
};

// True for a statement that writes records: the ones whose changed rows
// .changes reports. Comments never reach here, so the first word decides.
bool IsWriteStatement(const std::string& sql) {
  size_t start = sql.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return false;
  size_t end = start;
  while (end < sql.size() && isalpha(static_cast<unsigned char>(sql[end]))) ++end;
  std::string word = sql.substr(start, end - start);
  for (char& c : word) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return word == "INSERT" || word == "UPDATE" || word == "DELETE";
}

}  // namespace

std::string TidyMessage(const std::string& message) {
  std::string out;
  size_t start = 0;
  while (start <= message.size()) {
    size_t end = message.find('\n', start);
    if (end == std::string::npos) end = message.size();
    std::string line = message.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos) {
      if (!out.empty()) out += "\n  ";
      out += line.substr(first);
    }
    start = end + 1;
  }
  return out;
}

Shell::Shell(Session* session) : session_(session) {}

Shell::~Shell() {
  if (out_ != stdout) fclose(out_);
}

std::string Shell::Where() const {
  if (!script_) return "";
  std::string where = " near line " + std::to_string(sourceLine_);
  if (!sourceName_.empty()) where += " of " + sourceName_;
  return where;
}

void Shell::Fail(const std::string& message, const std::string& sqlState) {
  ++failures_;
  std::string text = "Error" + Where();
  if (!sqlState.empty()) text += " [" + sqlState + "]";
  text += ": " + message + "\n";
  fflush(out_);
  fputs(text.c_str(), stderr);
  fflush(stderr);
  if (bail && !interactive_) stop_ = true;
}

void Shell::Write(const std::string& text) {
  fwrite(text.data(), 1, text.size(), out_);
}

bool Shell::SetOutput(const std::string& path, bool once, std::string* error) {
  FILE* next = stdout;
  if (!path.empty()) {
    next = fopen(path.c_str(), "wb");
    if (next == nullptr) {
      *error = "cannot write \"" + path + "\": " + strerror(errno);
      return false;
    }
  }
  if (out_ != stdout) fclose(out_);
  out_ = next;
  once_ = once && next != stdout;
  return true;
}

void Shell::EndOnce() {
  if (!once_) return;
  std::string ignored;
  SetOutput("", false, &ignored);
}

void Shell::RunStatement(const std::string& text) {
  InterruptibleWork work;
  if (echo) Write(text + ";\n");
  auto started = std::chrono::steady_clock::now();
  std::string sql, problem;
  if (!zkhost::Utf8ToCp1252(text, &sql, &problem)) {
    Fail(problem + "; the statement was not run");
    EndOnce();
    return;
  }
  MemoBlocks memos;
  if (!LoadStatementMemos(sql, &memos, &problem)) {
    Fail(zkhost::Cp1252ToUtf8(problem) + "; the statement was not run");
    EndOnce();
    return;
  }
  PrintingSink printer(format_, out_);
  ExecResult result = session_->Execute(sql, &memos, &printer);
  printer.End(result.ok);
  if (!result.ok) {
    std::string message = TidyMessage(zkhost::Cp1252ToUtf8(result.error));
    // A syntax error names where the library stopped: shown on the
    // statement itself, under the message. Memo constructs become markers
    // of another length inside the library, in a text the shell never
    // sees, so a statement holding one gets the message alone.
    int position = MessagePosition(result.error);
    if (position > 0 && memos.Count() == 0) {
      std::string caret = CaretLines(result.parsedText, position);
      caret.pop_back();
      message += "\n" + caret;
    }
    Fail(message, result.sqlState);
  } else if (IsWriteStatement(sql)) {
    // Counted whether shown or not, so that the total covers the session.
    totalChanges_ += result.changedRows;
    if (changes) {
      Write("changes: " + std::to_string(result.changedRows) +
            "   total_changes: " + std::to_string(totalChanges_) + "\n");
    }
  }
  if (timer) {
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char line[64];
    snprintf(line, sizeof line, "Run Time: real %.3f\n", seconds);
    Write(line);
  }
  fflush(out_);
  EndOnce();
}

void Shell::RunLine(const std::string& line, LineSource* source) {
  (void)source;
  // .once covers the one command after it, whatever its kind.
  bool once = once_;
  InterruptibleWork work;
  RunDotCommand(this, line);
  fflush(out_);
  if (once) EndOnce();
}

bool Shell::Run(LineSource* source, const std::string& name) {
  if (depth_ >= kMaxReadDepth) {
    Fail(".read nested too deep");
    return false;
  }
  ++depth_;
  std::string savedName = sourceName_;
  int savedLine = sourceLine_;
  bool savedScript = script_;
  bool savedInteractive = interactive_;
  sourceName_ = name;
  script_ = !source->Interactive();
  interactive_ = source->Interactive();

  StatementSplitter splitter;
  std::string line;
  std::vector<std::string> entry;  // the lines of the statement, for the history
  while (!stop_ && source->ReadLine(&line, splitter.Pending())) {
    if (source->Cancelled()) {
      splitter.Reset();
      entry.clear();
      continue;
    }
    // Ctrl-C stops a script, not just its statement: what follows may
    // count on what was stopped.
    if (!interactive_ && InterruptSeen()) break;
    if (!splitter.Pending() && IsDotCommand(line)) {
      source->Remember(line);
      sourceLine_ = source->LineNumber();
      // .print writes its text already: echoing it would show it twice.
      if (echo && SplitCommandLine(line).front() != ".print") Write(line + "\n");
      RunLine(line, source);
      continue;
    }
    splitter.AddLine(line, source->LineNumber());
    entry.push_back(line);
    if (!splitter.Pending()) {
      source->Remember(HistoryEntry(entry));
      entry.clear();
    }
    Statement statement;
    while (!stop_ && splitter.Next(&statement)) {
      if (!interactive_ && InterruptSeen()) break;
      sourceLine_ = statement.line;
      RunStatement(statement.text);
    }
  }
  bool interrupted = !interactive_ && InterruptSeen();
  if (interrupted) {
    interrupted_ = true;
    Fail("interrupted; the rest of " + (name.empty() ? std::string("the input") : name) +
         " was not run");
    if (depth_ == 1) stop_ = true;
  }
  if (!stop_ && !interrupted && splitter.Pending()) {
    // Input ended inside a statement: it runs as it is, as the library
    // ends every statement itself.
    source->Remember(HistoryEntry(entry));
    Statement statement = splitter.TakePending();
    sourceLine_ = statement.line;
    if (!IsBlank(statement.text)) RunStatement(statement.text);
  }
  bool stopped = stop_;
  sourceName_ = savedName;
  sourceLine_ = savedLine;
  script_ = savedScript;
  interactive_ = savedInteractive;
  --depth_;
  return !stopped;
}

bool Shell::RunArgument(const std::string& text) {
  if (IsDotCommand(text)) {
    RunLine(text, nullptr);
    return !stop_;
  }
  StatementSplitter splitter;
  int number = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    splitter.AddLine(text.substr(start, end - start), ++number);
    start = end + 1;
  }
  Statement statement;
  while (!stop_ && splitter.Next(&statement)) RunStatement(statement.text);
  if (!stop_ && splitter.Pending()) {
    statement = splitter.TakePending();
    if (!IsBlank(statement.text)) RunStatement(statement.text);
  }
  return !stop_;
}

}  // namespace zkshell
