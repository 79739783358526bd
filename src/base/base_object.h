// BaseObject: the root of every class of the library.
//
// Objects are created by their owner (with new (std::nothrow), so that a
// shortage of memory is a null result rather than an exception) and deleted
// through the virtual destructor. Collections (PtrArray) search their
// elements by asking each one to compare itself with a key; what the key
// means belongs to the element's class.
#ifndef ZKSQL_BASE_BASE_OBJECT_H_
#define ZKSQL_BASE_BASE_OBJECT_H_

#include <cstdint>

namespace zksql {

// The arguments of a search: a name, an owner the element must belong to
// (null = any), and a switch whose meaning the element class gives
// (referenced-only for tables, qualified names for columns).
struct SearchKey {
  const char* name = nullptr;
  const void* owner = nullptr;
  int16_t flag = 0;
};

class BaseObject {
 public:
  BaseObject() = default;
  virtual ~BaseObject() = default;
  BaseObject(const BaseObject&) = delete;
  BaseObject& operator=(const BaseObject&) = delete;

  // 0 when this object matches the key, non-zero otherwise. The base
  // version matches every key.
  virtual int16_t Compare(const SearchKey& key) const {
    (void)key;
    return 0;
  }
};

}  // namespace zksql

#endif  // ZKSQL_BASE_BASE_OBJECT_H_
