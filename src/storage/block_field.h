// Fields of the fixed-layout blocks exchanged with the engine and hosts
// (InfoBlock, RecordBlock, memo blocks, record images): read and written at
// byte offsets with memcpy, since nothing in them is aligned for its type.
#ifndef ZKSQL_STORAGE_BLOCK_FIELD_H_
#define ZKSQL_STORAGE_BLOCK_FIELD_H_

#include <cstring>

namespace zksql {

template <class T>
T ReadField(const void* block, int offset) {
  T v;
  memcpy(&v, static_cast<const unsigned char*>(block) + offset, sizeof v);
  return v;
}

template <class T>
void WriteField(void* block, int offset, T v) {
  memcpy(static_cast<unsigned char*>(block) + offset, &v, sizeof v);
}

}  // namespace zksql

#endif  // ZKSQL_STORAGE_BLOCK_FIELD_H_
