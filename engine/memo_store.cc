// memo_store.cc - memo table access.
#include "memo_store.h"

#include <cstring>
#include <string>

#include "block_fields.h"
#include "jxengine.h"
#include "meta.h"
#include "undo_log.h"

namespace jx {
namespace {

std::string MemoKey(uint32_t reference) {
  std::string key;
  PutBE32(key, reference);
  return key;
}

}  // namespace

uint32_t MemoStore::Put(uint32_t reference, const void* data, size_t length) {
  if (reference == 0) reference = uint32_t(MetaNext(txn_, t_, kNextMemo));
  std::string key = MemoKey(reference);
  MDB_val k{key.size(), key.data()}, v{length, const_cast<void*>(data)};
  KvPut(txn_, t_.memos, k, v);
  return reference;
}

bool MemoStore::Get(uint32_t reference, MDB_val* data) {
  std::string key = MemoKey(reference);
  MDB_val k{key.size(), key.data()};
  int rc = mdb_get(txn_, t_.memos, &k, data);
  if (rc == MDB_NOTFOUND) return false;
  Check(rc);
  // No memo larger than the engine stores was ever written: such a size
  // comes from a damaged node, and copying it would read past the file.
  if (data->mv_size > size_t(JX_MEMO_MAX_BYTES)) throw LmdbError{MDB_CORRUPTED};
  return true;
}

void MemoStore::Remove(uint32_t reference) {
  std::string key = MemoKey(reference);
  MDB_val k{key.size(), key.data()};
  KvDelete(txn_, t_.memos, k);
}

uint32_t MemoReference(const unsigned char* image, uint32_t offset) {
  uint32_t v;
  std::memcpy(&v, image + offset, 4);
  return v;
}

void SetMemoReference(unsigned char* image, uint32_t offset, uint32_t reference) {
  std::memcpy(image + offset, &reference, 4);
}

}  // namespace jx
