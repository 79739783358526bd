// The exported functions: the host's whole view of the library.
//
// Each export checks its arguments (a null or stale pointer is answered
// with -1, never followed), catches everything so that nothing is thrown
// into the host, and shows the wait cursor while a statement runs.
#include <cstring>
#include <string>

#include "api/escape_rewriter.h"
#include "api/instance.h"
#include "api/memo_param_set.h"
#include "api/request.h"
#include "api/statement_runner.h"
#include "base/fast_paths.h"
#include "base/interrupt.h"
#include "base/memory_block.h"
#include "base/messages.h"
#include "base/out_of_memory.h"
#include "platform.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/result_table.h"
#include "values/number_text.h"
#include "zksql.h"

namespace zksql {
namespace {

// Size of the working copy of a statement.
constexpr int32_t kWorkingBufferSize = 16384;

// The working copies: a statement's copy is gone when its call returns,
// and the next statement's takes its place.
ReusableBlock g_workingCopies(kWorkingBufferSize);

// Shows the wait cursor for its lifetime and restores the previous one on
// every way out.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// Appends the text of one column's current value: what the row text shows
// for it.
void AppendColumnText(Column* column, std::string* out) {
  if (column == nullptr) return;
  if (column->IsComposite()) {
    *out +=
        "<cl\xE9 compos\xE9"
        "e>";
    return;
  }
  int16_t kind = column->Kind();
  // An integer column's digits are written straight from the row: the
  // text a whole number's six-decimal form trims down to.
  int64_t whole = 0;
  if (kind == kKindNumber && FastPathsOn() && column->CurrentWholeNumber(&whole)) {
    char digits[24];
    char* at = digits;
    if (whole < 0) *at++ = '-';
    uint64_t magnitude =
        whole < 0 ? 0ULL - static_cast<uint64_t>(whole) : static_cast<uint64_t>(whole);
    at += WholeDigits(magnitude, at);
    out->append(digits, static_cast<size_t>(at - digits));
    return;
  }
  void* value = column->GetValue();
  if (kind == kKindOther || value == nullptr) {
    *out += "<type inconnu>";
  } else if (kind == kKindNumber) {
    double real;
    memcpy(&real, value, sizeof real);
    char digits[kNumberTextSize];
    NumberText(real, column->type() == kTypeFloat ? 7 : 9, digits, sizeof digits);
    *out += digits;
  } else {
    *out += static_cast<const char*>(value);
  }
}

// The current row of the result as text: each column's value, joined by
// the separator ("\t" by default). *complete is false when a value could
// not be read for want of memory (the text is then not the row's). The
// text is the request's, valid until the next call.
const std::string& RowText(Request* request, const char* separator, bool* complete) {
  ShortageWatch watch(request);
  TakeOutOfMemory(request);
  if (separator == nullptr) separator = "\t";
  std::string& line = request->rowText;
  line.clear();
  Table* result = request->result;
  int16_t count = result->ColumnCount();
  for (int16_t i = 0; i < count; ++i) {
    if (i > 0) line += separator;
    AppendColumnText(result->ColumnAt(i), &line);
  }
  *complete = !TakeOutOfMemory(request);
  return line;
}

// The text of column `index` (from 0) of the current row, as RowText
// writes it; *complete as there.
std::string ColumnText(Request* request, int16_t index, bool* complete) {
  ShortageWatch watch(request);
  TakeOutOfMemory(request);
  std::string text;
  AppendColumnText(request->result->ColumnAt(index), &text);
  *complete = !TakeOutOfMemory(request);
  return text;
}

// The window in which the host may stop a statement: from the start of a
// run to the moment its scope is closed (End), or any way out before.
class StopWindow {
 public:
  StopWindow() { StatementStarts(); }
  ~StopWindow() {
    if (open_) StatementEnds(nullptr);
  }
  StopWindow(const StopWindow&) = delete;
  StopWindow& operator=(const StopWindow&) = delete;
  // Closes the window; true when the host stopped the statement (recorded).
  bool End(StatementContext* context) {
    open_ = false;
    return StatementEnds(context);
  }

 private:
  bool open_ = true;
};

// How many times a statement runs again after the engine lost its work to
// a full map and enlarged the map: each time the map has doubled.
constexpr int kMaxRuns = 8;

// One run of a statement, from the working copy to the result. *out gets
// the request (null when none could be made); *again is set when the
// engine asks for the statement to be run again in its enlarged map, the
// request then being of no use.
int16_t RunStatement(Request** out, const char* sql, bool escapesOutOfMemory, ZKSQLResultInfo* info,
                     int32_t engineHandle, const ZKSQLMemoTable* memos, bool mayRunAgain,
                     bool* again) {
  *out = nullptr;
  *again = false;
  StopWindow window;
  info->compiled = 0;
  info->columnCount = 0;
  info->rowCount = 0;

  size_t length = strlen(sql);
  // The copy carries the statement, the ";" appended to it and a
  // terminator: anything longer is refused rather than cut or overrun.
  bool tooLong = length + 2 > static_cast<size_t>(kWorkingBufferSize);
  char* working = nullptr;
  if (!tooLong) {
    // Not zero-filled: everything that reads the copy stops at its
    // terminator.
    working = static_cast<char*>(g_workingCopies.Take());
    if (working == nullptr) return -1;
    memcpy(working, sql, length);
    working[length] = ';';
    working[length + 1] = '\0';
  }

  Request* request = CreateRequest(working, engineHandle, memos);
  if (request == nullptr) {
    g_workingCopies.Give(working);
    return -1;
  }
  info->columnText = request->dict->columnText();
  if (info->columnText == nullptr) {
    DestroyRequest(request);
    g_workingCopies.Give(working);
    return -1;
  }
  *out = request;
  // Shortages that helpers note land in this request from here on.
  ShortageWatch watch(request);

  int16_t status = 0;
  if (tooLong) {
    RecordMessage(request, nullptr, kMsgStatementTooLong, kWorkingBufferSize - 2);
    status = -1;
  } else if (escapesOutOfMemory) {
    // Its date clauses are still braces: the statement is not run as
    // something it does not say.
    RecordMessage(request, nullptr, kMsgOutOfMemory);
    status = -1;
  } else {
    // Memo constructs become numbered memo markers; the count bounds the
    // host memo numbers the statement may use.
    MemoMarkerFailure why = MemoMarkerFailure::kNone;
    int32_t markers = SubstituteMemoMarkers(working, kWorkingBufferSize, &why);
    if (markers < 0) {
      if (why == MemoMarkerFailure::kNoMemory) {
        RecordMessage(request, nullptr, kMsgOutOfMemory);
      } else if (why == MemoMarkerFailure::kTooMany) {
        RecordMessage(request, nullptr, kMsgTooManyMemos, static_cast<int>(kMaxMemoParams));
      } else {
        RecordMessage(request, nullptr, kMsgStatementTooLong, kWorkingBufferSize - 2);
      }
      status = -1;
    } else {
      request->memoMarkerCount = markers;
    }
  }
  if (status == 0 && !tooLong) {
    ParseStatement(request);
    if (HasError(request) || !OpenStatementScope(request)) {
      status = -1;
    } else {
      AnalyseStatement(request);
      if (HasError(request)) {
        status = -1;
      } else if (request->compiled) {
        info->compiled = 1;
        ExecuteStatement(request);
        if (HasError(request)) status = -1;
      }
    }
  }
  // An allocation failed where the code could only answer "nothing": the
  // rows, or the records written, may not be what the statement says.
  // Whatever else was recorded, the statement fails for want of memory,
  // and its writes are undone with its scope.
  bool shortOfMemory = TakeOutOfMemory(request);
  // A statement the host stopped, even after its last record, fails: its
  // writes are undone with its scope, and it is not run again.
  bool stopped = window.End(request);
  if (stopped) {
    status = -1;
    mayRunAgain = false;
  }
  if (CloseStatementScope(request, status == 0 && !shortOfMemory) && mayRunAgain) {
    *again = true;
  } else if (HasError(request)) {
    status = -1;
  }
  if (status == 0 && request->result != nullptr) {
    info->columnCount = DescribeResult(request);
    if (HasError(request)) {
      info->columnCount = 0;
      status = -1;
    } else {
      info->rowCount = request->result->rowCount();
    }
  }
  if (stopped) {
    // Whatever it had selected is not its result.
    request->result = nullptr;
    request->changedRows = 0;
  }
  if (shortOfMemory || TakeOutOfMemory(request)) {
    RecordMessage(request, nullptr, kMsgOutOfMemory);
    info->columnCount = 0;
    info->rowCount = 0;
    request->result = nullptr;
    status = -1;
  }
  // The working copy is gone once the call returns.
  request->sqlText = nullptr;
  g_workingCopies.Give(working);
  return status;
}

int16_t ExecuteRequest(void** out, char* sql, ZKSQLResultInfo* info, int32_t engineHandle,
                       const ZKSQLMemoTable* memos) {
  WaitCursor cursor;
  if (out == nullptr || sql == nullptr || info == nullptr) return -1;
  *out = nullptr;
  // ODBC date escapes become plain date literals before anything reads the
  // text; the rewritten form is never longer, so the caller's buffer holds it.
  bool escapesOutOfMemory = false;
  RewriteEscapesInPlace(sql, &escapesOutOfMemory);
  for (int run = 1;; ++run) {
    Request* request = nullptr;
    bool again = false;
    int16_t status = RunStatement(&request, sql, escapesOutOfMemory, info, engineHandle, memos,
                                  run < kMaxRuns, &again);
    if (!again) {
      *out = request;
      return status;
    }
    DestroyRequest(request);
  }
}

}  // namespace
}  // namespace zksql

using zksql::LiveRequest;
using zksql::Request;

extern "C" {

ZKSQL_API int16_t ZKSQL_CALL JX4InitInstance(void** instance, int32_t /*unused*/) {
  try {
    if (instance == nullptr) return 0;
    zksql::Instance* created = zksql::CreateInstance();
    if (created == nullptr) return 0;
    *instance = created;
    return 1;
  } catch (...) {
    return 0;
  }
}

ZKSQL_API void ZKSQL_CALL JXSQLFinInstance(void* instance) {
  try {
    zksql::DestroyInstance(zksql::LiveInstance(instance));
  } catch (...) {
  }
}

ZKSQL_API int16_t ZKSQL_CALL ZKSQLExecReq(void** request, char* sql, ZKSQLResultInfo* info,
                                          int32_t engineHandle, const ZKSQLMemoTable* memos) {
  try {
    return zksql::ExecuteRequest(request, sql, info, engineHandle, memos);
  } catch (...) {
    return -1;
  }
}

ZKSQL_API int16_t ZKSQL_CALL ZKSQLFetchNext(void* handle) {
  try {
    Request* request = LiveRequest(handle);
    if (request == nullptr || request->result == nullptr) return -1;
    // Past the last row every later call keeps answering -1.
    if (request->fetchRow == INT32_MAX) return -1;
    ++request->fetchRow;
    return request->result->ReadByNumber(request->fetchRow) > 0 ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

ZKSQL_API int16_t ZKSQL_CALL ZKSQLValLine(void* handle, const char* separator, char* out) {
  try {
    Request* request = LiveRequest(handle);
    if (request == nullptr || out == nullptr || request->result == nullptr) return -1;
    bool complete = false;
    const std::string& line = zksql::RowText(request, separator, &complete);
    if (!complete) {
      out[0] = '\0';
      return -1;
    }
    memcpy(out, line.c_str(), line.size() + 1);
    return 0;
  } catch (...) {
    return -1;
  }
}

ZKSQL_API int16_t ZKSQL_CALL ZKSQLValLineN(void* handle, const char* separator, char* out,
                                           int32_t size) {
  try {
    Request* request = LiveRequest(handle);
    if (request == nullptr || out == nullptr || size < 1 || request->result == nullptr) {
      return -1;
    }
    bool complete = false;
    const std::string& line = zksql::RowText(request, separator, &complete);
    if (!complete) {
      out[0] = '\0';
      return -1;
    }
    size_t room = static_cast<size_t>(size) - 1;
    size_t n = line.size() < room ? line.size() : room;
    memcpy(out, line.data(), n);
    out[n] = '\0';
    return n == line.size() ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

ZKSQL_API int16_t ZKSQL_CALL ZKSQLGetLongData(void* handle, int16_t column, void** memoHandle) {
  try {
    if (memoHandle != nullptr) *memoHandle = nullptr;
    Request* request = LiveRequest(handle);
    if (request == nullptr || memoHandle == nullptr || request->result == nullptr || column < 1) {
      return -1;
    }
    zksql::WaitCursor cursor;
    zksql::Column* target = request->result->ColumnAt(static_cast<int16_t>(column - 1));
    if (target == nullptr || !target->IsMemo()) return -1;
    *memoHandle = target->MemoHandle();
    return *memoHandle != nullptr ? 0 : 100;
  } catch (...) {
    return -1;
  }
}

ZKSQL_API int16_t ZKSQL_CALL ZKSQLFinRequete(void* handle) {
  try {
    Request* request = LiveRequest(handle);
    if (request == nullptr) return -1;
    zksql::DestroyRequest(request);
    return 0;
  } catch (...) {
    return -1;
  }
}

ZKSQL_API int16_t ZKSQL_CALL ZKSQLErreur(void* handle, char* text, char* sqlState) {
  try {
    Request* request = LiveRequest(handle);
    if (request == nullptr) return -1;
    bool hasError = zksql::HasError(request);
    if (text != nullptr) memcpy(text, request->errorText, strlen(request->errorText) + 1);
    if (sqlState != nullptr) memcpy(sqlState, hasError ? request->sqlState : "00000", 6);
    return 0;
  } catch (...) {
    return -1;
  }
}

ZKSQL_API int32_t ZKSQL_CALL ZKSQLColumnText(void* handle, int16_t column, char* out,
                                             int32_t size) {
  try {
    if (size < 0 || (out == nullptr && size > 0)) return -1;
    if (size > 0) out[0] = '\0';
    Request* request = LiveRequest(handle);
    if (request == nullptr || request->result == nullptr) return -1;
    // Only a row that ZKSQLFetchNext made current has values.
    if (request->fetchRow < 1 || request->fetchRow > request->result->rowCount()) return -1;
    if (column < 1 || column > request->result->ColumnCount()) return -1;
    bool complete = false;
    std::string text = zksql::ColumnText(request, static_cast<int16_t>(column - 1), &complete);
    if (!complete || text.size() > static_cast<size_t>(INT32_MAX)) return -1;
    if (size > 0) {
      size_t room = static_cast<size_t>(size) - 1;
      size_t n = text.size() < room ? text.size() : room;
      memcpy(out, text.data(), n);
      out[n] = '\0';
    }
    return static_cast<int32_t>(text.size());
  } catch (...) {
    if (size > 0 && out != nullptr) out[0] = '\0';
    return -1;
  }
}

ZKSQL_API int32_t ZKSQL_CALL ZKSQLChangedRows(void* handle) {
  try {
    Request* request = LiveRequest(handle);
    if (request == nullptr) return -1;
    // A failed statement's writes were undone with its scope.
    return zksql::HasError(request) ? 0 : request->changedRows;
  } catch (...) {
    return -1;
  }
}

// Only an atomic exchange: safe in a signal handler and from any thread.
ZKSQL_API int16_t ZKSQL_CALL ZKSQLInterrupt(void) {
  return zksql::RequestInterrupt() ? 1 : 0;
}

}  // extern "C"
