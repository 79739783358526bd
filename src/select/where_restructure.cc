// WHERE restructuring: NOT removal by a top-down walk that carries the
// parity of the NOTs above each node, and flattening by a pass over the
// lists from the innermost out.
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
int16_t SwapOperator(ParseNode* op) {
  return op->code == kConditionAnd ? op->SetTextAndCode("OR", kConditionOr)
                                   : op->SetTextAndCode("AND", kConditionAnd);
}

// Merges into the list at *slot every operand whose content is a list of
// the same operator. The operator nodes of the merged lists, with those of
// the list itself, are exactly the ones the longer list needs, so the
// chain is relinked without allocating: on a lack of memory (for the
// scratch arrays) nothing has been touched yet.
int16_t FlattenList(ParseNode** slot) {
  ParseNode* head = *slot;
  int32_t kind = ConditionKind(head);
  if (kind != kConditionAnd && kind != kConditionOr) return 1;
  WorkStack<ParseNode*> operands;   // the operands that stay
  WorkStack<ParseNode*> moved;      // operands of the merged lists
  WorkStack<ParseNode*> operators;  // every operator node
  WorkStack<ParseNode*> merged;     // the emptied groups
  bool anyMerged = false;
  for (ParseNode* node = head; node != nullptr; node = node->next) {
    if (node->code != kConditionGroup) {
      if (!operators.Push(node)) return 0;
      continue;
    }
    if (ConditionKind(node->child) != kind) {
      if (!operands.Push(node)) return 0;
      continue;
    }
    anyMerged = true;
    if (!merged.Push(node)) return 0;
    for (ParseNode* inner = node->child; inner != nullptr; inner = inner->next) {
      if (!(inner->code == kConditionGroup ? moved.Push(inner) : operators.Push(inner))) return 0;
    }
  }
  if (!anyMerged) return 1;
  for (int32_t i = 0; i < moved.Count(); ++i) {
    if (!operands.Push(moved.At(i))) return 0;
  }
  // Relink: operand, operator, operand, ... (operands.Count() - 1 operators,
  // which is exactly operators.Count()).
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
    ParseNode* group = merged.At(i);
    group->child = nullptr;
    group->next = nullptr;
    delete group;
  }
  return 1;
}

}  // namespace

int16_t RemoveNot(ParseNode** tree) {
  if (tree == nullptr) return 0;
  if (*tree == nullptr) return 1;
  if (IsConditionTree(*tree) == 0) return 0;
  WorkStack<NotWork> pending;
  if (!pending.Push(NotWork{tree, 0})) return 0;
  NotWork work;
  while (pending.Pop(&work)) {
    ParseNode* node = *work.slot;
    int16_t negate = work.negate;
    // NOT nodes at this place go; each one flips the parity. NOT NOT x is x.
    while (node->code == kConditionNot) {
      ParseNode* content = node->child;
      node->child = nullptr;
      delete node;
      *work.slot = content;
      node = content;
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
        if (!pending.Push(NotWork{&member->child, negate})) return 0;
      } else if (negate != 0 && SwapOperator(member) == 0) {
        return 0;
      }
    }
  }
  return 1;
}

int16_t FlattenConditions(ParseNode** tree) {
  if (tree == nullptr) return 0;
  if (*tree == nullptr) return 1;
  if (IsConditionTree(*tree) == 0) return 0;
  // Every list, parents before their lists; then processed in reverse, so
  // each list's operands are flat when it merges them.
  WorkStack<ParseNode**> lists;
  WorkStack<ParseNode**> pending;
  if (!pending.Push(tree)) return 0;
  ParseNode** slot = nullptr;
  while (pending.Pop(&slot)) {
    ParseNode* content = *slot;
    if (content->code == kConditionLeaf) continue;
    if (content->code == kConditionNot) {
      if (!pending.Push(&content->child)) return 0;
      continue;
    }
    if (!lists.Push(slot)) return 0;
    for (ParseNode* member = content; member != nullptr; member = member->next) {
      if (member->code == kConditionGroup && !pending.Push(&member->child)) return 0;
    }
  }
  // The slot addresses stay valid: a slot is the root or the child field
  // of a group, and only groups of lists processed later are deleted.
  for (int32_t i = lists.Count() - 1; i >= 0; --i) {
    if (FlattenList(lists.At(i)) == 0) return 0;
  }
  return 1;
}

int16_t RestructureWhere(ParseNode** tree) {
  if (RemoveNot(tree) == 0) return 0;
  return FlattenConditions(tree);
}

}  // namespace zksql
