// AggregateAccumulator: the running state of one aggregate over the rows of
// one group — how many rows it counted, the sum of its argument, and the
// least or greatest value met with the stored bytes of the row it came
// from.
//
// Values are read from the argument column's current row, so the caller
// calls Take while the FROM tables are positioned on the row. Under
// DISTINCT a value counts once: values are told apart by the equality of
// WHERE and of the join hash (numbers at six decimals, -0 equal to 0,
// texts byte by byte), dates and times by their bytes. MIN and MAX compare
// as the WHERE comparisons do, so texts, dates and times take part as well
// as numbers; the first of equal values is kept.
//
// COUNT DISTINCT written alone counts the distinct rows of the group, told
// apart by the stored records of the FROM tables, byte for byte; the
// caller hands those bytes over.
#ifndef ZKSQL_SELECT_AGGREGATE_ACCUMULATOR_H_
#define ZKSQL_SELECT_AGGREGATE_ACCUMULATOR_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "select/select_item.h"
#include "values/typed_value.h"

namespace zksql {

class AggregateAccumulator {
 public:
  // `definition` must outlive the accumulator.
  explicit AggregateAccumulator(const AggregateSpec* definition) : spec_(definition) {}

  // Takes the current row. `rowKey`: the row's bytes, read only by COUNT
  // DISTINCT. False when memory is short.
  [[nodiscard]] bool Take(std::string_view rowKey);

  const AggregateSpec& definition() const { return *spec_; }
  // Rows (or distinct values) taken.
  int64_t count() const { return count_; }
  double sum() const { return sum_; }
  // Whether every value summed was a whole number of a whole-number column
  // and the sum fits a 32-bit integer.
  bool SumIsWhole() const;
  // The value the aggregate gives: COUNT a count, SUM a sum, AVG a mean,
  // MIN and MAX the value kept. Without rows a count of 0; for the others
  // the absent value (0 for a number, an empty text otherwise). False when
  // memory is short.
  [[nodiscard]] bool Value(OwnedValue* out) const;
  // MIN and MAX: the stored bytes of the argument in the row whose value
  // was kept; empty without rows.
  const std::string& keptField() const { return keptField_; }

 private:
  const AggregateSpec* spec_;
  int64_t count_ = 0;
  double sum_ = 0;
  bool whole_ = true;
  OwnedValue kept_;
  std::string keptField_;
  std::unordered_set<std::string> seen_;
};

// The key under which equal values meet: the equality of WHERE and of the
// join hash. Appended to `out`. False when memory is short.
[[nodiscard]] bool AppendEqualityKey(const TypedValue& value, std::string* out);

}  // namespace zksql

#endif  // ZKSQL_SELECT_AGGREGATE_ACCUMULATOR_H_
