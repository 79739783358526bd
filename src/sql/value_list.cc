// Value lists and row bindings: nodes that carry a typed value's bytes,
// owned (value lists) or borrowed from a column (row bindings).
#include "sql/value_list.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/out_of_memory.h"

namespace zksql {

ValueNode::ValueNode(const char* text, int16_t type, uint16_t length, char* valueBytes, bool owns)
    : ParseNode(text, type, length), bytes(valueBytes), ownsBytes(owns) {}

ValueNode::~ValueNode() {
  if (ownsBytes) std::free(bytes);
  bytes = nullptr;
}

ValueNode* ValueNode::Create(const char* text, int16_t type, uint16_t length, char* bytes,
                             bool ownsBytes) {
  ValueNode* node = new (std::nothrow) ValueNode(text, type, length, bytes, ownsBytes);
  if (node == nullptr) {
    NoteOutOfMemory();
    return nullptr;
  }
  if (node->text == nullptr) {
    node->ownsBytes = false;  // the caller keeps the bytes
    delete node;
    return nullptr;
  }
  return node;
}

TypedValue ValueNode::Borrow() const {
  TypedValue v;
  v.type = static_cast<int16_t>(code);
  v.length = static_cast<uint16_t>(value);
  v.bytes = bytes;
  return v;
}

ParseNode* NewValueListHead() {
  return ParseNode::Create("", 0, 0);
}

ValueNode* AppendOwnedValue(ParseNode* last, TypedValue* value) {
  if (last == nullptr || value == nullptr || value->bytes == nullptr) {
    if (value != nullptr) ReleaseValue(value);
    return nullptr;
  }
  ValueNode* node = ValueNode::Create("", value->type, value->length, value->bytes, true);
  if (node == nullptr) {
    ReleaseValue(value);
    return nullptr;
  }
  value->bytes = nullptr;
  value->type = kValueNone;
  value->length = 0;
  last->AppendSibling(node, 1);
  return node;
}

ParseNode* CopyValueList(const ParseNode* head) {
  ParseNode* copy = NewValueListHead();
  if (copy == nullptr || head == nullptr) return copy;
  ParseNode* last = copy;
  for (const ParseNode* p = head->next; p != nullptr; p = p->next) {
    const ValueNode* v = dynamic_cast<const ValueNode*>(p);
    if (v == nullptr || v->bytes == nullptr) continue;
    TypedValue value;
    value.type = static_cast<int16_t>(v->code);
    value.length = static_cast<uint16_t>(v->value);
    value.bytes = static_cast<char*>(std::malloc(value.length == 0 ? 1 : value.length));
    if (value.bytes == nullptr) {
      NoteOutOfMemory();
      delete copy;
      return nullptr;
    }
    std::memcpy(value.bytes, v->bytes, value.length);
    last = AppendOwnedValue(last, &value);
    if (last == nullptr) {
      delete copy;
      return nullptr;
    }
  }
  return copy;
}

int32_t CountValues(const ParseNode* head) {
  int32_t n = 0;
  if (head == nullptr) return 0;
  for (const ParseNode* p = head->next; p != nullptr; p = p->next) {
    const ValueNode* v = dynamic_cast<const ValueNode*>(p);
    if (v != nullptr && v->bytes != nullptr) ++n;
  }
  return n;
}

const ValueNode* FindBinding(const ParseNode* binding, const char* name) {
  if (binding == nullptr || name == nullptr) return nullptr;
  for (const ParseNode* p = binding->next; p != nullptr; p = p->next) {
    if (p->text != nullptr && std::strcmp(p->text, name) == 0) {
      return dynamic_cast<const ValueNode*>(p);
    }
  }
  return nullptr;
}

}  // namespace zksql
