// The value a predicate reads from a column: what the column holds in its
// table's current row, as the evaluator is given it.
#ifndef ZKSQL_SELECT_COLUMN_VALUE_H_
#define ZKSQL_SELECT_COLUMN_VALUE_H_

#include "storage/column.h"
#include "values/typed_value.h"

namespace zksql {

// The extracted value with its value type and length: a number is an
// 8-byte real whatever the item's size, a text its characters and
// terminator; the item's storage bytes are never handed over. No bytes
// (the column has no value) for a composite column, a lack of memory, or a
// length a value cannot have. The bytes belong to the column and change
// with its row.
inline TypedValue CurrentValueOf(Column* column) {
  char* bytes = static_cast<char*>(column->GetValue());
  int32_t length = column->ValueLength();
  if (length < 0 || length > 65535) bytes = nullptr;
  return TypedValue{column->ValueType(), static_cast<uint16_t>(bytes == nullptr ? 0 : length),
                    bytes};
}

}  // namespace zksql

#endif  // ZKSQL_SELECT_COLUMN_VALUE_H_
