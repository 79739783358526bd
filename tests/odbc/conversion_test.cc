// Values of the current row written as the C types applications ask for:
// numbers parsed from the library's text form, dates and times into their
// structures, texts in pieces, and the values each type refuses.
#include "conversion.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zkodbc {
namespace {

Cell Value(const std::string& cp1252) {
  Cell c;
  c.bytes = cp1252;
  return c;
}

TEST(Conversion, NumbersDatesAndTimes) {
  Diagnostics diag;
  SQLINTEGER i = 0;
  short s = 0;
  double d = 0;
  DATE_STRUCT date{};
  TIME_STRUCT time{};
  SQLLEN length = 0;
  struct Case {
    const char* value;
    SQLSMALLINT sqlType;
    SQLSMALLINT cType;
    void* target;
    SQLRETURN answer;
  } cases[] = {
      {"-2147483647", SQL_INTEGER, SQL_C_SLONG, &i, SQL_SUCCESS},
      {"", SQL_INTEGER, SQL_C_SLONG, &i, SQL_SUCCESS},
      {"2.75", SQL_DOUBLE, SQL_C_SSHORT, &s, SQL_SUCCESS_WITH_INFO},
      {"1234567.125", SQL_DOUBLE, SQL_C_DOUBLE, &d, SQL_SUCCESS},
      {"20240229", SQL_TYPE_DATE, SQL_C_TYPE_DATE, &date, SQL_SUCCESS},
      {"2359", SQL_TYPE_TIME, SQL_C_TYPE_TIME, &time, SQL_SUCCESS},
  };
  for (const Case& c : cases) {
    ColumnInfo column = ColumnOfType("C", c.sqlType);
    Target target{c.cType, c.target, 0, &length, &length};
    EXPECT_EQ(WriteValue(Value(c.value), column, target, nullptr, &diag), c.answer) << c.value;
  }
  EXPECT_EQ(i, 0);
  EXPECT_EQ(s, 2);
  EXPECT_EQ(d, 1234567.125);
  EXPECT_EQ(date.year * 10000 + date.month * 100 + date.day, 20240229);
  EXPECT_EQ(time.hour * 100 + time.minute, 2359);
  // Dates and times read as characters in their ODBC forms.
  char text[32];
  Target asText{SQL_C_CHAR, text, sizeof text, &length, &length};
  WriteValue(Value("19991231"), ColumnOfType("D", SQL_TYPE_DATE), asText, nullptr, &diag);
  EXPECT_STREQ(text, "1999-12-31");
  WriteValue(Value("0930"), ColumnOfType("H", SQL_TYPE_TIME), asText, nullptr, &diag);
  EXPECT_STREQ(text, "09:30:00");
  // An empty date has no structure: NULL.
  EXPECT_EQ(WriteValue(Value(""), ColumnOfType("D", SQL_TYPE_DATE),
                       Target{SQL_C_TYPE_DATE, &date, 0, &length, &length}, nullptr, &diag),
            SQL_SUCCESS);
  EXPECT_EQ(length, SQL_NULL_DATA);
}

TEST(Conversion, RefusedValues) {
  Diagnostics diag;
  SQLINTEGER i = 0;
  unsigned char tiny = 0;
  DATE_STRUCT date{};
  SQL_NUMERIC_STRUCT numeric{};
  struct Case {
    const char* value;
    SQLSMALLINT cType;
    void* target;
    const char* state;
  } cases[] = {
      {"abc", SQL_C_SLONG, &i, "22018"},
      {"3000000000", SQL_C_SLONG, &i, "22003"},
      {"-1", SQL_C_UTINYINT, &tiny, "22003"},
      {"2024-13-01", SQL_C_TYPE_DATE, &date, "22018"},
      {"1", SQL_C_NUMERIC, &numeric, "07006"},
  };
  for (const Case& c : cases) {
    Target target{c.cType, c.target, 0, nullptr, nullptr};
    try {
      WriteValue(Value(c.value), ColumnOfType("C", SQL_VARCHAR, 20), target, nullptr, &diag);
      ADD_FAILURE() << c.value << ": no error, expected " << c.state;
    } catch (const DriverError& e) {
      EXPECT_EQ(e.sqlState(), c.state) << c.value;
    }
  }
}

TEST(Conversion, WideTextAndBinaryInPieces) {
  Diagnostics diag;
  ColumnInfo memo = ColumnOfType("M", SQL_LONGVARBINARY);
  std::string bytes("\x00\x01\xFE\xFF\x10", 5);
  char piece[4];
  SQLLEN length = 0;
  size_t offset = 0;
  Target binary{SQL_C_BINARY, piece, sizeof piece, &length, &length};
  ASSERT_EQ(WriteValue(Value(bytes), memo, binary, &offset, &diag), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(length, 5);
  EXPECT_EQ(std::string(piece, 4), bytes.substr(0, 4));
  ASSERT_EQ(WriteValue(Value(bytes), memo, binary, &offset, &diag), SQL_SUCCESS);
  EXPECT_EQ(length, 1);
  EXPECT_EQ(piece[0], '\x10');
  EXPECT_EQ(WriteValue(Value(bytes), memo, binary, &offset, &diag), SQL_NO_DATA);
  // Binary values read as characters are hexadecimal.
  char hex[16];
  WriteValue(Value(bytes), memo, Target{SQL_C_CHAR, hex, sizeof hex, &length, &length}, nullptr,
             &diag);
  EXPECT_STREQ(hex, "0001FEFF10");
  // UTF-16 pieces hold whole code units, lengths in bytes.
  SQLWCHAR wide[3];
  offset = 0;
  Target w{SQL_C_WCHAR, wide, sizeof wide, &length, &length};
  ColumnInfo text = ColumnOfType("T", SQL_VARCHAR, 10);
  ASSERT_EQ(WriteValue(Value("\x9C\x80z"), text, w, &offset, &diag), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(length, 6);
  EXPECT_EQ(wide[0], 0x153);
  EXPECT_EQ(wide[1], 0x20AC);
  EXPECT_EQ(wide[2], 0);
  ASSERT_EQ(WriteValue(Value("\x9C\x80z"), text, w, &offset, &diag), SQL_SUCCESS);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(wide[0], 'z');
}

}  // namespace
}  // namespace zkodbc
