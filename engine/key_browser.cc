// key_browser.cc - index walks for keyed reads.
#include "key_browser.h"

#include <cstring>
#include <string>

#include "block_fields.h"
#include "lmdb_cursor.h"

namespace jx {

int32_t NextByKey(KeptCursor& indexes, const Item& key, const KeyRange* range, bool first,
                  BrowseState* state) {
  std::string prefix;
  PutBE32(prefix, key.indexId);
  std::string low = prefix;
  if (range) low += range->Start();

  Cursor cursor(indexes);
  MDB_val k, v;
  bool found;
  if (first || state->indexId != key.indexId || state->lastKey.empty()) {
    found = cursor.Seek(low, &k, &v);
  } else {
    if (cursor.At() == state->lastKey) {
      // The kept cursor stands where the browse stopped, and nothing was
      // written since: the entry after it is the next one.
      found = cursor.Next(&k, &v);
    } else {
      found = cursor.Seek(state->lastKey, &k, &v);
      if (found && k.mv_size == state->lastKey.size() &&
          std::memcmp(k.mv_data, state->lastKey.data(), k.mv_size) == 0)
        found = cursor.Next(&k, &v);
    }
    // A range installed after the browse began may start further on.
    if (found && range) {
      size_t n = k.mv_size < low.size() ? k.mv_size : low.size();
      int c = std::memcmp(k.mv_data, low.data(), n);
      if (c < 0 || (c == 0 && k.mv_size < low.size())) found = cursor.Seek(low, &k, &v);
    }
  }
  state->indexId = key.indexId;
  if (!found || !HasPrefix(k, prefix) || k.mv_size < prefix.size() + 4) return 0;
  const unsigned char* bytes = static_cast<const unsigned char*>(k.mv_data);
  if (range && range->AboveHigh(bytes + prefix.size(), k.mv_size - prefix.size() - 4)) return 0;
  state->lastKey.assign(reinterpret_cast<const char*>(bytes), k.mv_size);
  return int32_t(ReadBE32(bytes + k.mv_size - 4));
}

}  // namespace jx
