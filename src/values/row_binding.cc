// RowBinding: binding column values by reference and finding them again.
#include "values/row_binding.h"

#include <cstring>
#include <new>

namespace zksql {

bool RowBinding::Bind(const char* table, const char* column, const TypedValue& value) {
  try {
    entries_.push_back(
        Entry{table == nullptr ? "" : table, column == nullptr ? "" : column, value, nullptr});
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

const TypedValue* RowBinding::Find(const char* reference) const {
  if (reference == nullptr) return nullptr;
  // The reference is compared piece by piece with TABLE, "/" and COLUMN, so
  // no text is built for a look-up.
  for (const Entry& e : entries_) {
    if (e.node != nullptr) continue;
    size_t tl = std::strlen(e.table);
    if (std::strncmp(reference, e.table, tl) == 0 && reference[tl] == '/' &&
        std::strcmp(reference + tl + 1, e.column) == 0) {
      return &e.value;
    }
  }
  return nullptr;
}

bool RowBinding::BindNode(const void* node, const TypedValue& value) {
  try {
    entries_.push_back(Entry{"", "", value, node});
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

const TypedValue* RowBinding::FindNode(const void* node) const {
  if (node == nullptr) return nullptr;
  for (const Entry& e : entries_) {
    if (e.node == node) return &e.value;
  }
  return nullptr;
}

}  // namespace zksql
