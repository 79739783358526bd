// Parameter markers and literals: which `?` are markers, and the literal
// each bound C value becomes. A value must never end its literal early.
#include "parameters.h"

#include <gtest/gtest.h>

#include <cstring>

#include "diagnostics.h"

namespace zkodbc {
namespace {

TEST(Parameters, MarkersOutsideQuotedTextsOnly) {
  struct Case {
    const char* sql;
    std::vector<size_t> markers;
  } cases[] = {
      {"SELECT * FROM T WHERE A = ? AND B = ?", {26, 36}},
      {"SELECT '?' FROM T WHERE A = ?", {28}},
      {"SELECT \"a?b\" FROM T", {}},
      {"INSERT INTO T VALUES ('it''s ?', ?)", {33}},
      {"INSERT INTO T VALUES ({d '2024-01-01'}, ?)", {40}},
  };
  for (const Case& c : cases) EXPECT_EQ(MarkerPositions(c.sql), c.markers) << c.sql;
}

ParamBinding Bind(SQLSMALLINT cType, SQLSMALLINT sqlType, void* value, SQLLEN* indicator) {
  ParamBinding b;
  b.cType = cType;
  b.sqlType = sqlType;
  b.buffer = value;
  b.indicator = indicator;
  return b;
}

TEST(Parameters, LiteralsOfEachCType) {
  SQLINTEGER i = -42;
  SQLBIGINT big = 5000000000LL;
  double real = 0.1;
  float single = 2.5f;
  DATE_STRUCT date = {2024, 2, 29};
  TIME_STRUCT time = {9, 5, 0};
  TIMESTAMP_STRUCT midnight = {1999, 12, 31, 0, 0, 0, 0};
  char text[] = "l'été \"cité\"";
  char number[] = "12.5e3";
  SQLWCHAR wide[] = {0x153, 'u', 'f', 0x20AC, 0};  // "œuf€"
  SQLLEN nts = SQL_NTS, null = SQL_NULL_DATA, two = 2;
  struct Case {
    ParamBinding binding;
    const char* literal;
  } cases[] = {
      {Bind(SQL_C_SLONG, SQL_INTEGER, &i, nullptr), "-42"},
      {Bind(SQL_C_SBIGINT, SQL_BIGINT, &big, nullptr), "5000000000"},
      {Bind(SQL_C_DOUBLE, SQL_DOUBLE, &real, nullptr), "0.10000000000000001"},
      {Bind(SQL_C_FLOAT, SQL_REAL, &single, nullptr), "2.5"},
      {Bind(SQL_C_TYPE_DATE, SQL_TYPE_DATE, &date, nullptr), "{d '2024-02-29'}"},
      {Bind(SQL_C_TYPE_TIME, SQL_TYPE_TIME, &time, nullptr), "'09:05'"},
      {Bind(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, &midnight, nullptr), "{d '1999-12-31'}"},
      {Bind(SQL_C_CHAR, SQL_VARCHAR, text, &nts), "'l''\xE9t\xE9 \"cit\xE9\"'"},
      {Bind(SQL_C_CHAR, SQL_VARCHAR, text, &two), "'l'''"},
      {Bind(SQL_C_CHAR, SQL_DOUBLE, number, &nts), "12.5e3"},
      {Bind(SQL_C_WCHAR, SQL_WVARCHAR, wide, &nts), "'\x9C" "uf\x80'"},
      {Bind(SQL_C_SLONG, SQL_INTEGER, &i, &null), "0"},
      {Bind(SQL_C_CHAR, SQL_VARCHAR, text, &null), "''"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Literal(c.binding), c.literal) << c.literal;
  }
}

TEST(Parameters, ValuesNoLiteralCanHoldAreRefused) {
  double infinite = 1.0 / 0.0;
  char notNumber[] = "1; DELETE FROM T";
  char zero[] = {'a', '\0', 'b'};
  char check[] = "\xE2\x9C\x93";  // U+2713
  TIMESTAMP_STRUCT noon = {2024, 1, 1, 12, 0, 0, 0};
  SQLLEN nts = SQL_NTS, three = 3, atExec = SQL_DATA_AT_EXEC;
  struct Case {
    ParamBinding binding;
    const char* state;
  } cases[] = {
      {Bind(SQL_C_DOUBLE, SQL_DOUBLE, &infinite, nullptr), "22003"},
      {Bind(SQL_C_CHAR, SQL_INTEGER, notNumber, &nts), "22018"},
      {Bind(SQL_C_CHAR, SQL_VARCHAR, zero, &three), "22018"},
      {Bind(SQL_C_CHAR, SQL_VARCHAR, check, &nts), "22018"},
      {Bind(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, &noon, nullptr), "22008"},
      {Bind(SQL_C_CHAR, SQL_VARCHAR, check, &atExec), "HYC00"},
  };
  for (const Case& c : cases) {
    try {
      Literal(c.binding);
      ADD_FAILURE() << "no error, expected " << c.state;
    } catch (const DriverError& e) {
      EXPECT_EQ(e.sqlState(), c.state) << e.what();
    }
  }
}

TEST(Parameters, SubstitutionChecksBindingsAndLength) {
  SQLINTEGER one = 1;
  std::map<SQLUSMALLINT, ParamBinding> bindings = {
      {1, Bind(SQL_C_SLONG, SQL_INTEGER, &one, nullptr)}};
  std::string sql = "SELECT A FROM T WHERE A = ? AND B = '?'";
  EXPECT_EQ(Substitute(sql, MarkerPositions(sql), bindings),
            "SELECT A FROM T WHERE A = 1 AND B = '?'");
  std::string two = "SELECT A FROM T WHERE A = ? OR A = ?";
  EXPECT_THROW(Substitute(two, MarkerPositions(two), bindings), DriverError);
  std::string longest = "SELECT A FROM T WHERE A = ?" + std::string(kMaxStatementBytes, ' ');
  EXPECT_THROW(Substitute(longest, MarkerPositions(longest), bindings), DriverError);
}

}  // namespace
}  // namespace zkodbc
