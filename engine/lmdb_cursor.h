// lmdb_cursor.h - a cursor that is closed on every path out.
//
// LMDB failures travel as LmdbError exceptions inside the engine, so cursors
// are owned by a small guard rather than closed by hand.
#ifndef JXENGINE_LMDB_CURSOR_H_
#define JXENGINE_LMDB_CURSOR_H_

#include <cstring>
#include <string>

#include "environment.h"

namespace jx {

// The used pages of the data file, as mapped. LMDB hands out a key or a
// value as a pointer into its page and a size read from the page, trusted:
// a damaged node can claim a size that runs past the last page of the
// file, where reading faults the process (SIGBUS) instead of failing a
// call. So what is read out of the map is held against this first.
class MappedPages {
 public:
  explicit MappedPages(MDB_txn* txn) {
    MDB_env* env = mdb_txn_env(txn);
    MDB_envinfo info;
    MDB_stat stat;
    if (mdb_env_info(env, &info) != MDB_SUCCESS || mdb_env_stat(env, &stat) != MDB_SUCCESS) return;
    begin_ = static_cast<const char*>(info.me_mapaddr);
    end_ = begin_ + (info.me_last_pgno + 1) * size_t(stat.ms_psize);
  }
  // False when `v` begins in the used pages and ends past them. A value
  // beginning elsewhere is in a page a write transaction copied to memory,
  // or wrote out beyond the last commit: both are its own, and whole.
  bool Holds(const MDB_val& v) const {
    const char* p = static_cast<const char*>(v.mv_data);
    return p < begin_ || p >= end_ || v.mv_size <= size_t(end_ - p);
  }

 private:
  const char* begin_ = nullptr;
  const char* end_ = nullptr;
};

// A cursor closed on every path out (LMDB errors arrive as exceptions).
// Its walks always end: a key that does not follow the one before it (a
// damaged tree can send a walk back) stops the walk as damaged data, so no
// loop over a table can run, or grow what it collects, without bound. Every
// key and value it gives lies whole in the file's pages.
class Cursor {
 public:
  // What the cursor itself refused in what LMDB gave; it then throws
  // LmdbError{MDB_CORRUPTED}, and the transaction stays usable (LMDB's own
  // failures leave it unusable).
  enum class Refusal { kNone, kOutOfOrder, kNotWhole };

  // `integerKeys` for a table whose keys are native integers (LMDB's
  // MDB_INTEGERKEY, as the free list's): they follow one another as
  // numbers, not as bytes.
  Cursor(MDB_txn* txn, MDB_dbi dbi, bool integerKeys = false)
      : pages_(txn), integerKeys_(integerKeys) {
    Check(mdb_cursor_open(txn, dbi, &cursor_));
  }
  ~Cursor() { mdb_cursor_close(cursor_); }
  // Positions at the first key >= `key`; false past the end.
  bool Seek(const std::string& key, MDB_val* k, MDB_val* v) {
    k->mv_size = key.size();
    k->mv_data = const_cast<char*>(key.data());
    int rc = mdb_cursor_get(cursor_, k, v, MDB_SET_RANGE);
    if (rc == MDB_NOTFOUND) return false;
    Check(rc);
    Whole(*k, *v);
    // At or after the key sought, or the tree is damaged.
    if (Order(*k, key) < 0) Refuse(Refusal::kOutOfOrder);
    Keep(*k);
    return true;
  }
  // Positions at the table's first key; false when it is empty.
  bool First(MDB_val* k, MDB_val* v) {
    int rc = mdb_cursor_get(cursor_, k, v, MDB_FIRST);
    if (rc == MDB_NOTFOUND) return false;
    Check(rc);
    Whole(*k, *v);
    Keep(*k);
    return true;
  }
  bool Next(MDB_val* k, MDB_val* v) {
    int rc = mdb_cursor_get(cursor_, k, v, MDB_NEXT);
    if (rc == MDB_NOTFOUND) return false;
    Check(rc);
    Whole(*k, *v);
    if (Order(*k, last_) <= 0) Refuse(Refusal::kOutOfOrder);
    Keep(*k);
    return true;
  }
  Refusal refusal() const { return refusal_; }

 private:
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  // The table's order: LMDB's default (bytes, then length), or numbers.
  int Order(const MDB_val& a, const std::string& b) const {
    if (integerKeys_ && a.mv_size == sizeof(size_t) && b.size() == sizeof(size_t)) {
      size_t x, y;
      std::memcpy(&x, a.mv_data, sizeof x);
      std::memcpy(&y, b.data(), sizeof y);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    size_t n = a.mv_size < b.size() ? a.mv_size : b.size();
    int c = std::memcmp(a.mv_data, b.data(), n);
    if (c != 0) return c;
    return a.mv_size < b.size() ? -1 : a.mv_size > b.size() ? 1 : 0;
  }
  [[noreturn]] void Refuse(Refusal why) {
    refusal_ = why;
    throw LmdbError{MDB_CORRUPTED};
  }
  void Keep(const MDB_val& k) { last_.assign(static_cast<const char*>(k.mv_data), k.mv_size); }
  void Whole(const MDB_val& k, const MDB_val& v) {
    if (!pages_.Holds(k) || !pages_.Holds(v)) Refuse(Refusal::kNotWhole);
  }

  MappedPages pages_;
  bool integerKeys_;
  MDB_cursor* cursor_ = nullptr;
  std::string last_;  // the key the cursor stands on
  Refusal refusal_ = Refusal::kNone;
};

inline bool HasPrefix(const MDB_val& k, const std::string& prefix) {
  return k.mv_size >= prefix.size() && std::memcmp(k.mv_data, prefix.data(), prefix.size()) == 0;
}

}  // namespace jx

#endif  // JXENGINE_LMDB_CURSOR_H_
