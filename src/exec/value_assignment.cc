// AssignValue: one value of an INSERT or UPDATE stored into a column of
// its table's row buffer.
//
// A column's store (Column::SetValue) reads a 64-bit real for numeric
// items and a zero-terminated text for the others: text, memo, date and
// time items. A value is handed over only in the form the store reads:
// converted where the conversion keeps the value whole, refused otherwise.
// A refused value fails the assignment, and the statement reports it,
// rather than storing bytes the store would misread or a number cut into
// a different one.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/fast_paths.h"
#include "base/statement_context.h"
#include "exec/evaluator.h"
#include "exec/statement_executor.h"
#include "platform.h"
#include "sql/parse_node.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "values/date_time.h"
#include "values/number_text.h"
#include "values/typed_value.h"
#include "values/value_converter.h"

namespace zksql {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// True when `text` is a number as a statement writes one: blanks around,
// an optional sign, digits with at most one decimal separator ("." or
// ","), an optional exponent. The number reader itself skips what it does
// not know, so "12abc" would silently read as 12: the text is checked
// whole first.
bool IsNumberText(const char* text) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  if (*p == '+' || *p == '-') ++p;
  int digits = 0;
  while (IsDigit(*p)) ++p, ++digits;
  if (*p == '.' || *p == ',') {
    ++p;
    while (IsDigit(*p)) ++p, ++digits;
  }
  if (digits == 0) return false;
  if (*p == 'E' || *p == 'e') {
    ++p;
    if (*p == '+' || *p == '-') ++p;
    if (!IsDigit(*p)) return false;
    while (IsDigit(*p)) ++p;
  }
  while (IsBlank(*p)) ++p;
  return *p == '\0';
}

// Characters a text item holds (its terminator or count byte apart); -1
// for an item that is not a text the store writes characters into.
int32_t TextCapacity(const Column& column) {
  int32_t size = column.size();
  switch (column.type()) {
    case kTypeText:
      return size > 0 ? size - 1 : 0;
    case kTypeCountedText:
      return size <= 0 ? 0 : (size - 1 > 255 ? 255 : size - 1);
    case kTypeFixedText:
      return size;
    case kTypeTextMemo:
      return kMemoWriteLimit;
    default:
      return -1;
  }
}

bool Digits(const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int TwoDigits(const char* text) {
  return (text[0] - '0') * 10 + (text[1] - '0');
}

// The stored form of a date text: "YYYYMMDD" as it is, and
// "YYYY-MM-DD" (also with "/" or ".") without its separators; "" stays
// empty. False for anything else, or a month or day that does not exist:
// the item keeps only the first characters it is given, so "2024-02-29"
// stored as it stands would read back as "2024-02-", another value that
// no longer compares as a date.
bool DateText(const char* text, char* out) {
  size_t n = std::strlen(text);
  if (n == 0) {
    out[0] = '\0';
    return true;
  }
  char digits[9];
  if (n == 10 && (text[4] == '-' || text[4] == '/' || text[4] == '.') && text[7] == text[4]) {
    std::memcpy(digits, text, 4);
    std::memcpy(digits + 4, text + 5, 2);
    std::memcpy(digits + 6, text + 8, 2);
    digits[8] = '\0';
    n = 8;
  } else if (n == 8) {
    std::memcpy(digits, text, n + 1);
  } else {
    return false;
  }
  if (!Digits(digits, n)) return false;
  int month = TwoDigits(digits + 4);
  int day = TwoDigits(digits + 6);
  int year = TwoDigits(digits) * 100 + TwoDigits(digits + 2);
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  // A new date keeps to the Gregorian calendar: no 29 February in 1900 or
  // 2100 (stored ones from earlier versions still read, see date_time).
  if (month == 2 && day == 29 && !IsLeapYear(year)) return false;
  std::memcpy(out, digits, n + 1);
  return true;
}

// The stored form of a time text: "HHMM" as it is, "HH:MM" and "HH:MM:00"
// without separators. A time with seconds other than 00 is refused: the
// item holds hours and minutes only, and the seconds would be lost.
bool TimeText(const char* text, char* out) {
  size_t n = std::strlen(text);
  if (n == 0) {
    out[0] = '\0';
    return true;
  }
  char digits[5];
  if (n == 4) {
    std::memcpy(digits, text, 4);
  } else if ((n == 5 || (n == 8 && text[5] == ':' && text[6] == '0' && text[7] == '0')) &&
             text[2] == ':') {
    std::memcpy(digits, text, 2);
    std::memcpy(digits + 2, text + 3, 2);
  } else {
    return false;
  }
  digits[4] = '\0';
  if (!Digits(digits, 4) || TwoDigits(digits) > 23 || TwoDigits(digits + 2) > 59) return false;
  std::memcpy(out, digits, 5);
  return true;
}

// Whether a numeric item can hold the number. The store keeps an integer
// item's low bytes, so 70000 in a SMALLINT would read back as 4464: a
// number out of the item's range is refused rather than stored as another
// number. The fraction of a number given to an integer item is dropped, as
// integer items have always done.
bool FitsNumber(const Column& column, double real) {
  if (std::isnan(real)) return false;
  double whole = std::trunc(real);
  switch (column.type()) {
    case kTypeInt8:
      return whole >= -128 && whole <= 127;
    case kTypeUInt8:
      return whole >= 0 && whole <= 255;
    case kTypeInt16:
      return whole >= -32768 && whole <= 32767;
    case kTypeUInt16:
      return whole >= 0 && whole <= 65535;
    case kTypeInt32:
      return whole >= -2147483648.0 && whole <= 2147483647.0;
    case kTypeUInt32:
      return whole >= 0 && whole <= 4294967295.0;
    case kTypeFloat:
      return std::fabs(real) <= FLT_MAX;
    // Six decimals in an 80-bit integer.
    case kTypeDecimal:
      return std::fabs(real) < 6.0e17;
    default:
      return !std::isinf(real);
  }
}

// A text into a column: a numeric column takes the number the text
// writes (refused when it is no number: it would store as 0 or as its
// leading digits); a raw column takes the bytes, zero-padded, when they
// fit (the store copies the item's whole size, which a shorter text does
// not have); every other column takes the text itself, as a literal of
// the column's own kind is written.
bool StoreText(Column* column, const char* text) {
  switch (column->Kind()) {
    case kKindNumber: {
      if (!IsNumberText(text)) return false;
      // The reader takes a sign only as the first character.
      while (IsBlank(*text)) ++text;
      double real = Converter().ParseNumber(text);
      if (!FitsNumber(*column, real)) return false;
      column->SetValue(&real);
      return true;
    }
    case kKindOther: {
      size_t length = std::strlen(text);
      if (length > column->size()) return false;
      // The item's bytes, zero-padded: on the stack when they are few.
      char small[256];
      size_t size = column->size() + 1u;
      char* bytes = size <= sizeof small ? small : static_cast<char*>(std::malloc(size));
      if (bytes == nullptr) return false;
      std::memcpy(bytes, text, length);
      std::memset(bytes + length, 0, size - length);
      column->SetValue(bytes);
      if (bytes != small) std::free(bytes);
      return true;
    }
    case kKindDate: {
      char stored[9];
      if (!DateText(text, stored)) return false;
      column->SetValue(stored);
      return true;
    }
    case kKindTime: {
      char stored[5];
      if (!TimeText(text, stored)) return false;
      column->SetValue(stored);
      return true;
    }
    default:
      column->SetValue(text);
      return true;
  }
}

// The six-decimal text ("%lf") of a whole number a double holds exactly,
// written without the formatter: "-" for a negative one (negative zero
// included), its digits, ".000000". `text` has room for it. Returns its
// length.
int WholeSixDecimalText(double real, char* text) {
  char* out = text;
  if (std::signbit(real)) *out++ = '-';
  out += WholeDigits(static_cast<unsigned long long>(std::fabs(real)), out);
  std::memcpy(out, ".000000", 8);
  return static_cast<int>(out - text) + 7;
}

// A number into a column. A numeric column takes it as a real, whatever
// its value type (16- and 32-bit results of INTEGER, LENGTH and FLOAT
// included), since the store reads a real. A text column takes its
// six-decimal text ("%lf"), refused when longer than the item: a cut
// number would be another number. A binary memo, date, time or raw item
// has no form for a number, so the assignment fails.
bool StoreReal(Column* column, double real) {
  if (column->Kind() == kKindNumber) {
    if (!FitsNumber(*column, real)) return false;
    column->SetValue(&real);
    return true;
  }
  int32_t capacity = TextCapacity(*column);
  if (capacity < 0) return false;
  char text[kNumberTextSize];
  int length = FastPathsOn() && IsExactWholeNumber(real) ? WholeSixDecimalText(real, text)
                                                         : ZkFormat(text, sizeof text, "%lf", real);
  if (length < 0 || length >= static_cast<int>(sizeof text) || length > capacity) return false;
  column->SetValue(text);
  return true;
}

// A number value into a column: its real, stored as above.
bool StoreNumber(Column* column, const TypedValue& value) {
  double real = 0;
  if (value.bytes == nullptr || value.length < NumberWidth(value.type) ||
      !ReadNumber(value.type, value.bytes, &real)) {
    return false;
  }
  return StoreReal(column, real);
}

bool IsNumberLiteral(int16_t code) {
  return code == LEX_ENTIER || code == LEX_ENTIER_SIGNE || code == LEX_NOMBRE_DECIMAL ||
         code == LEX_REEL;
}

// A text, date or time value into a column. Its bytes are read only up to
// its length, so a value without a terminator inside it is refused. A
// date or time goes into a column of its own kind or a text column; into
// a number, or the other of the two, it would be misread.
bool StoreTextValue(Column* column, const TypedValue& value) {
  if (value.bytes == nullptr || value.length == 0 ||
      std::memchr(value.bytes, '\0', value.length) == nullptr) {
    return false;
  }
  TypeKind kind = KindOf(value.type);
  int16_t target = column->Kind();
  if (kind == TypeKind::kDate && target != kKindDate && target != kKindText) return false;
  if (kind == TypeKind::kTime && target != kKindTime && target != kKindText) return false;
  return StoreText(column, value.bytes);
}

}  // namespace

bool StatementExecutor::AssignValue(ParseNode* valueNode, Column* column) {
  // A composite key holds no bytes of its own: a value given to it would
  // be dropped without a word.
  if (column == nullptr || column->IsComposite() || valueNode == nullptr) return false;
  ParseNode* literal = valueNode->child;
  // NULL and DEFAULT (no child) give no value.
  if (literal == nullptr) return false;
  if (literal->code == LEX_CHAINE) {
    return StoreText(column, literal->text == nullptr ? "" : literal->text);
  }
  if (evaluator == nullptr) return false;
  if (FastPathsOn() && IsNumberLiteral(literal->code)) {
    // The value of a number literal is the real its text reads as (what
    // the evaluator would make of it): stored without making a value.
    return StoreReal(column,
                     Converter().ParseNumber(literal->text == nullptr ? "" : literal->text));
  }
  OwnedValue value;
  if (!evaluator->EvaluateItem(valueNode, nullptr, &value)) return false;
  switch (KindOf(value->type)) {
    case TypeKind::kNumber:
      return StoreNumber(column, value.view());
    case TypeKind::kText:
    case TypeKind::kDate:
    case TypeKind::kTime:
      return StoreTextValue(column, value.view());
    default:
      return false;
  }
}

}  // namespace zksql
