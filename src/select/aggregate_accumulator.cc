// AggregateAccumulator: counting, summing and keeping the least or greatest
// value of one aggregate's argument, row by row.
#include "select/aggregate_accumulator.h"

#include <cmath>
#include <cstring>
#include <new>

#include "select/column_value.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "values/value_converter.h"

namespace zksql {

bool AppendEqualityKey(const TypedValue& value, std::string* out) {
  ValueConverter::EqualityKey key;
  try {
    switch (Converter().KeyForEquality(value, &key)) {
      case ValueConverter::Equality::kKeyed:
        if (key.number) {
          out->push_back('N');
          out->append(reinterpret_cast<const char*>(&key.real), sizeof key.real);
          return true;
        }
        out->push_back('T');
        break;
      case ValueConverter::Equality::kNotPlain:
        // A date or a time: one column's values share one form, so their
        // bytes tell them apart.
        out->push_back('P');
        key.text = value.bytes;
        key.length = value.bytes == nullptr ? 0 : strnlen(value.bytes, value.length);
        break;
      case ValueConverter::Equality::kNeverEqual:
        // No value at all: such rows meet under one key of their own.
        out->push_back('X');
        return true;
    }
    uint32_t length = static_cast<uint32_t>(key.length);
    out->append(reinterpret_cast<const char*>(&length), sizeof length);
    out->append(key.text == nullptr ? "" : key.text, key.length);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool AggregateAccumulator::Take(std::string_view rowKey) {
  const AggregateSpec& definition = *spec_;
  if (definition.function == LEX_COUNT_ETOILE) {
    ++count_;
    return true;
  }
  if (definition.function == LEX_COUNT_DISTINCT) {
    try {
      if (seen_.emplace(rowKey).second) ++count_;
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  Column* argument = definition.argument;
  if (argument == nullptr) return true;
  TypedValue value = CurrentValueOf(argument);
  if (value.bytes == nullptr) return true;  // no value: not counted
  if (definition.distinct) {
    std::string key;
    if (!AppendEqualityKey(value, &key)) return false;
    try {
      if (!seen_.insert(std::move(key)).second) return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  ++count_;
  if (definition.function == LEX_SUM || definition.function == LEX_AVG) {
    double x = 0;
    if (ReadNumber(value.type, value.bytes, &x)) sum_ += x;
    if (!argument->HoldsWholeNumbers()) whole_ = false;
    return true;
  }
  // MIN or MAX: the first value, then any that is strictly less (greater).
  const int16_t op =
      definition.function == LEX_MIN ? ValueConverter::kOpLess : ValueConverter::kOpGreater;
  if (kept_.has_value() && !Converter().Compare(op, value, kept_.view())) return true;
  if (!CopyValue(value, &kept_)) return false;
  const unsigned char* field = argument->FieldAddress();
  try {
    if (field == nullptr) {
      keptField_.clear();
    } else {
      keptField_.assign(reinterpret_cast<const char*>(field), argument->size());
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool AggregateAccumulator::SumIsWhole() const {
  return whole_ && std::fabs(sum_) <= 2147483647.0;
}

bool AggregateAccumulator::Value(OwnedValue* out) const {
  switch (spec_->function) {
    case LEX_COUNT_ETOILE:
    case LEX_COUNT_DISTINCT:
      return MakeNumberValue(kValueReal, static_cast<double>(count_), out->Receive());
    case LEX_SUM:
      return MakeNumberValue(kValueReal, sum_, out->Receive());
    case LEX_AVG:
      return MakeNumberValue(kValueReal, count_ == 0 ? 0 : sum_ / static_cast<double>(count_),
                             out->Receive());
    default:
      break;
  }
  if (kept_.has_value()) return CopyValue(kept_.view(), out);
  // Without rows: the absent value of the argument's kind.
  int16_t type = spec_->argument == nullptr ? int16_t{kValueReal} : spec_->argument->ValueType();
  if (KindOf(type) == TypeKind::kNumber) return MakeNumberValue(kValueReal, 0, out->Receive());
  return MakeTextValue(type, "", out->Receive());
}

}  // namespace zksql
