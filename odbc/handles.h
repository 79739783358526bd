// The driver's handles: environment, connection, statement, and the four
// implicit descriptors each statement owns (given out through
// SQLGetStmtAttr, as the driver manager asks for them). Every handle the
// driver gives out is registered, so that a call with a handle that is not
// (or no longer) one of them answers SQL_INVALID_HANDLE instead of reading
// freed memory.
#ifndef ZKODBC_HANDLES_H
#define ZKODBC_HANDLES_H

#include <sql.h>
#include <sqlext.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "database.h"
#include "diagnostics.h"
#include "parameters.h"
#include "result_set.h"

namespace zkodbc {

struct Handle {
  explicit Handle(SQLSMALLINT t) : type(t) {}
  virtual ~Handle() = default;
  const SQLSMALLINT type;
  Diagnostics diag;
};

struct Environment : Handle {
  Environment() : Handle(SQL_HANDLE_ENV) {}
  SQLINTEGER odbcVersion = SQL_OV_ODBC3;
};

struct Statement;

struct Connection : Handle {
  explicit Connection(Environment* e) : Handle(SQL_HANDLE_DBC), env(e) {}
  Environment* env;
  Database db;
  std::string dataSource;  // the DSN connected to, if any
  bool autocommit = true;
  SQLUINTEGER loginTimeout = 0;
  std::set<Statement*> statements;
};

struct Descriptor : Handle {
  explicit Descriptor(Statement* s) : Handle(SQL_HANDLE_DESC), owner(s) {}
  Statement* owner;
};

// A column bound with SQLBindCol.
struct ColumnBinding {
  SQLSMALLINT cType;
  SQLPOINTER buffer;
  SQLLEN bufferLength;
  SQLLEN* indicator;
};

struct Statement : Handle {
  explicit Statement(Connection* c);
  ~Statement() override;
  Connection* conn;

  // The statement text (Windows-1252) SQLPrepare left, with its markers.
  std::string prepared;
  std::vector<size_t> markers;
  bool isPrepared = false;
  std::map<SQLUSMALLINT, ParamBinding> params;
  std::map<SQLUSMALLINT, ColumnBinding> bound;

  std::unique_ptr<ResultSet> result;
  bool onRow = false;
  SQLLEN rowCount = -1;  // what SQLRowCount answers
  // The current row's values as read so far, and how far SQLGetData has
  // handed out each.
  std::vector<std::unique_ptr<Cell>> cells;
  std::vector<size_t> offsets;

  // Statement attributes.
  SQLULEN* rowsFetched = nullptr;
  SQLUSMALLINT* rowStatus = nullptr;
  SQLULEN maxLength = 0;
  SQLULEN queryTimeout = 0;

  std::unique_ptr<Descriptor> appRow, appParam, impRow, impParam;
};

// Registration, lookup and release of handles.
void Register(Handle* handle);
void Unregister(Handle* handle);
// The handle as the type asked for, or nullptr when it is not a live
// handle of that type.
Handle* Lookup(SQLHANDLE handle, SQLSMALLINT type);

}  // namespace zkodbc

#endif
