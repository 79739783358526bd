// Conjuncts: splitting a restructured tree at its top-level AND, and the
// AND of single predicates.
#include "select/conjuncts.h"

#include <new>
#include <utility>

#include "select/condition_tree.h"

namespace zksql {

bool SplitConjuncts(const ParseNode* tree, Conjuncts* out) {
  out->leaves.clear();
  out->compound.clear();
  if (tree == nullptr) return true;
  auto add = [out](const ParseNode* content) {
    if (content != nullptr && content->code == kConditionLeaf) {
      out->leaves.push_back(content);
    } else {
      out->compound.push_back(content);
    }
  };
  try {
    if (ConditionKind(tree) != kConditionAnd) {
      add(tree);
      return true;
    }
    for (const ParseNode* member = tree; member != nullptr; member = member->next) {
      if (member->code == kConditionGroup) add(member->child);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

ParseNode* AndOfLeaves(const std::vector<const ParseNode*>& leaves) {
  if (leaves.empty()) return nullptr;
  if (leaves.size() == 1) return CopyConditionTree(leaves.front());
  ParseNodePtr head;
  ParseNode* last = nullptr;
  for (const ParseNode* leaf : leaves) {
    ParseNodePtr copy(CopyConditionTree(leaf));
    if (copy == nullptr) return nullptr;
    ParseNodePtr group(NewConditionGroup(copy.get()));
    if (group == nullptr) return nullptr;
    copy.release();  // the group holds it
    if (last == nullptr) {
      head = std::move(group);
      last = head.get();
      continue;
    }
    ParseNode* op = NewConditionOperator(kConditionAnd);
    if (op == nullptr) return nullptr;
    last->next = op;  // the list holds the operator and the group
    op->next = group.release();
    last = op->next;
  }
  return head.release();
}

}  // namespace zksql
