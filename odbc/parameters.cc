// Literals are built from the C type of the bound value; the SQL type the
// application names decides only whether a text is meant as a number (then
// it must read as one) and which absent value a NULL stands for.
#include "parameters.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "diagnostics.h"
#include "text.h"

namespace zkodbc {
namespace {

bool IsNumericSqlType(SQLSMALLINT t) {
  switch (t) {
    case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT: case SQL_REAL:
    case SQL_FLOAT: case SQL_DOUBLE: case SQL_DECIMAL: case SQL_NUMERIC: case SQL_BIT:
      return true;
    default:
      return false;
  }
}

// A number as the dialect writes it: [-]digits[.digits][E[+-]digits].
bool IsNumberText(const std::string& t) {
  size_t i = 0, n = t.size();
  if (i < n && (t[i] == '-' || t[i] == '+')) ++i;
  size_t digits = i;
  while (i < n && isdigit(static_cast<unsigned char>(t[i]))) ++i;
  if (i == digits) return false;
  if (i < n && t[i] == '.') {
    ++i;
    while (i < n && isdigit(static_cast<unsigned char>(t[i]))) ++i;
  }
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < n && (t[i] == '-' || t[i] == '+')) ++i;
    size_t e = i;
    while (i < n && isdigit(static_cast<unsigned char>(t[i]))) ++i;
    if (i == e) return false;
  }
  return i == n;
}

std::string Quoted(const std::string& cp1252) {
  if (cp1252.find('\0') != std::string::npos) {
    throw DriverError("22018", DriverMessage("a text parameter holds a zero byte"));
  }
  std::string out = "'";
  for (char c : cp1252) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string RealText(double v) {
  if (!std::isfinite(v)) {
    throw DriverError("22003", DriverMessage("a real parameter is not a finite number"));
  }
  char text[40];
  snprintf(text, sizeof text, "%.17g", v);
  return text;
}

// The bytes of a character value, by its length indicator.
std::string CharacterBytes(const ParamBinding& b, size_t unit) {
  SQLLEN length = b.indicator != nullptr ? *b.indicator : SQL_NTS;
  const char* p = static_cast<const char*>(b.buffer);
  if (p == nullptr) return std::string();
  if (length == SQL_NTS) {
    size_t n = 0;
    if (unit == 1) {
      n = strlen(p);
    } else {
      const SQLWCHAR* w = static_cast<const SQLWCHAR*>(b.buffer);
      while (w[n] != 0) ++n;
      n *= unit;
    }
    return std::string(p, n);
  }
  if (length < 0) throw DriverError("HY090", DriverMessage("invalid parameter length"));
  return std::string(p, static_cast<size_t>(length));
}

std::string TextLiteral(const std::string& utf8, SQLSMALLINT sqlType) {
  if (IsNumericSqlType(sqlType)) {
    if (!IsNumberText(utf8)) {
      throw DriverError("22018", DriverMessage("the parameter \"" + utf8 + "\" is not a number"));
    }
    return utf8;
  }
  return Quoted(ToLibrary(utf8));
}

template <typename T>
T Read(const ParamBinding& b) {
  T v;
  memcpy(&v, b.buffer, sizeof v);
  return v;
}

std::string DateEscape(int year, int month, int day) {
  char text[40];
  snprintf(text, sizeof text, "{d '%04d-%02d-%02d'}", year, month, day);
  return text;
}

std::string TimeLiteral(int hour, int minute, int second) {
  char text[24];
  if (second == 0) {
    snprintf(text, sizeof text, "'%02d:%02d'", hour, minute);
  } else {
    snprintf(text, sizeof text, "'%02d:%02d:%02d'", hour, minute, second);
  }
  return text;
}

SQLSMALLINT DefaultCTypeOfParameter(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIT: return SQL_C_SLONG;
    case SQL_BIGINT: return SQL_C_SBIGINT;
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_TYPE_DATE: return SQL_C_TYPE_DATE;
    case SQL_TYPE_TIME: return SQL_C_TYPE_TIME;
    case SQL_TYPE_TIMESTAMP: return SQL_C_TYPE_TIMESTAMP;
    case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR: return SQL_C_WCHAR;
    default: return SQL_C_CHAR;
  }
}

}  // namespace

std::vector<size_t> MarkerPositions(const std::string& sql) {
  std::vector<size_t> markers;
  char quote = '\0';
  for (size_t i = 0; i < sql.size(); ++i) {
    char c = sql[i];
    if (quote != '\0') {
      if (c == quote) quote = '\0';  // a doubled quote closes and opens again
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '?') {
      markers.push_back(i);
    }
  }
  return markers;
}

std::string Literal(const ParamBinding& b) {
  SQLLEN indicator = b.indicator != nullptr ? *b.indicator : 0;
  if (b.indicator != nullptr && indicator == SQL_NULL_DATA) {
    return IsNumericSqlType(b.sqlType) ? "0" : "''";
  }
  if (b.indicator != nullptr && (indicator == SQL_DATA_AT_EXEC || indicator <= SQL_LEN_DATA_AT_EXEC_OFFSET)) {
    throw DriverError("HYC00", DriverMessage("parameters sent at execution time are not offered"));
  }
  SQLSMALLINT c = b.cType == SQL_C_DEFAULT ? DefaultCTypeOfParameter(b.sqlType) : b.cType;
  if (b.buffer == nullptr) {
    throw DriverError("HY009", DriverMessage("a bound parameter has no value buffer"));
  }
  switch (c) {
    case SQL_C_CHAR:
      return TextLiteral(CharacterBytes(b, 1), b.sqlType);
    case SQL_C_WCHAR: {
      std::string bytes = CharacterBytes(b, sizeof(SQLWCHAR));
      std::u16string wide(bytes.size() / sizeof(SQLWCHAR), u'\0');
      for (size_t i = 0; i < wide.size(); ++i) {
        SQLWCHAR unit;
        memcpy(&unit, &bytes[i * sizeof unit], sizeof unit);
        wide[i] = static_cast<char16_t>(unit);
      }
      return TextLiteral(Utf16ToUtf8(wide), b.sqlType);
    }
    case SQL_C_BINARY:
      return Quoted(CharacterBytes(b, 1));
    case SQL_C_BIT: return Read<unsigned char>(b) != 0 ? "1" : "0";
    case SQL_C_STINYINT: case SQL_C_TINYINT: return std::to_string(Read<signed char>(b));
    case SQL_C_UTINYINT: return std::to_string(Read<unsigned char>(b));
    case SQL_C_SSHORT: case SQL_C_SHORT: return std::to_string(Read<short>(b));
    case SQL_C_USHORT: return std::to_string(Read<unsigned short>(b));
    case SQL_C_SLONG: case SQL_C_LONG: return std::to_string(Read<SQLINTEGER>(b));
    case SQL_C_ULONG: return std::to_string(Read<SQLUINTEGER>(b));
    case SQL_C_SBIGINT: return std::to_string(Read<SQLBIGINT>(b));
    case SQL_C_UBIGINT: return std::to_string(Read<SQLUBIGINT>(b));
    case SQL_C_FLOAT: return RealText(Read<float>(b));
    case SQL_C_DOUBLE: return RealText(Read<double>(b));
    case SQL_C_TYPE_DATE: case SQL_C_DATE: {
      DATE_STRUCT d = Read<DATE_STRUCT>(b);
      return DateEscape(d.year, d.month, d.day);
    }
    case SQL_C_TYPE_TIME: case SQL_C_TIME: {
      TIME_STRUCT t = Read<TIME_STRUCT>(b);
      return TimeLiteral(t.hour, t.minute, t.second);
    }
    case SQL_C_TYPE_TIMESTAMP: case SQL_C_TIMESTAMP: {
      TIMESTAMP_STRUCT s = Read<TIMESTAMP_STRUCT>(b);
      if (b.sqlType == SQL_TYPE_TIME || b.sqlType == SQL_TIME) {
        return TimeLiteral(s.hour, s.minute, s.second);
      }
      // The dialect has dates and times, no timestamps: a timestamp with a
      // time of day would lose it.
      if (s.hour != 0 || s.minute != 0 || s.second != 0 || s.fraction != 0) {
        throw DriverError("22008", DriverMessage("a timestamp parameter has a time of day; the "
                                                 "dialect keeps dates and times apart"));
      }
      return DateEscape(s.year, s.month, s.day);
    }
    default:
      throw DriverError("HYC00", DriverMessage("parameters of C type " + std::to_string(c) +
                                               " are not offered"));
  }
}

std::string Substitute(const std::string& sql, const std::vector<size_t>& markers,
                       const std::map<SQLUSMALLINT, ParamBinding>& bindings) {
  std::string out;
  size_t from = 0;
  for (size_t i = 0; i < markers.size(); ++i) {
    auto found = bindings.find(static_cast<SQLUSMALLINT>(i + 1));
    if (found == bindings.end()) {
      throw DriverError("07002", DriverMessage("parameter " + std::to_string(i + 1) +
                                               " is not bound"));
    }
    out.append(sql, from, markers[i] - from);
    out += Literal(found->second);
    from = markers[i] + 1;
  }
  out.append(sql, from, std::string::npos);
  if (out.size() > kMaxStatementBytes) {
    throw DriverError("HY000", DriverMessage(
        "the statement is " + std::to_string(out.size()) + " bytes long" +
        (markers.empty() ? "" : " with its parameters") + "; the library takes at most " +
        std::to_string(kMaxStatementBytes)));
  }
  return out;
}

}  // namespace zkodbc
