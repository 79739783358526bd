// Value lists and row bindings: the two ParseNode chains through which
// typed values travel between the selection driver, the executor and the
// evaluator.
//
// A row binding is a head node (text "") followed by one node per column a
// condition reads: text TABLE/COLUMN, code = value type, value = length,
// and the column's current value bytes, which the column keeps owning. A
// value list (what a list operand or a sub-select yields) is a head node
// (text "", code 0) followed by one node per value: text "", code = value
// type, value = length, and bytes that the list owns. Both chains are
// deleted through their head; a ValueNode frees its bytes only when it
// owns them, so deleting a binding never touches a column's buffer.
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

// The binding node whose text equals `name` exactly, or null.
const ValueNode* FindBinding(const ParseNode* binding, const char* name);

}  // namespace zksql

#endif  // ZKSQL_SQL_VALUE_LIST_H_
