// Value lists: the ParseNode chains through which the values of a list
// operand or a sub-select travel between the selection driver, the executor
// and the evaluator.
//
// A value list is a head node (text "", code 0) followed by one node per
// value: text "" (or, for a sub-select's correlation values, the
// TABLE/COLUMN they stand for), code = value type, value = length, and
// bytes. The chain is deleted through its head; a ValueNode frees its bytes
// only when it owns them. (The values of the row a predicate is evaluated
// on travel in a RowBinding instead, values/row_binding.h.)
//
// The bytes hang on a field of their own rather than in `child`: `child`
// is a ParseNode that the node deletes, and value bytes are not a node.
#ifndef ZKSQL_SQL_VALUE_LIST_H_
#define ZKSQL_SQL_VALUE_LIST_H_

#include <cstdint>

#include "sql/parse_node.h"
#include "values/typed_value.h"

namespace zksql {

class ValueNode : public ParseNode {
 public:
  ValueNode(const char* text, int16_t type, uint16_t length, char* bytes, bool ownsBytes);
  ~ValueNode() override;

  // Null when the node or its text cannot be allocated; the caller then
  // keeps (and frees, when owned) the bytes.
  static ValueNode* Create(const char* text, int16_t type, uint16_t length, char* bytes,
                           bool ownsBytes);

  // The node's value as a typed value that borrows the bytes.
  TypedValue Borrow() const;

  char* bytes = nullptr;  // null: the node holds no value
  bool ownsBytes = false;
};

// A new empty head node (text "", code 0); null when memory is short.
ParseNode* NewValueListHead();

// Links, right after `last` (the list's last node, so that long lists are
// built without walking them), a node that takes over `value`'s bytes. The
// new node, or null when memory is short or the value has none (the bytes
// are then freed with `value`).
ValueNode* AppendOwnedValue(ParseNode* last, OwnedValue value);
// The same for a fresh raw value, which is emptied either way.
ValueNode* AppendOwnedValue(ParseNode* last, TypedValue* value);

// A copy of a value list (head included) whose nodes own copies of the
// bytes; null when memory is short.
ParseNode* CopyValueList(const ParseNode* head);

// Number of value nodes after the head (nodes holding bytes only).
int32_t CountValues(const ParseNode* head);

// Whether a value node after the head holds exactly `v`: its type, length
// and bytes (DISTINCT lists a value once by this test).
bool ListHoldsValue(const ParseNode* head, const TypedValue& v);

// Lists the value one row of a sub-select shows after *last (which moves
// to the new node): a copy of `shown`, or an empty text when the row shows
// no value of its own (null, no bytes, or none of them: a composite key
// only), so that the row still counts for EXISTS and UNIQUE. With
// `distinct`, a value the list after `head` already holds is not listed
// again. False when memory is short.
[[nodiscard]] bool ListShownValue(const ParseNode* head, ParseNode** last, const TypedValue* shown,
                                  bool distinct);

}  // namespace zksql

#endif  // ZKSQL_SQL_VALUE_LIST_H_
