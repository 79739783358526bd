// Value lists and row bindings: nodes that carry a typed value's bytes,
// owned (value lists) or borrowed from a column (row bindings).
#include "sql/value_list.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

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

ValueNode* AppendOwnedValue(ParseNode* last, OwnedValue value) {
  if (last == nullptr || !value.has_value()) return nullptr;
  // The node takes the bytes only once it exists.
  ValueNode* node = ValueNode::Create("", value->type, value->length, nullptr, false);
  if (node == nullptr) return nullptr;
  node->bytes = value.Release().bytes;
  node->ownsBytes = true;
  last->AppendSibling(node, 1);
  return node;
}

ValueNode* AppendOwnedValue(ParseNode* last, TypedValue* value) {
  if (value == nullptr) return nullptr;
  return AppendOwnedValue(last, OwnedValue(value));
}

ParseNode* CopyValueList(const ParseNode* head) {
  std::unique_ptr<ParseNode> copy(NewValueListHead());
  if (copy == nullptr || head == nullptr) return copy.release();
  ParseNode* last = copy.get();
  for (const ParseNode* p = head->next; p != nullptr; p = p->next) {
    const ValueNode* v = dynamic_cast<const ValueNode*>(p);
    if (v == nullptr || v->bytes == nullptr) continue;
    OwnedValue value;
    if (!CopyValue(v->Borrow(), &value)) return nullptr;
    last = AppendOwnedValue(last, std::move(value));
    if (last == nullptr) return nullptr;
  }
  return copy.release();
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

bool ListHoldsValue(const ParseNode* head, const TypedValue& v) {
  for (const ParseNode* p = head == nullptr ? nullptr : head->next; p != nullptr; p = p->next) {
    const ValueNode* node = dynamic_cast<const ValueNode*>(p);
    if (node == nullptr || node->bytes == nullptr) continue;
    if (node->code == v.type && node->value == v.length &&
        std::memcmp(node->bytes, v.bytes, v.length) == 0) {
      return true;
    }
  }
  return false;
}

bool ListShownValue(const ParseNode* head, ParseNode** last, const TypedValue* shown,
                    bool distinct) {
  OwnedValue v;
  if (shown == nullptr || shown->bytes == nullptr || shown->length == 0) {
    if (!MakeTextValue(kValueText, "", v.Receive())) return false;
  } else if (!CopyValue(*shown, &v)) {
    return false;
  }
  if (distinct && ListHoldsValue(head, v.view())) return true;
  ValueNode* added = AppendOwnedValue(*last, std::move(v));
  if (added == nullptr) return false;
  *last = added;
  return true;
}

}  // namespace zksql
