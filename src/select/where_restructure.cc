// WHERE restructuring: NOT removal by a top-down walk that carries the
// parity of the NOTs above each node, and flattening one cluster of
// same-operator lists at a time.
#include "select/where_restructure.h"

#include "select/condition_tree.h"
#include "select/row_set.h"
#include "select/work_stack.h"

namespace zksql {
namespace {

struct NotWork {
  ParseNode** slot;  // where the content sits: the root or a group's child
  int16_t negate;    // parity of the NOTs above it
};

// Swaps an operator: AND becomes OR and OR becomes AND.
[[nodiscard]] bool SwapOperator(ParseNode* op) {
  return op->code == kConditionAnd ? op->SetTextAndCode("OR", kConditionOr)
                                   : op->SetTextAndCode("AND", kConditionAnd);
}

// Flattens the cluster of same-operator lists whose top list sits at *slot:
// the list, the operands of its kind merged into it, theirs, and so on.
// The merged order is the list's own operands that stay, then, for each
// merged operand in order, its flattened list; it is produced by one walk
// with a stack, so a cluster costs its size however deep it nests. The
// operator nodes of the cluster are exactly the ones the flat list needs,
// so the chain is relinked without allocating: on a lack of memory (for
// the scratch arrays) nothing has been touched yet. Operands that hold
// lists of the other operator, or NOT nodes, go to `clusters` to be
// flattened in turn.
[[nodiscard]] bool FlattenCluster(ParseNode** slot, WorkStack<ParseNode**>* clusters) {
  int32_t kind = ConditionKind(*slot);
  WorkStack<ParseNode*> operands;   // the flat list's operands, in order
  WorkStack<ParseNode*> operators;  // every operator node of the cluster
  WorkStack<ParseNode*> merged;     // the groups that disappear
  WorkStack<ParseNode*> lists;      // lists still to walk
  WorkStack<ParseNode*> inner;      // merged groups of the list being walked
  if (!lists.Push(*slot)) return false;
  ParseNode* list = nullptr;
  while (lists.Pop(&list)) {
    for (ParseNode* node = list; node != nullptr; node = node->next) {
      if (node->code != kConditionGroup) {
        if (!operators.Push(node)) return false;
      } else if (ConditionKind(node->child) == kind) {
        if (!merged.Push(node) || !inner.Push(node)) return false;
      } else {
        if (!operands.Push(node)) return false;
        if (node->child->code != kConditionLeaf && !clusters->Push(&node->child)) return false;
      }
    }
    // Merged lists are walked in order, each one completely before the
    // next: pushed last first.
    ParseNode* group = nullptr;
    while (inner.Pop(&group)) {
      if (!lists.Push(group->child)) return false;
    }
  }
  if (merged.Empty()) return true;
  // Relink: operand, operator, operand, ... (operands.Count() - 1
  // operators, which is exactly operators.Count()).
  for (int32_t i = 0; i < operands.Count(); ++i) {
    ParseNode* operand = operands.At(i);
    if (i + 1 < operands.Count()) {
      ParseNode* op = operators.At(i);
      operand->next = op;
      op->next = operands.At(i + 1);
    } else {
      operand->next = nullptr;
    }
  }
  *slot = operands.At(0);
  for (int32_t i = 0; i < merged.Count(); ++i) {
    // Its content and its place went to the flat list: the group goes
    // alone.
    ParseNodePtr group(merged.At(i));
    group->child = nullptr;
    group->next = nullptr;
  }
  return true;
}

}  // namespace

bool RemoveNot(ParseNode** tree) {
  if (tree == nullptr) return false;
  if (*tree == nullptr) return true;
  if (!IsConditionTree(*tree)) return false;
  WorkStack<NotWork> pending;
  if (!pending.Push(NotWork{tree, 0})) return false;
  NotWork work;
  while (pending.Pop(&work)) {
    ParseNode* node = *work.slot;
    int16_t negate = work.negate;
    // NOT nodes at this place go; each one flips the parity. NOT NOT x is x.
    while (node->code == kConditionNot) {
      ParseNodePtr notNode(node);  // its content takes its place; it goes alone
      node = notNode->child;
      notNode->child = nullptr;
      *work.slot = node;
      negate = static_cast<int16_t>(negate ^ 1);
    }
    if (node->code == kConditionLeaf) {
      if (negate != 0) {
        node->value = node->value != 0 ? 0 : 1;
        RowSet* rows = RowSetOf(node);
        if (rows != nullptr) rows->negated = rows->negated != 0 ? 0 : 1;
      }
      continue;
    }
    // A list: De Morgan swaps its operators when negated; every operand
    // carries the parity down.
    for (ParseNode* member = node; member != nullptr; member = member->next) {
      if (member->code == kConditionGroup) {
        if (!pending.Push(NotWork{&member->child, negate})) return false;
      } else if (negate != 0 && !SwapOperator(member)) {
        return false;
      }
    }
  }
  return true;
}

bool FlattenConditions(ParseNode** tree) {
  if (tree == nullptr) return false;
  if (*tree == nullptr) return true;
  if (!IsConditionTree(*tree)) return false;
  // Clusters are independent of each other: merging never changes the
  // operator of a list, so an inner cluster flattens the same before or
  // after the one around it.
  WorkStack<ParseNode**> clusters;
  if (!clusters.Push(tree)) return false;
  ParseNode** slot = nullptr;
  while (clusters.Pop(&slot)) {
    ParseNode* content = *slot;
    if (content->code == kConditionLeaf) continue;
    if (content->code == kConditionNot) {
      if (!clusters.Push(&content->child)) return false;
      continue;
    }
    if (!FlattenCluster(slot, &clusters)) return false;
  }
  return true;
}

bool RestructureWhere(ParseNode** tree) {
  if (!RemoveNot(tree)) return false;
  return FlattenConditions(tree);
}

}  // namespace zksql
