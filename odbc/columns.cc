// Host type numbers of the column description: 2 8-bit integer, 12 16-bit
// integer, 3 32-bit integer, 15 single real, 14 double real, 16 decimal, 9
// text (and text memo), 17 date (YYYYMMDD), 18 time (HHMM), 0 other; with
// the letter T, 0 is a binary memo. Memos are as long as the engine allows.
#include "columns.h"

#include <cstdlib>

#include "jxengine.h"
#include "text.h"

namespace zkodbc {
namespace {

// What a text of a memo may hold at most, as a column size.
constexpr SQLULEN kMemoSize = JX_MEMO_MAX_BYTES;
// The width that a text memo column's description shows.
constexpr SQLULEN kMemoWidth = 4;

enum HostType {
  kHostOther = 0, kHostInt8 = 2, kHostInt32 = 3, kHostText = 9, kHostInt16 = 12,
  kHostDouble = 14, kHostSingle = 15, kHostDecimal = 16, kHostDate = 17, kHostTime = 18
};

}  // namespace

ColumnInfo ColumnOfType(const std::string& name, SQLSMALLINT sqlType, SQLULEN width) {
  ColumnInfo c;
  c.name = name;
  c.sqlType = sqlType;
  switch (sqlType) {
    case SQL_TINYINT: c.columnSize = 3; c.displaySize = 4; c.octetLength = 1; break;
    case SQL_SMALLINT: c.columnSize = 5; c.displaySize = 6; c.octetLength = 2; break;
    case SQL_INTEGER: c.columnSize = 10; c.displaySize = 11; c.octetLength = 4; break;
    case SQL_REAL: c.columnSize = 7; c.displaySize = 14; c.octetLength = 4; break;
    case SQL_DOUBLE: c.columnSize = 15; c.displaySize = 24; c.octetLength = 8; break;
    case SQL_DECIMAL:
      c.columnSize = 19;
      c.decimalDigits = 6;
      c.displaySize = 21;
      c.octetLength = 21;
      break;
    case SQL_TYPE_DATE: c.columnSize = 10; c.displaySize = 10; c.octetLength = 6; break;
    case SQL_TYPE_TIME: c.columnSize = 8; c.displaySize = 8; c.octetLength = 6; break;
    case SQL_LONGVARCHAR:
    case SQL_LONGVARBINARY:
      c.columnSize = kMemoSize;
      c.displaySize = static_cast<SQLLEN>(kMemoSize);
      c.octetLength = static_cast<SQLLEN>(kMemoSize);
      c.memo = true;
      break;
    case SQL_BINARY:
      c.columnSize = width;
      c.displaySize = static_cast<SQLLEN>(width * 2);
      c.octetLength = static_cast<SQLLEN>(width);
      break;
    default:  // texts
      c.columnSize = width;
      c.displaySize = static_cast<SQLLEN>(width);
      // A Windows-1252 character takes up to three bytes of UTF-8.
      c.octetLength = static_cast<SQLLEN>(width * 3);
      break;
  }
  return c;
}

const char* TypeName(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_TINYINT: return "TINYINT";
    case SQL_SMALLINT: return "SMALLINT";
    case SQL_INTEGER: return "INTEGER";
    case SQL_REAL: return "REAL";
    case SQL_DOUBLE: return "DOUBLE PRECISION";
    case SQL_DECIMAL: return "DECIMAL";
    case SQL_CHAR: return "CHAR";
    case SQL_VARCHAR: return "VARCHAR";
    case SQL_TYPE_DATE: return "DATE";
    case SQL_TYPE_TIME: return "TIME";
    case SQL_LONGVARCHAR: return "MEMO";
    case SQL_LONGVARBINARY: return "BINARY MEMO";
    case SQL_BINARY: return "BINARY";
    default: return "";
  }
}

std::vector<ColumnInfo> ColumnsFromDescription(const std::string& description) {
  std::vector<ColumnInfo> columns;
  size_t start = 0;
  while (start < description.size()) {
    size_t end = description.find("\r\n", start);
    if (end == std::string::npos) end = description.size();
    std::string line = description.substr(start, end - start);
    start = end + 2;
    std::string field[4];
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
      size_t tab = i < 3 ? line.find('\t', at) : std::string::npos;
      field[i] = line.substr(at, tab == std::string::npos ? std::string::npos : tab - at);
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    char letter = field[1].empty() ? 'N' : field[1][0];
    int host = atoi(field[2].c_str());
    SQLULEN width = static_cast<SQLULEN>(strtoul(field[3].c_str(), nullptr, 10));
    std::string name = FromLibrary(field[0]);
    SQLSMALLINT type = SQL_VARCHAR;
    switch (host) {
      case kHostInt8: type = SQL_TINYINT; break;
      case kHostInt16: type = SQL_SMALLINT; break;
      case kHostInt32: type = SQL_INTEGER; break;
      case kHostSingle: type = SQL_REAL; break;
      case kHostDouble: type = SQL_DOUBLE; break;
      case kHostDecimal: type = SQL_DECIMAL; break;
      case kHostDate: type = SQL_TYPE_DATE; break;
      case kHostTime: type = SQL_TYPE_TIME; break;
      case kHostOther: type = letter == 'T' ? SQL_LONGVARBINARY : SQL_VARCHAR; break;
      default: type = SQL_VARCHAR; break;
    }
    columns.push_back(ColumnOfType(name, type, width));
  }
  return columns;
}

bool MayBeTextMemo(const ColumnInfo& column) {
  return column.sqlType == SQL_VARCHAR && column.columnSize == kMemoWidth;
}

void MakeTextMemo(ColumnInfo* column) {
  *column = ColumnOfType(column->name, SQL_LONGVARCHAR);
}

ColumnInfo ColumnFromItem(const zkhost::ItemInfo& item) {
  using namespace zkhost;
  std::string name = FromLibrary(item.name);
  SQLULEN textWidth = item.size > 1 ? static_cast<SQLULEN>(item.size - 1) : 1;
  ColumnInfo c;
  switch (item.type) {
    case kInt8: return ColumnOfType(name, SQL_TINYINT);
    case kUInt8: case kInt16: case kUInt16: c = ColumnOfType(name, SQL_SMALLINT); break;
    case kInt32: case kUInt32: c = ColumnOfType(name, SQL_INTEGER); break;
    case kFloat: return ColumnOfType(name, SQL_REAL);
    case kReal: return ColumnOfType(name, SQL_DOUBLE);
    case kDecimal: return ColumnOfType(name, SQL_DECIMAL);
    case kTextMemo: return ColumnOfType(name, SQL_LONGVARCHAR);
    case kBinaryMemo: return ColumnOfType(name, SQL_LONGVARBINARY);
    case kFixedText: return ColumnOfType(name, SQL_CHAR, static_cast<SQLULEN>(item.size));
    case kCountedText: case kText: return ColumnOfType(name, SQL_VARCHAR, textWidth);
    case kDate: return ColumnOfType(name, SQL_TYPE_DATE);
    case kTime: return ColumnOfType(name, SQL_TYPE_TIME);
    default: return ColumnOfType(name, SQL_BINARY, static_cast<SQLULEN>(item.size));
  }
  c.isUnsigned = item.type == kUInt8 || item.type == kUInt16 || item.type == kUInt32;
  return c;
}

SQLSMALLINT DefaultCType(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_TINYINT: return SQL_C_STINYINT;
    case SQL_SMALLINT: return SQL_C_SSHORT;
    case SQL_INTEGER: return SQL_C_SLONG;
    case SQL_REAL: return SQL_C_FLOAT;
    case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_TYPE_DATE: return SQL_C_TYPE_DATE;
    case SQL_TYPE_TIME: return SQL_C_TYPE_TIME;
    case SQL_LONGVARBINARY: case SQL_BINARY: return SQL_C_BINARY;
    default: return SQL_C_CHAR;
  }
}

}  // namespace zkodbc
