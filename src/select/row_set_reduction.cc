// Reduction of a condition tree: pairwise combination, distribution, and
// the checks that make it end.
#include "select/row_set_reduction.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

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
    snprintf(number, sizeof number, "%d:%d", static_cast<int>(work.depth), static_cast<int>(node->code));
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
ParseNode* NewPair(int32_t op, const ParseNode* x, const ParseNode* y) {
  ParseNode* left = CopyConditionTree(x);
  ParseNode* right = CopyConditionTree(y);
  ParseNode* first = left != nullptr ? NewConditionGroup(left) : nullptr;
  if (first == nullptr) {
    delete left;
    delete right;
    return nullptr;
  }
  ParseNode* second = right != nullptr ? NewConditionGroup(right) : nullptr;
  if (second == nullptr) {
    delete right;
    delete first;
    return nullptr;
  }
  ParseNode* operation = NewConditionOperator(op);
  if (operation == nullptr) {
    delete first;
    delete second;
    return nullptr;
  }
  first->next = operation;
  operation->next = second;
  return first;
}

// Removes `group` from the list at *head together with the operator in
// front of it (after it, for the first operand) and deletes both with the
// group's content.
void RemoveOperand(ParseNode** head, ParseNode* group) {
  if (*head == group) {
    ParseNode* op = group->next;
    *head = op != nullptr ? op->next : nullptr;
    if (op != nullptr) op->next = nullptr;
    delete group;  // with the operator still chained after it
    return;
  }
  ParseNode* before = *head;
  while (before->next != nullptr && before->next->next != group) before = before->next;
  ParseNode* op = before->next;
  if (op == nullptr) return;  // not in this list
  before->next = group->next;
  group->next = nullptr;
  op->next = group;
  delete op;  // with the group chained after it
}

int32_t OperandCount(const ParseNode* list) {
  int32_t n = 0;
  for (const ParseNode* node = list; node != nullptr; node = node->next) {
    if (node->code == kConditionGroup) ++n;
  }
  return n;
}

bool IsLeaf(const ParseNode* content) { return content != nullptr && content->code == kConditionLeaf; }

bool IsList(const ParseNode* content) {
  int32_t kind = ConditionKind(content);
  return kind == kConditionAnd || kind == kConditionOr;
}

// Takes the content of the only operand of a list and deletes the list.
ParseNode* Unwrap(ParseNode* list) {
  ParseNode* content = list->child;
  list->child = nullptr;
  delete list;
  return content;
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
  // Reduces `tree` (owned, consumed); *out receives the final tree.
  CombineStatus Reduce(ParseNode* tree, ParseNode** out);
  // True once some list stopped because it came back to an earlier shape.
  bool stalled() const { return stalled_; }

 private:
  CombineStatus ReduceList(ParseNode* list, ParseNode** out);
  // First pass: combines pairs of leaves while one combines. Sets *single
  // when one operand is left.
  CombineStatus CombineLeaves(ParseNode** list, int32_t op, bool* single);

  int32_t maxDepth_;
  int32_t depth_ = 0;
  int32_t distributions_ = 0;
  bool stalled_ = false;
};

CombineStatus Reducer::Reduce(ParseNode* tree, ParseNode** out) {
  *out = nullptr;
  if (IsLeaf(tree)) {
    if (RowSetOf(tree) == nullptr) {
      delete tree;
      return CombineStatus::kRefused;
    }
    *out = tree;
    return CombineStatus::kDone;
  }
  if (!IsList(tree)) {
    delete tree;
    return CombineStatus::kRefused;
  }
  if (depth_ >= maxDepth_) {
    // Distribution nests each pair one level deeper; a reduction that keeps
    // going deeper than its input is not converging.
    delete tree;
    return CombineStatus::kNoProgress;
  }
  ++depth_;
  CombineStatus status = ReduceList(tree, out);
  --depth_;
  return status;
}

CombineStatus Reducer::CombineLeaves(ParseNode** list, int32_t op, bool* single) {
  *single = false;
  for (bool combined = true; combined;) {
    combined = false;
    for (ParseNode* a = *list; a != nullptr && !combined; a = a->next) {
      if (a->code != kConditionGroup || !IsLeaf(a->child)) continue;
      for (ParseNode* b = a->next; b != nullptr; b = b->next) {
        if (b->code != kConditionGroup || !IsLeaf(b->child)) continue;
        ParseNode* leaf = nullptr;
        CombineStatus status = CombinePair(op, a->child, b->child, &leaf);
        if (status == CombineStatus::kRefused) continue;
        if (status != CombineStatus::kDone) return status;
        delete a->child;
        a->child = leaf;
        RemoveOperand(list, b);
        combined = true;
        break;
      }
    }
  }
  *single = OperandCount(*list) == 1;
  return CombineStatus::kDone;
}

CombineStatus Reducer::ReduceList(ParseNode* list, ParseNode** out) {
  SeenShapes seen;
  for (;;) {
    // A list that comes back to a shape it had would go round again. It
    // stops as it is, like a pair the algebra refuses: the enclosing list
    // may still resolve it by distributing over it; if nothing does, the
    // whole reduction fails.
    CombineStatus status = seen.Record(list);
    if (status == CombineStatus::kNoProgress) {
      stalled_ = true;
      *out = list;
      return CombineStatus::kDone;
    }
    if (status != CombineStatus::kDone) {
      delete list;
      return status;
    }
    int32_t op = ConditionKind(list);
    // a. Each operand reduced on its own.
    for (ParseNode* member = list; member != nullptr; member = member->next) {
      if (member->code != kConditionGroup) continue;
      ParseNode* reduced = nullptr;
      status = Reduce(member->child, &reduced);
      member->child = reduced;
      if (status != CombineStatus::kDone) {
        delete list;
        return status;
      }
    }
    // b. Operands that became lists of this operator merge into it.
    if (!FlattenConditions(&list)) {
      delete list;
      return CombineStatus::kNoMemory;
    }
    op = ConditionKind(list);
    // c. Pairs of leaves.
    bool single = false;
    status = CombineLeaves(&list, op, &single);
    if (status != CombineStatus::kDone) {
      delete list;
      return status;
    }
    if (single) {
      *out = Unwrap(list);
      return CombineStatus::kDone;
    }
    // d. Distribution of the first operand over a later one: a leaf over a
    // list (or a list over a leaf), else two lists.
    ParseNode* first = list;
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
        *out = list;
        return CombineStatus::kDone;
      }
      other = first->next->next;
    }
    if (++distributions_ > kMaxDistributions) {
      delete list;
      return CombineStatus::kNoProgress;
    }
    ParseNode* product = nullptr;
    status = CombinePair(op, first->child, other->child, &product);
    if (status != CombineStatus::kDone) {
      delete list;
      return status;
    }
    delete first->child;
    first->child = product;
    RemoveOperand(&list, other);
    if (OperandCount(list) == 1) {
      // The distributed list replaces the list being reduced.
      list = Unwrap(list);
      if (!IsList(list)) {
        *out = list;
        return CombineStatus::kDone;
      }
    }
  }
}

}  // namespace

CombineStatus CombinePair(int32_t op, const ParseNode* x, const ParseNode* y, ParseNode** result) {
  *result = nullptr;
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
    *result = NewConditionLeaf(rows.get());
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
  ParseNode* head = nullptr;
  ParseNode* last = nullptr;
  for (int32_t i = 0; i < left.Count(); ++i) {
    for (int32_t j = 0; j < right.Count(); ++j) {
      ParseNode* pair = NewPair(op, left.At(i), right.At(j));
      ParseNode* group = pair != nullptr ? NewConditionGroup(pair) : nullptr;
      ParseNode* joint = last != nullptr && group != nullptr ? NewConditionOperator(dual) : nullptr;
      if (group == nullptr || (last != nullptr && joint == nullptr)) {
        if (group == nullptr) delete pair;
        delete group;
        delete head;
        return CombineStatus::kNoMemory;
      }
      if (last == nullptr) {
        head = group;
      } else {
        last->next = joint;
        joint->next = group;
      }
      last = group;
    }
  }
  *result = head;
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
      if (node->code != kConditionLeaf && node->child != nullptr && !pending.Push(node->child)) return -1;
    }
  }
  return 0;
}

CombineStatus Reduce(const ParseNode* tree, ParseNode** reduced, bool* stalled) {
  *reduced = nullptr;
  *stalled = false;
  if (tree == nullptr || !IsConditionTree(tree)) return CombineStatus::kRefused;
  // A NOT left in the tree would be ignored by the set algebra: refuse it
  // rather than reduce to the rows of the unnegated condition.
  int16_t hasNot = HasNot(tree);
  if (hasNot != 0) return hasNot > 0 ? CombineStatus::kRefused : CombineStatus::kNoMemory;
  int32_t depth = ListDepth(tree);
  if (depth < 0) return CombineStatus::kNoMemory;
  if (depth > kMaxReductionDepth) return CombineStatus::kTooComplex;
  ParseNode* copy = CopyConditionTree(tree);
  if (copy == nullptr) return CombineStatus::kNoMemory;
  Reducer reducer(depth + kReductionDepthMargin);
  CombineStatus status = reducer.Reduce(copy, reduced);
  *stalled = reducer.stalled();
  return status;
}

}  // namespace

CombineStatus ReduceToRowSet(const ParseNode* tree, RowSet** rows) {
  *rows = nullptr;
  ParseNode* reduced = nullptr;
  bool stalled = false;
  CombineStatus status = Reduce(tree, &reduced, &stalled);
  if (status != CombineStatus::kDone) return status;
  if (IsLeaf(reduced)) *rows = TakeRowSet(reduced);
  delete reduced;
  if (*rows != nullptr) return CombineStatus::kDone;
  return stalled ? CombineStatus::kNoProgress : CombineStatus::kRefused;
}

}  // namespace zksql
