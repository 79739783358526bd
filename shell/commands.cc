// Each dot-command checks its arguments and reports a failure through the
// shell, so a wrong command in a script counts as an error (and stops a
// script under bail) just as a failed statement does.
#include "commands.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>

#include "charset.h"
#include "csv.h"
#include "dump.h"
#include "help_text.h"
#include "import.h"
#include "jxengine.h"
#include "memo_blocks.h"
#include "output_format.h"
#include "schema_text.h"
#include "shell.h"
#include "table_definition.h"

namespace zkshell {
namespace {

bool OnOff(Shell* shell, const std::vector<std::string>& words, bool* flag) {
  if (words.size() != 2 || (words[1] != "on" && words[1] != "off")) {
    shell->Fail("usage: " + words[0] + " on|off");
    return false;
  }
  *flag = words[1] == "on";
  return true;
}

bool Arguments(Shell* shell, const std::vector<std::string>& words, size_t least, size_t most,
               const char* usage) {
  size_t n = words.size() - 1;
  if (n >= least && n <= most) return true;
  shell->Fail(std::string("usage: ") + usage);
  return false;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

// Converts SQL made by the shell from values of a file; false (and a
// failure reported) when a value has no Windows-1252 form.
bool ToLibrary(Shell* shell, const std::string& text, std::string* sql, const std::string& where) {
  std::string problem;
  if (zkhost::Utf8ToCp1252(text, sql, &problem)) return true;
  shell->Fail(where + problem);
  return false;
}

void Tables(Shell* shell, const std::vector<std::string>& words) {
  if (!Arguments(shell, words, 0, 1, ".tables [PATTERN]")) return;
  for (const std::string& name : shell->session().FileNames()) {
    std::string shown = zkhost::Cp1252ToUtf8(name);
    if (words.size() == 1 || MatchesPattern(shown, words[1])) shell->Write(shown + "\n");
  }
}

void Schema(Shell* shell, const std::vector<std::string>& words) {
  if (!Arguments(shell, words, 0, 1, ".schema [TABLE]")) return;
  std::vector<std::string> names;
  if (words.size() == 2) {
    std::string name;
    if (!ToLibrary(shell, Upper(words[1]), &name, "")) return;
    names.push_back(name);
  } else {
    names = shell->session().FileNames();
  }
  for (const std::string& name : names) {
    FileInfo file;
    if (!shell->session().DescribeFile(name, &file)) {
      shell->Fail("no such table: " + zkhost::Cp1252ToUtf8(name));
      continue;
    }
    shell->Write(zkhost::Cp1252ToUtf8(SchemaText(file)));
  }
}

// Writes the rows of .export to its file as they are fetched, in large
// pieces. The file is made when the statement has run, so a statement the
// library refuses leaves no file behind.
class ExportSink : public RowSink {
 public:
  explicit ExportSink(const std::string& path) : path_(path) {}
  ~ExportSink() override {
    if (file_ != nullptr) fclose(file_);
  }

  bool Started() const { return started_; }

  void Start(const std::string& columnText) override {
    started_ = true;
    file_ = fopen(path_.c_str(), "wb");
    if (file_ == nullptr) {
      problem_ = "cannot write \"" + path_ + "\": " + strerror(errno);
      return;
    }
    std::vector<std::string> names;
    for (const ResultColumn& c : ParseColumnText(zkhost::Cp1252ToUtf8(columnText))) {
      names.push_back(c.name);
    }
    text_ = CsvLine(names);
  }

  void Row(const std::string_view* fields, size_t count) override {
    if (file_ == nullptr) return;
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) text_ += ',';
      AppendCsvField(fields[i], true, &text_);
    }
    text_ += "\r\n";
    if (text_.size() >= kPieceSize) Spill();
  }

  // Writes the rest and closes the file; "" when all went well, else why.
  std::string End() {
    if (file_ == nullptr) return problem_;
    Spill();
    if (fclose(file_) != 0) written_ = false;
    file_ = nullptr;
    return written_ ? "" : "cannot write \"" + path_ + "\"";
  }

 private:
  static constexpr size_t kPieceSize = 64 * 1024;

  void Spill() {
    if (fwrite(text_.data(), 1, text_.size(), file_) != text_.size()) written_ = false;
    text_.clear();
  }

  std::string path_;
  FILE* file_ = nullptr;
  bool started_ = false;
  bool written_ = true;
  std::string problem_;
  std::string text_;
};

void Export(Shell* shell, const std::vector<std::string>& words) {
  if (!Arguments(shell, words, 2, 2, ".export TABLE FILE")) return;
  std::string sql;
  if (!ToLibrary(shell, "SELECT * FROM " + words[1], &sql, "")) return;
  ExportSink sink(words[2]);
  ExecResult result = shell->session().Execute(sql, nullptr, &sink);
  if (!result.ok) {
    shell->Fail(TidyMessage(zkhost::Cp1252ToUtf8(result.error)), result.sqlState);
    return;
  }
  // A statement without a result table still leaves a file, with an empty
  // header line.
  if (!sink.Started()) sink.Start("");
  std::string problem = sink.End();
  if (!problem.empty()) shell->Fail(problem);
}

void Help(Shell* shell, const std::vector<std::string>& words) {
  if (!Arguments(shell, words, 0, 1, ".help [COMMAND]")) return;
  if (words.size() == 1) {
    shell->Write(HelpText());
    return;
  }
  const CommandHelp* help = FindCommandHelp(words[1]);
  if (help == nullptr) {
    shell->Fail("no such command: " + words[1] + " (.help lists the commands)");
    return;
  }
  shell->Write(help->text);
}

void Memo(Shell* shell, const std::vector<std::string>& words) {
  if (!Arguments(shell, words, 4, 4, ".memo TABLE COLUMN ROW FILE")) return;
  char* end = nullptr;
  long row = strtol(words[3].c_str(), &end, 10);
  if (end == words[3].c_str() || *end != '\0' || row < 1) {
    shell->Fail("ROW must be a row number from 1");
    return;
  }
  std::string sql;
  if (!ToLibrary(shell, "SELECT " + words[2] + " FROM " + words[1], &sql, "")) return;
  std::string data, problem;
  if (!shell->session().ReadMemo(sql, 1, static_cast<int>(row), &data, &problem)) {
    shell->Fail(zkhost::Cp1252ToUtf8(problem));
    return;
  }
  FILE* f = fopen(words[4].c_str(), "wb");
  if (f == nullptr) {
    shell->Fail("cannot write \"" + words[4] + "\": " + strerror(errno));
    return;
  }
  bool written = fwrite(data.data(), 1, data.size(), f) == data.size();
  if (fclose(f) != 0 || !written) shell->Fail("cannot write \"" + words[4] + "\"");
}

// The text of a command line after its first word, blanks around cut.
std::string RestOfLine(const std::string& line) {
  size_t start = line.find_first_not_of(" \t");
  size_t blank = line.find_first_of(" \t", start);
  if (blank == std::string::npos) return "";
  size_t from = line.find_first_not_of(" \t", blank);
  size_t to = line.find_last_not_of(" \t\r");
  return from == std::string::npos ? "" : line.substr(from, to + 1 - from);
}

void Create(Shell* shell, const std::string& line) {
  TableDefinition table;
  std::string problem;
  if (!ParseTableDefinition(RestOfLine(line), &table, &problem)) {
    shell->Fail(".create: " + problem);
    return;
  }
  if (!shell->session().DefineFile(table, &problem)) shell->Fail(zkhost::Cp1252ToUtf8(problem));
}

void Read(Shell* shell, const std::vector<std::string>& words) {
  if (!Arguments(shell, words, 1, 1, ".read FILE")) return;
  FILE* f = fopen(words[1].c_str(), "rb");
  if (f == nullptr) {
    shell->Fail("cannot open \"" + words[1] + "\": " + strerror(errno));
    return;
  }
  StreamLineSource source(f);
  shell->Run(&source, words[1]);
  fclose(f);
}

void Timeout(Shell* shell, const std::vector<std::string>& words) {
  if (!Arguments(shell, words, 0, 1, ".timeout [MS]")) return;
  Session& session = shell->session();
  if (words.size() == 1) {
    shell->Write(std::to_string(session.BusyTimeout()) + " ms\n");
    return;
  }
  const std::string& text = words[1];
  char* end = nullptr;
  errno = 0;
  long ms = strtol(text.c_str(), &end, 10);
  if (text.empty() || text[0] == '-' || text[0] == '+' || *end != '\0' || errno != 0 ||
      ms > INT32_MAX) {
    shell->Fail("usage: .timeout [MS] (milliseconds, from 0)");
    return;
  }
  std::string problem;
  if (!session.SetBusyTimeout(static_cast<int32_t>(ms), &problem)) shell->Fail(problem);
}

void Check(Shell* shell, const std::vector<std::string>& words) {
  if (!Arguments(shell, words, 0, 0, ".check")) return;
  std::string report, problem;
  int32_t problems = shell->session().Check(&report, &problem);
  if (!report.empty() && report.back() != '\n') report += '\n';
  shell->Write(report);
  if (problems < 0) {
    shell->Fail(problem);
  } else if (problems > 0) {
    shell->Fail("the check found " + std::to_string(problems) +
                (problems == 1 ? " problem" : " problems"));
  }
}

void Transaction(Shell* shell, const std::vector<std::string>& words) {
  if (!Arguments(shell, words, 0, 0, words[0].c_str())) return;
  std::string problem;
  Session& session = shell->session();
  bool ok = words[0] == ".begin"    ? session.Begin(&problem)
            : words[0] == ".commit" ? session.Commit(&problem)
                                    : session.Rollback(&problem);
  if (!ok) shell->Fail(problem);
}

}  // namespace

void RunDotCommand(Shell* shell, const std::string& line) {
  std::vector<std::string> words = SplitCommandLine(line);
  if (words.empty()) return;
  const std::string& name = words[0];
  FormatSettings& format = shell->format();
  std::string problem;
  if (name == ".quit" || name == ".exit") {
    shell->Quit();
  } else if (name == ".help") {
    Help(shell, words);
  } else if (name == ".mode") {
    OutputMode mode;
    if (words.size() != 2 || !ParseOutputMode(words[1], &mode)) {
      shell->Fail("usage: .mode table|box|markdown|list|csv|tabs|line|json");
    } else {
      format.mode = mode;
    }
  } else if (name == ".headers" || name == ".header") {
    OnOff(shell, words, &format.headers);
  } else if (name == ".separator") {
    if (Arguments(shell, words, 1, 2, ".separator SEP [ROWSEP]")) {
      format.separator = UnescapeSeparator(words[1]);
      if (words.size() == 3) format.rowSeparator = UnescapeSeparator(words[2]);
    }
  } else if (name == ".bail") {
    OnOff(shell, words, &shell->bail);
  } else if (name == ".echo") {
    OnOff(shell, words, &shell->echo);
  } else if (name == ".timer") {
    OnOff(shell, words, &shell->timer);
  } else if (name == ".changes") {
    OnOff(shell, words, &shell->changes);
  } else if (name == ".output") {
    if (Arguments(shell, words, 0, 1, ".output [FILE]") &&
        !shell->SetOutput(words.size() == 2 ? words[1] : "", false, &problem)) {
      shell->Fail(problem);
    }
  } else if (name == ".once") {
    if (Arguments(shell, words, 1, 1, ".once FILE") &&
        !shell->SetOutput(words[1], true, &problem)) {
      shell->Fail(problem);
    }
  } else if (name == ".print") {
    shell->Write(RestOfLine(line) + "\n");
  } else if (name == ".create") {
    Create(shell, line);
  } else if (name == ".read") {
    Read(shell, words);
  } else if (name == ".tables") {
    Tables(shell, words);
  } else if (name == ".schema") {
    Schema(shell, words);
  } else if (name == ".import") {
    Import(shell, words);
  } else if (name == ".dump") {
    Dump(shell, words);
  } else if (name == ".export") {
    Export(shell, words);
  } else if (name == ".memo") {
    Memo(shell, words);
  } else if (name == ".timeout") {
    Timeout(shell, words);
  } else if (name == ".check") {
    Check(shell, words);
  } else if (name == ".begin" || name == ".commit" || name == ".rollback") {
    Transaction(shell, words);
  } else {
    shell->Fail("unknown command: " + name + " (.help lists the commands)");
  }
}

}  // namespace zkshell
