// Rows are fetched a column at a time with ZKSQLColumnText, into one
// buffer that grows when a value does not fit and that later rows keep: a
// value may hold any byte, so no separator could split a row text safely.
// Memo columns, found by asking ZKSQLGetLongData about each column of the
// first row, are then read whole for every row: the column text carries
// only their beginning. Text memos show their text, binary memos their hex.
#include "session.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "charset.h"
#include "engine_calls.h"
#include "interrupt.h"
#include "jxengine.h"
#include "memo_blocks.h"
#include "output_format.h"
#include "zkglobal.h"
#include "zksql.h"

namespace zkshell {
namespace {

constexpr int kTextHostType = 9;

// The current row's values, one after another in *buffer (grown when a
// value does not fit), as views in *fields; false when one cannot be read.
bool CurrentRow(void* request, size_t count, std::vector<char>* buffer, std::vector<size_t>* starts,
                std::vector<std::string_view>* fields) {
  starts->assign(count + 1, 0);
  size_t used = 0;
  for (size_t c = 0; c < count; ++c) {
    (*starts)[c] = used;
    for (;;) {
      size_t room = buffer->size() - used;
      int32_t length = ZKSQLColumnText(request, static_cast<int16_t>(c + 1), buffer->data() + used,
                                       static_cast<int32_t>(room < INT32_MAX ? room : INT32_MAX));
      if (length < 0) return false;
      if (static_cast<size_t>(length) < room) {
        used += static_cast<size_t>(length);
        break;
      }
      if (buffer->size() >= (1u << 30)) return false;
      buffer->resize((used + static_cast<size_t>(length) + 1) * 2);
    }
  }
  (*starts)[count] = used;
  fields->assign(count, std::string_view());
  for (size_t c = 0; c < count; ++c) {
    (*fields)[c] = std::string_view(buffer->data() + (*starts)[c], (*starts)[c + 1] - (*starts)[c]);
  }
  return true;
}

}  // namespace

std::string EngineErrorText(int code, int32_t busyTimeout) {
  switch (code) {
    case JX_NOT_SUPPORTED:
      return "the storage engine does not offer this";
    case JX_ERR_BAD_ARGUMENT:
      return "the engine refused a value as out of range";
    case JX_ERR_BAD_HANDLE:
      return "the database is not open";
    case JX_ERR_BUSY:
      return "another connection is writing; waited " + std::to_string(busyTimeout) +
             " ms (.timeout waits longer)";
    case JX_ERR_TRANSACTION:
      return "no transaction is open, or one already is";
    case JX_ERR_STORAGE:
      return "the storage layer failed";
    case JX_ERR_NO_MEMORY:
      return "out of memory";
    case JX_ERR_NOT_OPEN:
      return "no database there, or it cannot be opened";
    case JX_ERR_MAP_FULL:
      return "the database map is full: the transaction was rolled back and the map "
             "enlarged; run it again (JXENGINE_MAP_SIZE sets the starting size)";
    case JX_ERR_ROLLED_BACK:
      return "the transaction was rolled back by an earlier failure; nothing of it was "
             "committed";
    case JX_ERR_READ_ONLY:
      return "the database is open read-only (--readonly, or its folder or files may not be "
             "written)";
    case JX_ERR_DAMAGED:
      return "the database file is damaged (.check tells what is wrong)";
    case JX_ERR_DATABASE_FULL:
      return "the database is full: the map may not grow past JXENGINE_MAP_LIMIT; the work "
             "was undone";
    default:
      return "engine error " + std::to_string(code);
  }
}

int32_t InitialBusyTimeout() {
  const char* text = getenv("JXENGINE_BUSY_TIMEOUT");
  if (text == nullptr || *text == '\0') return JX_BUSY_TIMEOUT_DEFAULT;
  char* end = nullptr;
  errno = 0;
  long value = strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 0 || value > INT32_MAX) return JX_BUSY_TIMEOUT_DEFAULT;
  return static_cast<int32_t>(value);
}

Session::~Session() {
  Close();
}

namespace {

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

std::string Session::EngineFailure(int code) {
  std::string text = EngineErrorText(code, busyTimeout_);
  const zkhost::EngineCalls* engine = zkhost::Engine(nullptr);
  if (engine == nullptr || handle_ <= 0) return text;
  int last = 0;
  std::string explanation = zkhost::LastEngineError(handle_, &last);
  // Shown as the library shows its details: indented on the next line.
  if (last == code && !explanation.empty()) text += "\n  " + explanation;
  return text;
}

bool Session::Open(const std::string& directory, bool create, bool readOnly, std::string* error) {
  const zkhost::EngineCalls* engine = zkhost::Engine(error);
  if (engine == nullptr) return false;
  int32_t flags = (create ? JX_INIT_CREATE : 0) | (readOnly ? JX_INIT_READ_ONLY : 0);
  int32_t handle = engine->open(directory.c_str(), flags);
  if (handle <= 0) {
    int code = -handle, last = 0;
    std::string reason = zkhost::LastEngineError(0, &last);
    *error = "cannot open the database in \"" + directory + "\": ";
    if (code == JX_ERR_DAMAGED) {
      *error += "the database file is damaged";
      if (!reason.empty()) *error += " (" + reason + ")";
      *error += "; jxtool " + directory + " check tells what is wrong";
    } else {
      *error += reason.empty() ? EngineErrorText(code, 0) : reason;
      // Only an absent database is what --create is for.
      std::string data = directory + (directory.empty() || directory.back() != '/' ? "/" : "");
      if (!create && !FileExists(data + "data.mdb")) *error += " (--create makes a new one)";
    }
    return false;
  }
  if (JX4InitInstance(&instance_, 0) != 1 || instance_ == nullptr) {
    engine->close(handle);
    instance_ = nullptr;
    *error = "cannot create the SQL library instance";
    return false;
  }
  handle_ = handle;
  busyTimeout_ = InitialBusyTimeout();
  return true;
}

void Session::Close() {
  if (instance_ != nullptr) {
    JXSQLFinInstance(instance_);
    instance_ = nullptr;
  }
  if (handle_ > 0) {
    // A transaction left open is rolled back by the engine on close.
    const zkhost::EngineCalls* engine = zkhost::Engine(nullptr);
    if (engine != nullptr) engine->close(handle_);
    handle_ = 0;
  }
  grouped_ = false;
  scopeOpen_ = false;
}

bool Session::Transaction(int16_t (*call)(int32_t), const char* what, std::string* error) {
  int16_t code = call(handle_);
  if (code == JX_OK) return true;
  *error = std::string(what) + ": " + EngineFailure(code);
  return false;
}

bool Session::Begin(std::string* error) {
  const zkhost::EngineCalls* engine = zkhost::Engine(error);
  if (engine == nullptr) return false;
  if (grouped_) {
    *error = "a transaction is already open";
    return false;
  }
  if (!Transaction(engine->begin, "cannot begin a transaction", error)) return false;
  grouped_ = true;
  return true;
}

bool Session::Commit(std::string* error) {
  const zkhost::EngineCalls* engine = zkhost::Engine(error);
  if (engine == nullptr) return false;
  if (!grouped_) {
    *error = "no transaction is open";
    return false;
  }
  // Whatever the answer, the engine's transaction is over: committed, or
  // rolled back by a failure (now or earlier).
  grouped_ = false;
  int16_t code = engine->commit(handle_);
  if (code == JX_OK) return true;
  if (code == JX_ERR_TRANSACTION) {
    *error = "cannot commit: the transaction had already ended; nothing of it was committed";
  } else {
    *error = "cannot commit: " + EngineFailure(code);
  }
  return false;
}

bool Session::Rollback(std::string* error) {
  const zkhost::EngineCalls* engine = zkhost::Engine(error);
  if (engine == nullptr) return false;
  if (!grouped_) {
    *error = "no transaction is open";
    return false;
  }
  grouped_ = false;
  return Transaction(engine->rollback, "cannot roll back", error);
}

namespace {

// Hands every row of the request's result to rows; false when one could not
// be read.
bool FetchRows(void* request, const ZKSQLResultInfo& info, RowSink* rows) {
  std::string columnText = info.columnText;
  rows->Start(columnText);
  std::vector<ResultColumn> columns = ParseColumnText(columnText);
  size_t count = info.columnCount;
  std::vector<char> line(4096);
  std::vector<std::string_view> fields;
  std::vector<size_t> starts;
  std::vector<int> memoColumns;  // 1-based
  std::vector<std::string> memoTexts;
  bool first = true;
  // Ctrl-C stops a long result being shown as well as the statement.
  while (!InterruptPending() && ZKSQLFetchNext(request) == 0) {
    if (!CurrentRow(request, count, &line, &starts, &fields)) return false;
    if (first) {
      first = false;
      for (size_t c = 1; c <= count; ++c) {
        void* block = nullptr;
        int16_t answer = ZKSQLGetLongData(request, static_cast<int16_t>(c), &block);
        if (block != nullptr) GlobalFree(block);
        if (answer == 0 || answer == 100) memoColumns.push_back(static_cast<int>(c));
      }
      memoTexts.resize(memoColumns.size());
    }
    for (size_t m = 0; m < memoColumns.size(); ++m) {
      int c = memoColumns[m];
      void* block = nullptr;
      std::string data;
      if (ZKSQLGetLongData(request, static_cast<int16_t>(c), &block) == 0) {
        data = TakeMemoData(block);
      }
      bool text =
          static_cast<size_t>(c) <= columns.size() && columns[c - 1].hostType == kTextHostType;
      if (text) {
        size_t end = data.find('\0');
        if (end != std::string::npos) data.resize(end);
        memoTexts[m] = std::move(data);
      } else {
        memoTexts[m] = zkhost::Hex(data);
      }
      fields[c - 1] = memoTexts[m];
    }
    rows->Row(fields.data(), count);
  }
  return !InterruptPending();
}

}  // namespace

ExecResult Session::Execute(const std::string& sql, MemoBlocks* memos, RowSink* rows) {
  // The library runs each statement in a statement scope of its own: its
  // writes are kept or undone together, and a SELECT reads the last commit
  // without waiting for a writer.
  ExecResult result;
  std::vector<char> text(sql.begin(), sql.end());
  text.push_back('\0');
  void* request = nullptr;
  ZKSQLResultInfo info;
  memset(&info, 0, sizeof info);
  int16_t status = ZKSQLExecReq(&request, text.data(), &info, handle_,
                                memos != nullptr ? memos->Table() : nullptr);
  if (status != 0) {
    char message[512] = "";
    char state[16] = "";
    if (request != nullptr) {
      ZKSQLErreur(request, message, state);
      result.error = message;
      result.sqlState = state;
    }
    if (result.error.empty()) result.error = "the statement failed";
    result.parsedText = text.data();
  } else {
    result.ok = true;
    result.changedRows = ZKSQLChangedRows(request);
    if (info.columnCount > 0 && info.columnText != nullptr) {
      result.hasTable = true;
      if (rows != nullptr && !FetchRows(request, info, rows)) {
        result.ok = false;
        result.error = "a row could not be read";
        if (InterruptPending()) {
          result.error = "interrupted: the rest of the result was not read";
          result.sqlState = "HY008";
        }
      }
    }
  }
  if (request != nullptr) ZKSQLFinRequete(request);
  return result;
}

int Session::BeginWriteScope(std::string* error) {
  const zkhost::EngineCalls* engine = zkhost::Engine(error);
  if (engine == nullptr) return JX_ERR_BAD_HANDLE;
  int16_t code = engine->beginStatement(handle_, JX_STATEMENT_WRITE);
  if (code == JX_OK) {
    scopeOpen_ = true;
  } else {
    *error = EngineFailure(code);
  }
  return code;
}

int Session::EndWriteScope(bool keep, std::string* error) {
  const zkhost::EngineCalls* engine = zkhost::Engine(error);
  if (engine == nullptr) return JX_ERR_BAD_HANDLE;
  if (!scopeOpen_) return JX_ERR_TRANSACTION;
  scopeOpen_ = false;
  int16_t code = engine->endStatement(handle_, keep ? JX_STATEMENT_KEEP : JX_STATEMENT_UNDO);
  if (code != JX_OK) *error = EngineFailure(code);
  return code;
}

bool Session::SetBusyTimeout(int32_t milliseconds, std::string* error) {
  const zkhost::EngineCalls* engine = zkhost::Engine(error);
  if (engine == nullptr) return false;
  int16_t code = engine->setBusyTimeout(handle_, milliseconds);
  if (code != JX_OK) {
    *error = "cannot set the busy timeout: " + EngineFailure(code);
    return false;
  }
  busyTimeout_ = milliseconds;
  return true;
}

int32_t Session::Check(std::string* report, std::string* error) {
  const zkhost::EngineCalls* engine = zkhost::Engine(error);
  if (engine == nullptr) return -1;
  // Room for thousands of problem lines; a longer report is cut.
  constexpr int32_t kReportSize = 1 << 20;
  std::vector<char> text(kReportSize, '\0');
  int32_t problems = engine->check(handle_, text.data(), kReportSize);
  text.back() = '\0';
  *report = zkhost::Cp1252ToUtf8(text.data());
  if (strlen(text.data()) + 1 == text.size()) *report += "\n(the report was cut at 1 MiB)\n";
  if (problems < 0) {
    *error = "cannot check the database: " + EngineFailure(-problems);
    return -1;
  }
  return problems;
}

std::vector<std::string> Session::FileNames() {
  return handle_ > 0 ? zkhost::FileNames(handle_) : std::vector<std::string>();
}

bool Session::DescribeFile(const std::string& name, FileInfo* file) {
  return handle_ > 0 && zkhost::DescribeFile(handle_, name, file);
}

bool Session::DefineFile(const TableDefinition& table, std::string* error) {
  const zkhost::EngineCalls* engine = zkhost::Engine(error);
  if (engine == nullptr) return false;
  unsigned char fd[JX_FD_SIZE_BYTES];
  auto name = [&fd](size_t offset, const std::string& text) {
    memset(fd + offset, 0, JX_NAME_FIELD_SIZE);
    memcpy(fd + offset, text.data(),
           text.size() < JX_NAME_MAX_LENGTH ? text.size() : JX_NAME_MAX_LENGTH);
  };
  // Each command answers in the block's status and message.
  auto send = [&](int16_t command) {
    engine->defineFile(handle_, command, fd);
    int16_t status = 0;
    memcpy(&status, fd + JX_FD_STATUS, sizeof status);
    if (status <= 0) return true;
    fd[JX_FD_MESSAGE + JX_FD_MESSAGE_SIZE - 1] = 0;
    *error = reinterpret_cast<const char*>(fd + JX_FD_MESSAGE);
    if (error->empty()) *error = "the engine refused the description of " + table.name;
    return false;
  };
  memset(fd, 0, sizeof fd);
  name(JX_FD_TABLE, table.name);
  memcpy(fd + JX_FD_SEPARATOR, "__", 2);
  if (!send(JX_DESCRIBE_BEGIN_FILE)) return false;
  for (const ColumnDefinition& column : table.columns) {
    name(JX_FD_NAME, column.name);
    fd[JX_FD_TYPE] = static_cast<unsigned char>(column.letter);
    int16_t size = static_cast<int16_t>(column.size);
    memcpy(fd + JX_FD_SIZE, &size, sizeof size);
    if (!send(JX_DESCRIBE_ADD_COLUMN)) return false;
  }
  return send(JX_DESCRIBE_COMPLETE);
}

bool Session::ReadMemo(const std::string& sql, int column, int row, std::string* data,
                       std::string* error) {
  std::vector<char> text(sql.begin(), sql.end());
  text.push_back('\0');
  void* request = nullptr;
  ZKSQLResultInfo info;
  memset(&info, 0, sizeof info);
  bool ok = false;
  if (ZKSQLExecReq(&request, text.data(), &info, handle_, nullptr) != 0) {
    char message[512] = "";
    char state[16] = "";
    if (request != nullptr) ZKSQLErreur(request, message, state);
    *error = message[0] != '\0' ? message : "the statement failed";
  } else if (column < 1 || column > info.columnCount) {
    *error = "no such column in the result";
  } else {
    int at = 0;
    while (at < row && ZKSQLFetchNext(request) == 0) ++at;
    if (at < row || row < 1) {
      // The walk stopped at the end: at is the number of rows there are.
      *error =
          "no row " + std::to_string(row) + ": the result has " +
          (at == 0 ? std::string("no rows") : std::to_string(at) + (at == 1 ? " row" : " rows"));
    } else {
      void* block = nullptr;
      int16_t answer = ZKSQLGetLongData(request, static_cast<int16_t>(column), &block);
      if (answer == 0) {
        *data = TakeMemoData(block);
        ok = true;
      } else if (answer == 100) {
        data->clear();
        ok = true;
      } else {
        *error = "that column holds no memo";
      }
    }
  }
  if (request != nullptr) ZKSQLFinRequete(request);
  return ok;
}

}  // namespace zkshell
