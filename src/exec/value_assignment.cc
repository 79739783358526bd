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
#include <cstdlib>
#include <cstring>

#include "api/request.h"
#include "exec/evaluator.h"
#include "exec/statement_executor.h"
#include "platform.h"
#include "sql/parse_node.h"
#include "sql/token_codes.h"
#include "storage/column.h"
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

// A text into a column: a numeric column takes the number the text
// writes (refused when it is no number: it would store as 0 or as its
// leading digits); a raw column takes the bytes, zero-padded, when they
// fit (the store copies the item's whole size, which a shorter text does
// not have); every other column takes the text itself, as a literal of
// the column's own kind is written.
int16_t StoreText(Column* column, const char* text) {
  switch (column->Kind()) {
    case kKindNumber: {
      if (!IsNumberText(text)) return 0;
      // The reader takes a sign only as the first character.
      while (IsBlank(*text)) ++text;
      double real = Converter().ParseNumber(text);
      column->SetValue(&real);
      return 1;
    }
    case kKindOther: {
      size_t length = std::strlen(text);
      if (length > column->size()) return 0;
      char* bytes = static_cast<char*>(std::calloc(column->size() + 1u, 1));
      if (bytes == nullptr) return 0;
      std::memcpy(bytes, text, length);
      column->SetValue(bytes);
      std::free(bytes);
      return 1;
    }
    default:
      column->SetValue(text);
      return 1;
  }
}

// A number into a column. A numeric column takes it as a real, whatever
// its value type (16- and 32-bit results of INTEGER, LENGTH and FLOAT
// included), since the store reads a real. A text column takes its
// six-decimal text ("%lf"), refused when longer than the item: a cut
// number would be another number. A binary memo, date, time or raw item
// has no form for a number, so the assignment fails.
int16_t StoreNumber(Column* column, const TypedValue& value) {
  double real = 0;
  if (value.bytes == nullptr || value.length < NumberWidth(value.type) ||
      !ReadNumber(value.type, value.bytes, &real)) {
    return 0;
  }
  if (column->Kind() == kKindNumber) {
    column->SetValue(&real);
    return 1;
  }
  int32_t capacity = TextCapacity(*column);
  if (capacity < 0) return 0;
  char text[kNumberTextSize];
  int length = ZkFormat(text, sizeof text, "%lf", real);
  if (length < 0 || length >= static_cast<int>(sizeof text) || length > capacity) return 0;
  column->SetValue(text);
  return 1;
}

// A text, date or time value into a column. Its bytes are read only up to
// its length, so a value without a terminator inside it is refused. A
// date or time goes into a column of its own kind or a text column; into
// a number, or the other of the two, it would be misread.
int16_t StoreTextValue(Column* column, const TypedValue& value) {
  if (value.bytes == nullptr || value.length == 0 ||
      std::memchr(value.bytes, '\0', value.length) == nullptr) {
    return 0;
  }
  TypeKind kind = KindOf(value.type);
  int16_t target = column->Kind();
  if (kind == TypeKind::kDate && target != kKindDate && target != kKindText) return 0;
  if (kind == TypeKind::kTime && target != kKindTime && target != kKindText) return 0;
  return StoreText(column, value.bytes);
}

}  // namespace

int16_t StatementExecutor::AssignValue(Request* req, ParseNode* valueNode, Column* column) {
  if (req == nullptr) req = request;
  // A composite key holds no bytes of its own: a value given to it would
  // be dropped without a word.
  if (column == nullptr || column->IsComposite() || valueNode == nullptr) return 0;
  ParseNode* literal = valueNode->child;
  // NULL and DEFAULT (no child) give no value.
  if (literal == nullptr) return 0;
  if (literal->code == LEX_CHAINE) {
    return StoreText(column, literal->text == nullptr ? "" : literal->text);
  }
  Evaluator* evaluator = req == nullptr ? nullptr : dynamic_cast<Evaluator*>(req->evaluator);
  if (evaluator == nullptr) return 0;
  TypedValue value;
  if (!evaluator->EvaluateItem(valueNode, nullptr, &value)) {
    ReleaseValue(&value);
    return 0;
  }
  int16_t ok = 0;
  switch (KindOf(value.type)) {
    case TypeKind::kNumber:
      ok = StoreNumber(column, value);
      break;
    case TypeKind::kText:
    case TypeKind::kDate:
    case TypeKind::kTime:
      ok = StoreTextValue(column, value);
      break;
    default:
      ok = 0;
      break;
  }
  ReleaseValue(&value);
  return ok;
}

}  // namespace zksql
