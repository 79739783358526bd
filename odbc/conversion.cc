// The value's text form decides: numbers are parsed as the library writes
// them (an empty text is the dialect's absent value, 0), dates as YYYYMMDD
// (YYMMDD is a 20th-century date, as the engine keeps it) or YYYY-MM-DD,
// times as HHMM or HH:MM[:SS]. An empty date or time has no date structure
// and reads as NULL. Binary values read as characters are hexadecimal.
#include "conversion.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

#include "memo_data.h"
#include "text.h"

namespace zkodbc {
namespace {

// An offset meaning "the value was handed out whole".
constexpr size_t kDone = static_cast<size_t>(-1);

bool IsBinary(const ColumnInfo& column) {
  return column.sqlType == SQL_LONGVARBINARY || column.sqlType == SQL_BINARY;
}


std::string Trimmed(const std::string& text) {
  size_t a = 0, b = text.size();
  while (a < b && text[a] == ' ') ++a;
  while (b > a && text[b - 1] == ' ') --b;
  return text.substr(a, b - a);
}

bool AllDigits(const std::string& t) {
  if (t.empty()) return false;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

struct Date {
  int year, month, day;
};
struct Time {
  int hour, minute, second;
};

// False for a text that is no date.
bool ParseDate(const std::string& text, Date* d) {
  std::string t = Trimmed(text);
  if (t.size() == 10 && (t[4] == '-' || t[4] == '/') && t[7] == t[4]) {
    t = t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2);
  } else if (t.size() == 6 && AllDigits(t)) {
    t = "19" + t;
  }
  if (t.size() != 8 || !AllDigits(t)) return false;
  d->year = atoi(t.substr(0, 4).c_str());
  d->month = atoi(t.substr(4, 2).c_str());
  d->day = atoi(t.substr(6, 2).c_str());
  return d->month >= 1 && d->month <= 12 && d->day >= 1 && d->day <= 31;
}

bool ParseTime(const std::string& text, Time* t) {
  std::string s = Trimmed(text);
  if ((s.size() == 5 || s.size() == 8) && s[2] == ':' && (s.size() == 5 || s[5] == ':')) {
    s = s.substr(0, 2) + s.substr(3, 2) + (s.size() == 8 ? s.substr(6, 2) : "");
  }
  if ((s.size() != 4 && s.size() != 6) || !AllDigits(s)) return false;
  t->hour = atoi(s.substr(0, 2).c_str());
  t->minute = atoi(s.substr(2, 2).c_str());
  t->second = s.size() == 6 ? atoi(s.substr(4, 2).c_str()) : 0;
  return t->hour < 24 && t->minute < 60 && t->second < 62;
}

// The character form of a value as applications read it.
std::string CharacterForm(const Cell& cell, const ColumnInfo& column) {
  if (IsBinary(column)) return zkhost::Hex(cell.bytes);
  char text[32];
  if (column.sqlType == SQL_TYPE_DATE) {
    Date d;
    if (ParseDate(cell.bytes, &d)) {
      snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
      return text;
    }
  } else if (column.sqlType == SQL_TYPE_TIME) {
    Time t;
    if (ParseTime(cell.bytes, &t)) {
      snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
      return text;
    }
  }
  return FromLibrary(cell.bytes);
}

[[noreturn]] void NotNumber(const std::string& text) {
  throw DriverError("22018", DriverMessage("the value \"" + FromLibrary(text) +
                                           "\" is not a number"));
}

// The value as a real; empty texts are 0.
double Real(const std::string& bytes) {
  std::string t = Trimmed(bytes);
  if (t.empty()) return 0;
  char* end = nullptr;
  errno = 0;
  double v = strtod(t.c_str(), &end);
  if (end == t.c_str() || *end != '\0') NotNumber(bytes);
  return v;
}

// The value as a whole number within [low, high]; *fraction is set when a
// fraction was dropped.
long long Whole(const std::string& bytes, long double low, long double high, bool* fraction) {
  std::string t = Trimmed(bytes);
  *fraction = false;
  if (t.empty()) return 0;
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(t.c_str(), &end, 10);
  if (end != t.c_str() && *end == '\0' && errno == 0) {
    if (v < low || v > high) {
      throw DriverError("22003", DriverMessage("the value " + t + " is out of range"));
    }
    return v;
  }
  double r = Real(bytes);
  if (std::isnan(r) || r < low || r > high) {
    throw DriverError("22003", DriverMessage("the value " + t + " is out of range"));
  }
  *fraction = std::trunc(r) != r;
  return static_cast<long long>(r);
}

template <typename T>
void Put(const Target& target, T value) {
  if (target.buffer != nullptr) memcpy(target.buffer, &value, sizeof value);
}

// Hands out data (with a terminator of `terminator` bytes) from *offset on.
SQLRETURN WritePieces(const std::string& data, size_t terminator, const Target& target,
                      size_t* offset, Diagnostics* diag) {
  size_t start = offset != nullptr ? *offset : 0;
  size_t remaining = data.size() - start;
  size_t room = 0;
  if (target.buffer != nullptr && target.bufferLength > static_cast<SQLLEN>(terminator)) {
    room = static_cast<size_t>(target.bufferLength) - terminator;
    if (terminator == 2) room &= ~static_cast<size_t>(1);
  }
  size_t n = remaining < room ? remaining : room;
  if (target.buffer != nullptr) {
    char* out = static_cast<char*>(target.buffer);
    if (n > 0) memcpy(out, data.data() + start, n);
    if (target.bufferLength >= static_cast<SQLLEN>(terminator + n)) memset(out + n, 0, terminator);
  }
  if (target.length != nullptr) *target.length = static_cast<SQLLEN>(remaining);
  if (target.indicator != nullptr) *target.indicator = static_cast<SQLLEN>(remaining);
  if (n < remaining) {
    if (offset != nullptr) *offset += n;
    diag->Add("01004", DriverMessage("string data, right truncated"));
    return SQL_SUCCESS_WITH_INFO;
  }
  if (offset != nullptr) *offset = kDone;
  return SQL_SUCCESS;
}

void SetLength(const Target& target, SQLLEN n) {
  if (target.length != nullptr) *target.length = n;
  if (target.indicator != nullptr) *target.indicator = n;
}

SQLRETURN WriteNull(const Target& target) {
  if (target.indicator == nullptr) {
    throw DriverError("22002", DriverMessage("indicator variable required but not supplied"));
  }
  *target.indicator = SQL_NULL_DATA;
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN WriteValue(const Cell& cell, const ColumnInfo& column, const Target& target,
                     size_t* offset, Diagnostics* diag) {
  if (offset != nullptr && *offset == kDone) return SQL_NO_DATA;
  SQLSMALLINT c = target.cType == SQL_C_DEFAULT ? DefaultCType(column.sqlType) : target.cType;
  if (cell.null) {
    if (offset != nullptr) *offset = kDone;
    return WriteNull(target);
  }
  switch (c) {
    case SQL_C_CHAR:
      return WritePieces(CharacterForm(cell, column), 1, target, offset, diag);
    case SQL_C_WCHAR: {
      std::u16string wide = Utf8ToUtf16(CharacterForm(cell, column));
      std::string bytes(wide.size() * sizeof(SQLWCHAR), '\0');
      for (size_t i = 0; i < wide.size(); ++i) {
        SQLWCHAR unit = static_cast<SQLWCHAR>(wide[i]);
        memcpy(&bytes[i * sizeof unit], &unit, sizeof unit);
      }
      return WritePieces(bytes, sizeof(SQLWCHAR), target, offset, diag);
    }
    case SQL_C_BINARY:
      return WritePieces(cell.bytes, 0, target, offset, diag);
    default:
      break;
  }
  if (offset != nullptr) *offset = kDone;
  bool fraction = false;
  switch (c) {
    case SQL_C_STINYINT: case SQL_C_TINYINT:
      Put(target, static_cast<signed char>(Whole(cell.bytes, SCHAR_MIN, SCHAR_MAX, &fraction)));
      SetLength(target, 1);
      break;
    case SQL_C_UTINYINT:
      Put(target, static_cast<unsigned char>(Whole(cell.bytes, 0, UCHAR_MAX, &fraction)));
      SetLength(target, 1);
      break;
    case SQL_C_BIT:
      Put(target, static_cast<unsigned char>(Real(cell.bytes) != 0));
      SetLength(target, 1);
      break;
    case SQL_C_SSHORT: case SQL_C_SHORT:
      Put(target, static_cast<short>(Whole(cell.bytes, SHRT_MIN, SHRT_MAX, &fraction)));
      SetLength(target, sizeof(short));
      break;
    case SQL_C_USHORT:
      Put(target, static_cast<unsigned short>(Whole(cell.bytes, 0, USHRT_MAX, &fraction)));
      SetLength(target, sizeof(unsigned short));
      break;
    case SQL_C_SLONG: case SQL_C_LONG:
      Put(target, static_cast<SQLINTEGER>(Whole(cell.bytes, INT32_MIN, INT32_MAX, &fraction)));
      SetLength(target, sizeof(SQLINTEGER));
      break;
    case SQL_C_ULONG:
      Put(target, static_cast<SQLUINTEGER>(Whole(cell.bytes, 0, UINT32_MAX, &fraction)));
      SetLength(target, sizeof(SQLUINTEGER));
      break;
    case SQL_C_SBIGINT:
      Put(target, static_cast<SQLBIGINT>(Whole(cell.bytes, -9.2e18L, 9.2e18L, &fraction)));
      SetLength(target, sizeof(SQLBIGINT));
      break;
    case SQL_C_UBIGINT:
      Put(target, static_cast<SQLUBIGINT>(Whole(cell.bytes, 0, 9.2e18L, &fraction)));
      SetLength(target, sizeof(SQLUBIGINT));
      break;
    case SQL_C_FLOAT: {
      double v = Real(cell.bytes);
      if (std::fabs(v) > std::numeric_limits<float>::max() && !std::isinf(v)) {
        throw DriverError("22003", DriverMessage("the value is out of range for a float"));
      }
      Put(target, static_cast<float>(v));
      SetLength(target, sizeof(float));
      break;
    }
    case SQL_C_DOUBLE:
      Put(target, Real(cell.bytes));
      SetLength(target, sizeof(double));
      break;
    case SQL_C_TYPE_DATE: case SQL_C_DATE: {
      if (Trimmed(cell.bytes).empty()) return WriteNull(target);
      Date d;
      if (!ParseDate(cell.bytes, &d)) {
        throw DriverError("22018", DriverMessage("the value \"" + FromLibrary(cell.bytes) +
                                                 "\" is not a date"));
      }
      DATE_STRUCT s = {static_cast<SQLSMALLINT>(d.year), static_cast<SQLUSMALLINT>(d.month),
                       static_cast<SQLUSMALLINT>(d.day)};
      Put(target, s);
      SetLength(target, sizeof s);
      break;
    }
    case SQL_C_TYPE_TIME: case SQL_C_TIME: {
      if (Trimmed(cell.bytes).empty()) return WriteNull(target);
      Time t;
      if (!ParseTime(cell.bytes, &t)) {
        throw DriverError("22018", DriverMessage("the value \"" + FromLibrary(cell.bytes) +
                                                 "\" is not a time"));
      }
      TIME_STRUCT s = {static_cast<SQLUSMALLINT>(t.hour), static_cast<SQLUSMALLINT>(t.minute),
                       static_cast<SQLUSMALLINT>(t.second)};
      Put(target, s);
      SetLength(target, sizeof s);
      break;
    }
    case SQL_C_TYPE_TIMESTAMP: case SQL_C_TIMESTAMP: {
      if (Trimmed(cell.bytes).empty()) return WriteNull(target);
      TIMESTAMP_STRUCT s;
      memset(&s, 0, sizeof s);
      Date d;
      Time t;
      if (column.sqlType != SQL_TYPE_TIME && ParseDate(cell.bytes, &d)) {
        s.year = static_cast<SQLSMALLINT>(d.year);
        s.month = static_cast<SQLUSMALLINT>(d.month);
        s.day = static_cast<SQLUSMALLINT>(d.day);
      } else if (ParseTime(cell.bytes, &t)) {
        // A time alone takes today's date.
        time_t now = time(nullptr);
        struct tm local;
        localtime_r(&now, &local);
        s.year = static_cast<SQLSMALLINT>(local.tm_year + 1900);
        s.month = static_cast<SQLUSMALLINT>(local.tm_mon + 1);
        s.day = static_cast<SQLUSMALLINT>(local.tm_mday);
        s.hour = static_cast<SQLUSMALLINT>(t.hour);
        s.minute = static_cast<SQLUSMALLINT>(t.minute);
        s.second = static_cast<SQLUSMALLINT>(t.second);
      } else {
        throw DriverError("22018", DriverMessage("the value \"" + FromLibrary(cell.bytes) +
                                                 "\" is not a date"));
      }
      Put(target, s);
      SetLength(target, sizeof s);
      break;
    }
    default:
      throw DriverError("07006", DriverMessage("conversion to C type " + std::to_string(c) +
                                               " is not offered"));
  }
  if (fraction) {
    diag->Add("01S07", DriverMessage("fractional truncation"));
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

}  // namespace zkodbc
