// SQL scripts run end to end: each file of tests/e2e/sql/*.test is one test
// case, run against a fresh, empty database in a temporary folder (removed
// afterwards) on the real storage engine, through the library's exports
// only, as a host drives them.
//
// Script format (UTF-8; the runner hands statements to the library in
// Windows-1252 and turns the library's texts back into UTF-8 before
// comparing them, so every comparison is exact to the byte):
//
//   # a comment (a line starting with "#" between records)
//
//   statement ok                 one statement that must succeed: status 0,
//   CREATE TABLE T (A INTEGER)   `compiled` 1, no error text, SQLSTATE 00000
//
//   statements ok                several statements, each ending with ";"
//   INSERT INTO T VALUES (1);    (outside string literals); each runs in a
//   INSERT INTO T VALUES (2);    request of its own and must succeed
//
//   query                        a statement and its result rows: each row
//   SELECT A, B FROM T           as ZKSQLValLine writes it with the
//   ----                         separator "|", in result order; "(empty)"
//   1|x                          stands for a row whose text is empty; no
//   2|y                          line after "----" means no row. The row
//                                count and column count of ResultInfo must
//                                agree with what is fetched.
//   query rowsort                the same, with both sides sorted before
//                                comparing (for results whose order is not
//                                defined)
//
//   columns                      the column description text: one line
//   SELECT A, B FROM T           per column, NAME|LETTER|HOSTTYPE|WIDTH
//   ----                         (the library writes tabs between the
//   A|N|3|4                      fields and "\r\n" between the lines)
//   B|T|9|10
//
//   error 4281 00123 compiled=0  a statement that fails: status -1, the
//   SELECT Z FROM T              SQLSTATE, `compiled` when compiled=N is
//   ----                         given, and the exact error text: the lines
//    Référence à une rubrique ('Z') qui n'existe pas
//                                after "----" joined with line feeds, taken
//                                as written (leading blanks count), and
//                                checked against the catalogue text of the
//                                identifier; or the single line
//   ----                         "catalogue ARG..." (arguments 'quoted',
//   catalogue 'Z'                '' for a quote inside, or bare words),
//                                which formats the catalogue text itself.
//                                The identifier "-" stands for a text from
//                                outside the catalogue; with it, the line
//                                "(any text)" accepts any text that is not
//                                empty (for the storage engine's own
//                                messages).
//
//   longdata 2                   a SELECT; per result row, what
//   SELECT N, M FROM F           ZKSQLGetLongData gives for column 2: the
//   ----                         memo's data as text, "(no memo)" (status
//   hello                        100) or "(not a memo)" (status -1)
//   (no memo)
//
//   file F N:L M:M K:T:10:1      a file made directly through the engine's
//                                file description calls, for item types
//                                the SQL dialect cannot declare: items
//                                NAME:LETTER[:SIZE[:KEY]] with the engine's
//                                type letters (M text memo, G binary memo,
//                                N decimal, F fixed text, ...), KEY 1
//                                unique, 2 with duplicates
//
//   memos 'text' 'more'          (before a record) memo values handed to
//                                its statement: memo block i + 1 holds the
//                                i-th text (in Windows-1252), for the memo
//                                constructs {JXMemoBinaire('...')} of the
//                                statement
//
//   transaction                  (before a record) its statements run in
//                                one host transaction of the engine,
//                                committed at the end (for bulk data)
//
//   skip REASON                  (before a record) the record is read but
//                                not run; the runner prints every skip
//
// Records are separated by blank lines; a statement may span several lines
// (no blank line inside). A record that fails is reported with the script
// file and line, the statement, and the expected and actual outcome; the
// script goes on with its next record.
#include "sql_script.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../scratch_folder.h"
#include "host_memos.h"
#include "jxengine.h"
#include "zkglobal.h"
#include "zksql.h"

namespace zksql_e2e {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> ListScripts() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(SQL_SCRIPT_DIR, ec)) {
    if (entry.path().extension() == ".test") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Lines(const std::vector<std::string>& lines) {
  if (lines.empty()) return "    (nothing)\n";
  std::string out;
  for (const std::string& l : lines) out += "    " + l + "\n";
  return out;
}

// A database of its own in a temporary folder, removed with the object.
class ScratchDatabase {
 public:
  ScratchDatabase() {
    dir_ = zksql_testing::MakeScratchFolder("zksql-script");
    if (!dir_.empty()) handle_ = XZK_nInit(dir_.c_str(), JX_INIT_CREATE);
  }
  ~ScratchDatabase() {
    if (handle_ > 0) XZK_Termine(handle_);
    zksql_testing::RemoveScratchFolder(dir_);
  }
  int32_t handle() const { return handle_; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  int32_t handle_ = 0;
};

// One statement handed to the library, and what it answered.
struct Outcome {
  bool submitted = false;  // false: the script's text could not be converted
  int16_t status = 0;
  ZKSQLResultInfo info;
  void* request = nullptr;
  std::string errorText;  // UTF-8
  std::string sqlState;
};

class ScriptRunner {
 public:
  ScriptRunner(const std::string& path, int32_t handle, const std::map<int, std::string>& catalogue)
      : path_(path), handle_(handle), catalogue_(catalogue) {}

  int skipped() const { return skipped_; }

  void Run(const Record& r) {
    if (!r.skipReason.empty()) {
      ++skipped_;
      printf("[ SKIPPED  ] %s:%d: %s\n", path_.c_str(), r.line, r.skipReason.c_str());
      return;
    }
    if (r.transaction && XZK_BeginTransaction(handle_) != JX_OK) {
      Report(r, r.sql, "the engine refused to begin a transaction");
      return;
    }
    RunRecord(r);
    if (r.transaction && XZK_CommitTransaction(handle_) != JX_OK) {
      Report(r, r.sql, "the engine refused to commit the transaction");
    }
  }

 private:
  void RunRecord(const Record& r) {
    switch (r.kind) {
      case RecordKind::kFile:
        MakeFile(r);
        break;
      case RecordKind::kStatement:
        ExpectSuccess(r, r.sql);
        break;
      case RecordKind::kStatements:
        for (const std::string& sql : r.statements)
          if (!ExpectSuccess(r, sql)) break;
        break;
      case RecordKind::kQuery:
        ExpectRows(r);
        break;
      case RecordKind::kColumns:
        ExpectColumns(r);
        break;
      case RecordKind::kError:
        ExpectError(r);
        break;
      case RecordKind::kLongData:
        ExpectLongData(r);
        break;
    }
  }

  void Report(const Record& r, const std::string& sql, const std::string& what) {
    ADD_FAILURE_AT(path_.c_str(), r.line) << what << "\n  statement:\n" << Lines(Split(sql));
  }

  static std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) out.push_back(line);
    return out;
  }

  Outcome Submit(const Record& r, const std::string& sql) {
    Outcome o;
    std::string text;
    if (!Utf8ToCp1252(sql, &text)) {
      Report(r, sql, "the statement holds a character Windows-1252 cannot hold");
      return o;
    }
    text.resize(text.size() + 16, '\0');
    std::vector<std::string> memoTexts;
    for (const std::string& memo : r.memos) {
      std::string bytes;
      if (!Utf8ToCp1252(memo, &bytes)) {
        Report(r, sql, "a memo value holds a character Windows-1252 cannot hold");
        return o;
      }
      memoTexts.push_back(bytes);
    }
    HostMemos memos(memoTexts);
    memset(&o.info, 0xCC, sizeof o.info);
    o.status = ZKSQLExecReq(&o.request, &text[0], &o.info, handle_, memos.table());
    o.submitted = true;
    if (o.request != nullptr) {
      char message[256] = "";
      char state[6] = "";
      ZKSQLErreur(o.request, message, state);
      o.errorText = Cp1252ToUtf8(message);
      o.sqlState = state;
    }
    return o;
  }

  void End(Outcome& o) {
    if (o.request != nullptr) {
      EXPECT_EQ(ZKSQLFinRequete(o.request), 0);
    }
    o.request = nullptr;
  }

  static std::string Failure(const Outcome& o) {
    std::ostringstream s;
    s << "status " << o.status << ", compiled " << o.info.compiled << ", SQLSTATE " << o.sqlState
      << ", error text:\n"
      << Lines(Split(o.errorText));
    return s.str();
  }

  bool ExpectSuccess(const Record& r, const std::string& sql) {
    Outcome o = Submit(r, sql);
    if (!o.submitted) return false;
    bool ok = o.status == 0 && o.request != nullptr && o.errorText.empty() &&
              o.sqlState == "00000" && o.info.compiled == 1;
    if (!ok) Report(r, sql, "expected success, got " + Failure(o));
    End(o);
    return ok;
  }

  // Fetches every row; false (reported) when the request's counts and the
  // rows fetched disagree.
  bool FetchRows(const Record& r, Outcome& o, std::vector<std::string>* rows,
                 int longDataColumn = 0) {
    std::vector<char> buffer(1 << 20);
    while (ZKSQLFetchNext(o.request) == 0) {
      if (longDataColumn > 0) {
        rows->push_back(LongData(o.request, longDataColumn));
        continue;
      }
      if (ZKSQLValLineN(o.request, "|", buffer.data(), static_cast<int32_t>(buffer.size())) != 0) {
        Report(r, r.sql, "ZKSQLValLineN failed on row " + std::to_string(rows->size() + 1));
        return false;
      }
      std::string row = Cp1252ToUtf8(buffer.data());
      rows->push_back(row.empty() ? "(empty)" : row);
    }
    bool ok = true;
    if (ZKSQLFetchNext(o.request) != -1) {
      Report(r, r.sql, "ZKSQLFetchNext gave a row again after the last one");
      ok = false;
    }
    if (o.info.rowCount != static_cast<int32_t>(rows->size())) {
      Report(r, r.sql,
             "ResultInfo.rowCount is " + std::to_string(o.info.rowCount) + " but " +
                 std::to_string(rows->size()) + " rows were fetched");
      ok = false;
    }
    size_t described = 0;
    if (o.info.columnText != nullptr && o.info.columnText[0] != '\0') {
      described = 1;
      for (const char* p = o.info.columnText; (p = strstr(p, "\r\n")) != nullptr; p += 2)
        ++described;
    }
    if (o.info.columnCount != described) {
      Report(r, r.sql,
             "ResultInfo.columnCount is " + std::to_string(o.info.columnCount) +
                 " but the column text describes " + std::to_string(described));
      ok = false;
    }
    return ok;
  }

  static std::string LongData(void* request, int column) {
    void* memo = reinterpret_cast<void*>(1);
    int16_t status = ZKSQLGetLongData(request, static_cast<int16_t>(column), &memo);
    if (status == 100) return memo == nullptr ? "(no memo)" : "(no memo, but a handle)";
    if (status == -1) return memo == nullptr ? "(not a memo)" : "(not a memo, but a handle)";
    if (status != 0) return "(status " + std::to_string(status) + ")";
    if (memo == nullptr) return "(status 0 without a handle)";
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memo));
    std::string text;
    if (bytes == nullptr) {
      text = "(a handle that is no memory block)";
    } else {
      int16_t header;
      int32_t length;
      memcpy(&header, bytes + 3, 2);
      memcpy(&length, bytes + 52, 4);
      size_t size = GlobalSize(memo);
      if (header < 56 || length < 0 || static_cast<size_t>(header) + length > size) {
        text = "(a malformed memo block: header " + std::to_string(header) + ", length " +
               std::to_string(length) + ", size " + std::to_string(size) + ")";
      } else {
        text = Cp1252ToUtf8(std::string(reinterpret_cast<const char*>(bytes) + header, length));
        if (text.empty()) text = "(empty)";
      }
      GlobalUnlock(memo);
    }
    GlobalFree(memo);
    return text;
  }

  void CompareLines(const Record& r, std::vector<std::string> expected,
                    std::vector<std::string> actual, const char* what) {
    if (r.rowsort) {
      std::sort(expected.begin(), expected.end());
      std::sort(actual.begin(), actual.end());
    }
    if (expected != actual) {
      Report(r, r.sql,
             std::string(what) + " differ" + (r.rowsort ? " (both sorted)" : "") +
                 "\n  expected:\n" + Lines(expected) + "  actual:\n" + Lines(actual));
    }
  }

  void ExpectRows(const Record& r, int longDataColumn = 0) {
    Outcome o = Submit(r, r.sql);
    if (!o.submitted) return;
    if (o.status != 0 || o.request == nullptr) {
      Report(r, r.sql, "expected rows, got " + Failure(o));
      End(o);
      return;
    }
    std::vector<std::string> rows;
    FetchRows(r, o, &rows, longDataColumn);
    CompareLines(r, r.expected, rows, longDataColumn > 0 ? "memo texts" : "rows");
    End(o);
  }

  void ExpectLongData(const Record& r) { ExpectRows(r, r.column); }

  void ExpectColumns(const Record& r) {
    Outcome o = Submit(r, r.sql);
    if (!o.submitted) return;
    if (o.status != 0 || o.request == nullptr) {
      Report(r, r.sql, "expected a result, got " + Failure(o));
      End(o);
      return;
    }
    std::string text = o.info.columnText != nullptr ? o.info.columnText : "";
    std::vector<std::string> actual;
    size_t start = 0;
    while (!text.empty()) {
      size_t end = text.find("\r\n", start);
      std::string line = text.substr(start, end == std::string::npos ? end : end - start);
      if (std::count(line.begin(), line.end(), '\t') != 3 || line.find('|') != std::string::npos) {
        Report(r, r.sql, "a malformed column line: '" + Cp1252ToUtf8(line) + "'");
      }
      std::replace(line.begin(), line.end(), '\t', '|');
      actual.push_back(Cp1252ToUtf8(line));
      if (end == std::string::npos) break;
      start = end + 2;
    }
    CompareLines(r, r.expected, actual, "column descriptions");
    if (o.info.columnCount != actual.size()) {
      Report(r, r.sql,
             "ResultInfo.columnCount is " + std::to_string(o.info.columnCount) + " for " +
                 std::to_string(actual.size()) + " described columns");
    }
    End(o);
  }

  void ExpectError(const Record& r) {
    std::string expected;
    if (r.fromCatalogue) {
      auto it = catalogue_.find(r.messageId);
      if (it == catalogue_.end() ||
          !FormatCatalogueText(it->second, r.catalogueArguments, &expected)) {
        Report(
            r, r.sql,
            "the script's catalogue arguments do not fit message " + std::to_string(r.messageId));
        return;
      }
    } else {
      for (size_t i = 0; i < r.expected.size(); ++i)
        expected += (i > 0 ? "\n" : "") + r.expected[i];
      if (r.messageId != 0) {
        auto it = catalogue_.find(r.messageId);
        if (it == catalogue_.end() || !MatchesCatalogueFormat(it->second, expected)) {
          Report(r, r.sql,
                 "the script's expected text is not message " + std::to_string(r.messageId) +
                     ":\n" + Lines(Split(expected)));
          return;
        }
      }
    }
    Outcome o = Submit(r, r.sql);
    if (!o.submitted) return;
    std::ostringstream problems;
    if (o.status != -1) problems << "  status " << o.status << ", expected -1\n";
    if (o.request == nullptr) problems << "  no request was handed back\n";
    if (o.sqlState != r.sqlState)
      problems << "  SQLSTATE " << o.sqlState << ", expected " << r.sqlState << "\n";
    if (r.compiled >= 0 && o.info.compiled != r.compiled)
      problems << "  compiled " << o.info.compiled << ", expected " << r.compiled << "\n";
    if (r.anyText ? o.errorText.empty() : o.errorText != expected) {
      problems << "  error text differs\n  expected:\n"
               << Lines(Split(expected)) << "  actual:\n"
               << Lines(Split(o.errorText));
    }
    if (!problems.str().empty()) Report(r, r.sql, "expected failure not met:\n" + problems.str());
    End(o);
  }

  void MakeFile(const Record& r) {
    unsigned char fd[JX_FD_SIZE_BYTES] = {};
    auto put = [&fd](size_t offset, const std::string& s, size_t room) {
      memset(fd + offset, 0, room);
      memcpy(fd + offset, s.data(), std::min(s.size(), room - 1));
    };
    auto describe = [&](int16_t command) {
      XZK_DECRITFICHIER(handle_, command, fd);
      int16_t status;
      memcpy(&status, fd + JX_FD_STATUS, 2);
      if (status > 0) {
        Report(r, "file " + r.fileName,
               "the engine refused the file: " +
                   Cp1252ToUtf8(reinterpret_cast<const char*>(fd + JX_FD_MESSAGE)));
      }
      return status <= 0;
    };
    put(JX_FD_TABLE, r.fileName, JX_NAME_FIELD_SIZE);
    memcpy(fd + JX_FD_SEPARATOR, "__", 2);
    if (!describe(JX_DESCRIBE_BEGIN_FILE)) return;
    for (const FileItem& item : r.items) {
      put(JX_FD_NAME, item.name, JX_NAME_FIELD_SIZE);
      fd[JX_FD_TYPE] = static_cast<unsigned char>(item.letter);
      int16_t size = static_cast<int16_t>(item.size);
      int16_t key = static_cast<int16_t>(item.key);
      memcpy(fd + JX_FD_SIZE, &size, 2);
      memcpy(fd + JX_FD_UNIQUE, &key, 2);
      if (!describe(JX_DESCRIBE_ADD_COLUMN)) return;
    }
    describe(JX_DESCRIBE_COMPLETE);
  }

  std::string path_;
  int32_t handle_;
  const std::map<int, std::string>& catalogue_;
  int skipped_ = 0;
};

class SqlScriptTest : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(LoadCatalogue(ZKSQL_CATALOGUE_PATH, &catalogue_, &error)) << error;
  }
  // On POSIX the library is pointed at the engine just built; on Windows it
  // loads JXENGINE.DLL from its own folder, where the build puts it.
  void SetUp() override {
#ifndef _WIN32
    setenv("JXENGINE_LIBRARY", JXENGINE_PATH, 1);
#endif
    ASSERT_EQ(JX4InitInstance(&instance_, 0), 1);
  }
  void TearDown() override {
    JXSQLFinInstance(instance_);
#ifndef _WIN32
    unsetenv("JXENGINE_LIBRARY");
#endif
  }

  void* instance_ = nullptr;
  static std::map<int, std::string> catalogue_;
};

std::map<int, std::string> SqlScriptTest::catalogue_;

TEST_P(SqlScriptTest, Runs) {
  std::string path = std::string(SQL_SCRIPT_DIR) + "/" + GetParam() + ".test";
  std::vector<Record> records;
  std::string error;
  ASSERT_TRUE(ParseScript(ReadFile(path), &records, &error)) << path << ": " << error;
  ASSERT_FALSE(records.empty()) << path << " holds no record";
  ScratchDatabase db;
  ASSERT_GT(db.handle(), 0) << "cannot create a database in " << db.dir();
  ScriptRunner runner(path, db.handle(), catalogue_);
  for (const Record& r : records) runner.Run(r);
  if (runner.skipped() > 0) RecordProperty("skipped_records", runner.skipped());
}

INSTANTIATE_TEST_SUITE_P(Scripts, SqlScriptTest, ::testing::ValuesIn(ListScripts()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(SqlScriptFolderTest, HoldsScripts) {
  EXPECT_FALSE(ListScripts().empty()) << SQL_SCRIPT_DIR;
}

}  // namespace
}  // namespace zksql_e2e
