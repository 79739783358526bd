// Condition trees: leaves and their row-set slots, groups and operators,
// the shape check and the deep copy. The walks keep their pending nodes on
// a WorkStack: the depth of a tree is the statement's to choose.
#include "select/condition_tree.h"

#include <memory>
#include <new>

#include "select/work_stack.h"

namespace zksql {
namespace {

// A slot holding `rows`; null when memory is short, `rows` then staying the
// caller's.
RowSetSlot* NewSlot(RowSet* rows) {
  std::unique_ptr<RowSetSlot> slot(new (std::nothrow) RowSetSlot(rows));
  if (slot == nullptr) return nullptr;
  if (slot->text == nullptr) {
    slot->rows.release();  // the caller keeps it
    return nullptr;
  }
  return slot.release();
}

const RowSetSlot* SlotOf(const ParseNode* node) {
  if (node == nullptr) return nullptr;
  return dynamic_cast<const RowSetSlot*>(node->child);
}

struct CopyWork {
  const ParseNode* source;  // chain to copy
  ParseNode** target;       // where the copied chain goes; null: the root's holder
};

}  // namespace

ParseNode* NewConditionLeaf(RowSet* rows) {
  std::unique_ptr<RowSetSlot> slot(NewSlot(rows));
  if (slot == nullptr) return nullptr;
  ParseNode* node = ParseNode::Create("", kConditionLeaf, 0, slot.get(), nullptr);
  if (node == nullptr) {
    slot->rows.release();  // `rows` stays the caller's
    return nullptr;
  }
  slot.release();  // the leaf holds it
  return node;
}

RowSet* RowSetOf(const ParseNode* node) {
  const RowSetSlot* slot = SlotOf(node);
  return slot != nullptr ? slot->rows.get() : nullptr;
}

RowSet* TakeRowSet(ParseNode* leaf) {
  if (SlotOf(leaf) == nullptr) return nullptr;
  std::unique_ptr<RowSetSlot> slot(static_cast<RowSetSlot*>(leaf->child));
  leaf->child = slot->next;  // a well-formed leaf has nothing after it
  slot->next = nullptr;
  return slot->rows.release();
}

ParseNode* NewConditionGroup(ParseNode* content) {
  return ParseNode::Create("", kConditionGroup, 0, content, nullptr);
}

ParseNode* NewConditionOperator(int32_t code) {
  if (code == kConditionAnd) return ParseNode::Create("AND", kConditionAnd, 0);
  if (code == kConditionOr) return ParseNode::Create("OR", kConditionOr, 0);
  return nullptr;
}

int32_t DualOperator(int32_t code) {
  return code == kConditionAnd ? kConditionOr : kConditionAnd;
}

int32_t ConditionKind(const ParseNode* tree) {
  if (tree == nullptr) return 0;
  if (tree->code == kConditionLeaf) return kConditionLeaf;
  if (tree->code == kConditionGroup && tree->next != nullptr &&
      (tree->next->code == kConditionAnd || tree->next->code == kConditionOr)) {
    return tree->next->code;
  }
  return 0;
}

bool IsConditionTree(const ParseNode* tree) {
  WorkStack<const ParseNode*> pending;
  if (!pending.Push(tree)) return false;
  const ParseNode* content = nullptr;
  while (pending.Pop(&content)) {
    if (content == nullptr) return false;
    if (content->code == kConditionLeaf) {
      if (content->next != nullptr) return false;
      continue;
    }
    if (content->code == kConditionNot) {
      if (content->next != nullptr || !pending.Push(content->child)) return false;
      continue;
    }
    int32_t kind = ConditionKind(content);
    if (kind == 0) return false;
    int32_t groups = 0;
    bool expectGroup = true;
    for (const ParseNode* node = content; node != nullptr; node = node->next) {
      if (expectGroup) {
        if (node->code != kConditionGroup || !pending.Push(node->child)) return false;
        ++groups;
      } else if (node->code != kind) {
        return false;
      }
      expectGroup = !expectGroup;
    }
    // The chain must end with a group.
    if (expectGroup || groups < 2) return false;
  }
  return true;
}

ParseNode* CopyConditionTree(const ParseNode* tree) {
  // A failed step leaves the partial copy whole (links not yet made are
  // null), so it goes with this holder.
  ParseNodePtr root;
  WorkStack<CopyWork> pending;
  if (tree == nullptr || !pending.Push(CopyWork{tree, nullptr})) return nullptr;
  CopyWork work;
  while (pending.Pop(&work)) {
    ParseNode** link = work.target;
    for (const ParseNode* node = work.source; node != nullptr; node = node->next) {
      ParseNode* copy = nullptr;
      const RowSetSlot* slot = dynamic_cast<const RowSetSlot*>(node);
      if (slot != nullptr) {
        std::unique_ptr<RowSet> rows(slot->rows != nullptr ? slot->rows->Copy() : nullptr);
        if (slot->rows != nullptr && rows == nullptr) return nullptr;
        copy = NewSlot(rows.get());
        if (copy != nullptr) rows.release();  // the slot holds it
      } else {
        copy = ParseNode::Create(node->text, node->code, node->value);
      }
      if (copy == nullptr) return nullptr;
      if (link == nullptr) {
        root.reset(copy);
      } else {
        *link = copy;  // the partial copy holds it
      }
      link = &copy->next;
      if (slot == nullptr && node->child != nullptr &&
          !pending.Push(CopyWork{node->child, &copy->child})) {
        return nullptr;
      }
    }
  }
  return root.release();
}

}  // namespace zksql
