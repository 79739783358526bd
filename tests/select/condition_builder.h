// Test helpers for row sets and condition trees: row sets from literal
// tables, trees from nested calls, and readable renderings of both.
//
// Leaves are labelled through their row set's `references` (a single node
// whose text is the label), which the row set owns and the renderings
// show, with "!" in front of a negated leaf.
#ifndef ZKSQL_TESTS_SELECT_CONDITION_BUILDER_H_
#define ZKSQL_TESTS_SELECT_CONDITION_BUILDER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "select/condition_tree.h"
#include "select/row_set.h"
#include "select/tuple_table.h"
#include "sql/parse_node.h"

namespace zksql {
namespace testing {

using Tuple = std::vector<int32_t>;
using Tuples = std::vector<Tuple>;

// An explicit row set over `tables` holding `tuples` (one value per table).
inline RowSet* MakeRows(const std::vector<std::string>& tables, const Tuples& tuples,
                        const char* label = "") {
  RowSet* rows = RowSet::Create(nullptr, ParseNode::Create(label, 0, 0), nullptr);
  for (const std::string& table : tables) EXPECT_TRUE(rows->tuples->AddTupleColumn(table.c_str()));
  for (const Tuple& tuple : tuples) {
    EXPECT_TRUE(rows->tuples->AppendTuple(tuple.data(), static_cast<int32_t>(tuple.size())));
  }
  return rows;
}

// A settled row set without table: RS_ALL or RS_NONE.
inline RowSet* MakeConstant(int16_t state, const char* label = "") {
  RowSet* rows = RowSet::Create(nullptr, ParseNode::Create(label, 0, 0), nullptr);
  rows->state = state;
  return rows;
}

// A leaf carrying its row set's label also in its text, which copies of the
// tree keep (row-set copies do not keep their references).
inline ParseNode* Leaf(RowSet* rows) {
  ParseNode* leaf = NewConditionLeaf(rows);
  if (rows != nullptr && rows->references != nullptr) {
    EXPECT_TRUE(leaf->SetText(rows->references->text));
  }
  return leaf;
}

inline ParseNode* Not(ParseNode* content) { return ParseNode::Create("NOT", kConditionNot, 0, content, nullptr); }

// A list: group(content) op group(content) ...
inline ParseNode* List(int32_t op, const std::vector<ParseNode*>& contents) {
  ParseNode* head = nullptr;
  ParseNode* last = nullptr;
  for (ParseNode* content : contents) {
    ParseNode* group = NewConditionGroup(content);
    if (last == nullptr) {
      head = group;
    } else {
      ParseNode* op_node = NewConditionOperator(op);
      last->next = op_node;
      op_node->next = group;
    }
    last = group;
  }
  return head;
}
inline ParseNode* And(const std::vector<ParseNode*>& contents) { return List(kConditionAnd, contents); }
inline ParseNode* Or(const std::vector<ParseNode*>& contents) { return List(kConditionOr, contents); }

inline Tuples TuplesOf(const RowSet& rows) {
  Tuples out;
  const TupleTable& table = *rows.tuples;
  for (int32_t k = 1; k <= table.TupleCount(); ++k) {
    Tuple tuple;
    for (int32_t i = 0; i < table.ColumnCount(); ++i) tuple.push_back(table.At(k, i));
    out.push_back(tuple);
  }
  return out;
}

inline std::vector<std::string> ColumnsOf(const RowSet& rows) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < rows.tuples->ColumnCount(); ++i) out.push_back(rows.tuples->ColumnName(i));
  return out;
}

// "a", "!a", "(a AND (b OR c))", "NOT (a OR b)"; "?" for what is not a
// condition tree. Recursive: for the small trees of the tests.
inline std::string Render(const ParseNode* tree) {
  if (tree == nullptr) return "?";
  if (tree->code == kConditionLeaf) {
    const RowSet* rows = RowSetOf(tree);
    std::string label = tree->text[0] != '\0' ? tree->text : "_";
    return (rows != nullptr && rows->negated != 0 ? "!" : "") + label;
  }
  if (tree->code == kConditionNot) return "NOT " + Render(tree->child);
  std::string out = "(";
  for (const ParseNode* node = tree; node != nullptr; node = node->next) {
    if (node->code == kConditionGroup) {
      out += Render(node->child);
    } else {
      out += std::string(" ") + node->text + " ";
    }
  }
  return out + ")";
}

}  // namespace testing
}  // namespace zksql

#endif  // ZKSQL_TESTS_SELECT_CONDITION_BUILDER_H_
