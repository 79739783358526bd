// ParseNode: the node of the parse tree, and of the small trees and lists
// that the selection engine and the evaluator build from the same record.
//
// A node has an owned text, a code (a token code for a token node, a
// negative rule code for a rule node, or a code of the component that built
// the tree), an integer value, a first child and a next sibling. A node owns
// its subtree and every sibling after it: deleting a node deletes all of
// them, so a node that must go alone is detached first. Destruction and
// the walks are iterative, so neither a long sibling chain (a long select
// or IN list) nor a deeply nested tree can exhaust the call stack.
//
// Texts are heap blocks (malloc/free). Operations that allocate report a
// lack of memory by their result and leave the tree as it was.
#ifndef ZKSQL_SQL_PARSE_NODE_H_
#define ZKSQL_SQL_PARSE_NODE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "base/base_object.h"

namespace zksql {

class ParseNode;

// How deeply a statement may nest: each NOT or parenthesised condition,
// each sub-select and each function call is one level. The parser refuses
// deeper text (Parser::kMaxNesting), so the stages after it that follow a
// statement's nesting level by level may take their bound from here.
constexpr int kMaxStatementNesting = 200;

// The owner of a tree (or a chain) held outside another tree. Inside a
// tree the links stay plain pointers that the node owns: a node releases
// its subtree and following siblings without recursion (see above), which a
// chain of unique_ptr links could not do for a long list or a deep tree.
using ParseNodePtr = std::unique_ptr<ParseNode>;

// Called for each node of a walk; 0 stops the walk.
using VisitCallback = int16_t (*)(ParseNode* node, void* user);

class ParseNode : public BaseObject {
 public:
  // The node owns a copy of `text` (a null text is taken as ""). When the
  // copy cannot be made, `text` stays null: use Create to be told.
  ParseNode(const char* text, int32_t code, int32_t value);
  // The same with both links given: the node takes ownership of them (used
  // to put a node in front of an existing chain).
  ParseNode(const char* text, int32_t code, int32_t value, ParseNode* child, ParseNode* next);
  ~ParseNode() override;

  // Nodes come from and go back to a small cache of freed nodes: a
  // statement makes and drops dozens of them, more than the allocator's
  // own per-size caches hold. The nothrow form answers null when memory
  // is short, as the global one does.
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* block) noexcept;
  // Frees the nodes the cache holds, giving their memory back (an
  // instance's end does it); later nodes fill it again.
  static void ReleaseCache();

  // Allocating forms of the constructors: null when the node or its text
  // cannot be allocated. On failure the caller keeps `child` and `next`.
  static ParseNode* Create(const char* text, int32_t code, int32_t value);
  static ParseNode* Create(const char* text, int32_t code, int32_t value, ParseNode* child,
                           ParseNode* next);
  // Create, with the node handed out in its owner.
  static std::unique_ptr<ParseNode> Make(const char* text, int32_t code, int32_t value) {
    return std::unique_ptr<ParseNode>(Create(text, code, value));
  }

  // Editing. Each returns false when memory is short (the text unchanged).
  [[nodiscard]] bool SetText(const char* newText);
  [[nodiscard]] bool SetTextAndCode(const char* newText, int32_t newCode);

  // Makes `node` (with the siblings already chained after it) a child of
  // this node and returns it. Without a child yet it becomes the first;
  // otherwise with atFront 0 it goes after the last child, and with
  // atFront nonzero right after the first child. Null gives null.
  ParseNode* AddChild(ParseNode* node, int16_t atFront);
  // Creates a node and adds it as AddChild does; null when memory is short.
  ParseNode* AddNewChild(const char* newText, int32_t newCode, int32_t newValue, int16_t atFront);
  // Links `node` (with its chain) right after this node when afterThis is
  // nonzero, else at the end of this node's sibling chain. Returns it.
  ParseNode* AppendSibling(ParseNode* node, int16_t afterThis);
  // Creates a node and links it as AppendSibling does; null when memory is
  // short.
  ParseNode* AppendNewSibling(const char* newText, int32_t newCode, int32_t newValue,
                              int16_t afterThis);

  // Searching. FindByText looks along this node and its following siblings
  // only (exact comparison); the others search this node, its following
  // siblings and all their subtrees in Visit order.
  ParseNode* FindByText(const char* wanted);
  // Pre-order walk over this node, its subtree, then its following
  // siblings with theirs: callback for each node, descending into a node's
  // children after it returned nonzero. Returns 0 as soon as a callback
  // returns 0 (or when memory for the walk runs out), 1 at the end.
  int16_t Visit(VisitCallback callback, void* user);
  // The n-th (from 1) node with this code; null when there are fewer.
  ParseNode* FindNthByCode(int32_t wanted, int32_t n);

  // Slash lists: names kept in the text, separated by "/". AddPathElement
  // adds the name unless an element equals it (false when memory is
  // short); GetPathElement returns a heap copy (free()) of the element at
  // a 0-based index, null when there are fewer elements or it is empty;
  // HasPathElement is 1 when an element equals the name.
  [[nodiscard]] bool AddPathElement(const char* name);
  char* GetPathElement(int32_t index) const;
  int16_t HasPathElement(const char* name) const;

  // The last node of the sibling chain that starts here.
  ParseNode* LastSibling();

  char* text = nullptr;
  int32_t code = 0;
  int32_t value = 0;
  ParseNode* child = nullptr;
  ParseNode* next = nullptr;
  // A number literal's value, read from `text` by the first evaluation
  // that needs it and kept for the next ones; SetText and SetTextAndCode
  // forget it.
  double number = 0;
  bool numberRead = false;

 private:
  // Short texts (most names, keywords and literals) live in the node
  // itself: `text` then points here, and there is nothing to free.
  static constexpr size_t kInlineText = 16;
  char* CopyText(const char* source);
  void FreeText();
  char inlineText_[kInlineText];
};

}  // namespace zksql

#endif  // ZKSQL_SQL_PARSE_NODE_H_
