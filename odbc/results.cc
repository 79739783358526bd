// Reading results: their description, fetching row by row (forward only,
// one row at a time), bound columns filled at each fetch, and SQLGetData
// reading a column in pieces. A value is read from the result once per
// row and kept until the next fetch, so that pieces of a memo do not read
// it again.
#include <cstring>

#include "api.h"
#include "conversion.h"

namespace zkodbc {
namespace {

ResultSet* NeedResult(Statement* s) {
  if (s->result == nullptr) throw DriverError("24000", DriverMessage("no cursor is open"));
  return s->result.get();
}

const ColumnInfo& NeedColumn(Statement* s, SQLUSMALLINT column) {
  ResultSet* r = NeedResult(s);
  if (column < 1 || column > r->columns().size()) {
    throw DriverError("07009", DriverMessage("invalid column number " + std::to_string(column)));
  }
  return r->columns()[column - 1];
}

const Cell& CurrentCell(Statement* s, SQLUSMALLINT column) {
  std::unique_ptr<Cell>& cell = s->cells[column - 1];
  if (cell == nullptr) cell.reset(new Cell(s->result->Value(column - 1)));
  return *cell;
}

SQLRETURN Worst(SQLRETURN a, SQLRETURN b) {
  if (a == SQL_ERROR || b == SQL_ERROR) return SQL_ERROR;
  if (a == SQL_SUCCESS_WITH_INFO || b == SQL_SUCCESS_WITH_INFO) return SQL_SUCCESS_WITH_INFO;
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN NumResultCols(Statement* s, SQLSMALLINT* count) {
  if (count != nullptr) {
    *count = s->result != nullptr ? static_cast<SQLSMALLINT>(s->result->columns().size()) : 0;
  }
  return SQL_SUCCESS;
}

SQLRETURN DescribeCol(Statement* s, SQLUSMALLINT column, const TextOut& name,
                      SQLSMALLINT* nameLength, SQLSMALLINT* dataType, SQLULEN* columnSize,
                      SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
  const ColumnInfo& c = NeedColumn(s, column);
  if (dataType != nullptr) *dataType = c.sqlType;
  if (columnSize != nullptr) *columnSize = c.columnSize;
  if (decimalDigits != nullptr) *decimalDigits = c.decimalDigits;
  if (nullable != nullptr) *nullable = c.nullable;
  return PutText(s, c.name, name, nameLength);
}

SQLRETURN ColAttribute(Statement* s, SQLUSMALLINT column, SQLUSMALLINT field,
                       const TextOut& text, SQLSMALLINT* textLength, SQLLEN* number) {
  if (field == SQL_DESC_COUNT || field == SQL_COLUMN_COUNT) {
    SQLSMALLINT count = 0;
    NumResultCols(s, &count);
    if (number != nullptr) *number = count;
    return SQL_SUCCESS;
  }
  const ColumnInfo& c = NeedColumn(s, column);
  SQLLEN n = 0;
  const char* words = nullptr;
  switch (field) {
    case SQL_DESC_NAME: case SQL_DESC_LABEL: case SQL_COLUMN_NAME:
      return PutText(s, c.name, text, textLength);
    case SQL_DESC_TYPE_NAME: words = TypeName(c.sqlType); break;
    case SQL_DESC_TABLE_NAME: case SQL_DESC_BASE_TABLE_NAME: case SQL_DESC_SCHEMA_NAME:
    case SQL_DESC_CATALOG_NAME: case SQL_DESC_LITERAL_PREFIX: case SQL_DESC_LITERAL_SUFFIX:
      words = "";
      if (field == SQL_DESC_LITERAL_PREFIX || field == SQL_DESC_LITERAL_SUFFIX) {
        bool quoted = c.sqlType == SQL_VARCHAR || c.sqlType == SQL_CHAR ||
                      c.sqlType == SQL_LONGVARCHAR || c.sqlType == SQL_TYPE_DATE ||
                      c.sqlType == SQL_TYPE_TIME;
        words = quoted ? "'" : "";
      }
      break;
    case SQL_DESC_BASE_COLUMN_NAME: return PutText(s, c.name, text, textLength);
    case SQL_DESC_LOCAL_TYPE_NAME: words = TypeName(c.sqlType); break;
    case SQL_DESC_TYPE: case SQL_DESC_CONCISE_TYPE:
      n = field == SQL_DESC_TYPE && (c.sqlType == SQL_TYPE_DATE || c.sqlType == SQL_TYPE_TIME)
              ? SQL_DATETIME
              : c.sqlType;
      break;
    case SQL_DESC_LENGTH: case SQL_COLUMN_LENGTH: n = static_cast<SQLLEN>(c.columnSize); break;
    case SQL_DESC_OCTET_LENGTH: n = c.octetLength; break;
    case SQL_DESC_PRECISION: case SQL_COLUMN_PRECISION:
      n = static_cast<SQLLEN>(c.columnSize);
      break;
    case SQL_DESC_SCALE: case SQL_COLUMN_SCALE: n = c.decimalDigits; break;
    case SQL_DESC_DISPLAY_SIZE: n = c.displaySize; break;
    case SQL_DESC_NULLABLE: case SQL_COLUMN_NULLABLE: n = c.nullable; break;
    case SQL_DESC_UNSIGNED: n = c.isUnsigned ? SQL_TRUE : SQL_FALSE; break;
    case SQL_DESC_FIXED_PREC_SCALE: n = SQL_FALSE; break;
    case SQL_DESC_AUTO_UNIQUE_VALUE: n = SQL_FALSE; break;
    case SQL_DESC_CASE_SENSITIVE:
      n = c.sqlType == SQL_VARCHAR || c.sqlType == SQL_CHAR || c.sqlType == SQL_LONGVARCHAR;
      break;
    case SQL_DESC_SEARCHABLE:
      n = c.memo ? SQL_PRED_NONE : SQL_PRED_SEARCHABLE;
      break;
    case SQL_DESC_UPDATABLE: n = SQL_ATTR_READONLY; break;
    case SQL_DESC_UNNAMED: n = c.name.empty() ? SQL_UNNAMED : SQL_NAMED; break;
    case SQL_DESC_NUM_PREC_RADIX:
      n = c.sqlType == SQL_REAL || c.sqlType == SQL_DOUBLE ? 2
          : (c.sqlType == SQL_TINYINT || c.sqlType == SQL_SMALLINT ||
             c.sqlType == SQL_INTEGER || c.sqlType == SQL_DECIMAL)
              ? 10
              : 0;
      break;
    default:
      throw DriverError("HY091", DriverMessage("invalid descriptor field " +
                                               std::to_string(field)));
  }
  if (words != nullptr) return PutText(s, words, text, textLength);
  if (number != nullptr) *number = n;
  return SQL_SUCCESS;
}

SQLRETURN BindCol(Statement* s, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer,
                  SQLLEN bufferLength, SQLLEN* indicator) {
  if (column < 1) throw DriverError("07009", DriverMessage("invalid column number 0"));
  if (buffer == nullptr) {
    s->bound.erase(column);
    return SQL_SUCCESS;
  }
  if (bufferLength < 0) throw DriverError("HY090", DriverMessage("invalid buffer length"));
  s->bound[column] = ColumnBinding{cType, buffer, bufferLength, indicator};
  return SQL_SUCCESS;
}

SQLRETURN Fetch(Statement* s) {
  ResultSet* r = NeedResult(s);
  for (auto& cell : s->cells) cell.reset();
  s->offsets.assign(r->columns().size(), 0);
  s->onRow = r->Next();
  if (s->rowsFetched != nullptr) *s->rowsFetched = s->onRow ? 1 : 0;
  if (s->rowStatus != nullptr) s->rowStatus[0] = s->onRow ? SQL_ROW_SUCCESS : SQL_ROW_NOROW;
  if (!s->onRow) return SQL_NO_DATA;
  SQLRETURN answer = SQL_SUCCESS;
  for (const auto& entry : s->bound) {
    SQLUSMALLINT column = entry.first;
    if (column > r->columns().size()) {
      throw DriverError("07009", DriverMessage("column " + std::to_string(column) +
                                               " is bound but the result has no such column"));
    }
    const ColumnBinding& b = entry.second;
    Target target{b.cType, b.buffer, b.bufferLength, b.indicator, b.indicator};
    answer = Worst(answer, WriteValue(CurrentCell(s, column), r->columns()[column - 1], target,
                                      nullptr, &s->diag));
  }
  if (answer == SQL_SUCCESS_WITH_INFO && s->rowStatus != nullptr) {
    s->rowStatus[0] = SQL_ROW_SUCCESS_WITH_INFO;
  }
  return answer;
}

SQLRETURN GetData(Statement* s, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer,
                  SQLLEN bufferLength, SQLLEN* indicator) {
  const ColumnInfo& c = NeedColumn(s, column);
  if (!s->onRow) throw DriverError("24000", DriverMessage("no current row: fetch one first"));
  if (bufferLength < 0) throw DriverError("HY090", DriverMessage("invalid buffer length"));
  // A piece of another column ends the pieces of this one.
  for (size_t i = 0; i < s->offsets.size(); ++i) {
    if (i != column - 1u) s->offsets[i] = 0;
  }
  Target target{cType, buffer, bufferLength, indicator, indicator};
  return WriteValue(CurrentCell(s, column), c, target, &s->offsets[column - 1], &s->diag);
}

}  // namespace zkodbc
