// The ANSI entry points: the functions the driver manager (or a program
// linked with the driver) calls. Texts are UTF-8. Each one is a thin
// guarded call into the driver's operations.
#include <cstring>

#include "api.h"
#include "guard.h"
#include "zksql.h"

using namespace zkodbc;

namespace zkodbc {

std::recursive_mutex& DriverLock() {
  static std::recursive_mutex* lock = new std::recursive_mutex();
  return *lock;
}

}  // namespace zkodbc

namespace {

TextOut Ansi(SQLPOINTER buffer, SQLLEN capacity) {
  return TextOut{buffer, capacity, false, true};
}

// An optional name argument of a catalogue function.
std::unique_ptr<std::string> Name(SQLCHAR* text, SQLSMALLINT length) {
  if (text == nullptr) return nullptr;
  return std::unique_ptr<std::string>(new std::string(FromAnsi(text, length)));
}

SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  if (output == nullptr) return SQL_ERROR;
  std::lock_guard<std::recursive_mutex> lock(DriverLock());
  try {
    switch (type) {
      case SQL_HANDLE_ENV: {
        Environment* e = new Environment();
        Register(e);
        *output = e;
        return SQL_SUCCESS;
      }
      case SQL_HANDLE_DBC: {
        auto* e = static_cast<Environment*>(Lookup(input, SQL_HANDLE_ENV));
        if (e == nullptr) return SQL_INVALID_HANDLE;
        Connection* c = new Connection(e);
        Register(c);
        *output = c;
        return SQL_SUCCESS;
      }
      case SQL_HANDLE_STMT: {
        auto* c = static_cast<Connection*>(Lookup(input, SQL_HANDLE_DBC));
        if (c == nullptr) return SQL_INVALID_HANDLE;
        if (!c->db.open()) {
          c->diag.Clear();
          c->diag.Add("08003", DriverMessage("the connection is not open"));
          return SQL_ERROR;
        }
        Statement* s = new Statement(c);
        Register(s);
        c->statements.insert(s);
        *output = s;
        return SQL_SUCCESS;
      }
      default:
        return SQL_ERROR;
    }
  } catch (...) {
    *output = SQL_NULL_HANDLE;
    return SQL_ERROR;
  }
}

SQLRETURN FreeStatement(Statement* s) {
  s->conn->statements.erase(s);
  Unregister(s);
  delete s;
  return SQL_SUCCESS;
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  return AllocHandle(type, input, output);
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  std::lock_guard<std::recursive_mutex> lock(DriverLock());
  Handle* h = Lookup(handle, type);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  try {
    switch (type) {
      case SQL_HANDLE_ENV:
        Unregister(h);
        delete h;
        return SQL_SUCCESS;
      case SQL_HANDLE_DBC: {
        auto* c = static_cast<Connection*>(h);
        if (c->db.open()) {
          c->diag.Clear();
          c->diag.Add("HY010", DriverMessage("disconnect before freeing the connection"));
          return SQL_ERROR;
        }
        while (!c->statements.empty()) FreeStatement(*c->statements.begin());
        Unregister(c);
        delete c;
        return SQL_SUCCESS;
      }
      case SQL_HANDLE_STMT:
        return FreeStatement(static_cast<Statement*>(h));
      default:
        return SQL_ERROR;
    }
  } catch (...) {
    return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT handle, SQLUSMALLINT option) {
  if (option == SQL_DROP) return SQLFreeHandle(SQL_HANDLE_STMT, handle);
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return FreeStmt(s, option); });
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV handle, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER) {
  return Guarded<Environment>(handle, SQL_HANDLE_ENV, [&](Environment* e) {
    SQLINTEGER n = static_cast<SQLINTEGER>(reinterpret_cast<SQLLEN>(value));
    switch (attribute) {
      case SQL_ATTR_ODBC_VERSION:
        if (n != SQL_OV_ODBC2 && n != SQL_OV_ODBC3 && n != 380) {
          throw DriverError("HY024", DriverMessage("invalid ODBC version"));
        }
        e->odbcVersion = n;
        return SQL_SUCCESS;
      case SQL_ATTR_OUTPUT_NTS:
      case SQL_ATTR_CONNECTION_POOLING:
      case SQL_ATTR_CP_MATCH:
        return SQL_SUCCESS;
      default:
        throw DriverError("HYC00", DriverMessage("environment attribute " +
                                                 std::to_string(attribute) + " is not offered"));
    }
  });
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV handle, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER, SQLINTEGER* length) {
  return Guarded<Environment>(handle, SQL_HANDLE_ENV, [&](Environment* e) {
    SQLINTEGER n = 0;
    switch (attribute) {
      case SQL_ATTR_ODBC_VERSION: n = e->odbcVersion; break;
      case SQL_ATTR_OUTPUT_NTS: n = SQL_TRUE; break;
      case SQL_ATTR_CONNECTION_POOLING: n = SQL_CP_OFF; break;
      case SQL_ATTR_CP_MATCH: n = SQL_CP_STRICT_MATCH; break;
      default:
        throw DriverError("HYC00", DriverMessage("environment attribute " +
                                                 std::to_string(attribute) + " is not offered"));
    }
    if (value != nullptr) memcpy(value, &n, sizeof n);
    if (length != nullptr) *length = sizeof n;
    return SQL_SUCCESS;
  });
}

SQLRETURN SQL_API SQLConnect(SQLHDBC handle, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR*,
                             SQLSMALLINT, SQLCHAR*, SQLSMALLINT) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC,
                             [&](Connection* c) { return Connect(c, FromAnsi(dsn, dsnLength)); });
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC handle, SQLHWND, SQLCHAR* in, SQLSMALLINT inLength,
                                   SQLCHAR* out, SQLSMALLINT outCapacity,
                                   SQLSMALLINT* outLength, SQLUSMALLINT) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC, [&](Connection* c) {
    return DriverConnect(c, FromAnsi(in, inLength), Ansi(out, outCapacity), outLength);
  });
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC handle) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC, [&](Connection* c) { return Disconnect(c); });
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value,
                                    SQLINTEGER) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC, [&](Connection* c) {
    return SetConnectAttr(c, attribute, value, nullptr);
  });
}

SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value,
                                    SQLINTEGER capacity, SQLINTEGER* length) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC, [&](Connection* c) {
    return GetConnectAttr(c, attribute, value, Ansi(value, capacity), length);
  });
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
  if (type == SQL_HANDLE_ENV) {
    std::lock_guard<std::recursive_mutex> lock(DriverLock());
    if (Lookup(handle, SQL_HANDLE_ENV) == nullptr) return SQL_INVALID_HANDLE;
    return SQL_SUCCESS;
  }
  return Guarded<Connection>(handle, SQL_HANDLE_DBC,
                             [&](Connection* c) { return EndTran(c, completion); });
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return Prepare(s, FromAnsi(text, length)); });
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT handle) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) { return Execute(s); });
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return ExecDirect(s, FromAnsi(text, length)); });
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT handle, SQLSMALLINT* count) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return NumParams(s, count); });
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT ioType,
                                   SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN,
                                   SQLSMALLINT, SQLPOINTER buffer, SQLLEN bufferLength,
                                   SQLLEN* indicator) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    return BindParameter(s, number, ioType, cType, sqlType, buffer, bufferLength, indicator);
  });
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* count) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return NumResultCols(s, count); });
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT handle, SQLUSMALLINT column, SQLCHAR* name,
                                 SQLSMALLINT capacity, SQLSMALLINT* nameLength,
                                 SQLSMALLINT* dataType, SQLULEN* columnSize,
                                 SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    return DescribeCol(s, column, Ansi(name, capacity), nameLength, dataType, columnSize,
                       decimalDigits, nullable);
  });
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT handle, SQLUSMALLINT column, SQLUSMALLINT field,
                                  SQLPOINTER text, SQLSMALLINT capacity, SQLSMALLINT* length,
                                  SQLLEN* number) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    return ColAttribute(s, column, field, Ansi(text, capacity), length, number);
  });
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT cType,
                             SQLPOINTER buffer, SQLLEN bufferLength, SQLLEN* indicator) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    return BindCol(s, column, cType, buffer, bufferLength, indicator);
  });
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT handle) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) { return Fetch(s); });
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT handle, SQLSMALLINT orientation, SQLLEN) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    if (orientation != SQL_FETCH_NEXT) {
      throw DriverError("HY106", DriverMessage("cursors are forward-only: only SQL_FETCH_NEXT"));
    }
    return Fetch(s);
  });
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT cType,
                             SQLPOINTER buffer, SQLLEN bufferLength, SQLLEN* indicator) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    return GetData(s, column, cType, buffer, bufferLength, indicator);
  });
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT handle) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    CloseCursor(s, false);
    return SQL_NO_DATA;
  });
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT handle) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return CloseCursor(s, true); });
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT handle, SQLLEN* count) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return RowCount(s, count); });
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT handle) {
  // A statement running holds the driver's lock: the interrupt goes to the
  // library without it, which only sets a flag. Otherwise there is nothing
  // to stop.
  std::unique_lock<std::recursive_mutex> lock(DriverLock(), std::try_to_lock);
  if (!lock.owns_lock()) {
    ZKSQLInterrupt();
    return SQL_SUCCESS;
  }
  return Lookup(handle, SQL_HANDLE_STMT) != nullptr ? SQL_SUCCESS : SQL_INVALID_HANDLE;
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value,
                                 SQLINTEGER) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return SetStmtAttr(s, attribute, value); });
}

SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value,
                                 SQLINTEGER, SQLINTEGER* length) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    return GetStmtAttr(s, attribute, value, length);
  });
}

SQLRETURN SQL_API SQLTables(SQLHSTMT handle, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                            SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                            SQLSMALLINT tableLength, SQLCHAR* types, SQLSMALLINT typesLength) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    auto c = Name(catalog, catalogLength), sc = Name(schema, schemaLength),
         t = Name(table, tableLength), ty = Name(types, typesLength);
    return Tables(s, c.get(), sc.get(), t.get(), ty.get());
  });
}

SQLRETURN SQL_API SQLColumns(SQLHSTMT handle, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                             SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                             SQLSMALLINT tableLength, SQLCHAR* column, SQLSMALLINT columnLength) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    auto c = Name(catalog, catalogLength), sc = Name(schema, schemaLength),
         t = Name(table, tableLength), co = Name(column, columnLength);
    return Columns(s, c.get(), sc.get(), t.get(), co.get());
  });
}

SQLRETURN SQL_API SQLStatistics(SQLHSTMT handle, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                                SQLCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT unique,
                                SQLUSMALLINT) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    auto t = Name(table, tableLength);
    return Statistics(s, t.get(), unique);
  });
}

SQLRETURN SQL_API SQLPrimaryKeys(SQLHSTMT handle, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                                 SQLCHAR* table, SQLSMALLINT tableLength) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    auto t = Name(table, tableLength);
    return PrimaryKeys(s, t.get());
  });
}

SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT handle, SQLSMALLINT dataType) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return GetTypeInfo(s, dataType); });
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER value,
                             SQLSMALLINT capacity, SQLSMALLINT* length) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC, [&](Connection* c) {
    return GetInfo(c, type, value, Ansi(value, capacity), length);
  });
}

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC handle, SQLUSMALLINT function,
                                  SQLUSMALLINT* supported) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC,
                             [&](Connection* c) { return GetFunctions(c, function, supported); });
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                SQLSMALLINT capacity, SQLSMALLINT* length) {
  std::lock_guard<std::recursive_mutex> lock(DriverLock());
  if (Lookup(handle, type) == nullptr) return SQL_INVALID_HANDLE;
  try {
    return GetDiagRec(type, handle, record, Ansi(state, 6), native, Ansi(message, capacity),
                      length);
  } catch (...) {
    return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                  SQLSMALLINT field, SQLPOINTER value, SQLSMALLINT capacity,
                                  SQLSMALLINT* length) {
  std::lock_guard<std::recursive_mutex> lock(DriverLock());
  if (Lookup(handle, type) == nullptr) return SQL_INVALID_HANDLE;
  try {
    return GetDiagField(type, handle, record, field, value, Ansi(value, capacity), length);
  } catch (...) {
    return SQL_ERROR;
  }
}

}  // extern "C"
