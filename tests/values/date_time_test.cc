#include "values/date_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace zksql {
namespace {

CalendarDate Read(const char* text) {
  CalendarDate d;
  EXPECT_TRUE(ReadStoredDate(text, 9, &d)) << text;
  return d;
}

std::string Write(const CalendarDate& d) {
  char out[kDateTextSize];
  if (!WriteStoredDate(d, d.digits, out, sizeof out)) return "refused";
  return out;
}

struct AddCase {
  const char* date;
  int32_t days;
  const char* expected;
};

class DateAddDaysTest : public ::testing::TestWithParam<AddCase> {};

TEST_P(DateAddDaysTest, CrossesMonthsYearsAndLeapDays) {
  const AddCase& c = GetParam();
  EXPECT_EQ(Write(AddDays(Read(c.date), c.days)), c.expected) << c.date << " + " << c.days;
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, DateAddDaysTest,
    ::testing::Values(
        AddCase{"19991231", 1, "20000101"}, AddCase{"20000101", -1, "19991231"},
        AddCase{"19990301", -1, "19990228"},
        // Gregorian leap years: a century year leaps only when divisible by 400.
        AddCase{"19000301", -1, "19000228"}, AddCase{"21000228", 1, "21000301"},
        AddCase{"20000301", -1, "20000229"}, AddCase{"24000228", 1, "24000229"},
        // A 29 February that earlier versions stored in a century year
        // counts as the 1 March after it.
        AddCase{"19000229", 0, "19000301"}, AddCase{"19000229", -1, "19000228"},
        AddCase{"19960228", 1, "19960229"}, AddCase{"19960229", 1, "19960301"},
        AddCase{"20000101", 366, "20010101"}, AddCase{"20010101", -366, "20000101"},
        AddCase{"20010101", -367, "19991231"}, AddCase{"19500615", 32767, "20400301"},
        AddCase{"19500615", -32768, "18600926"},
        // Six-digit dates are 19YY and stay six digits.
        AddCase{"501231", 1, "510101"}, AddCase{"990101", -1, "981231"},
        AddCase{"991231", 1, "000101"},
        // An eight-digit result must fit four year digits.
        AddCase{"99991231", 1, "refused"}, AddCase{"00000101", -1, "refused"},
        // Long spans step over whole 400-year runs and still land exactly.
        AddCase{"20000101", 1461000, "60000131"}, AddCase{"20000101", 2921939, "99991231"},
        AddCase{"20000101", -730485, "00000101"}, AddCase{"20000101", -730486, "refused"},
        AddCase{"19990315", 1461 * 3 + 1, "20110316"}, AddCase{"20000101", INT32_MAX, "refused"},
        AddCase{"20000101", INT32_MIN, "refused"}));

struct DiffCase {
  const char* left;
  const char* right;
  int32_t days;
};

class DateDifferenceTest : public ::testing::TestWithParam<DiffCase> {};

// Right minus left, with every leap day between the two counted once:
// consecutive days are always one apart, across any year end.
TEST_P(DateDifferenceTest, CountsTheDaysFromLeftToRight) {
  const DiffCase& c = GetParam();
  EXPECT_EQ(DaysBetween(Read(c.left), Read(c.right)), c.days) << c.left << " .. " << c.right;
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, DateDifferenceTest,
    ::testing::Values(DiffCase{"20001231", "20010101", 1}, DiffCase{"19991231", "20000101", 1},
                      DiffCase{"20010101", "20001231", -1}, DiffCase{"20000101", "20010101", 366},
                      DiffCase{"20010101", "20020101", 365}, DiffCase{"19960101", "20000101", 1461},
                      DiffCase{"20000228", "20000301", 2}, DiffCase{"19000228", "19000301", 1},
                      DiffCase{"21000228", "21000301", 1}, DiffCase{"19000229", "19000301", 0},
                      DiffCase{"19500615", "20400301", 32767}, DiffCase{"991231", "20000101", 1},
                      DiffCase{"00000101", "99991231", 3652424}));

TEST(DateTimeTest, EveryDayOfFourCenturiesIsOneAfterThePrevious) {
  CalendarDate d = Read("18991230");
  for (int i = 0; i < 400 * 366; ++i) {
    CalendarDate next = AddDays(d, 1);
    ASSERT_EQ(DaysBetween(d, next), 1) << Write(d);
    ASSERT_EQ(Write(AddDays(next, -1)), Write(d));
    d = next;
  }
}

TEST(DateTimeTest, ImpossibleDatesAreNotDates) {
  CalendarDate d;
  for (const char* text : {"19991301", "19990001", "19990230", "19990431", "19990100", "1999011",
                           "1999-1-1", "990229", "", "199901011"}) {
    EXPECT_FALSE(ReadStoredDate(text, 9, &d)) << text;
  }
  EXPECT_TRUE(ReadStoredDate("19960229", 9, &d));
  // Stored by earlier versions, which leapt every fourth year: still read.
  EXPECT_TRUE(ReadStoredDate("19000229", 9, &d));
  EXPECT_FALSE(ReadStoredDate("19010229", 9, &d));
  // The length bounds the read: the first six bytes are a date of their own.
  EXPECT_TRUE(ReadStoredDate("99123199", 6, &d));
  EXPECT_EQ(d.digits, 6);
}

struct LiteralCase {
  const char* display;
  int32_t digits;
  const char* stored;  // "" when refused
};

class DateLiteralTest : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(DateLiteralTest, DisplayDatesBecomeStoredDates) {
  const LiteralCase& c = GetParam();
  char out[kDateTextSize] = "x";
  EXPECT_EQ(DateLiteral(c.display, c.digits, out, sizeof out), c.stored[0] != '\0');
  EXPECT_STREQ(out, c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DateLiteralTest,
    ::testing::Values(LiteralCase{"31/12/1999", 8, "19991231"},
                      LiteralCase{"31/12/99", 8, "19991231"},
                      LiteralCase{"5/1/2024", 8, "20240105"},
                      LiteralCase{"31/12/1999", 6, "991231"}, LiteralCase{"29/02/1900", 8, ""},
                      LiteralCase{"29/02/2100", 8, ""}, LiteralCase{"29/02/2000", 8, "20000229"},
                      LiteralCase{"29/02/00", 6, ""}, LiteralCase{"29/02/2023", 8, ""},
                      LiteralCase{"30/02/1996", 8, ""}, LiteralCase{"01/13/1999", 8, ""},
                      LiteralCase{"1999-12-31", 8, ""}, LiteralCase{"31/12/199", 8, ""},
                      LiteralCase{"31/12/", 8, ""}, LiteralCase{"31/12", 8, ""},
                      LiteralCase{"31/12/1999x", 8, ""}, LiteralCase{"", 8, ""}));

TEST(DateTimeTest, TimeLiteralsTakeHoursAndMinutesAroundTheSeparator) {
  char out[kTimeTextSize];
  EXPECT_TRUE(TimeLiteral("12h30", out, sizeof out));
  EXPECT_STREQ(out, "1230");
  EXPECT_TRUE(TimeLiteral("00h00", out, sizeof out));
  EXPECT_STREQ(out, "0000");
  for (const char* bad : {"24h00", "12h60", "9h30", "12h3", "12h300", "ab:cd", ""}) {
    EXPECT_FALSE(TimeLiteral(bad, out, sizeof out)) << bad;
    EXPECT_STREQ(out, "");
  }
}

TEST(DateTimeTest, StoredTimesBeyondTheDayWrapIntoIt) {
  int32_t m = -1;
  EXPECT_TRUE(ReadStoredTime("2330", 5, &m));
  EXPECT_EQ(m, 23 * 60 + 30);
  EXPECT_TRUE(ReadStoredTime("2530", 5, &m));
  EXPECT_EQ(m, 90);
  EXPECT_FALSE(ReadStoredTime("123", 5, &m));
  EXPECT_FALSE(ReadStoredTime("12:3", 5, &m));
  char out[kTimeTextSize];
  WriteStoredTime(-30, out, sizeof out);
  EXPECT_STREQ(out, "2330");
}

TEST(DateTimeTest, DateItemsGainAndLoseTheirCentury) {
  char out[kDateTextSize];
  DateFromItem("991231", 6, out, sizeof out);
  EXPECT_STREQ(out, "19991231");
  DateFromItem("20001231XYZ", 8, out, sizeof out);
  EXPECT_STREQ(out, "20001231");
  DateFromItem("", 6, out, sizeof out);
  EXPECT_STREQ(out, "");  // an empty item is no date, not "19"

  char item[kDateTextSize];
  EXPECT_EQ(DateToItem("20001231", 6, item, sizeof item), 6);
  EXPECT_STREQ(item, "001231");
  EXPECT_EQ(DateToItem("20001231", 8, item, sizeof item), 8);
  EXPECT_STREQ(item, "20001231");
  // A date already of six characters keeps them all; one going into an
  // eight-character item gets its century, so both read back as that day.
  EXPECT_EQ(DateToItem("991231", 6, item, sizeof item), 6);
  EXPECT_STREQ(item, "991231");
  EXPECT_EQ(DateToItem("991231", 8, item, sizeof item), 8);
  EXPECT_STREQ(item, "19991231");
  char small[4];
  EXPECT_EQ(DateToItem("20001231", 8, small, sizeof small), 3);
  EXPECT_STREQ(small, "200");
}

}  // namespace
}  // namespace zksql
