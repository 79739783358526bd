// Dates and times as the system stores and shows them, and the calendar
// arithmetic on them.
//
// A stored date is a digit text, YYYYMMDD or YYMMDD; a two-digit year
// always means 19YY. Statements write dates as DD/MM/YYYY (or DD/MM/YY)
// and times as HHhMM; a stored time is HHMM. The calendar counts every
// year divisible by 4 as a leap year, with no century rule, so that date
// arithmetic agrees with the dates the rest of the product writes.
//
// Texts that are not dates or times (wrong length, non-digits, a month
// outside 1 to 12, a day the month does not have) are rejected by every
// routine here, so callers can refuse the operation instead of computing
// from nonsense.
#ifndef ZKSQL_VALUES_DATE_TIME_H_
#define ZKSQL_VALUES_DATE_TIME_H_

#include <cstddef>
#include <cstdint>

namespace zksql {

// Room for a stored date text and its terminator.
constexpr int kDateTextSize = 9;
// Room for a stored time text and its terminator.
constexpr int kTimeTextSize = 5;
constexpr int kMinutesPerDay = 1440;

struct CalendarDate {
  int32_t year = 0;  // full year (a two-digit stored year is 19YY)
  int32_t month = 0;
  int32_t day = 0;
  int32_t digits = 8;  // 8 or 6: the width of the stored text it came from
};

bool IsLeapYear(int32_t year);
int32_t YearLength(int32_t year);
int32_t MonthLength(int32_t month, int32_t year);
// Day of the year, 1 for 1 January.
int32_t DayOfYear(const CalendarDate& date);

// Reads a stored date: exactly 6 or 8 digits among the first `length`
// bytes of text (the text ends at its terminator or at `length`), forming
// a real calendar day. True with *date filled.
bool ReadStoredDate(const char* text, size_t length, CalendarDate* date);

// Writes date as a stored text of `digits` (8: YYYY, 6: the last two
// digits of the year) into out (at least kDateTextSize bytes). False,
// with an empty out, when an 8-digit year falls outside 0 to 9999.
bool WriteStoredDate(const CalendarDate& date, int32_t digits, char* out, int32_t size);

// The day `days` days after date (before it when negative).
CalendarDate AddDays(const CalendarDate& date, int32_t days);

// The number of days from `left` to `right` (right minus left).
int32_t DaysBetween(const CalendarDate& left, const CalendarDate& right);

// Reads a stored time: exactly 4 digits HHMM. A time beyond the day (hours
// over 23, minutes over 59) is taken modulo one day, so "2530" reads as
// 01:30; *minutes is in 0 to 1439.
bool ReadStoredTime(const char* text, size_t length, int32_t* minutes);

// Writes minutes (taken modulo one day) as HHMM into out (at least
// kTimeTextSize bytes).
void WriteStoredTime(int32_t minutes, char* out, int32_t size);

// DD/MM/YYYY or DD/MM/YY (day and month of one or two digits) to a stored
// date of `digits` (8 or 6) characters in out. False, with an empty out,
// for a text that is not a real calendar day in that form.
bool DateLiteral(const char* display, int32_t digits, char* out, int32_t size);

// HHhMM to HHMM in out: the first two characters, then those from the
// fourth on. False, with an empty out, unless that gives four digits of a
// time within the day (00:00 to 23:59).
bool TimeLiteral(const char* display, char* out, int32_t size);

// A stored date item of `width` characters (6 or 8) to an 8-character date
// YYYYMMDD in out (at least kDateTextSize bytes): a 6-character item gets
// the century "19" in front, unless it holds fewer than 6 characters (an
// empty item stays empty). Reads at most `width` bytes of item.
void DateFromItem(const char* item, int32_t width, char* out, int32_t size);

// A date text to the `width` characters of a date item, in out (at least
// width + 1 bytes): for a 6-character item the century of an 8-character
// text is left out, and for an 8-character item a 6-character text gets
// the century "19". Returns the number of characters written.
int32_t DateToItem(const char* date, int32_t width, char* out, int32_t size);

}  // namespace zksql

#endif  // ZKSQL_VALUES_DATE_TIME_H_
