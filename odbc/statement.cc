// Running statements: a statement's text (converted to Windows-1252 when
// prepared) gets its parameters' literals, joins the connection's host
// transaction when autocommit is off, and runs through ZKSQLExecReq. A
// result table stays with the library until it is read or another
// statement runs; a write reports the rows it changed.
#include <cstring>

#include "api.h"
#include "zksql.h"

namespace zkodbc {
namespace {

void NeedConnection(Statement* s) {
  if (!s->conn->db.open()) {
    throw DriverError("08003", DriverMessage("the connection is not open"));
  }
}

void StartResult(Statement* s, std::unique_ptr<ResultSet> result) {
  s->result = std::move(result);
  s->onRow = false;
  s->cells.clear();
  s->offsets.clear();
  if (s->result != nullptr) {
    s->cells.resize(s->result->columns().size());
    s->offsets.assign(s->result->columns().size(), 0);
  }
}

// Runs text (Windows-1252, parameters substituted) through the library.
SQLRETURN Run(Statement* s, const std::string& text) {
  NeedConnection(s);
  CloseCursor(s, false);
  // The library serves one request at a time: another statement's unread
  // rows are copied out first.
  LibraryResult::DetachLive();
  Connection* c = s->conn;
  if (!c->autocommit) c->db.EnsureTransaction();
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  void* request = nullptr;
  ZKSQLResultInfo info;
  memset(&info, 0, sizeof info);
  int16_t status = ZKSQLExecReq(&request, buffer.data(), &info, c->db.handle(), nullptr);
  if (status != 0) {
    char message[512] = "";
    char state[16] = "";
    if (request != nullptr) {
      ZKSQLErreur(request, message, state);
      ZKSQLFinRequete(request);
    }
    std::string sqlState = Odbc3State(state[0] != '\0' ? state : "HY000");
    std::string text = message[0] != '\0' ? FromLibrary(message) : "the statement failed";
    // The library's message is the data source's own: its prefix says so.
    throw DriverError(sqlState, "[zksql][ODBC][zksql] " + text);
  }
  if (request == nullptr) throw DriverError("HY000", DriverMessage("the library gave no request"));
  if (info.columnCount > 0 && info.columnText != nullptr) {
    std::unique_ptr<ResultSet> result(new LibraryResult(request, info.columnText, info.rowCount));
    s->rowCount = info.rowCount;
    StartResult(s, std::move(result));
  } else {
    int32_t changed = ZKSQLChangedRows(request);
    ZKSQLFinRequete(request);
    s->rowCount = changed;
    s->diag.setRowCount(changed);
  }
  return SQL_SUCCESS;
}

}  // namespace

void ServeRows(Statement* s, std::unique_ptr<ResultSet> rows) {
  NeedConnection(s);
  CloseCursor(s, false);
  s->rowCount = rows->RowCount();
  StartResult(s, std::move(rows));
}

SQLRETURN Prepare(Statement* s, const std::string& sql) {
  CloseCursor(s, false);
  s->isPrepared = false;
  s->prepared = ToLibrary(sql);
  s->markers = MarkerPositions(s->prepared);
  s->isPrepared = true;
  return SQL_SUCCESS;
}

SQLRETURN Execute(Statement* s) {
  if (!s->isPrepared) throw DriverError("HY010", DriverMessage("no statement was prepared"));
  return Run(s, Substitute(s->prepared, s->markers, s->params));
}

SQLRETURN ExecDirect(Statement* s, const std::string& sql) {
  Prepare(s, sql);
  // An ExecDirect leaves nothing prepared behind it.
  s->isPrepared = false;
  return Run(s, Substitute(s->prepared, s->markers, s->params));
}

SQLRETURN NumParams(Statement* s, SQLSMALLINT* count) {
  if (!s->isPrepared) throw DriverError("HY010", DriverMessage("no statement was prepared"));
  if (count != nullptr) *count = static_cast<SQLSMALLINT>(s->markers.size());
  return SQL_SUCCESS;
}

SQLRETURN BindParameter(Statement* s, SQLUSMALLINT number, SQLSMALLINT ioType,
                        SQLSMALLINT cType, SQLSMALLINT sqlType, SQLPOINTER buffer,
                        SQLLEN bufferLength, SQLLEN* indicator) {
  if (number < 1) throw DriverError("07009", DriverMessage("invalid parameter number"));
  if (ioType != SQL_PARAM_INPUT) {
    throw DriverError("HYC00", DriverMessage("only input parameters are offered"));
  }
  ParamBinding b;
  b.cType = cType;
  b.sqlType = sqlType;
  b.buffer = buffer;
  b.bufferLength = bufferLength;
  b.indicator = indicator;
  s->params[number] = b;
  return SQL_SUCCESS;
}

SQLRETURN CloseCursor(Statement* s, bool mustBeOpen) {
  if (mustBeOpen && s->result == nullptr) {
    throw DriverError("24000", DriverMessage("no cursor is open"));
  }
  StartResult(s, nullptr);
  return SQL_SUCCESS;
}

SQLRETURN FreeStmt(Statement* s, SQLUSMALLINT option) {
  switch (option) {
    case SQL_CLOSE: return CloseCursor(s, false);
    case SQL_UNBIND: s->bound.clear(); return SQL_SUCCESS;
    case SQL_RESET_PARAMS: s->params.clear(); return SQL_SUCCESS;
    default: throw DriverError("HY092", DriverMessage("invalid option"));
  }
}

SQLRETURN RowCount(Statement* s, SQLLEN* count) {
  if (count != nullptr) *count = s->rowCount;
  return SQL_SUCCESS;
}

SQLRETURN SetStmtAttr(Statement* s, SQLINTEGER attribute, SQLPOINTER value) {
  SQLULEN n = reinterpret_cast<SQLULEN>(value);
  switch (attribute) {
    case SQL_ATTR_ROWS_FETCHED_PTR: s->rowsFetched = static_cast<SQLULEN*>(value); break;
    case SQL_ATTR_ROW_STATUS_PTR: s->rowStatus = static_cast<SQLUSMALLINT*>(value); break;
    case SQL_ATTR_MAX_LENGTH: s->maxLength = n; break;
    case SQL_ATTR_QUERY_TIMEOUT: s->queryTimeout = n; break;
    case SQL_ATTR_ROW_ARRAY_SIZE:
    case SQL_ATTR_PARAMSET_SIZE:
      if (n != 1) {
        s->diag.Add("01S02", DriverMessage("one row at a time: the value 1 is kept"));
        return SQL_SUCCESS_WITH_INFO;
      }
      break;
    case SQL_ATTR_CURSOR_TYPE:
      if (n != SQL_CURSOR_FORWARD_ONLY) {
        s->diag.Add("01S02", DriverMessage("cursors are forward-only: that type is kept"));
        return SQL_SUCCESS_WITH_INFO;
      }
      break;
    case SQL_ATTR_CONCURRENCY:
      if (n != SQL_CONCUR_READ_ONLY) {
        s->diag.Add("01S02", DriverMessage("cursors are read-only: that concurrency is kept"));
        return SQL_SUCCESS_WITH_INFO;
      }
      break;
    case SQL_ATTR_MAX_ROWS:
    case SQL_ATTR_NOSCAN:
    case SQL_ATTR_RETRIEVE_DATA:
    case SQL_ATTR_ROW_BIND_TYPE:
    case SQL_ATTR_PARAM_BIND_TYPE:
    case SQL_ATTR_CURSOR_SCROLLABLE:
    case SQL_ATTR_CURSOR_SENSITIVITY:
      if (n != 0) {
        s->diag.Add("01S02", DriverMessage("that statement attribute keeps its default"));
        return SQL_SUCCESS_WITH_INFO;
      }
      break;
    default:
      throw DriverError("HYC00", DriverMessage("statement attribute " +
                                               std::to_string(attribute) + " is not offered"));
  }
  return SQL_SUCCESS;
}

SQLRETURN GetStmtAttr(Statement* s, SQLINTEGER attribute, SQLPOINTER value,
                      SQLINTEGER* length) {
  SQLULEN n = 0;
  SQLPOINTER pointer = nullptr;
  bool isPointer = false;
  switch (attribute) {
    case SQL_ATTR_APP_ROW_DESC: pointer = s->appRow.get(); isPointer = true; break;
    case SQL_ATTR_APP_PARAM_DESC: pointer = s->appParam.get(); isPointer = true; break;
    case SQL_ATTR_IMP_ROW_DESC: pointer = s->impRow.get(); isPointer = true; break;
    case SQL_ATTR_IMP_PARAM_DESC: pointer = s->impParam.get(); isPointer = true; break;
    case SQL_ATTR_ROWS_FETCHED_PTR: pointer = s->rowsFetched; isPointer = true; break;
    case SQL_ATTR_ROW_STATUS_PTR: pointer = s->rowStatus; isPointer = true; break;
    case SQL_ATTR_ROW_ARRAY_SIZE: case SQL_ATTR_PARAMSET_SIZE: n = 1; break;
    case SQL_ATTR_CURSOR_TYPE: n = SQL_CURSOR_FORWARD_ONLY; break;
    case SQL_ATTR_CONCURRENCY: n = SQL_CONCUR_READ_ONLY; break;
    case SQL_ATTR_CURSOR_SCROLLABLE: n = SQL_NONSCROLLABLE; break;
    case SQL_ATTR_CURSOR_SENSITIVITY: n = SQL_UNSPECIFIED; break;
    case SQL_ATTR_MAX_LENGTH: n = s->maxLength; break;
    case SQL_ATTR_MAX_ROWS: n = 0; break;
    case SQL_ATTR_QUERY_TIMEOUT: n = s->queryTimeout; break;
    case SQL_ATTR_NOSCAN: n = SQL_NOSCAN_OFF; break;
    case SQL_ATTR_RETRIEVE_DATA: n = SQL_RD_ON; break;
    case SQL_ATTR_ROW_BIND_TYPE: n = SQL_BIND_BY_COLUMN; break;
    case SQL_ATTR_ROW_NUMBER: n = 0; break;
    default:
      throw DriverError("HYC00", DriverMessage("statement attribute " +
                                               std::to_string(attribute) + " is not offered"));
  }
  if (value != nullptr) {
    if (isPointer) {
      memcpy(value, &pointer, sizeof pointer);
    } else {
      memcpy(value, &n, sizeof n);
    }
  }
  if (length != nullptr) *length = isPointer ? sizeof(SQLPOINTER) : sizeof(SQLULEN);
  return SQL_SUCCESS;
}

}  // namespace zkodbc
