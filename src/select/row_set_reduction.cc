// Reduction of a condition tree: pairwise combination, distribution, and
// the checks that make it end.
#include "select/row_set_reduction.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "select/condition_tree.h"
#include "select/where_restructure.h"
#include "select/work_stack.h"

namespace zksql {
namespace {

// A growable text for tree signatures.
class TextBuffer {
 public:
  TextBuffer() = default;
  ~TextBuffer() { free(text_); }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  bool Append(const char* part) {
    size_t n = strlen(part);
    if (length_ + n + 1 > capacity_) {
      size_t grown = capacity_ == 0 ? 256 : capacity_;
      while (length_ + n + 1 > grown) {
        if (grown > (static_cast<size_t>(1) << 30)) return false;
        grown *= 2;
      }
      char* larger = static_cast<char*>(realloc(text_, grown));
      if (larger == nullptr) return false;
      text_ = larger;
      capacity_ = grown;
    }
    memcpy(text_ + length_, part, n + 1);
    length_ += n;
    return true;
  }
  // Hands the text over (the caller frees it); null when empty.
  char* Take() {
    char* text = text_;
    text_ = nullptr;
    length_ = capacity_ = 0;
    return text;
  }

 private:
  char* text_ = nullptr;
  size_t length_ = 0;
  size_t capacity_ = 0;
};

struct DepthWork {
  const ParseNode* node;
  int32_t depth;
};

// The part of a tree that decides how its reduction goes: the nesting and
// codes of its nodes and, for each leaf, the state and column names of its
// row set (combinations are refused or not by these alone). Each node is
// written with its depth in pre-order, which determines the tree. Null
// when memory is short.
char* Signature(const ParseNode* tree) {
  TextBuffer text;
  WorkStack<DepthWork> pending;
  if (!text.Append("") || !pending.Push(DepthWork{tree, 0})) return nullptr;
  DepthWork work;
  char number[48];
  while (pending.Pop(&work)) {
    const ParseNode* node = work.node;
    snprintf(number, sizeof number, "%d:%d", static_cast<int>(work.depth),
             static_cast<int>(node->code));
    if (!text.Append(number)) return nullptr;
    if (node->code == kConditionLeaf) {
      const RowSet* rows = RowSetOf(node);
      if (rows != nullptr) {
        snprintf(number, sizeof number, "[%d", static_cast<int>(rows->state));
        if (!text.Append(number)) return nullptr;
        for (int32_t i = 0; rows->tuples != nullptr && i < rows->tuples->ColumnCount(); ++i) {
          if (!text.Append("/") || !text.Append(rows->tuples->ColumnName(i))) return nullptr;
        }
        if (!text.Append("]")) return nullptr;
      }
    }
    if (!text.Append(" ")) return nullptr;
    if (node->next != nullptr && !pending.Push(DepthWork{node->next, work.depth})) return nullptr;
    if (node->code != kConditionLeaf && node->child != nullptr &&
        !pending.Push(DepthWork{node->child, work.depth + 1})) {
      return nullptr;
    }
  }
  return text.Take();
}

// The signatures a list has had at the start of each round of its
// reduction.
class SeenShapes {
 public:
  SeenShapes() = default;
  ~SeenShapes() {
    char* text = nullptr;
    while (texts_.Pop(&text)) free(text);
  }
  SeenShapes(const SeenShapes&) = delete;
  SeenShapes& operator=(const SeenShapes&) = delete;

  // kDone for a new shape (now recorded), kNoProgress for one seen before.
  CombineStatus Record(const ParseNode* list) {
    char* text = Signature(list);
    if (text == nullptr) return CombineStatus::kNoMemory;
    for (int32_t i = 0; i < texts_.Count(); ++i) {
      if (strcmp(texts_.At(i), text) == 0) {
        free(text);
        return CombineStatus::kNoProgress;
      }
    }
    if (!texts_.Push(text)) {
      free(text);
      return CombineStatus::kNoMemory;
    }
    return CombineStatus::kDone;
  }

 private:
  WorkStack<char*> texts_;
};

int32_t NodeCount(const ParseNode* tree) {
  int32_t count = 0;
  WorkStack<const ParseNode*> pending;
  if (tree != nullptr && !pending.Push(tree)) return INT32_MAX;
  const ParseNode* node = nullptr;
  while (pending.Pop(&node)) {
    for (; node != nullptr; node = node->next) {
      if (count == INT32_MAX) return count;
      ++count;
      if (node->child != nullptr && !pending.Push(node->child)) return INT32_MAX;
    }
  }
  return count;
}

// The terms of x when multiplied out under op: the operands' contents of a
// list of the dual operator, else x itself.
bool Terms(int32_t op, const ParseNode* x, WorkStack<const ParseNode*>* terms) {
  if (ConditionKind(x) == DualOperator(op)) {
    for (const ParseNode* member = x; member != nullptr; member = member->next) {
      if (member->code == kConditionGroup && !terms->Push(member->child)) return false;
    }
    return true;
  }
  return terms->Push(x);
}

// The list [group(copy of x), op, group(copy of y)]; null when memory is
// short.
ParseNodePtr NewPair(int32_t op, const ParseNode* x, const ParseNode* y) {
  ParseNodePtr left(CopyConditionTree(x));
  ParseNodePtr right(CopyConditionTree(y));
  if (left == nullptr || right == nullptr) return nullptr;
  ParseNodePtr first(NewConditionGroup(left.get()));
  if (first == nullptr) return nullptr;
  left.release();  // the first group holds it
  ParseNodePtr second(NewConditionGroup(right.get()));
  if (second == nullptr) return nullptr;
  right.release();  // the second group holds it
  ParseNode* operation = NewConditionOperator(op);
  if (operation == nullptr) return nullptr;
  first->next = operation;  // the list holds the operator and the second group
  operation->next = second.release();
  return first;
}

// Removes `group` from the list at *head together with the operator in
// front of it (after it, for the first operand); both go with the group's
// content.
void RemoveOperand(ParseNodePtr* head, ParseNode* group) {
  if (head->get() == group) {
    ParseNode* op = group->next;
    ParseNode* rest = op != nullptr ? op->next : nullptr;
    if (op != nullptr) op->next = nullptr;
    head->reset(rest);  // the group goes with the operator still chained after it
    return;
  }
  ParseNode* before = head->get();
  while (before->next != nullptr && before->next->next != group) before = before->next;
  ParseNode* op = before->next;
  if (op == nullptr) return;  // not in this list
  before->next = group->next;
  group->next = nullptr;
  ParseNodePtr removed(op);  // with the group chained after it
}

// Puts `content` in the group in place of the content it had, which goes.
void ReplaceContent(ParseNode* group, ParseNodePtr content) {
  ParseNodePtr replaced(group->child);
  group->child = content.release();
}

int32_t OperandCount(const ParseNode* list) {
  int32_t n = 0;
  for (const ParseNode* node = list; node != nullptr; node = node->next) {
    if (node->code == kConditionGroup) ++n;
  }
  return n;
}

bool IsLeaf(const ParseNode* content) {
  return content != nullptr && content->code == kConditionLeaf;
}

bool IsList(const ParseNode* content) {
  int32_t kind = ConditionKind(content);
  return kind == kConditionAnd || kind == kConditionOr;
}

// Takes the content of the only operand of a list; the list goes.
ParseNodePtr Unwrap(ParseNodePtr list) {
  ParseNodePtr content(list->child);
  list->child = nullptr;
  return content;
}

// FlattenConditions on a list held outside a tree; the holder keeps the
// list, whole, whatever the outcome.
bool Flatten(ParseNodePtr* list) {
  ParseNode* root = list->release();
  bool ok = FlattenConditions(&root);
  list->reset(root);
  return ok;
}

// Levels of lists along the deepest path of a tree (0 for a leaf); -1 when
// memory is short.
int32_t ListDepth(const ParseNode* tree) {
  int32_t deepest = 0;
  WorkStack<DepthWork> pending;
  if (!pending.Push(DepthWork{tree, 0})) return -1;
  DepthWork work;
  while (pending.Pop(&work)) {
    const ParseNode* content = work.node;
    if (content == nullptr || content->code == kConditionLeaf) continue;
    int32_t depth = work.depth + 1;
    if (depth > deepest) deepest = depth;
    for (const ParseNode* node = content; node != nullptr; node = node->next) {
      if (node->code == kConditionGroup && !pending.Push(DepthWork{node->child, depth})) return -1;
    }
  }
  return deepest;
}

class Reducer {
 public:
  explicit Reducer(int32_t maxDepth) : maxDepth_(maxDepth) {}
  // Reduces `tree`; *out receives the final tree.
  CombineStatus Reduce(ParseNodePtr tree, ParseNodePtr* out);
  // True once some list stopped because it came back to an earlier shape.
  bool stalled() const { return stalled_; }

 private:
  CombineStatus ReduceList(ParseNodePtr list, ParseNodePtr* out);
  // First pass: combines pairs of leaves while one combines. Sets *single
  // when one operand is left.
  CombineStatus CombineLeaves(ParseNodePtr* list, int32_t op, bool* single);

  int32_t maxDepth_;
  int32_t depth_ = 0;
  int32_t distributions_ = 0;
  bool stalled_ = false;
};

CombineStatus Reducer::Reduce(ParseNodePtr tree, ParseNodePtr* out) {
  out->reset();
  if (IsLeaf(tree.get())) {
    if (RowSetOf(tree.get()) == nullptr) return CombineStatus::kRefused;
    *out = std::move(tree);
    return CombineStatus::kDone;
  }
  if (!IsList(tree.get())) return CombineStatus::kRefused;
  // Distribution nests each pair one level deeper; a reduction that keeps
  // going deeper than its input is not converging.
  if (depth_ >= maxDepth_) return CombineStatus::kNoProgress;
  ++depth_;
  CombineStatus status = ReduceList(std::move(tree), out);
  --depth_;
  return status;
}

CombineStatus Reducer::CombineLeaves(ParseNodePtr* list, int32_t op, bool* single) {
  *single = false;
  for (bool combined = true; combined;) {
    combined = false;
    for (ParseNode* a = list->get(); a != nullptr && !combined; a = a->next) {
      if (a->code != kConditionGroup || !IsLeaf(a->child)) continue;
      for (ParseNode* b = a->next; b != nullptr; b = b->next) {
        if (b->code != kConditionGroup || !IsLeaf(b->child)) continue;
        ParseNodePtr leaf;
        CombineStatus status = CombinePair(op, a->child, b->child, &leaf);
        if (status == CombineStatus::kRefused) continue;
        if (status != CombineStatus::kDone) return status;
        ReplaceContent(a, std::move(leaf));
        RemoveOperand(list, b);
        combined = true;
        break;
      }
    }
  }
  *single = OperandCount(list->get()) == 1;
  return CombineStatus::kDone;
}

CombineStatus Reducer::ReduceList(ParseNodePtr list, ParseNodePtr* out) {
  SeenShapes seen;
  for (;;) {
    // A list that comes back to a shape it had would go round again. It
    // stops as it is, like a pair the algebra refuses: the enclosing list
    // may still resolve it by distributing over it; if nothing does, the
    // whole reduction fails.
    CombineStatus status = seen.Record(list.get());
    if (status == CombineStatus::kNoProgress) {
      stalled_ = true;
      *out = std::move(list);
      return CombineStatus::kDone;
    }
    if (status != CombineStatus::kDone) return status;
    int32_t op = ConditionKind(list.get());
    // a. Each operand reduced on its own.
    for (ParseNode* member = list.get(); member != nullptr; member = member->next) {
      if (member->code != kConditionGroup) continue;
      ParseNodePtr content(member->child);
      member->child = nullptr;
      ParseNodePtr reduced;
      status = Reduce(std::move(content), &reduced);
      member->child = reduced.release();  // back in its group
      if (status != CombineStatus::kDone) return status;
    }
    // b. Operands that became lists of this operator merge into it.
    if (!Flatten(&list)) return CombineStatus::kNoMemory;
    op = ConditionKind(list.get());
    // c. Pairs of leaves.
    bool single = false;
    status = CombineLeaves(&list, op, &single);
    if (status != CombineStatus::kDone) return status;
    if (single) {
      *out = Unwrap(std::move(list));
      return CombineStatus::kDone;
    }
    // d. Distribution of the first operand over a later one: a leaf over a
    // list (or a list over a leaf), else two lists.
    ParseNode* first = list.get();
    ParseNode* other = nullptr;
    bool anyList = IsList(first->child);
    for (ParseNode* member = first->next; member != nullptr; member = member->next) {
      if (member->code != kConditionGroup) continue;
      if (IsList(member->child)) anyList = true;
      if (other == nullptr && IsLeaf(first->child) != IsLeaf(member->child)) other = member;
    }
    if (other == nullptr) {
      // Only leaves, which do not combine: nothing more can be done here.
      if (!anyList) {
        *out = std::move(list);
        return CombineStatus::kDone;
      }
      other = first->next->next;
    }
    if (++distributions_ > kMaxDistributions) return CombineStatus::kNoProgress;
    ParseNodePtr product;
    status = CombinePair(op, first->child, other->child, &product);
    if (status != CombineStatus::kDone) return status;
    ReplaceContent(first, std::move(product));
    RemoveOperand(&list, other);
    if (OperandCount(list.get()) == 1) {
      // The distributed list replaces the list being reduced.
      list = Unwrap(std::move(list));
      if (!IsList(list.get())) {
        *out = std::move(list);
        return CombineStatus::kDone;
      }
    }
  }
}

}  // namespace

CombineStatus CombinePair(int32_t op, const ParseNode* x, const ParseNode* y,
                          ParseNodePtr* result) {
  result->reset();
  if ((op != kConditionAnd && op != kConditionOr) || x == nullptr || y == nullptr) {
    return CombineStatus::kRefused;
  }
  if (IsLeaf(x) && IsLeaf(y)) {
    const RowSet* a = RowSetOf(x);
    const RowSet* b = RowSetOf(y);
    if (a == nullptr || b == nullptr) return CombineStatus::kRefused;
    std::unique_ptr<RowSet> rows;
    CombineStatus status = op == kConditionAnd ? Intersect(*a, *b, &rows) : Unite(*a, *b, &rows);
    if (status != CombineStatus::kDone) return status;
    result->reset(NewConditionLeaf(rows.get()));
    if (*result == nullptr) return CombineStatus::kNoMemory;
    rows.release();  // the leaf holds it
    return CombineStatus::kDone;
  }
  // A leaf goes first in every pair, whichever side it came from.
  if (IsLeaf(y)) {
    const ParseNode* swap = x;
    x = y;
    y = swap;
  }
  WorkStack<const ParseNode*> left;
  WorkStack<const ParseNode*> right;
  if (!Terms(op, x, &left) || !Terms(op, y, &right)) return CombineStatus::kNoMemory;
  if (left.Count() == 1 && right.Count() == 1) {
    *result = NewPair(op, x, y);
    return *result != nullptr ? CombineStatus::kDone : CombineStatus::kNoMemory;
  }
  // The size of the product, before anything is built.
  int64_t nodes = 0;
  int64_t leftNodes = 0;
  int64_t rightNodes = 0;
  for (int32_t i = 0; i < left.Count(); ++i) leftNodes += NodeCount(left.At(i));
  for (int32_t j = 0; j < right.Count(); ++j) rightNodes += NodeCount(right.At(j));
  nodes = leftNodes * right.Count() + rightNodes * left.Count() +
          static_cast<int64_t>(left.Count()) * right.Count() * 5;
  if (nodes > kMaxDistributedNodes) return CombineStatus::kTooComplex;

  int32_t dual = DualOperator(op);
  ParseNodePtr head;
  ParseNode* last = nullptr;
  for (int32_t i = 0; i < left.Count(); ++i) {
    for (int32_t j = 0; j < right.Count(); ++j) {
      ParseNodePtr pair = NewPair(op, left.At(i), right.At(j));
      if (pair == nullptr) return CombineStatus::kNoMemory;
      ParseNodePtr group(NewConditionGroup(pair.get()));
      if (group == nullptr) return CombineStatus::kNoMemory;
      pair.release();  // the group holds it
      if (last == nullptr) {
        head = std::move(group);
        last = head.get();
        continue;
      }
      ParseNode* joint = NewConditionOperator(dual);
      if (joint == nullptr) return CombineStatus::kNoMemory;
      last->next = joint;  // the list holds the operator and the group
      joint->next = group.release();
      last = joint->next;
    }
  }
  *result = std::move(head);
  return CombineStatus::kDone;
}

namespace {

// 1 when a NOT node is left in a condition tree, 0 when none, -1 when
// memory is short.
int16_t HasNot(const ParseNode* tree) {
  WorkStack<const ParseNode*> pending;
  if (!pending.Push(tree)) return -1;
  const ParseNode* node = nullptr;
  while (pending.Pop(&node)) {
    for (; node != nullptr; node = node->next) {
      if (node->code == kConditionNot) return 1;
      if (node->code != kConditionLeaf && node->child != nullptr && !pending.Push(node->child))
        return -1;
    }
  }
  return 0;
}

CombineStatus Reduce(const ParseNode* tree, ParseNodePtr* reduced, bool* stalled) {
  reduced->reset();
  *stalled = false;
  if (tree == nullptr || !IsConditionTree(tree)) return CombineStatus::kRefused;
  // A NOT left in the tree would be ignored by the set algebra: refuse it
  // rather than reduce to the rows of the unnegated condition.
  int16_t hasNot = HasNot(tree);
  if (hasNot != 0) return hasNot > 0 ? CombineStatus::kRefused : CombineStatus::kNoMemory;
  int32_t depth = ListDepth(tree);
  if (depth < 0) return CombineStatus::kNoMemory;
  if (depth > kMaxReductionDepth) return CombineStatus::kTooComplex;
  ParseNodePtr copy(CopyConditionTree(tree));
  if (copy == nullptr) return CombineStatus::kNoMemory;
  Reducer reducer(depth + kReductionDepthMargin);
  CombineStatus status = reducer.Reduce(std::move(copy), reduced);
  *stalled = reducer.stalled();
  return status;
}

}  // namespace

CombineStatus ReduceToRowSet(const ParseNode* tree, std::unique_ptr<RowSet>* rows) {
  rows->reset();
  ParseNodePtr reduced;
  bool stalled = false;
  CombineStatus status = Reduce(tree, &reduced, &stalled);
  if (status != CombineStatus::kDone) return status;
  if (IsLeaf(reduced.get())) rows->reset(TakeRowSet(reduced.get()));
  if (*rows != nullptr) return CombineStatus::kDone;
  return stalled ? CombineStatus::kNoProgress : CombineStatus::kRefused;
}

}  // namespace zksql
