// Condition trees: the AND/OR/NOT structure of a WHERE clause over the row
// sets of its predicates.
//
// The analysis builds one tree per WHERE clause from ParseNodes:
//   302 leaf      one predicate; holds its RowSet; `value` is a 0/1
//                 negation mark that NOT removal toggles
//   0   group     one operand of a list (the content of a parenthesis);
//                 child = a leaf, a NOT node or a list
//   2   AND, 45 OR  operators between two operands (text "AND" / "OR")
//   42  NOT       child = the negated leaf or list; only as the root or as
//                 the whole content of a group
// A list is a chain group, operator, group, ..., group with at least two
// groups and one operator code throughout.
//
// A ParseNode's child slot is a ParseNode, so the row set is not stored
// there directly: the leaf's child is a RowSetSlot, a ParseNode that carries
// the row set. The slot owns its row set, so a whole tree, row sets
// included, goes with its root, and the generic walks of ParseNode stay
// safe on it. Always go through NewConditionLeaf, RowSetOf and TakeRowSet
// rather than the child slot itself.
#ifndef ZKSQL_SELECT_CONDITION_TREE_H_
#define ZKSQL_SELECT_CONDITION_TREE_H_

#include <cstdint>
#include <memory>

#include "select/row_set.h"
#include "sql/parse_node.h"

namespace zksql {

// Node codes of condition trees.
constexpr int32_t kConditionGroup = 0;
constexpr int32_t kConditionAnd = 2;
constexpr int32_t kConditionNot = 42;
constexpr int32_t kConditionOr = 45;
constexpr int32_t kConditionLeaf = 302;

// The node that carries a row set in the child slot of a leaf. Its code
// marks it for readers of dumps only; it is recognised by its type.
class RowSetSlot : public ParseNode {
 public:
  static constexpr int32_t kCode = -302;

  // The slot takes `rows` over.
  explicit RowSetSlot(RowSet* rows) : ParseNode("", kCode, 0), rows(rows) {}

  std::unique_ptr<RowSet> rows;
};

// A new leaf (text "", code 302, value 0) that owns `rows`. Null when memory
// is short; `rows` then stays the caller's.
ParseNode* NewConditionLeaf(RowSet* rows);
// The row set held in the node's child slot; null when the node holds
// none.
RowSet* RowSetOf(const ParseNode* node);
// Takes the row set out of a leaf: the caller owns it, the leaf holds none
// afterwards. Null when the leaf held none.
RowSet* TakeRowSet(ParseNode* leaf);

// A new group (text "", code 0) holding `content`; null when memory is
// short (the caller keeps `content`).
ParseNode* NewConditionGroup(ParseNode* content);
// A new operator node: "AND" (2) or "OR" (45); null for another code or
// when memory is short.
ParseNode* NewConditionOperator(int32_t code);
// The operator dual to `code`: OR for AND, AND for OR.
int32_t DualOperator(int32_t code);

// Kind of a tree: 302 for a leaf, 2 or 45 for a list (the code of the
// operator after its first operand), 0 otherwise (a NOT node, null).
int32_t ConditionKind(const ParseNode* tree);

// True when the tree has the shape above throughout: leaves without
// siblings, NOT nodes with one operand, lists of two or more groups with a
// single operator code, groups holding a leaf, a NOT or a list. Iterative.
bool IsConditionTree(const ParseNode* tree);

// A deep copy of a condition tree whose leaves own copies of the row sets
// (state and tuples; see RowSet::Copy) and keep their negation marks.
// Iterative. Null when memory is short.
ParseNode* CopyConditionTree(const ParseNode* tree);

}  // namespace zksql

#endif  // ZKSQL_SELECT_CONDITION_TREE_H_
