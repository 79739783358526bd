// The driver's operations, shared by the ANSI and the wide entry points:
// texts come in as UTF-8 and go out through a TextOut, which says whether
// the application's buffer takes UTF-8 or UTF-16. Each operation throws
// DriverError for a failure; the entry points turn it into a diagnostic
// and SQL_ERROR.
#ifndef ZKODBC_API_H
#define ZKODBC_API_H

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "handles.h"
#include "text.h"

namespace zkodbc {

// Connections (connection.cc).
SQLRETURN Connect(Connection* c, const std::string& dsn);
SQLRETURN DriverConnect(Connection* c, const std::string& in, const TextOut& out,
                        SQLSMALLINT* outLength);
SQLRETURN Disconnect(Connection* c);
SQLRETURN SetConnectAttr(Connection* c, SQLINTEGER attribute, SQLPOINTER value,
                         const std::string* text);
SQLRETURN GetConnectAttr(Connection* c, SQLINTEGER attribute, SQLPOINTER value,
                         const TextOut& out, SQLINTEGER* length);
SQLRETURN EndTran(Connection* c, SQLSMALLINT completion);

// Statements (statement.cc, results.cc).
SQLRETURN Prepare(Statement* s, const std::string& sql);
SQLRETURN Execute(Statement* s);
SQLRETURN ExecDirect(Statement* s, const std::string& sql);
SQLRETURN NumParams(Statement* s, SQLSMALLINT* count);
SQLRETURN BindParameter(Statement* s, SQLUSMALLINT number, SQLSMALLINT ioType,
                        SQLSMALLINT cType, SQLSMALLINT sqlType, SQLPOINTER buffer,
                        SQLLEN bufferLength, SQLLEN* indicator);
SQLRETURN CloseCursor(Statement* s, bool mustBeOpen);
SQLRETURN FreeStmt(Statement* s, SQLUSMALLINT option);
SQLRETURN RowCount(Statement* s, SQLLEN* count);
SQLRETURN SetStmtAttr(Statement* s, SQLINTEGER attribute, SQLPOINTER value);
SQLRETURN GetStmtAttr(Statement* s, SQLINTEGER attribute, SQLPOINTER value,
                      SQLINTEGER* length);
// Starts serving a result the driver built.
void ServeRows(Statement* s, std::unique_ptr<ResultSet> rows);

SQLRETURN NumResultCols(Statement* s, SQLSMALLINT* count);
SQLRETURN DescribeCol(Statement* s, SQLUSMALLINT column, const TextOut& name,
                      SQLSMALLINT* nameLength, SQLSMALLINT* dataType, SQLULEN* columnSize,
                      SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable);
SQLRETURN ColAttribute(Statement* s, SQLUSMALLINT column, SQLUSMALLINT field,
                       const TextOut& text, SQLSMALLINT* textLength, SQLLEN* number);
SQLRETURN BindCol(Statement* s, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer,
                  SQLLEN bufferLength, SQLLEN* indicator);
SQLRETURN Fetch(Statement* s);
SQLRETURN GetData(Statement* s, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer,
                  SQLLEN bufferLength, SQLLEN* indicator);

// Catalogue functions (catalog.cc); names in UTF-8, NULL for absent.
SQLRETURN Tables(Statement* s, const std::string* catalog, const std::string* schema,
                 const std::string* table, const std::string* types);
SQLRETURN Columns(Statement* s, const std::string* catalog, const std::string* schema,
                  const std::string* table, const std::string* column);
SQLRETURN Statistics(Statement* s, const std::string* table, SQLUSMALLINT unique);
SQLRETURN PrimaryKeys(Statement* s, const std::string* table);
SQLRETURN GetTypeInfo(Statement* s, SQLSMALLINT dataType);

// Information (info.cc).
SQLRETURN GetInfo(Connection* c, SQLUSMALLINT type, SQLPOINTER value, const TextOut& out,
                  SQLSMALLINT* length);
SQLRETURN GetFunctions(Connection* c, SQLUSMALLINT function, SQLUSMALLINT* supported);

// Diagnostics (diagnostics_api.cc).
SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                     const TextOut& state, SQLINTEGER* native, const TextOut& message,
                     SQLSMALLINT* messageLength);
SQLRETURN GetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                       SQLSMALLINT field, SQLPOINTER value, const TextOut& out,
                       SQLSMALLINT* length);

// Writes text to out and files 01004 on the handle when it was cut.
// Returns SQL_SUCCESS or SQL_SUCCESS_WITH_INFO.
template <typename Length>
SQLRETURN PutText(Handle* h, const std::string& utf8, const TextOut& out, Length* length) {
  bool truncated = false;
  SQLLEN full = WriteText(utf8, out, &truncated);
  if (length != nullptr) *length = static_cast<Length>(full);
  if (!truncated) return SQL_SUCCESS;
  h->diag.Add("01004", DriverMessage("string data, right truncated"));
  return SQL_SUCCESS_WITH_INFO;
}

}  // namespace zkodbc

#endif
