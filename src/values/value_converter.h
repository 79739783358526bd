// The value converter: the one place where typed values are compared and
// combined, and where numbers, decimals, dates and times change form.
//
// The evaluator compares and combines typed values through it, the
// columns convert stored items, the row sort orders keys and the fetch
// path formats numbers. It holds no state, so a single process-wide
// instance (Converter()) serves every caller.
//
// Operator codes are the token codes of the statement's operators. An
// operation the converter does not allow — kinds that do not combine, an
// unknown operator, division by zero, a negated text, date or time, a date
// or time text that is not a real day or time, a date result outside the
// years the text can hold — yields no value (Arithmetic returns false and
// allocates nothing), which the evaluator treats as a missing value.
#ifndef ZKSQL_VALUES_VALUE_CONVERTER_H_
#define ZKSQL_VALUES_VALUE_CONVERTER_H_

#include <cstddef>
#include <cstdint>

#include "base/base_object.h"
#include "values/date_time.h"     // kDateTextSize, kTimeTextSize
#include "values/decimal.h"       // kDecimalBytes, kDecimalTextSize
#include "values/number_text.h"   // kNumberTextSize
#include "values/typed_value.h"

namespace zksql {

class ValueConverter : public BaseObject {
 public:
  // Comparison operators (and the NULL test, which reads the left side only).
  static constexpr int16_t kOpEqual = 221;
  static constexpr int16_t kOpNotEqual = 209;
  static constexpr int16_t kOpLess = 212;
  static constexpr int16_t kOpGreater = 213;
  static constexpr int16_t kOpLessEqual = 210;
  static constexpr int16_t kOpGreaterEqual = 211;
  static constexpr int16_t kOpIsNull = 43;
  // Arithmetic operators; subtraction without a second operand negates.
  static constexpr int16_t kOpAdd = 201;
  static constexpr int16_t kOpSubtract = 202;
  static constexpr int16_t kOpMultiply = 204;
  static constexpr int16_t kOpDivide = 205;

  // Order kinds of OrderCompare: 1 reals, 2 to 4 texts (text, date, time).
  static constexpr int16_t kOrderReal = 1;

  // 1 when `a op b` holds, else 0. Numbers compare as reals rounded to six
  // decimals; texts, dates and times byte by byte as unsigned characters,
  // a text that is a prefix of the other sorting first; an 8-character
  // date or time compared with a 6-character operand is read from its
  // third character. Operands of different kinds never compare (0). The
  // NULL test holds for a zero number or an empty text; b is not read.
  // Texts are zero-terminated; numbers are read by their type's width.
  int16_t Compare(int16_t op, int16_t typeA, const void* a, int16_t typeB, const void* b) const;
  // The same, reading no further than each value's length.
  int16_t Compare(int16_t op, const TypedValue& a, const TypedValue& b) const;

  // What "=" makes of a value, for looking values up in a hash instead of
  // comparing them one by one: kKeyed values are equal exactly when their
  // keys are (same kind, same six-decimal real, or same bytes up to the
  // terminator); a kNeverEqual value equals nothing (no value, NaN, a
  // number shorter than its type); a kNotPlain value (a date or a time,
  // whose equality reads texts as digits) must be compared by Compare.
  enum class Equality { kKeyed, kNeverEqual, kNotPlain };
  struct EqualityKey {
    bool number = false;
    double real = 0;             // a number at six decimals, 0 for -0
    const char* text = nullptr;  // a text's bytes (not terminated)
    size_t length = 0;
  };
  Equality KeyForEquality(const TypedValue& value, EqualityKey* key) const;

  // a op b (typeB 0: no second operand, for negation). True with a fresh
  // malloc'ed buffer in *outBytes, its type and length; false when the
  // operation is not allowed (outputs cleared, nothing allocated).
  //  - number op number: + - * / in reals, stored in the left type
  //    (integers truncated toward zero and held at the type's limits);
  //  - text + text: concatenation, type 8;
  //  - date - date: days from the left date to the right date, type 1;
  //  - time - time: the time from the left to the right, type 10;
  //  - date +/- number: that many days later/earlier, same text width;
  //  - time +/- number: that many hours later/earlier, within the day.
  [[nodiscard]] bool Arithmetic(int16_t typeA, uint16_t lengthA, const void* a, int16_t op, int16_t typeB,
                     uint16_t lengthB, const void* b, int16_t* outType, uint16_t* outLength,
                     char** outBytes) const;
  // The same on typed values; *out receives the new value (or is cleared).
  [[nodiscard]] bool Arithmetic(const TypedValue& a, int16_t op, const TypedValue& b, TypedValue* out) const;

  // The display text of a number (digits: 7 for 32-bit float items, else
  // 9) into out; returns its length. See number_text.h.
  int32_t NumberText(double real, int digits, char* out, int32_t size) const;
  // A number text as a real. See number_text.h.
  double ParseNumber(const char* text) const;

  // The 80-bit fixed-point decimal of stored decimal items. See decimal.h.
  int32_t DecimalToText(const void* item, char* out, int32_t size) const;
  [[nodiscard]] bool TextToDecimal(const char* text, void* item) const;
  double DecimalToReal(const void* item) const;
  [[nodiscard]] bool RealToDecimal(double real, void* item) const;

  // DD/MM/YYYY or DD/MM/YY to a stored date of `digits` (8 or 6)
  // characters; HHhMM to HHMM. False, with an empty out, for a text that is
  // not a real day (or a time within the day). See date_time.h.
  [[nodiscard]] bool DateLiteral(const char* display, int16_t digits, char* out, int32_t size) const;
  [[nodiscard]] bool TimeLiteral(const char* display, char* out, int32_t size) const;
  // Date items to and from YYYYMMDD. See date_time.h.
  void DateFromItem(const char* item, int32_t width, char* out, int32_t size) const;
  int32_t DateToItem(const char* date, int32_t width, char* out, int32_t size) const;

  // Sort order of two keys: -1, 0 or 1. Kind 1 reads two 64-bit reals (NaN
  // after every number, so the order stays total); kinds 2 to 4 compare
  // zero-terminated texts as unsigned bytes; any other kind gives 0.
  int16_t OrderCompare(int16_t kind, const void* a, const void* b) const;

  // SQL LIKE (see text_utils.h).
  int16_t Like(const char* text, const char* pattern) const;
};

// The process-wide converter.
const ValueConverter& Converter();

}  // namespace zksql

#endif  // ZKSQL_VALUES_VALUE_CONVERTER_H_
