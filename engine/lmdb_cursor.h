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

// A cursor closed on every path out (LMDB errors arrive as exceptions).
// Its walks always end: a key that does not follow the one before it (a
// damaged tree can send a walk back) stops the walk as damaged data, so no
// loop over a table can run, or grow what it collects, without bound. A key
// longer than LMDB allows was read from a damaged node, and is refused
// before it is copied: its claimed size could run past the file's end.
class Cursor {
 public:
  // What the cursor itself refused in what LMDB gave; it then throws
  // LmdbError{MDB_CORRUPTED}, and the transaction stays usable (LMDB's own
  // failures leave it unusable).
  enum class Refusal { kNone, kOutOfOrder, kKeyTooLong };

  // `integerKeys` for a table whose keys are native integers (LMDB's
  // MDB_INTEGERKEY, as the free list's): they follow one another as
  // numbers, not as bytes.
  Cursor(MDB_txn* txn, MDB_dbi dbi, bool integerKeys = false)
      : maxKey_(size_t(mdb_env_get_maxkeysize(mdb_txn_env(txn)))), integerKeys_(integerKeys) {
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
    Sane(*k);
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
    Sane(*k);
    Keep(*k);
    return true;
  }
  bool Next(MDB_val* k, MDB_val* v) {
    int rc = mdb_cursor_get(cursor_, k, v, MDB_NEXT);
    if (rc == MDB_NOTFOUND) return false;
    Check(rc);
    Sane(*k);
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
  void Sane(const MDB_val& k) {
    if (k.mv_size > maxKey_) Refuse(Refusal::kKeyTooLong);
  }

  size_t maxKey_;
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
