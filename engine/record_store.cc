// record_store.cc - record and index maintenance within one transaction.
#include "record_store.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <utility>

#include "block_fields.h"
#include "jxengine.h"
#include "key_codec.h"
#include "lmdb_cursor.h"
#include "memo_store.h"
#include "meta.h"
#include "platform.h"
#include "undo_log.h"

namespace jx {

std::string RecordStore::RecordKey(uint32_t fileId, int32_t n) {
  char key[8];
  WriteBE32(key, fileId);
  WriteBE32(key + 4, uint32_t(n));
  return std::string(key, sizeof key);
}

std::string RecordStore::IndexKey(uint32_t indexId, const std::string& form, int32_t n) {
  std::string key;
  key.reserve(form.size() + 8);
  PutBE32(key, indexId);
  key += form;
  PutBE32(key, uint32_t(n));
  return key;
}

bool RecordStore::Get(int32_t n, MDB_val* image, KeptCursor* kept) {
  if (n < 1) return false;
  char key[8];
  WriteBE32(key, file_.id);
  WriteBE32(key + 4, uint32_t(n));
  MDB_val k{sizeof key, key};
  if (kept) {
    // A walk by number reads the record after the one the cursor stands on.
    const std::string& at = kept->at;
    bool follows = at.size() == sizeof key && ReadBE32(at.data()) == file_.id &&
                   ReadBE32(at.data() + 4) == uint32_t(n) - 1;
    Cursor cursor(*kept);
    bool found = follows ? cursor.Next(&k, image) : cursor.Seek(key, sizeof key, &k, image);
    if (!found || k.mv_size != sizeof key || std::memcmp(k.mv_data, key, sizeof key) != 0)
      return false;
  } else {
    int rc = mdb_get(txn_, t_.records, &k, image);
    if (rc == MDB_NOTFOUND) return false;
    Check(rc);
  }
  // Every image is written at its file's record size: another size was
  // read from a damaged node, and may run past the end of the file.
  if (image->mv_size != file_.recordSize) throw LmdbError{MDB_CORRUPTED};
  return true;
}

int32_t RecordStore::Last() {
  return int32_t(MetaGet(txn_, t_, LastRecordName(file_.id).view()));
}

bool RecordStore::AnyFrom(int32_t n) {
  std::string prefix;
  PutBE32(prefix, file_.id);
  Cursor cursor(txn_, t_.records);
  MDB_val k, v;
  return cursor.Seek(RecordKey(file_.id, n < 1 ? 1 : n), &k, &v) && HasPrefix(k, prefix);
}

namespace {

// The part of the database's map that a run of records was read from. A
// long walk reads each page once: once its records are copied, the pages
// are let go from the process's resident set (the file cache keeps them),
// so that reading a large table does not make the process as large as the
// table. Only a read-only transaction's pages all lie in the map: a write
// transaction keeps the pages it changed in its own memory, so its runs
// keep their pages.
class MappedSpan {
 public:
  explicit MappedSpan(KeptCursor* kept) : kept_(kept), on_(kept->readOnly()) {}
  ~MappedSpan() {
    // Short runs (the first ones of a walk, a sub-select's few records)
    // keep their pages: a system call would cost more than they weigh.
    if (to_ - from_ < kWorthReleasing) return;
    // From where the walk's runs began, or this one, whichever comes first
    // in the map: the pages the system mapped around the previous run's
    // end go too. Both lie in the one map of this transaction.
    const char* from =
        kept_->runsFrom != nullptr && kept_->runsFrom < from_ ? kept_->runsFrom : from_;
    ZkReleaseMappedPages(from, size_t(to_ - from));
    kept_->runsFrom = from_;
  }
  MappedSpan(const MappedSpan&) = delete;
  MappedSpan& operator=(const MappedSpan&) = delete;

  void Add(const MDB_val& v) {
    if (!on_) return;
    const char* at = static_cast<const char*>(v.mv_data);
    if (from_ == nullptr || at < from_) from_ = at;
    if (at + v.mv_size > to_) to_ = at + v.mv_size;
  }

 private:
  static constexpr ptrdiff_t kWorthReleasing = 16 * 1024;
  KeptCursor* kept_;
  bool on_;
  const char* from_ = nullptr;
  const char* to_ = nullptr;
};

}  // namespace

int RecordStore::ReadRun(int32_t first, int32_t maxRecords, unsigned char* out, size_t size,
                         int32_t* count, int16_t* end, KeptCursor* kept) {
  *count = 0;
  *end = 0;
  const size_t entry = sizeof(int32_t) + file_.recordSize;
  if (size < entry) return JX_ERR_BAD_ARGUMENT;
  char key[8];
  WriteBE32(key, file_.id);
  WriteBE32(key + 4, uint32_t(first));
  MDB_val k, v;
  if (!Cursor(*kept).Seek(key, sizeof key, &k, &v)) {
    *end = 1;
    return JX_OK;
  }
  // The steps go through the cursor itself, checked as a kept cursor's
  // walk checks them (each key after the one before: here, the same file
  // and a greater number); where it stands is noted once, on the way out.
  MDB_cursor* raw = kept->get();
  struct Settle {
    KeptCursor* kept;
    const MDB_val* k;
    bool moved = false, lost = false;
    ~Settle() {
      if (!moved) return;
      if (lost || k->mv_size != sizeof key) {
        kept->at.clear();  // past the end, or on a key that is not a record's
      } else {
        kept->at.assign(static_cast<const char*>(k->mv_data), k->mv_size);
      }
    }
  } settle{kept, &k};
  int64_t expected = first;
  int64_t previous = 0;
  int64_t last = -1;  // read when a gap needs it
  size_t used = 0;
  MappedSpan span(kept);
  for (;;) {
    if (k.mv_size != sizeof key || ReadBE32(static_cast<const char*>(k.mv_data)) != file_.id) {
      break;  // past the file's records
    }
    int64_t n = ReadBE32(static_cast<const char*>(k.mv_data) + 4);
    if (n <= previous) {
      settle.lost = true;
      throw LmdbError{MDB_CORRUPTED};  // a damaged tree sent the walk back
    }
    previous = n;
    if (n > expected) {
      // A walk by number steps over deleted numbers up to Last() only: in
      // a damaged file, a gap that reaches above it ends the walk.
      if (last < 0) last = Last();
      if (n - 1 > last) {
        *end = 1;
        return JX_OK;
      }
    }
    if (v.mv_size != file_.recordSize) throw LmdbError{MDB_CORRUPTED};
    span.Add(v);
    int32_t number = int32_t(n);
    std::memcpy(out + used, &number, sizeof number);
    std::memcpy(out + used + sizeof number, v.mv_data, v.mv_size);
    used += entry;
    ++*count;
    if (n == INT32_MAX) {
      *end = 1;
      return JX_OK;
    }
    expected = n + 1;
    if (*count >= maxRecords || size - used < entry) return JX_OK;
    settle.moved = true;
    int rc = mdb_cursor_get(raw, &k, &v, MDB_NEXT);
    if (rc == MDB_NOTFOUND) {
      settle.lost = true;
      break;
    }
    if (rc != MDB_SUCCESS) {
      settle.lost = true;
      Check(rc);
    }
  }
  *end = 1;
  return JX_OK;
}

bool RecordStore::TakenByOther(const Item& key, const std::string& form, int32_t self) {
  Cursor cursor(txn_, t_.indexes);
  return TakenByOther(cursor, key, form, self);
}

bool RecordStore::TakenByOther(Cursor& cursor, const Item& key, const std::string& form,
                               int32_t self) {
  std::string prefix;
  PutBE32(prefix, key.indexId);
  prefix += form;
  MDB_val k, v;
  bool found = cursor.Seek(prefix, &k, &v);
  // The key form is prefix-free, so an entry of exactly prefix + 4 bytes
  // that begins with the prefix holds the same value.
  while (found && HasPrefix(k, prefix) && k.mv_size == prefix.size() + 4) {
    int32_t n = int32_t(ReadBE32(static_cast<const char*>(k.mv_data) + prefix.size()));
    if (n != self) return true;
    found = cursor.Next(&k, &v);
  }
  return false;
}

void RecordStore::PutEntry(const Item& key, const std::string& form, int32_t n) {
  std::string entry = IndexKey(key.indexId, form, n);
  MDB_val k{entry.size(), entry.data()}, v{0, nullptr};
  // An entry names its record: it is new unless written before unchanged.
  KvPutNew(txn_, t_.indexes, k, v);
}

void RecordStore::PutEntry(Cursor& cursor, const Item& key, const std::string& form, int32_t n) {
  std::string entry = IndexKey(key.indexId, form, n);
  MDB_val k{entry.size(), entry.data()}, v{0, nullptr};
  KvCursorPutNew(cursor.get(), t_.indexes, k, v);
}

void RecordStore::DeleteEntry(const Item& key, const std::string& form, int32_t n) {
  std::string entry = IndexKey(key.indexId, form, n);
  MDB_val k{entry.size(), entry.data()};
  KvDelete(txn_, t_.indexes, k);
}

void RecordStore::PutImage(int32_t n, const std::string& image, bool fresh) {
  PutImage(n, image.data(), image.size(), fresh);
}

void RecordStore::PutImage(int32_t n, const char* image, size_t size, bool fresh) {
  std::string key = RecordKey(file_.id, n);
  MDB_val k{key.size(), key.data()}, v{size, const_cast<char*>(image)};
  if (fresh) {
    // A new number of the file with the highest id goes at the end of the
    // record table, where LMDB puts it without a search.
    if (!KvAppendNew(txn_, t_.records, k, v)) KvPutNew(txn_, t_.records, k, v);
  } else {
    KvPut(txn_, t_.records, k, v);
  }
}

int RecordStore::Append(const unsigned char* image, int32_t* number, AppendedLast* known) {
  const LastRecordName lastKey(file_.id);
  // A number this transaction wrote is known: it is neither read before
  // the append nor read back for the savepoint when it is replaced.
  const bool lastKnown = known != nullptr && known->known && known->fileId == file_.id;
  int32_t last = lastKnown ? known->number : int32_t(MetaGet(txn_, t_, lastKey.view()));
  if (last == INT32_MAX) return JX_ERR_STORAGE;  // record numbers exhausted
  int32_t n = last + 1;
  // The stored image: the caller's, with the engine's own bytes cleared.
  // A usual record is made on the stack.
  char local[512];
  std::string large;
  char* record = local;
  if (file_.recordSize > sizeof local) {
    large.resize(file_.recordSize);
    record = &large[0];
  }
  std::memcpy(record, image, file_.recordSize);
  record[0] = 0;
  unsigned char* bytes = reinterpret_cast<unsigned char*>(record);
  for (const Item& item : file_.items)
    if (item.IsMemo()) SetMemoReference(bytes, item.offset, 0);

  std::vector<std::pair<const Item*, std::string>> forms;
  // The first unique key's check leaves its cursor where the new entry
  // goes, and the entry is written through it.
  std::optional<Cursor> placed;
  const Item* placedItem = nullptr;
  for (const Item& item : file_.items) {
    if (item.keyKind == kNotKey) continue;
    std::string form;
    EncodeKey(file_, item, bytes, form);
    if (item.keyKind == kUniqueKey) {
      bool taken;
      if (placedItem == nullptr) {
        placed.emplace(txn_, t_.indexes);
        placedItem = &item;
        taken = TakenByOther(*placed, item, form, n);
      } else {
        taken = TakenByOther(item, form, n);
      }
      if (taken) return JX_ERR_DUPLICATE;
    }
    forms.emplace_back(&item, std::move(form));
  }
  PutImage(n, record, file_.recordSize, true);  // a number past the last: a new key
  for (const auto& f : forms) {
    if (f.first == placedItem) {
      PutEntry(*placed, *f.first, f.second, n);
    } else {
      PutEntry(*f.first, f.second, n);
    }
  }
  if (lastKnown) {
    uint64_t before = uint64_t(last), after = uint64_t(n);
    std::string_view name = lastKey.view();
    MDB_val k{name.size(), const_cast<char*>(name.data())}, v{8, &after}, old{8, &before};
    KvPutKnown(txn_, t_.meta, k, v, old);
  } else {
    MetaPut(txn_, t_, lastKey.view(), uint64_t(n));
  }
  if (known != nullptr) *known = AppendedLast{true, file_.id, n};
  *number = n;
  return JX_OK;
}

int RecordStore::Rewrite(int32_t n, const unsigned char* image) {
  MDB_val stored;
  if (!Get(n, &stored) || stored.mv_size != file_.recordSize) return JX_ERR_NOT_FOUND;
  std::string old(static_cast<const char*>(stored.mv_data), stored.mv_size);
  std::string record(reinterpret_cast<const char*>(image), file_.recordSize);
  record[0] = 0;
  // The engine owns memo references: a rewrite keeps the stored ones.
  for (const Item& item : file_.items)
    if (item.IsMemo()) std::memcpy(&record[item.offset], &old[item.offset], 4);

  struct Change {
    const Item* item;
    std::string before, after;
  };
  std::vector<Change> changes;
  for (const Item& item : file_.items) {
    if (item.keyKind == kNotKey) continue;
    Change c{&item, {}, {}};
    EncodeKey(file_, item, reinterpret_cast<const unsigned char*>(old.data()), c.before);
    EncodeKey(file_, item, reinterpret_cast<const unsigned char*>(record.data()), c.after);
    if (c.before == c.after) continue;
    if (item.keyKind == kUniqueKey && TakenByOther(item, c.after, n)) return JX_ERR_DUPLICATE;
    changes.push_back(std::move(c));
  }
  for (const Change& c : changes) {
    DeleteEntry(*c.item, c.before, n);
    PutEntry(*c.item, c.after, n);
  }
  PutImage(n, record, false);
  return JX_OK;
}

int RecordStore::Remove(int32_t n) {
  MDB_val stored;
  if (!Get(n, &stored) || stored.mv_size != file_.recordSize) return JX_ERR_NOT_FOUND;
  std::string old(static_cast<const char*>(stored.mv_data), stored.mv_size);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(old.data());
  MemoStore memos(txn_, t_);
  for (const Item& item : file_.items) {
    if (item.keyKind != kNotKey) {
      std::string form;
      EncodeKey(file_, item, bytes, form);
      DeleteEntry(item, form, n);
    }
    if (item.IsMemo()) {
      uint32_t reference = MemoReference(bytes, item.offset);
      if (reference != 0) memos.Remove(reference);
    }
  }
  std::string key = RecordKey(file_.id, n);
  MDB_val k{key.size(), key.data()};
  KvDelete(txn_, t_.records, k);
  return JX_OK;
}

int RecordStore::BuildIndex(const Item& key) {
  std::vector<std::pair<std::string, int32_t>> entries;
  std::string prefix;
  PutBE32(prefix, file_.id);
  {
    Cursor cursor(txn_, t_.records);
    MDB_val k, v;
    bool found = cursor.Seek(prefix, &k, &v);
    while (found && HasPrefix(k, prefix)) {
      int32_t n = int32_t(ReadBE32(static_cast<const char*>(k.mv_data) + 4));
      if (k.mv_size == 8 && v.mv_size == file_.recordSize) {
        std::string form;
        EncodeKey(file_, key, static_cast<const unsigned char*>(v.mv_data), form);
        entries.emplace_back(std::move(form), n);
      }
      found = cursor.Next(&k, &v);
    }
  }
  std::sort(entries.begin(), entries.end());
  if (key.keyKind == kUniqueKey)
    for (size_t i = 1; i < entries.size(); ++i)
      if (entries[i].first == entries[i - 1].first) return JX_ERR_DUPLICATE;
  for (const auto& e : entries) PutEntry(key, e.first, e.second);
  return JX_OK;
}

}  // namespace jx
