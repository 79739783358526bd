// ParseNode: construction, iterative destruction, editing, linking, the
// walks and the slash-list operations.
#include "sql/parse_node.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/block_cache.h"
#include "base/out_of_memory.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

// Freed nodes kept for the next ones. Made once and never destroyed, so a
// node deleted while the program ends still finds it; what it holds then
// stays reachable through it.
BlockCache& Cache() {
  static BlockCache* cache = new BlockCache();
  return *cache;
}

// Deletes every node reachable from p through `child` and `next`, without
// recursion. A node that still has a child is rotated: its first child
// takes its place in the chain and the child's siblings become its
// children, so that every node is finally reached with no child left and
// is deleted alone (links cleared, so its destructor has nothing more to
// do). Each rotation empties one child link, so the whole tree goes in
// time proportional to its size, whatever its depth or width.
void ReleaseAll(ParseNode* p) {
  while (p != nullptr) {
    if (p->child != nullptr) {
      ParseNode* first = p->child;
      p->child = first->next;
      first->next = p;
      p = first;
    } else {
      ParseNode* following = p->next;
      p->next = nullptr;
      delete p;
      p = following;
    }
  }
}

struct CodeSearch {
  int32_t wanted;
  int32_t remaining;
  ParseNode* found;
};

int16_t MatchNthCode(ParseNode* node, void* user) {
  CodeSearch* search = static_cast<CodeSearch*>(user);
  if (node->code != search->wanted || --search->remaining > 0) return 1;
  search->found = node;
  return 0;
}

// Calls `each` for every "/"-separated element of text (start, length)
// until it returns false.
template <typename Each>
void ForEachElement(const char* text, Each each) {
  if (text == nullptr) return;
  const char* start = text;
  for (;;) {
    const char* slash = strchr(start, '/');
    size_t length = slash != nullptr ? static_cast<size_t>(slash - start) : strlen(start);
    if (!each(start, length)) return;
    if (slash == nullptr) return;
    start = slash + 1;
  }
}

}  // namespace

void* ParseNode::operator new(std::size_t size) {
  void* block = operator new(size, std::nothrow);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* ParseNode::operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (size == sizeof(ParseNode)) {
    if (void* block = Cache().Take()) return block;
  }
  return ::operator new(size, std::nothrow);
}

void ParseNode::operator delete(void* block) noexcept {
  if (block != nullptr && !Cache().Keep(block)) ::operator delete(block);
}

void ParseNode::ReleaseCache() {
  Cache().ReleaseAll([](void* block) { ::operator delete(block); });
}

ParseNode::ParseNode(const char* text, int32_t code, int32_t value)
    : text(CopyText(text != nullptr ? text : "")), code(code), value(value) {}

ParseNode::ParseNode(const char* text, int32_t code, int32_t value, ParseNode* child,
                     ParseNode* next)
    : text(CopyText(text != nullptr ? text : "")),
      code(code),
      value(value),
      child(child),
      next(next) {}

char* ParseNode::CopyText(const char* source) {
  size_t length = strlen(source);
  if (length < kInlineText) {
    memcpy(inlineText_, source, length + 1);
    return inlineText_;
  }
  return DuplicateText(source);
}

void ParseNode::FreeText() {
  if (text != inlineText_) free(text);
  text = nullptr;
}

ParseNode::~ParseNode() {
  FreeText();
  ParseNode* children = child;
  ParseNode* siblings = next;
  child = nullptr;
  next = nullptr;
  // Both the subtree and the following siblings go iteratively: the
  // parser's trees can be as deep as the statement nests parentheses, and
  // lists as long as the statement is.
  ReleaseAll(children);
  ReleaseAll(siblings);
}

ParseNode* ParseNode::Create(const char* text, int32_t code, int32_t value) {
  return Create(text, code, value, nullptr, nullptr);
}

ParseNode* ParseNode::Create(const char* text, int32_t code, int32_t value, ParseNode* child,
                             ParseNode* next) {
  ParseNode* node = new (std::nothrow) ParseNode(text, code, value, child, next);
  if (node == nullptr) {
    NoteOutOfMemory();
    return nullptr;
  }
  if (node->text == nullptr) {
    // Hand the links back to the caller before deleting the node.
    node->child = nullptr;
    node->next = nullptr;
    delete node;
    return nullptr;
  }
  return node;
}

bool ParseNode::SetText(const char* newText) {
  numberRead = false;
  if (newText == text) return true;
  if (newText == nullptr) newText = "";
  size_t length = strlen(newText);
  if (text != nullptr && strlen(text) >= length) {
    // The new text may be a part of the current one: memmove.
    memmove(text, newText, length + 1);
    return true;
  }
  // Longer than the current text: not a part of it, so the current one
  // may go before the copy is made (the copy may be the inline one).
  if (length >= kInlineText) {
    char* copy = DuplicateText(newText);
    if (copy == nullptr) return false;
    FreeText();
    text = copy;
    return true;
  }
  FreeText();
  text = CopyText(newText);
  return true;
}

bool ParseNode::SetTextAndCode(const char* newText, int32_t newCode) {
  if (!SetText(newText)) return false;
  code = newCode;
  return true;
}

ParseNode* ParseNode::LastSibling() {
  ParseNode* last = this;
  while (last->next != nullptr) last = last->next;
  return last;
}

ParseNode* ParseNode::AddChild(ParseNode* node, int16_t atFront) {
  if (node == nullptr) return nullptr;
  if (child == nullptr) {
    child = node;
  } else if (atFront != 0) {
    // The node's own following siblings are kept: the whole chain goes in
    // after the first child, where overwriting node->next would lose them.
    node->LastSibling()->next = child->next;
    child->next = node;
  } else {
    child->LastSibling()->next = node;
  }
  return node;
}

ParseNode* ParseNode::AddNewChild(const char* newText, int32_t newCode, int32_t newValue,
                                  int16_t atFront) {
  return AddChild(Create(newText, newCode, newValue), atFront);
}

ParseNode* ParseNode::AppendSibling(ParseNode* node, int16_t afterThis) {
  if (node == nullptr) return nullptr;
  if (afterThis != 0) {
    // As in AddChild, the node's own chain is kept.
    node->LastSibling()->next = next;
    next = node;
  } else {
    LastSibling()->next = node;
  }
  return node;
}

ParseNode* ParseNode::AppendNewSibling(const char* newText, int32_t newCode, int32_t newValue,
                                       int16_t afterThis) {
  if (afterThis != 0) {
    ParseNode* node = Create(newText, newCode, newValue, nullptr, next);
    if (node != nullptr) next = node;
    return node;
  }
  ParseNode* node = Create(newText, newCode, newValue);
  if (node != nullptr) LastSibling()->next = node;
  return node;
}

ParseNode* ParseNode::FindByText(const char* wanted) {
  if (wanted == nullptr) return nullptr;
  for (ParseNode* node = this; node != nullptr; node = node->next) {
    if (node->text != nullptr && strcmp(node->text, wanted) == 0) return node;
  }
  return nullptr;
}

int16_t ParseNode::Visit(VisitCallback callback, void* user) {
  if (callback == nullptr) return 0;
  // The walk keeps, for each level it descended into, the sibling to go on
  // with afterwards (levels without one need no entry). An explicit stack
  // instead of recursion: the depth is the input's nesting.
  ParseNode* local[32];
  ParseNode** stack = local;
  int32_t capacity = 32;
  int32_t depth = 0;
  int16_t result = 1;
  ParseNode* node = this;
  for (;;) {
    if (node == nullptr) {
      if (depth == 0) break;
      node = stack[--depth];
      continue;
    }
    if (callback(node, user) == 0) {
      result = 0;
      break;
    }
    if (node->child == nullptr) {
      node = node->next;
      continue;
    }
    if (node->next != nullptr) {
      if (depth == capacity) {
        ParseNode** grown = static_cast<ParseNode**>(
            malloc(sizeof(ParseNode*) * static_cast<size_t>(capacity) * 2));
        if (grown == nullptr) {
          result = 0;
          break;
        }
        memcpy(grown, stack, sizeof(ParseNode*) * static_cast<size_t>(depth));
        if (stack != local) free(stack);
        stack = grown;
        capacity *= 2;
      }
      stack[depth++] = node->next;
    }
    node = node->child;
  }
  if (stack != local) free(stack);
  return result;
}

ParseNode* ParseNode::FindNthByCode(int32_t wanted, int32_t n) {
  if (n < 1) return nullptr;
  CodeSearch search{wanted, n, nullptr};
  Visit(MatchNthCode, &search);
  return search.found;
}

bool ParseNode::AddPathElement(const char* name) {
  // An empty name is not added: it would make an empty element, which ends
  // every later HasPathElement scan early.
  if (name == nullptr || name[0] == '\0') return true;
  if (text == nullptr || text[0] == '\0') return SetText(name);
  size_t nameLength = strlen(name);
  // Elements are compared whole, however long: a shortened comparison
  // would take a long name for another that shares its beginning and
  // leave it out of the list.
  bool present = false;
  ForEachElement(text, [&](const char* element, size_t length) {
    present = length == nameLength && memcmp(element, name, length) == 0;
    return !present;
  });
  if (present) return true;
  size_t textLength = strlen(text);
  char* joined = static_cast<char*>(malloc(textLength + 1 + nameLength + 1));
  if (joined == nullptr) return false;
  memcpy(joined, text, textLength);
  joined[textLength] = '/';
  memcpy(joined + textLength + 1, name, nameLength + 1);
  FreeText();
  text = joined;
  return true;
}

char* ParseNode::GetPathElement(int32_t index) const {
  if (index < 0) return nullptr;
  char* out = nullptr;
  int32_t current = 0;
  ForEachElement(text, [&](const char* element, size_t length) {
    if (current++ < index) return true;
    if (length > 0) out = DuplicateText(element, static_cast<int32_t>(length));
    return false;
  });
  return out;
}

int16_t ParseNode::HasPathElement(const char* name) const {
  if (name == nullptr) return 0;
  size_t nameLength = strlen(name);
  int16_t found = 0;
  ForEachElement(text, [&](const char* element, size_t length) {
    if (length == 0) return false;  // the scan ends at the first empty element
    if (length == nameLength && memcmp(element, name, length) == 0) found = 1;
    return found == 0;
  });
  return found;
}

}  // namespace zksql
