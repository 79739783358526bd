// NameList: fixed-width name slots.
#include "base/name_list.h"

#include <cstring>

namespace zksql {

NameList::NameList(int16_t maxNameLength)
    : width_(static_cast<int16_t>((maxNameLength > 0 ? maxNameLength : 0) + 2)) {
  slot_.Reserve(width_);
}

bool NameList::BuildSlot(const char* name) {
  if (name == nullptr) return false;
  // The constructor cannot report a failure: a slot it could not get is
  // asked for again here, so that a shortage of memory is never taken for
  // a name that is absent.
  if (slot_.IsNull() && !slot_.Reserve(width_)) return false;
  size_t n = strlen(name);
  if (n > static_cast<size_t>(width_ - 2)) return false;
  char* s = slot_.Data();
  memset(s, ' ', static_cast<size_t>(width_));
  s[0] = '/';
  memcpy(s + 1, name, n);
  s[width_ - 1] = '/';
  s[width_] = '\0';
  return true;
}

bool NameList::Add(const char* name) {
  if (!BuildSlot(name)) return false;
  if (!text_.Append(slot_.Get(), false)) return false;
  ++count_;
  return true;
}

int16_t NameList::Contains(const char* name) {
  if (text_.IsNull() || !BuildSlot(name)) return 0;
  // Only whole slots are compared: a match straddling two slots would name
  // no slot at all.
  const char* all = text_.Get();
  size_t total = strlen(all);
  for (size_t at = 0, number = 1; at + width_ <= total; at += width_, ++number) {
    if (memcmp(all + at, slot_.Get(), static_cast<size_t>(width_)) == 0) {
      return static_cast<int16_t>(number);
    }
  }
  return 0;
}

void NameList::Reset() {
  text_.Free();
  count_ = 0;
}

}  // namespace zksql
