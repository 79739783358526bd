// memo_store.h - memo data by reference.
//
// A memo item of a record holds a 32-bit reference; the data lives in the
// memo table under that reference. References come from one counter per
// database, so they are unique across files and a memo can be read whatever
// file name the reader gives. Data is stored as given: text for text memos,
// the bytes of a binary memo (without the host block's header).
#ifndef JXENGINE_MEMO_STORE_H_
#define JXENGINE_MEMO_STORE_H_

#include <cstddef>
#include <cstdint>

#include "environment.h"

namespace jx {

class MemoStore {
 public:
  MemoStore(MDB_txn* txn, const Tables& tables) : txn_(txn), t_(tables) {}

  // Stores data under `reference`, or under a new reference when it is 0;
  // returns the reference used.
  uint32_t Put(uint32_t reference, const void* data, size_t length);
  bool Get(uint32_t reference, MDB_val* data);
  void Remove(uint32_t reference);

 private:
  MDB_txn* txn_;
  const Tables& t_;
};

// The memo reference stored in a record image at `offset` (little-endian).
uint32_t MemoReference(const unsigned char* image, uint32_t offset);
void SetMemoReference(unsigned char* image, uint32_t offset, uint32_t reference);

}  // namespace jx

#endif  // JXENGINE_MEMO_STORE_H_
