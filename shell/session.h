// The shell's link to the libraries: one SQL library instance and one
// engine handle on the open database. Every statement runs here, its rows
// fetched as text and its memo columns read whole; the library makes each
// statement atomic itself, and .begin groups several in a host transaction.
// Statement texts, rows and the library's messages are Windows-1252 and
// converting them is the caller's business; the shell's own messages about
// the engine (opening, transactions, scopes, the check) are UTF-8 already.
#ifndef ZKSHELL_SESSION_H
#define ZKSHELL_SESSION_H

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

#include "schema_text.h"
#include "table_definition.h"

namespace zkshell {

class MemoBlocks;

// Takes a result's rows as they are fetched, so that none is kept longer
// than it takes to show it.
class RowSink {
 public:
  virtual ~RowSink() = default;
  // The column description, as the library gives it, before any row.
  virtual void Start(const std::string& columnText) = 0;
  // One row: a field for each column, memo columns read whole. The
  // fields are valid until the call returns.
  virtual void Row(const std::string_view* fields, size_t count) = 0;
};

struct ExecResult {
  bool ok = false;
  std::string error;       // French message of a failure
  std::string sqlState;    // its SQLSTATE ("" for the shell's own failures)
  bool hasTable = false;   // the statement produced a result table
  // Records an INSERT, UPDATE or DELETE wrote or removed (0 for any other
  // statement).
  int32_t changedRows = 0;
  // On failure, the statement as the library read it (its date escapes
  // rewritten): the text the positions of its messages count in.
  std::string parsedText;
};

class Session {
 public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  // Opens (with create, creates) the database in directory, read-only when
  // asked, and creates the library instance.
  bool Open(const std::string& directory, bool create, bool readOnly, std::string* error);
  void Close();

  // Runs one statement with the memo blocks its constructs named, handing
  // the rows of its result to rows (none are fetched without one). When a
  // row cannot be read the result fails, after the rows before it.
  ExecResult Execute(const std::string& sql, MemoBlocks* memos, RowSink* rows = nullptr);

  // Host transactions grouping several statements (.begin/.commit/.rollback).
  bool Begin(std::string* error);
  bool Commit(std::string* error);
  bool Rollback(std::string* error);
  bool InTransaction() const { return grouped_; }

  // A write statement scope around work the shell runs as one statement
  // (.import): outside a transaction one durable write, inside one a
  // savepoint. Both return the engine's code (JX_OK when done) with
  // *error explaining a failure; ending reports JX_ERR_MAP_FULL when the
  // map was enlarged and the work may simply be run again.
  int BeginWriteScope(std::string* error);
  int EndWriteScope(bool keep, std::string* error);

  // How long a write waits for another connection's write lock (ms).
  bool SetBusyTimeout(int32_t milliseconds, std::string* error);
  int32_t BusyTimeout() const { return busyTimeout_; }

  // Runs the engine's integrity check: the number of problems found, with
  // the report (UTF-8) in *report, or -1 with *error when it could not run.
  int32_t Check(std::string* report, std::string* error);

  // The file names of the database, in name order.
  std::vector<std::string> FileNames();
  // A file's items; false when the engine knows no such file.
  bool DescribeFile(const std::string& name, FileInfo* file);
  // Makes a new file through the engine's file description (names in
  // Windows-1252). False with the engine's French message otherwise.
  bool DefineFile(const TableDefinition& table, std::string* error);

  // Runs a statement and writes the memo of column (1-based) of row
  // (1-based) of its result into *data. False with *error otherwise.
  bool ReadMemo(const std::string& sql, int column, int row, std::string* data, std::string* error);

 private:
  bool Transaction(int16_t (*call)(int32_t), const char* what, std::string* error);
  // The text of an engine code with the engine's explanation, when it gives
  // one for that code.
  std::string EngineFailure(int code);

  void* instance_ = nullptr;
  int32_t handle_ = 0;
  bool grouped_ = false;
  bool scopeOpen_ = false;  // a write scope of the shell's own (.import)
  int32_t busyTimeout_ = 0;
};

// The text of an engine result code, for the shell's own messages;
// busyTimeout is what a busy write waited (ms).
std::string EngineErrorText(int code, int32_t busyTimeout);

// The busy timeout the engine starts with: JXENGINE_BUSY_TIMEOUT when it
// holds a number of milliseconds, else the engine's default.
int32_t InitialBusyTimeout();

}  // namespace zkshell

#endif
