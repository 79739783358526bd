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

// How a table orders its keys: LMDB's default (unsigned bytes, a shorter
// key first on a tie), or native unsigned integers (LMDB's free list).
enum class KeyOrder { kBytes, kNativeInteger };

// A cursor closed on every path out (LMDB errors arrive as exceptions).
// Its walks always end: a key that does not follow the one before it (a
// damaged tree can send a walk back) stops the walk as damaged data, so no
// loop over a table can run, or grow what it collects, without bound.
class Cursor {
 public:
  Cursor(MDB_txn* txn, MDB_dbi dbi, KeyOrder order = KeyOrder::kBytes) : order_(order) {
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
    // At or after the key sought, or the tree is damaged.
    if (order_ == KeyOrder::kBytes && Compare(*k, key) < 0) throw LmdbError{MDB_CORRUPTED};
    Keep(*k);
    return true;
  }
  // Positions at the table's first key; false when it is empty.
  bool First(MDB_val* k, MDB_val* v) {
    int rc = mdb_cursor_get(cursor_, k, v, MDB_FIRST);
    if (rc == MDB_NOTFOUND) return false;
    Check(rc);
    Keep(*k);
    return true;
  }
  bool Next(MDB_val* k, MDB_val* v) {
    int rc = mdb_cursor_get(cursor_, k, v, MDB_NEXT);
    if (rc == MDB_NOTFOUND) return false;
    Check(rc);
    if (!After(*k)) throw LmdbError{MDB_CORRUPTED};
    Keep(*k);
    return true;
  }

  // LMDB's default order: bytes, then length.
  static int Compare(const MDB_val& a, const std::string& b) {
    size_t n = a.mv_size < b.size() ? a.mv_size : b.size();
    int c = std::memcmp(a.mv_data, b.data(), n);
    if (c != 0) return c;
    return a.mv_size < b.size() ? -1 : a.mv_size > b.size() ? 1 : 0;
  }

 private:
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  void Keep(const MDB_val& k) { last_.assign(static_cast<const char*>(k.mv_data), k.mv_size); }
  bool After(const MDB_val& k) const {
    if (order_ == KeyOrder::kBytes) return Compare(k, last_) > 0;
    size_t a = 0, b = 0;
    if (k.mv_size != sizeof b || last_.size() != sizeof a) return false;
    std::memcpy(&a, last_.data(), sizeof a);
    std::memcpy(&b, k.mv_data, sizeof b);
    return b > a;
  }

  KeyOrder order_;
  MDB_cursor* cursor_ = nullptr;
  std::string last_;  // the key the cursor stands on
};

inline bool HasPrefix(const MDB_val& k, const std::string& prefix) {
  return k.mv_size >= prefix.size() && std::memcmp(k.mv_data, prefix.data(), prefix.size()) == 0;
}

}  // namespace jx

#endif  // JXENGINE_LMDB_CURSOR_H_
