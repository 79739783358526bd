// The import runs in three steps: the options and the file are read, the
// records are checked against the header (all before any write, so a
// malformed file costs nothing), then the table is made if need be and the
// rows inserted inside one write scope of the session.
#include "import.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "catalogue.h"
#include "charset.h"
#include "csv.h"
#include "jxengine.h"
#include "memo_blocks.h"
#include "shell.h"

namespace zkshell {
namespace {

const char kUsage[] =
    "usage: .import [--csv] [--separator SEP] [--skip N] [--header|--no-header] "
    "[--decimal-comma] FILE TABLE";

struct ImportOptions {
  CsvSyntax syntax;
  bool header = true;  // the first record names the columns
  bool decimalComma = false;
  std::string file;
  std::string table;
};

// Reads the options and the two names; false when they make no command.
bool ParseOptions(const std::vector<std::string>& words, ImportOptions* options) {
  std::vector<std::string> names;
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    bool hasValue = i + 1 < words.size();
    if (word == "--csv") {
      // The only format; accepted so that commands written for it read.
    } else if (word == "--header") {
      options->header = true;
    } else if (word == "--no-header") {
      options->header = false;
    } else if (word == "--decimal-comma") {
      options->decimalComma = true;
    } else if (word == "--separator" && hasValue) {
      const std::string& sep = words[++i];
      if (sep == "\\t") {
        options->syntax.separator = '\t';
      } else if (sep.size() == 1 && sep != "\"" && sep != "\n" && sep != "\r") {
        options->syntax.separator = sep[0];
      } else {
        return false;
      }
    } else if (word == "--skip" && hasValue) {
      const std::string& count = words[++i];
      char* end = nullptr;
      long n = strtol(count.c_str(), &end, 10);
      if (count.empty() || count[0] == '-' || *end != '\0' || n > 1000000000L) return false;
      options->syntax.skipLines = static_cast<int>(n);
    } else if (word.compare(0, 2, "--") == 0) {
      return false;
    } else {
      names.push_back(word);
    }
  }
  if (names.size() != 2) return false;
  options->file = names[0];
  options->table = names[1];
  return true;
}

std::string Place(const std::string& file, CsvPosition at) {
  return file + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": ";
}

std::string Plural(size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// Shows how far a long import has gone, on a terminal only.
class Progress {
 public:
  explicit Progress(size_t total)
      : total_(total),
        shown_(isatty(STDERR_FILENO) != 0),
        started_(std::chrono::steady_clock::now()) {}
  ~Progress() {
    if (drawn_) fputs("\r\033[K", stderr);
  }
  void Step(size_t done) {
    if (!shown_ || total_ == 0 || done % 256 != 0) return;
    if (std::chrono::steady_clock::now() - started_ < std::chrono::seconds(1)) return;
    constexpr size_t kWidth = 40;
    size_t filled = done * kWidth / total_;
    fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
            std::string(kWidth - filled, '.').c_str(), done, total_);
    fflush(stderr);
    drawn_ = true;
  }

 private:
  size_t total_;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point started_;
};

// A file read and checked: the column names and the rows, each with where
// its fields stand in the file.
struct ImportInput {
  CsvRecord header;
  CsvPosition headerAt;  // the header line, or the first record's
  std::vector<CsvRecord> rows;
  std::vector<CsvPlaces> places;
};

// Where one run of an import got to: done, or stopped by a failure.
struct ImportRun {
  bool ok = true;
  std::string message;  // UTF-8, naming the file and the line
  std::string sqlState;
};

// What a column takes, so that a value the library would change on its
// way in (a text cut to the column's size, a fraction or too large a
// number in an integer column) stops the import instead.
struct ColumnRule {
  std::string name;
  bool numeric = false;
  bool whole = false;  // integers only, from least to most
  double least = 0, most = 0;
  size_t characters = SIZE_MAX;  // the longest text it holds
};

// The values the engine's integer types hold.
struct IntegerRange {
  int type;
  double least, most;
};
const IntegerRange kIntegerRanges[] = {{zkhost::kInt8, -128, 127},
                                       {zkhost::kUInt8, 0, 255},
                                       {zkhost::kInt16, -32768, 32767},
                                       {zkhost::kUInt16, 0, 65535},
                                       {zkhost::kInt32, -2147483648.0, 2147483647.0},
                                       {zkhost::kUInt32, 0, 4294967295.0}};

ColumnRule RuleOf(const ItemInfo& item) {
  ColumnRule rule;
  rule.name = zkhost::Cp1252ToUtf8(item.name);
  rule.numeric = zkhost::IsNumericType(item.type);
  for (const IntegerRange& range : kIntegerRanges) {
    if (range.type != item.type) continue;
    rule.whole = true;
    rule.least = range.least;
    rule.most = range.most;
  }
  // One byte a character in the library's text, and its terminator.
  if (item.type == zkhost::kText) rule.characters = item.size > 1 ? item.size - 1 : 1;
  return rule;
}

// The SQL literal of value for a column following rule, or "" with
// *problem saying why the value does not fit.
std::string Literal(const std::string& value, const ColumnRule& rule, bool decimalComma,
                    std::string* problem) {
  if (!rule.numeric) {
    if (zkhost::DisplayWidth(value) > rule.characters) {
      *problem = Plural(zkhost::DisplayWidth(value), "character") + " where column " + rule.name +
                 " holds " + std::to_string(rule.characters);
      return "";
    }
    return SqlLiteral(value, false);
  }
  // An empty value is a number column's zero; anything else must read as
  // a number, never be cut to the digits it starts with.
  std::string literal = value.empty() ? "0" : NumberLiteral(value, decimalComma);
  if (literal.empty()) {
    *problem = "\"" + value + "\" is not a number (column " + rule.name + ")";
    if (!decimalComma && value.find(',') != std::string::npos) {
      *problem += "; --decimal-comma reads a decimal comma";
    }
    return "";
  }
  double number = strtod(literal.c_str(), nullptr);
  if (rule.whole && (number != std::trunc(number) || number < rule.least || number > rule.most)) {
    *problem = value + " does not fit integer column " + rule.name;
    return "";
  }
  return literal;
}

// Reads the file and checks that every record has as many fields as the
// header (or as the first record, without one). "" when it is fit to be
// imported, else why not.
std::string ReadInput(const ImportOptions& options, ImportInput* input) {
  std::string bytes, problem;
  if (!ReadWholeFile(options.file, &bytes, &problem)) return problem;
  std::vector<CsvRecord> records;
  std::vector<CsvPlaces> places;
  CsvError error;
  if (!ParseCsv(bytes, options.syntax, &records, &places, &error)) {
    return Place(options.file, error.at) + error.what;
  }
  if (records.empty()) {
    return options.file + ": " + (options.header ? "no header line" : "no record");
  }
  input->headerAt = places.front().fields.front();
  if (options.header) {
    if (records.front() == CsvRecord{""})
      return Place(options.file, input->headerAt) + "empty header line";
    input->header = std::move(records.front());
    records.erase(records.begin());
    places.erase(places.begin());
  } else {
    for (size_t c = 1; c <= records.front().size(); ++c) {
      input->header.push_back("C" + std::to_string(c));
    }
  }
  const size_t expected = input->header.size();
  const char* model = options.header ? "the header has " : "the first record has ";
  for (size_t r = 0; r < records.size(); ++r) {
    size_t count = records[r].size();
    if (count == expected) continue;
    // Too many: the first field too many; too few: the end of the record.
    CsvPosition at = count > expected ? places[r].fields[expected] : places[r].end;
    return Place(options.file, at) + Plural(count, "field") + " where " + model +
           std::to_string(expected);
  }
  input->rows = std::move(records);
  input->places = std::move(places);
  return "";
}

// Makes the table when it does not exist and inserts every row, stopping at
// the first the library refuses. Runs inside the import's write scope, so
// the table is looked at and made under the same write lock as the rows.
ImportRun ImportRows(Session& session, const ImportOptions& options, const std::string& table,
                     const std::string& tableCp, const ImportInput& input) {
  ImportRun run;
  auto fail = [&run](const std::string& message, const std::string& sqlState) {
    run.ok = false;
    run.message = message;
    run.sqlState = sqlState;
    return run;
  };
  const std::string& file = options.file;
  // What each column takes: from the table when it exists, else from the
  // values, and the table is made to fit them.
  std::vector<ColumnRule> rules;
  FileInfo info;
  std::string sql, problem;
  if (session.DescribeFile(tableCp, &info)) {
    for (const ItemInfo& item : info.items) {
      if (!item.composite) rules.push_back(RuleOf(item));
    }
    if (rules.size() != input.header.size()) {
      return fail(Place(file, input.headerAt) + Plural(input.header.size(), "field") +
                      " where table " + table + " has " + Plural(rules.size(), "column"),
                  "");
    }
  } else {
    std::vector<InferredColumn> columns =
        InferColumns(input.header, input.rows, options.decimalComma);
    for (const InferredColumn& c : columns) {
      ColumnRule rule;
      rule.name = c.name;
      rule.numeric = c.type != InferredType::kText;
      rules.push_back(rule);
    }
    if (!zkhost::Utf8ToCp1252(CreateTableText(table, columns), &sql, &problem)) {
      return fail(problem, "");
    }
    ExecResult result = session.Execute(sql, nullptr);
    if (!result.ok) return fail(TidyMessage(zkhost::Cp1252ToUtf8(result.error)), result.sqlState);
  }
  Progress progress(input.rows.size());
  for (size_t r = 0; r < input.rows.size(); ++r) {
    const CsvRecord& row = input.rows[r];
    std::string insert = "INSERT INTO " + table + " VALUES (";
    for (size_t c = 0; c < rules.size(); ++c) {
      if (c > 0) insert += ", ";
      std::string literal = Literal(row[c], rules[c], options.decimalComma, &problem);
      if (literal.empty()) return fail(Place(file, input.places[r].fields[c]) + problem, "");
      insert += literal;
    }
    insert += ")";
    std::string where = file + ":" + std::to_string(input.places[r].fields.front().line) + ": ";
    if (!zkhost::Utf8ToCp1252(insert, &sql, &problem)) return fail(where + problem, "");
    ExecResult result = session.Execute(sql, nullptr);
    if (!result.ok) {
      return fail(where + TidyMessage(zkhost::Cp1252ToUtf8(result.error)), result.sqlState);
    }
    progress.Step(r + 1);
  }
  return run;
}

}  // namespace

void Import(Shell* shell, const std::vector<std::string>& words) {
  ImportOptions options;
  if (!ParseOptions(words, &options)) {
    shell->Fail(kUsage);
    return;
  }
  ImportInput input;
  std::string problem = ReadInput(options, &input);
  if (!problem.empty()) {
    shell->Fail(problem);
    return;
  }
  std::string table = MakeIdentifier(options.table);
  std::string tableCp;
  if (!zkhost::Utf8ToCp1252(table, &tableCp, &problem)) {
    shell->Fail(problem);
    return;
  }

  // The whole file is one statement: outside .begin one durable write,
  // inside it a savepoint, so a refused record leaves nothing of the file
  // and the transaction goes on. A full map undoes the work and enlarges
  // the map: outside .begin the import simply runs again.
  constexpr int kMapFullRetries = 3;
  Session& session = shell->session();
  for (int attempt = 0;; ++attempt) {
    if (session.BeginWriteScope(&problem) != JX_OK) {
      shell->Fail("cannot import " + options.file + ": " + problem);
      return;
    }
    ImportRun run = ImportRows(session, options, table, tableCp, input);
    int code = session.EndWriteScope(run.ok, &problem);
    if (code == JX_ERR_MAP_FULL && !session.InTransaction() && attempt < kMapFullRetries) {
      continue;
    }
    if (!run.ok) shell->Fail(run.message, run.sqlState);
    if (code != JX_OK) shell->Fail("cannot import " + options.file + ": " + problem);
    return;
  }
}

}  // namespace zkshell
