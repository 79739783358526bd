// RowBinding: the values a predicate's columns hold in the row (or the
// combination of rows) being evaluated, found by their reference text
// TABLE/COLUMN.
//
// The selection driver fills one before each evaluation of a predicate;
// the evaluator reads a column reference's value from it. The names and
// values are views: the columns keep owning their names and their
// extracted value bytes, so a binding owns nothing and stays valid while
// the columns' current values do. Clear keeps the room for the next row.
#ifndef ZKSQL_VALUES_ROW_BINDING_H_
#define ZKSQL_VALUES_ROW_BINDING_H_

#include <cstddef>
#include <vector>

#include "values/typed_value.h"

namespace zksql {

class RowBinding {
 public:
  // Binds `value` (bytes null: the column has no value) to the reference
  // `table`/`column`; a null column name counts as "". False when memory
  // is short (the binding unchanged).
  [[nodiscard]] bool Bind(const char* table, const char* column, const TypedValue& value);
  // The value bound to `reference` ("TABLE/COLUMN", compared exactly), the
  // first bound when several are; null when none is.
  const TypedValue* Find(const char* reference) const;
  // Binds `value` to an expression node of the parse tree (an aggregate,
  // whose value a group gives rather than a column); found by the node's
  // address. False when memory is short.
  [[nodiscard]] bool BindNode(const void* node, const TypedValue& value);
  // The value bound to `node`; null when none is.
  const TypedValue* FindNode(const void* node) const;
  void Clear() { entries_.clear(); }
  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    const char* table;
    const char* column;
    TypedValue value;
    const void* node;  // set for a value bound to a node, not a column
  };
  std::vector<Entry> entries_;
};

}  // namespace zksql

#endif  // ZKSQL_VALUES_ROW_BINDING_H_
