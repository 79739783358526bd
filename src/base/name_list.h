// NameList: names kept as fixed-width slots in one text.
//
// A slot is "/", the name, blanks, and "/" in its last position; the slot
// width is the longest name the list takes plus 2. The dictionary keeps the
// item names a statement mentions in one, and asks it whether an item of a
// file is wanted.
#ifndef ZKSQL_BASE_NAME_LIST_H_
#define ZKSQL_BASE_NAME_LIST_H_

#include <cstdint>

#include "base/dyn_string.h"

namespace zksql {

class NameList {
 public:
  explicit NameList(int16_t maxNameLength);

  // Adds a name. A name longer than the list's maximum is refused (false):
  // cutting it could make it equal to another name.
  bool Add(const char* name);
  // The 1-based slot number holding the name (case-sensitive), 0 when it is
  // absent or could not be held.
  int16_t Contains(const char* name);
  // Forgets every name.
  void Reset();

  int16_t count() const { return count_; }
  int16_t width() const { return width_; }
  const char* text() const { return text_.Get(); }

 private:
  bool BuildSlot(const char* name);

  DynString text_;
  DynString slot_;
  int16_t count_ = 0;
  int16_t width_;
};

}  // namespace zksql

#endif  // ZKSQL_BASE_NAME_LIST_H_
