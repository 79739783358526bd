// Statement parameters. The library takes no parameters: each `?` marker
// (outside quoted texts) is replaced by the bound value written as a
// literal of the dialect: texts quoted with their quotes doubled, numbers
// in the dialect's number form, dates as {d 'yyyy-mm-dd'} escapes (the
// library rewrites them), times as 'HH:MM'. No value can end its literal
// early, so none can change what the statement means. A NULL value becomes
// the dialect's absent value (0 for numbers, '' otherwise): the dialect has
// no NULL.
#ifndef ZKODBC_PARAMETERS_H
#define ZKODBC_PARAMETERS_H

#include <sql.h>
#include <sqlext.h>

#include <map>
#include <string>
#include <vector>

namespace zkodbc {

struct ParamBinding {
  SQLSMALLINT cType = SQL_C_DEFAULT;
  SQLSMALLINT sqlType = SQL_VARCHAR;
  SQLPOINTER buffer = nullptr;
  SQLLEN bufferLength = 0;
  SQLLEN* indicator = nullptr;
};

// The longest statement the library takes, in bytes.
constexpr size_t kMaxStatementBytes = 16382;

// Byte offsets of the `?` markers of a statement, outside '...' and "..."
// texts.
std::vector<size_t> MarkerPositions(const std::string& sql);

// The literal (Windows-1252) for one bound value. Throws DriverError for a
// value no literal can hold.
std::string Literal(const ParamBinding& binding);

// The statement with every marker replaced by its parameter's literal
// (parameters numbered from 1). Throws DriverError (07002) when a marker
// has no bound parameter, and when the result is longer than the library
// takes.
std::string Substitute(const std::string& sql, const std::vector<size_t>& markers,
                       const std::map<SQLUSMALLINT, ParamBinding>& bindings);

}  // namespace zkodbc

#endif
