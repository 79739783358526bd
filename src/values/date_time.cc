// Dates and times: reading and writing their stored and display texts, and
// calendar arithmetic. New dates and arithmetic follow the Gregorian leap
// rule (a century year is a leap year only when divisible by 400), so no
// day that never existed is written. Stored dates are read leniently: a
// 29 February of any year divisible by 4 was accepted by earlier versions
// and still reads, so existing files keep every value they hold.
#include "values/date_time.h"

#include <cstdint>
#include <cstring>

#include "platform.h"

namespace zksql {
namespace {

// Days before each month in a common year.
constexpr int32_t kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The number formed by n digits at text; the caller has checked them.
int32_t DigitsValue(const char* text, int n) {
  int32_t v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (text[i] - '0');
  return v;
}

// Length of text up to its terminator or `length`, whichever comes first.
size_t BoundedLength(const char* text, size_t length) {
  size_t n = 0;
  while (n < length && text[n] != '\0') ++n;
  return n;
}

bool IsCalendarDay(int32_t year, int32_t month, int32_t day) {
  return month >= 1 && month <= 12 && day >= 1 && day <= MonthLength(month, year);
}

// What a stored date may hold: any day of the calendar, or the 29 February
// of a century year that earlier versions, leaping every fourth year, let
// in. Arithmetic counts such a day as the 1 March that follows.
bool IsStoredDay(int32_t year, int32_t month, int32_t day) {
  return IsCalendarDay(year, month, day) || (month == 2 && day == 29 && year % 4 == 0);
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Leap years among the years 0 to year - 1 (year 0 is one), as a signed
// count for years before 0: floor division keeps it consistent across 0.
int64_t LeapYearsBefore(int32_t year) {
  int64_t y = static_cast<int64_t>(year);
  return FloorDiv(y + 3, 4) - FloorDiv(y + 99, 100) + FloorDiv(y + 399, 400);
}

void Clear(char* out, int32_t size) {
  if (out != nullptr && size > 0) out[0] = '\0';
}

// Reads one run of 1 to `most` digits at *p, moving *p past it.
bool ReadField(const char** p, int most, int32_t* value, int* count) {
  int n = 0;
  while (IsDigit((*p)[n])) {
    if (++n > most) return false;
  }
  if (n == 0) return false;
  *value = DigitsValue(*p, n);
  *count = n;
  *p += n;
  return true;
}

}  // namespace

bool IsLeapYear(int32_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int32_t YearLength(int32_t year) {
  return IsLeapYear(year) ? 366 : 365;
}

int32_t MonthLength(int32_t month, int32_t year) {
  switch (month) {
    case 2:
      return IsLeapYear(year) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    default:
      return 31;
  }
}

int32_t DayOfYear(const CalendarDate& date) {
  int32_t month = date.month >= 1 && date.month <= 12 ? date.month : 1;
  return date.day + kDaysBefore[month - 1] + (month > 2 && IsLeapYear(date.year) ? 1 : 0);
}

bool ReadStoredDate(const char* text, size_t length, CalendarDate* date) {
  if (text == nullptr || date == nullptr) return false;
  size_t n = BoundedLength(text, length);
  if (n != 8 && n != 6) return false;
  for (size_t i = 0; i < n; ++i) {
    if (!IsDigit(text[i])) return false;
  }
  CalendarDate d;
  d.digits = static_cast<int32_t>(n);
  int yearDigits = n == 8 ? 4 : 2;
  d.year = DigitsValue(text, yearDigits) + (n == 6 ? 1900 : 0);
  d.month = DigitsValue(text + yearDigits, 2);
  d.day = DigitsValue(text + yearDigits + 2, 2);
  if (!IsStoredDay(d.year, d.month, d.day)) return false;
  *date = d;
  return true;
}

bool WriteStoredDate(const CalendarDate& date, int32_t digits, char* out, int32_t size) {
  Clear(out, size);
  if (out == nullptr || size < kDateTextSize) return false;
  if (date.year < 0 || !IsCalendarDay(date.year, date.month, date.day)) return false;
  if (digits == 8) {
    if (date.year > 9999) return false;
    ZkFormat(out, size, "%04d%02d%02d", static_cast<int>(date.year), static_cast<int>(date.month),
             static_cast<int>(date.day));
  } else {
    ZkFormat(out, size, "%02d%02d%02d", static_cast<int>(date.year % 100),
             static_cast<int>(date.month), static_cast<int>(date.day));
  }
  return true;
}

CalendarDate AddDays(const CalendarDate& date, int32_t days) {
  // Any 400 consecutive years hold exactly 97 leap years, so whole runs of
  // 400 years (146097 days) are stepped over at once; the remainder is
  // walked year by year. The sum is kept in 64 bits so no count overflows.
  constexpr int64_t kRunDays = 400 * 365 + 97;
  constexpr int32_t kRunYears = 400;
  int32_t year = date.year;
  int64_t r = static_cast<int64_t>(DayOfYear(date)) + days;
  if (r > 0) {
    if (r > kRunDays) {
      int64_t runs = (r - 1) / kRunDays;
      r -= runs * kRunDays;
      year += static_cast<int32_t>(kRunYears * runs);
    }
    while (r > YearLength(year)) {
      r -= YearLength(year);
      ++year;
    }
  } else {
    r = -r;
    --year;
    if (r >= kRunDays) {
      int64_t runs = r / kRunDays;
      r -= runs * kRunDays;
      year -= static_cast<int32_t>(kRunYears * runs);
    }
    while (r >= YearLength(year)) {
      r -= YearLength(year);
      --year;
    }
    r = YearLength(year) - r;
  }
  int32_t day = static_cast<int32_t>(r);
  int32_t month = 1;
  while (month < 12 && day > MonthLength(month, year)) {
    day -= MonthLength(month, year);
    ++month;
  }
  CalendarDate result;
  result.year = year;
  result.month = month;
  result.day = day;
  result.digits = date.digits;
  return result;
}

int32_t DaysBetween(const CalendarDate& left, const CalendarDate& right) {
  // Each date becomes a count of days since the start of year 0, with one
  // leap day for every leap year before its own. Counting the leap days of
  // the years between the two dates (and not just comparing year / 4)
  // keeps consecutive days exactly one apart across every year end.
  auto serial = [](const CalendarDate& d) {
    return static_cast<int64_t>(d.year) * 365 + LeapYearsBefore(d.year) + DayOfYear(d);
  };
  int64_t days = serial(right) - serial(left);
  if (days > INT32_MAX) return INT32_MAX;
  if (days < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(days);
}

bool ReadStoredTime(const char* text, size_t length, int32_t* minutes) {
  if (text == nullptr || minutes == nullptr) return false;
  if (BoundedLength(text, length) != 4) return false;
  for (int i = 0; i < 4; ++i) {
    if (!IsDigit(text[i])) return false;
  }
  *minutes = (DigitsValue(text, 2) * 60 + DigitsValue(text + 2, 2)) % kMinutesPerDay;
  return true;
}

void WriteStoredTime(int32_t minutes, char* out, int32_t size) {
  int32_t m = minutes % kMinutesPerDay;
  if (m < 0) m += kMinutesPerDay;
  ZkFormat(out, size, "%02d%02d", static_cast<int>(m / 60), static_cast<int>(m % 60));
}

bool DateLiteral(const char* display, int32_t digits, char* out, int32_t size) {
  Clear(out, size);
  if (display == nullptr || (digits != 8 && digits != 6)) return false;
  const char* p = display;
  CalendarDate d;
  int n = 0;
  if (!ReadField(&p, 2, &d.day, &n) || *p != '/') return false;
  ++p;
  if (!ReadField(&p, 2, &d.month, &n) || *p != '/') return false;
  ++p;
  if (!ReadField(&p, 4, &d.year, &n) || *p != '\0') return false;
  if (n == 2) {
    d.year += 1900;
  } else if (n != 4) {
    return false;
  }
  return WriteStoredDate(d, digits, out, size);
}

bool TimeLiteral(const char* display, char* out, int32_t size) {
  Clear(out, size);
  if (display == nullptr || out == nullptr || size < kTimeTextSize) return false;
  size_t n = strlen(display);
  if (n != 5) return false;  // HH, a separator, MM
  char text[kTimeTextSize] = {display[0], display[1], display[3], display[4], '\0'};
  for (int i = 0; i < 4; ++i) {
    if (!IsDigit(text[i])) return false;
  }
  if (DigitsValue(text, 2) > 23 || DigitsValue(text + 2, 2) > 59) return false;
  memcpy(out, text, sizeof text);
  return true;
}

void DateFromItem(const char* item, int32_t width, char* out, int32_t size) {
  Clear(out, size);
  if (item == nullptr || out == nullptr || size < 1 || width < 0) return;
  size_t n = BoundedLength(item, static_cast<size_t>(width));
  int32_t t = 0;
  // The century goes only in front of a full 6-character date: an empty
  // item stays empty rather than becoming the text "19".
  if (width == 6 && n == 6) {
    for (const char* c = "19"; *c != '\0' && t < size - 1; ++c) out[t++] = *c;
  } else if (n > 8) {
    n = 8;
  }
  for (size_t i = 0; i < n && t < size - 1; ++i) out[t++] = item[i];
  out[t] = '\0';
}

int32_t DateToItem(const char* date, int32_t width, char* out, int32_t size) {
  Clear(out, size);
  if (date == nullptr || out == nullptr || size < 1 || width < 0) return 0;
  size_t n = strlen(date);
  char widened[kDateTextSize];
  const char* source = date;
  // Only the century of a full 8-character date can be dropped; a text
  // that already has 6 characters is written as it is, and an 8-character
  // item receiving a 6-character date gets the century back, so the item
  // always reads back as the same day.
  if (width == 6 && n == 8) {
    source = date + 2;
  } else if (width == 8 && n == 6) {
    ZkFormat(widened, sizeof widened, "19%s", date);
    source = widened;
  }
  int32_t t = 0;
  while (t < width && t < size - 1 && source[t] != '\0') {
    out[t] = source[t];
    ++t;
  }
  out[t] = '\0';
  return t;
}

}  // namespace zksql
