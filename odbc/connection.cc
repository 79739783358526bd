// Connecting opens the database folder a data source or a connection
// string names; the connection's attributes are few: autocommit (which
// decides whether statements join one host transaction), and the ones
// applications set as a matter of course, kept or answered as defaults.
#include <cstring>

#include "api.h"
#include "connection_string.h"

namespace zkodbc {
namespace {

void NeedClosed(Connection* c) {
  if (c->db.open()) throw DriverError("08002", DriverMessage("the connection is already open"));
}

}  // namespace

SQLRETURN Connect(Connection* c, const std::string& dsn) {
  NeedClosed(c);
  std::string folder = DataSourceFolder(dsn);
  if (folder.empty()) {
    throw DriverError("08001", DriverMessage("the data source \"" + dsn +
                                             "\" names no database folder (its Database key)"));
  }
  c->db.Open(folder);
  c->dataSource = dsn;
  return SQL_SUCCESS;
}

SQLRETURN DriverConnect(Connection* c, const std::string& in, const TextOut& out,
                        SQLSMALLINT* outLength) {
  NeedClosed(c);
  std::map<std::string, std::string> keys = ParseConnectionString(in);
  std::string folder = keys.count("DATABASE") ? keys["DATABASE"] : std::string();
  std::string dsn = keys.count("DSN") ? keys["DSN"] : std::string();
  if (folder.empty() && !dsn.empty()) folder = DataSourceFolder(dsn);
  if (folder.empty()) {
    throw DriverError("08001", DriverMessage(
        dsn.empty() ? "the connection string names no database (DATABASE=folder)"
                    : "the data source \"" + dsn + "\" names no database folder (its Database key)"));
  }
  c->db.Open(folder);
  c->dataSource = dsn;
  std::string complete = (dsn.empty() ? std::string() : "DSN=" + dsn + ";") + "DATABASE=" + folder;
  return PutText(c, complete, out, outLength);
}

SQLRETURN Disconnect(Connection* c) {
  if (!c->db.open()) throw DriverError("08003", DriverMessage("the connection is not open"));
  for (Statement* s : c->statements) CloseCursor(s, false);
  bool rolledBack = c->db.inTransaction();
  c->db.Close();
  c->dataSource.clear();
  if (rolledBack) {
    c->diag.Add("01000", DriverMessage("the open transaction was rolled back"));
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

SQLRETURN SetConnectAttr(Connection* c, SQLINTEGER attribute, SQLPOINTER value,
                         const std::string* text) {
  SQLULEN n = reinterpret_cast<SQLULEN>(value);
  switch (attribute) {
    case SQL_ATTR_AUTOCOMMIT: {
      bool on = n != SQL_AUTOCOMMIT_OFF;
      // Turning autocommit on commits what is open, as ODBC asks.
      if (on && !c->autocommit && c->db.inTransaction()) c->db.Commit();
      c->autocommit = on;
      return SQL_SUCCESS;
    }
    case SQL_ATTR_LOGIN_TIMEOUT: c->loginTimeout = static_cast<SQLUINTEGER>(n); return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_TIMEOUT:
    case SQL_ATTR_ACCESS_MODE:
    case SQL_ATTR_TXN_ISOLATION:
    case SQL_ATTR_QUIET_MODE:
    case SQL_ATTR_ODBC_CURSORS:
    case SQL_ATTR_PACKET_SIZE:
    case SQL_ATTR_CURRENT_CATALOG:
    case SQL_ATTR_TRACE:
    case SQL_ATTR_TRACEFILE:
    case SQL_ATTR_ANSI_APP:
      (void)text;
      return SQL_SUCCESS;
    default:
      throw DriverError("HYC00", DriverMessage("connection attribute " +
                                               std::to_string(attribute) + " is not offered"));
  }
}

SQLRETURN GetConnectAttr(Connection* c, SQLINTEGER attribute, SQLPOINTER value,
                         const TextOut& out, SQLINTEGER* length) {
  SQLUINTEGER n = 0;
  switch (attribute) {
    case SQL_ATTR_AUTOCOMMIT: n = c->autocommit ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF; break;
    case SQL_ATTR_LOGIN_TIMEOUT: n = c->loginTimeout; break;
    case SQL_ATTR_CONNECTION_TIMEOUT: n = 0; break;
    case SQL_ATTR_ACCESS_MODE: n = SQL_MODE_READ_WRITE; break;
    case SQL_ATTR_TXN_ISOLATION: n = SQL_TXN_READ_COMMITTED; break;
    case SQL_ATTR_CONNECTION_DEAD: n = c->db.open() ? SQL_CD_FALSE : SQL_CD_TRUE; break;
    case SQL_ATTR_ODBC_CURSORS: n = SQL_CUR_USE_DRIVER; break;
    case SQL_ATTR_CURRENT_CATALOG: return PutText(c, "", out, length);
    default:
      throw DriverError("HYC00", DriverMessage("connection attribute " +
                                               std::to_string(attribute) + " is not offered"));
  }
  if (value != nullptr) memcpy(value, &n, sizeof n);
  if (length != nullptr) *length = sizeof n;
  return SQL_SUCCESS;
}

SQLRETURN EndTran(Connection* c, SQLSMALLINT completion) {
  if (completion != SQL_COMMIT && completion != SQL_ROLLBACK) {
    throw DriverError("HY012", DriverMessage("invalid transaction operation code"));
  }
  if (!c->db.open()) throw DriverError("08003", DriverMessage("the connection is not open"));
  if (completion == SQL_COMMIT) {
    c->db.Commit();
  } else {
    c->db.Rollback();
  }
  return SQL_SUCCESS;
}

}  // namespace zkodbc
