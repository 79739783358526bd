// The shell's link to the libraries: one SQL library instance and one
// engine handle on the open database. Every statement runs here: in its
// own engine transaction unless the user grouped several with .begin, its
// rows fetched as text and its memo columns read whole. Texts in and out
// are Windows-1252; converting them is the caller's business.
#ifndef ZKSHELL_SESSION_H
#define ZKSHELL_SESSION_H

#include <stdint.h>

#include <string>
#include <vector>

#include "schema_text.h"
#include "table_definition.h"

namespace zkshell {

class MemoBlocks;

struct ExecResult {
  bool ok = false;
  std::string error;     // French message of a failure
  std::string sqlState;  // its SQLSTATE ("" for the shell's own failures)
  bool hasTable = false;  // the statement produced a result table
  std::string columnText;  // the column description, as the library gives it
  std::vector<std::vector<std::string>> rows;
  // Rows of a result that has no column (a select list of COUNT(*) alone):
  // there is nothing to show of them but their number.
  int32_t rowsWithoutColumns = 0;
};

class Session {
 public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  // Opens (with create, creates) the database in directory and creates the
  // library instance.
  bool Open(const std::string& directory, bool create, std::string* error);
  void Close();

  // Runs one statement with the memo blocks its constructs named.
  ExecResult Execute(const std::string& sql, MemoBlocks* memos);

  // Host transactions grouping several statements (.begin/.commit/.rollback).
  bool Begin(std::string* error);
  bool Commit(std::string* error);
  bool Rollback(std::string* error);
  bool InTransaction() const { return grouped_; }

  // The file names of the database, in name order.
  std::vector<std::string> FileNames();
  // A file's items; false when the engine knows no such file.
  bool DescribeFile(const std::string& name, FileInfo* file);
  // Makes a new file through the engine's file description (names in
  // Windows-1252). False with the engine's French message otherwise.
  bool DefineFile(const TableDefinition& table, std::string* error);

  // Runs a statement and writes the memo of column (1-based) of row
  // (1-based) of its result into *data. False with *error otherwise.
  bool ReadMemo(const std::string& sql, int column, int row, std::string* data,
                std::string* error);

 private:
  bool Transaction(int16_t (*call)(int32_t), const char* what, std::string* error);

  void* instance_ = nullptr;
  int32_t handle_ = 0;
  bool grouped_ = false;
};

// The text of an engine result code, for the shell's own messages.
std::string EngineErrorText(int code);

}  // namespace zkshell

#endif
