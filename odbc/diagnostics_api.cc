// SQLGetDiagRec and SQLGetDiagField read a handle's records without
// clearing them; record numbers start at 1.
#include <cstring>

#include "api.h"

namespace zkodbc {
namespace {

Handle* Need(SQLSMALLINT type, SQLHANDLE handle) {
  Handle* h = Lookup(handle, type);
  if (h == nullptr) throw DriverError("HY000", "");
  return h;
}

}  // namespace

SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                     const TextOut& state, SQLINTEGER* native, const TextOut& message,
                     SQLSMALLINT* messageLength) {
  Handle* h = Need(type, handle);
  if (record < 1) return SQL_ERROR;
  const auto& records = h->diag.records();
  if (static_cast<size_t>(record) > records.size()) return SQL_NO_DATA;
  const DiagRecord& r = records[record - 1];
  bool cut = false;
  TextOut stateOut = state;
  stateOut.capacity = 6;
  WriteText(r.sqlState, stateOut, &cut);
  if (native != nullptr) *native = r.native;
  SQLLEN full = WriteText(r.message, message, &cut);
  if (messageLength != nullptr) *messageLength = static_cast<SQLSMALLINT>(full);
  return cut ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN GetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                       SQLSMALLINT field, SQLPOINTER value, const TextOut& out,
                       SQLSMALLINT* length) {
  Handle* h = Need(type, handle);
  const auto& records = h->diag.records();
  bool cut = false;
  auto text = [&](const std::string& t) {
    SQLLEN full = WriteText(t, out, &cut);
    if (length != nullptr) *length = static_cast<SQLSMALLINT>(full);
    return cut ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
  };
  auto integer = [&](SQLINTEGER n) {
    if (value != nullptr) memcpy(value, &n, sizeof n);
    return SQL_SUCCESS;
  };
  // Header fields.
  switch (field) {
    case SQL_DIAG_NUMBER: return integer(static_cast<SQLINTEGER>(records.size()));
    case SQL_DIAG_ROW_COUNT: {
      SQLLEN n = static_cast<SQLLEN>(h->diag.rowCount());
      if (value != nullptr) memcpy(value, &n, sizeof n);
      return SQL_SUCCESS;
    }
    case SQL_DIAG_RETURNCODE: {
      SQLRETURN n = records.empty() ? SQL_SUCCESS : SQL_ERROR;
      if (value != nullptr) memcpy(value, &n, sizeof n);
      return SQL_SUCCESS;
    }
    case SQL_DIAG_CURSOR_ROW_COUNT: {
      SQLLEN n = 0;
      if (value != nullptr) memcpy(value, &n, sizeof n);
      return SQL_SUCCESS;
    }
    case SQL_DIAG_DYNAMIC_FUNCTION: return text("");
    case SQL_DIAG_DYNAMIC_FUNCTION_CODE: return integer(SQL_DIAG_UNKNOWN_STATEMENT);
    default: break;
  }
  if (record < 1) return SQL_ERROR;
  if (static_cast<size_t>(record) > records.size()) return SQL_NO_DATA;
  const DiagRecord& r = records[record - 1];
  switch (field) {
    case SQL_DIAG_SQLSTATE: return text(r.sqlState);
    case SQL_DIAG_NATIVE: return integer(r.native);
    case SQL_DIAG_MESSAGE_TEXT: return text(r.message);
    case SQL_DIAG_CLASS_ORIGIN:
    case SQL_DIAG_SUBCLASS_ORIGIN:
      return text(r.sqlState.compare(0, 2, "IM") == 0 ? "ODBC 3.0" : "ISO 9075");
    case SQL_DIAG_CONNECTION_NAME: case SQL_DIAG_SERVER_NAME: return text("");
    case SQL_DIAG_COLUMN_NUMBER: return integer(SQL_COLUMN_NUMBER_UNKNOWN);
    case SQL_DIAG_ROW_NUMBER: {
      SQLLEN n = SQL_ROW_NUMBER_UNKNOWN;
      if (value != nullptr) memcpy(value, &n, sizeof n);
      return SQL_SUCCESS;
    }
    default: return SQL_ERROR;
  }
}

}  // namespace zkodbc
