// The wide entry points: texts in UTF-16 (SQLWCHAR, two bytes), converted
// to and from the UTF-8 the driver's operations take. Buffer lengths are in
// characters where ODBC says so (names, messages, connection strings) and
// in bytes elsewhere (SQLGetInfoW, SQLColAttributeW, attributes, diagnostic
// fields).
#include "api.h"
#include "guard.h"

using namespace zkodbc;

namespace {

TextOut Chars(SQLPOINTER buffer, SQLLEN capacity) {
  return TextOut{buffer, capacity, true, false};
}
TextOut Bytes(SQLPOINTER buffer, SQLLEN capacity) {
  return TextOut{buffer, capacity, true, true};
}

std::unique_ptr<std::string> Name(SQLWCHAR* text, SQLSMALLINT length) {
  if (text == nullptr) return nullptr;
  return std::unique_ptr<std::string>(new std::string(FromWide(text, length)));
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLConnectW(SQLHDBC handle, SQLWCHAR* dsn, SQLSMALLINT dsnLength, SQLWCHAR*,
                              SQLSMALLINT, SQLWCHAR*, SQLSMALLINT) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC,
                             [&](Connection* c) { return Connect(c, FromWide(dsn, dsnLength)); });
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC handle, SQLHWND, SQLWCHAR* in, SQLSMALLINT inLength,
                                    SQLWCHAR* out, SQLSMALLINT outCapacity,
                                    SQLSMALLINT* outLength, SQLUSMALLINT) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC, [&](Connection* c) {
    return DriverConnect(c, FromWide(in, inLength), Chars(out, outCapacity), outLength);
  });
}

SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC, [&](Connection* c) {
    return SetConnectAttr(c, attribute, value, nullptr);
  });
}

SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC handle, SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER capacity, SQLINTEGER* length) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC, [&](Connection* c) {
    return GetConnectAttr(c, attribute, value, Bytes(value, capacity), length);
  });
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT handle, SQLWCHAR* text, SQLINTEGER length) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return Prepare(s, FromWide(text, length)); });
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT handle, SQLWCHAR* text, SQLINTEGER length) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return ExecDirect(s, FromWide(text, length)); });
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT handle, SQLUSMALLINT column, SQLWCHAR* name,
                                  SQLSMALLINT capacity, SQLSMALLINT* nameLength,
                                  SQLSMALLINT* dataType, SQLULEN* columnSize,
                                  SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    return DescribeCol(s, column, Chars(name, capacity), nameLength, dataType, columnSize,
                       decimalDigits, nullable);
  });
}

SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT handle, SQLUSMALLINT column, SQLUSMALLINT field,
                                   SQLPOINTER text, SQLSMALLINT capacity, SQLSMALLINT* length,
                                   SQLLEN* number) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    return ColAttribute(s, column, field, Bytes(text, capacity), length, number);
  });
}

SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value,
                                  SQLINTEGER) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return SetStmtAttr(s, attribute, value); });
}

SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT handle, SQLINTEGER attribute, SQLPOINTER value,
                                  SQLINTEGER, SQLINTEGER* length) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    return GetStmtAttr(s, attribute, value, length);
  });
}

SQLRETURN SQL_API SQLTablesW(SQLHSTMT handle, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                             SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                             SQLSMALLINT tableLength, SQLWCHAR* types, SQLSMALLINT typesLength) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    auto c = Name(catalog, catalogLength), sc = Name(schema, schemaLength),
         t = Name(table, tableLength), ty = Name(types, typesLength);
    return Tables(s, c.get(), sc.get(), t.get(), ty.get());
  });
}

SQLRETURN SQL_API SQLColumnsW(SQLHSTMT handle, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                              SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                              SQLSMALLINT tableLength, SQLWCHAR* column,
                              SQLSMALLINT columnLength) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    auto c = Name(catalog, catalogLength), sc = Name(schema, schemaLength),
         t = Name(table, tableLength), co = Name(column, columnLength);
    return Columns(s, c.get(), sc.get(), t.get(), co.get());
  });
}

SQLRETURN SQL_API SQLStatisticsW(SQLHSTMT handle, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT,
                                 SQLWCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT unique,
                                 SQLUSMALLINT) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    auto t = Name(table, tableLength);
    return Statistics(s, t.get(), unique);
  });
}

SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT handle, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*,
                                  SQLSMALLINT, SQLWCHAR* table, SQLSMALLINT tableLength) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT, [&](Statement* s) {
    auto t = Name(table, tableLength);
    return PrimaryKeys(s, t.get());
  });
}

SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT handle, SQLSMALLINT dataType) {
  return Guarded<Statement>(handle, SQL_HANDLE_STMT,
                            [&](Statement* s) { return GetTypeInfo(s, dataType); });
}

SQLRETURN SQL_API SQLGetInfoW(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER value,
                              SQLSMALLINT capacity, SQLSMALLINT* length) {
  return Guarded<Connection>(handle, SQL_HANDLE_DBC, [&](Connection* c) {
    return GetInfo(c, type, value, Bytes(value, capacity), length);
  });
}

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                 SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* message,
                                 SQLSMALLINT capacity, SQLSMALLINT* length) {
  std::lock_guard<std::recursive_mutex> lock(DriverLock());
  if (Lookup(handle, type) == nullptr) return SQL_INVALID_HANDLE;
  try {
    return GetDiagRec(type, handle, record, Chars(state, 6), native, Chars(message, capacity),
                      length);
  } catch (...) {
    return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                   SQLSMALLINT field, SQLPOINTER value, SQLSMALLINT capacity,
                                   SQLSMALLINT* length) {
  std::lock_guard<std::recursive_mutex> lock(DriverLock());
  if (Lookup(handle, type) == nullptr) return SQL_INVALID_HANDLE;
  try {
    return GetDiagField(type, handle, record, field, value, Bytes(value, capacity), length);
  } catch (...) {
    return SQL_ERROR;
  }
}

}  // extern "C"
