// The SQL script format of the end-to-end suite: its records, the parser
// that reads a script into them, the message catalogue the error
// expectations are formatted from, and the Windows-1252 conversions between
// the UTF-8 scripts and the library's texts. The format itself is described
// at the top of sql_script_test.cc, which runs the scripts.
#ifndef ZKSQL_TESTS_E2E_SQL_SCRIPT_H_
#define ZKSQL_TESTS_E2E_SQL_SCRIPT_H_

#include <map>
#include <string>
#include <vector>

namespace zksql_e2e {

enum class RecordKind {
  kStatement,   // statement ok
  kStatements,  // statements ok: several statements, each ending with ";"
  kQuery,       // query: the rows as text
  kColumns,     // columns: the column description
  kError,       // error ID SQLSTATE: the failure, its text and SQLSTATE
  kLongData,    // longdata COLUMN: the memo of one column, row by row
  kFile,        // file NAME ITEM:LETTER[:SIZE[:KEY]]...: a file made by the engine
};

// One item of a `file` record.
struct FileItem {
  std::string name;
  char letter = 0;
  int size = 0;
  int key = 0;  // 0 none, 1 unique, 2 duplicates
};

struct Record {
  RecordKind kind = RecordKind::kStatement;
  int line = 0;     // line of the directive, from 1
  std::string sql;  // the statement text (lines joined with "\n")
  // kStatements: the statements, split at the ";" that end them.
  std::vector<std::string> statements;
  // Expected lines after "----" (rows, column lines, memo texts or the
  // error text); `hasExpectation` tells an empty list from a missing one.
  std::vector<std::string> expected;
  bool hasExpectation = false;
  bool rowsort = false;  // query rowsort: compare the rows sorted
  // kError
  int messageId = 0;  // 0: a text from outside the catalogue ("-")
  std::string sqlState;
  int compiled = -1;  // -1: not checked
  // The expected text is the catalogue message formatted with these
  // arguments (the expectation line "catalogue ARG...").
  bool fromCatalogue = false;
  std::vector<std::string> catalogueArguments;
  // Any non-empty text will do (the expectation line "(any text)"): for
  // texts the storage engine writes, which no document fixes.
  bool anyText = false;
  // kLongData
  int column = 0;
  // kFile
  std::string fileName;
  std::vector<FileItem> items;
  // Memo values handed to the statement (a `memos` line before the record).
  std::vector<std::string> memos;
  // A `skip REASON` line before the record: parsed, not run.
  std::string skipReason;
  // A `transaction` line before the record: its statements run inside one
  // host transaction of the engine, committed at the end of the record.
  bool transaction = false;
};

// Reads a script. Returns false with "line N: what" in *error when the text
// is not a well-formed script.
bool ParseScript(const std::string& text, std::vector<Record>* records, std::string* error);

// Splits a text into the statements it holds, each ending with a ";"
// outside string literals (the ";" itself is dropped, blanks around each
// statement too). Text after the last ";" counts as a statement of its own
// when it is not blank.
std::vector<std::string> SplitStatements(const std::string& text);

// The message catalogue: identifier -> text, "\n" and "\\" unescaped.
// Returns false when the file cannot be read or a line is malformed.
bool LoadCatalogue(const std::string& path, std::map<int, std::string>* catalogue,
                   std::string* error);

// Fills a catalogue format: each "%s" takes the next argument as it is,
// each "%i" the next argument (an integer written in decimal). Returns
// false when the arguments do not fit the placeholders.
bool FormatCatalogueText(const std::string& format, const std::vector<std::string>& arguments,
                         std::string* out);

// True when text is what the format gives for some arguments: "%s" stands
// for any text, "%i" for a decimal integer.
bool MatchesCatalogueFormat(const std::string& format, const std::string& text);

// Windows-1252 <-> UTF-8. Utf8ToCp1252 returns false for a character that
// Windows-1252 cannot hold or for a malformed UTF-8 text.
bool Utf8ToCp1252(const std::string& utf8, std::string* out);
std::string Cp1252ToUtf8(const std::string& cp1252);

}  // namespace zksql_e2e

#endif  // ZKSQL_TESTS_E2E_SQL_SCRIPT_H_
