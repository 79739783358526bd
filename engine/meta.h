// meta.h - the database's counters, kept in the "meta" table.
//
// One table of named 64-bit counters: the dictionary version (bumped by
// every change of a file description, so handles know to reload their
// cached dictionary), the next file, index and memo numbers, and for each
// file the last record number given (record numbers are never reused: the
// next append follows it even when the last record was deleted).
#ifndef JXENGINE_META_H_
#define JXENGINE_META_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "block_fields.h"
#include "environment.h"
#include "undo_log.h"

namespace jx {

inline const char kDictionaryVersion[] = "dictionary-version";
inline const char kNextFileId[] = "next-file";
inline const char kNextIndexId[] = "next-index";
inline const char kNextMemo[] = "next-memo";

// The name of a file's last record number, "last-record:" and the file id
// (big-endian), made in place: every append reads and writes it.
class LastRecordName {
 public:
  explicit LastRecordName(uint32_t fileId) {
    std::memcpy(bytes_, "last-record:", 12);
    WriteBE32(bytes_ + 12, fileId);
  }
  std::string_view view() const { return std::string_view(bytes_, sizeof bytes_); }

 private:
  char bytes_[16];
};

inline std::string LastRecordKey(uint32_t fileId) {
  return std::string(LastRecordName(fileId).view());
}

inline uint64_t MetaGet(MDB_txn* txn, const Tables& t, std::string_view name) {
  MDB_val key{name.size(), const_cast<char*>(name.data())}, value;
  int rc = mdb_get(txn, t.meta, &key, &value);
  if (rc == MDB_NOTFOUND || value.mv_size != 8) return 0;
  Check(rc);
  uint64_t v;
  std::memcpy(&v, value.mv_data, 8);
  return v;
}

inline void MetaPut(MDB_txn* txn, const Tables& t, std::string_view name, uint64_t v) {
  MDB_val key{name.size(), const_cast<char*>(name.data())}, value{8, &v};
  KvPut(txn, t.meta, key, value);
}

// Increments the counter and returns its new value (the first is 1).
inline uint64_t MetaNext(MDB_txn* txn, const Tables& t, std::string_view name) {
  uint64_t v = MetaGet(txn, t, name) + 1;
  MetaPut(txn, t, name, v);
  return v;
}

}  // namespace jx

#endif  // JXENGINE_META_H_
