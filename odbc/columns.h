// What the driver tells an application about a column: its SQL type, size,
// digits, display size and type name. Result columns are described from the
// library's column description ("name\tletter\thosttype\twidth"), catalogue
// columns from the engine's item types; both map to the same SQL types, so
// SQLColumns and SQLDescribeCol agree on a column.
#ifndef ZKODBC_COLUMNS_H
#define ZKODBC_COLUMNS_H

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "catalogue.h"

namespace zkodbc {

struct ColumnInfo {
  std::string name;  // UTF-8
  SQLSMALLINT sqlType = SQL_VARCHAR;
  SQLULEN columnSize = 0;
  SQLSMALLINT decimalDigits = 0;
  SQLLEN displaySize = 0;
  SQLLEN octetLength = 0;
  SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
  bool isUnsigned = false;
  bool memo = false;  // read whole through ZKSQLGetLongData
};

// A column of the given SQL type; width is the character count of texts.
ColumnInfo ColumnOfType(const std::string& name, SQLSMALLINT sqlType, SQLULEN width = 0);

// The data source's name of an SQL type ("INTEGER", "VARCHAR", "MEMO").
const char* TypeName(SQLSMALLINT sqlType);

// Result columns from the library's column description (Windows-1252,
// lines joined by "\r\n"). A text column of width 4 may be a text memo
// (both read "T\t9\t4"): ProbeMemo tells them apart once a row is there.
std::vector<ColumnInfo> ColumnsFromDescription(const std::string& description);
// True for a described column that may be a text memo.
bool MayBeTextMemo(const ColumnInfo& column);
// Makes a column a text memo.
void MakeTextMemo(ColumnInfo* column);

// A catalogue item as a column.
ColumnInfo ColumnFromItem(const zkhost::ItemInfo& item);

// The C type SQL_C_DEFAULT stands for with a column of that SQL type.
SQLSMALLINT DefaultCType(SQLSMALLINT sqlType);

}  // namespace zkodbc

#endif
