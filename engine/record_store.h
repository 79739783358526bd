// record_store.h - the records of one file and the indexes over them.
//
// Records live in one LMDB table under (file id, record number), both
// big-endian so a cursor walks a file in number order. Every key item has an
// index: entries (index id, key form, record number) with empty values, so
// equal keys order by record number and a unique key is checked by looking
// for another entry with the same (index id, key form) prefix. Writes check
// every unique key before touching anything, so a refused write leaves no
// trace even inside a host transaction.
#ifndef JXENGINE_RECORD_STORE_H_
#define JXENGINE_RECORD_STORE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary.h"
#include "environment.h"
#include "lmdb_cursor.h"

namespace jx {

// The last record number of one file, as a write transaction last set it:
// what Append would read back from the meta table, kept by the caller for
// as long as nothing else can have changed it.
struct AppendedLast {
  bool known = false;
  uint32_t fileId = 0;
  int32_t number = 0;
};

class RecordStore {
 public:
  RecordStore(MDB_txn* txn, const Tables& tables, const FileDef& file)
      : txn_(txn), t_(tables), file_(file) {}

  // The stored image of record n, or false when there is none. An image
  // that is not of the file's record size is damaged data (LmdbError
  // MDB_CORRUPTED). With a kept cursor (of this transaction), a read of the
  // record after the one it stands on is a step, not a descent.
  bool Get(int32_t n, MDB_val* image, KeptCursor* kept = nullptr);
  // The last record number given in this file (0 when none).
  int32_t Last();
  // True when a record numbered n or above is stored.
  bool AnyFrom(int32_t n);
  // The records a walk by number from `first` reads with Get, stepping
  // over deleted numbers and ending where that walk ends (past the last
  // stored record, or at a gap above Last()), copied into out as entries
  // of the record number (int32, native order) and the image: at most
  // maxRecords, and as many as fit in size bytes. *end is set when the walk
  // ended after the last entry. Returns JX_OK, or JX_ERR_BAD_ARGUMENT when
  // not even one entry fits. Walks the kept cursor of this transaction.
  int ReadRun(int32_t first, int32_t maxRecords, unsigned char* out, size_t size, int32_t* count,
              int16_t* end, KeptCursor* kept);

  // Appends `image` (recordSize bytes); memo references start at 0.
  // Returns JX_OK with the new number, or JX_ERR_DUPLICATE.
  // With `last`, the file's last number is taken from it when it knows
  // this file, and it is told the new one.
  int Append(const unsigned char* image, int32_t* number, AppendedLast* last = nullptr);
  // Replaces record n, keeping its stored memo references.
  int Rewrite(int32_t n, const unsigned char* image);
  // Deletes record n, its index entries and its memos.
  int Remove(int32_t n);
  // Stores an image as is (memo reference updates; keys unchanged);
  // `fresh` when n is a new number, whose key is not looked up first.
  void PutImage(int32_t n, const std::string& image, bool fresh);
  void PutImage(int32_t n, const char* image, size_t size, bool fresh);

  // Fills the index of `key` from the existing records; JX_ERR_DUPLICATE
  // (nothing written) when a unique key meets two equal values.
  int BuildIndex(const Item& key);

  static std::string RecordKey(uint32_t fileId, int32_t n);
  static std::string IndexKey(uint32_t indexId, const std::string& form, int32_t n);

 private:
  bool TakenByOther(const Item& key, const std::string& form, int32_t self);
  // The same through `cursor` (on the index table), which is left where
  // an entry of this form goes: PutEntry through it then finds its place
  // on that page instead of descending the tree again.
  bool TakenByOther(Cursor& cursor, const Item& key, const std::string& form, int32_t self);
  void PutEntry(const Item& key, const std::string& form, int32_t n);
  void PutEntry(Cursor& cursor, const Item& key, const std::string& form, int32_t n);
  void DeleteEntry(const Item& key, const std::string& form, int32_t n);

  MDB_txn* txn_;
  const Tables& t_;
  const FileDef& file_;
};

}  // namespace jx

#endif  // JXENGINE_RECORD_STORE_H_
