// TreeHolds: an iterative walk with an explicit stack of open lists. Each
// open list remembers the operator node after its last decided operand;
// the value of an operand either settles the list (and the list's value
// goes up one level) or moves the walk into the next operand.
#include "select/condition_truth.h"

#include "select/condition_tree.h"
#include "select/work_stack.h"

namespace zksql {
namespace {

struct OpenList {
  const ParseNode* op;  // the operator after the operand being decided
  bool negate;          // a NOT written over the whole list
};

}  // namespace

TreeTruth TreeHolds(const ParseNode* tree, LeafTruth& leaves) {
  WorkStack<OpenList> open;
  const ParseNode* node = tree;
  bool negate = false;
  for (;;) {
    // Down to the leaf that decides the next operand, opening the lists on
    // the way.
    bool value = false;
    for (;;) {
      if (node == nullptr) return TreeTruth::kFailed;
      if (node->code == kConditionGroup && node->next != nullptr) {
        const ParseNode* op = node->next;
        if (op->code != kConditionAnd && op->code != kConditionOr) return TreeTruth::kFailed;
        if (!open.Push(OpenList{op, negate})) return TreeTruth::kFailed;
        negate = false;
        node = node->child;
      } else if (node->code == kConditionGroup) {
        node = node->child;
      } else if (node->code == kConditionNot) {
        negate = !negate;
        node = node->child;
      } else if (node->code == kConditionLeaf) {
        bool holds = false;
        if (!leaves.Decide(node, RowSetOf(node), &holds)) return TreeTruth::kFailed;
        value = holds != negate;
        break;
      } else {
        return TreeTruth::kFailed;
      }
    }
    // Up through the lists this value settles; into the next operand of
    // the first list it does not.
    node = nullptr;
    while (node == nullptr) {
      if (open.Empty()) return value ? TreeTruth::kTrue : TreeTruth::kFalse;
      OpenList& list = open.At(open.Count() - 1);
      const bool settled = list.op->code == kConditionAnd ? !value : value;
      const ParseNode* following = list.op->next;
      if (settled) {
        value = value != list.negate;
        OpenList done;
        open.Pop(&done);
        continue;
      }
      if (following == nullptr || following->code != kConditionGroup) return TreeTruth::kFailed;
      list.op = following->next;
      if (list.op == nullptr) {
        // The last operand decides the list: close it now and let the
        // value go up as it is (negated when the list was).
        bool listNegate = list.negate;
        OpenList done;
        open.Pop(&done);
        negate = listNegate;
      } else {
        if (list.op->code != kConditionAnd && list.op->code != kConditionOr) {
          return TreeTruth::kFailed;
        }
        negate = false;
      }
      node = following->child;
    }
  }
}

}  // namespace zksql
