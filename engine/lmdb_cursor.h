// lmdb_cursor.h - a cursor that is closed on every path out, and cursors a
// handle keeps between its calls.
//
// LMDB failures travel as LmdbError exceptions inside the engine, so cursors
// are owned by a small guard rather than closed by hand. A handle's reads
// also walk cursors it keeps for the transaction they run in (KeptCursor):
// a read of the next record steps along the leaf page where the last one
// stood instead of descending from the root again.
#ifndef JXENGINE_LMDB_CURSOR_H_
#define JXENGINE_LMDB_CURSOR_H_

#include <cstring>
#include <string>

#include "environment.h"

namespace jx {

// A cursor a handle keeps open for the reads of one transaction, with the
// key it stands on. LMDB ties a cursor to its transaction: the owner calls
// Release() before that transaction ends, is reset or renewed, and before
// anything is written through it, so a kept cursor never sees a write and
// never outlives its transaction. A cursor of a read-only transaction is
// parked instead of closed, and renewed in the next read-only one.
class KeptCursor {
 public:
  KeptCursor() = default;
  ~KeptCursor() { Close(); }
  KeptCursor(const KeptCursor&) = delete;
  KeptCursor& operator=(const KeptCursor&) = delete;

  // Makes the cursor one of `txn` on `dbi`, keeping its place when it
  // already is.
  void In(MDB_txn* txn, MDB_dbi dbi, bool readOnly) {
    if (cursor_ && txn_ == txn && dbi_ == dbi) return;
    at.clear();
    runsFrom = nullptr;
    if (cursor_ && !txn_ && readOnly_ && readOnly && dbi_ == dbi) {
      Check(mdb_cursor_renew(txn, cursor_));
      txn_ = txn;
      return;
    }
    Close();
    Check(mdb_cursor_open(txn, dbi, &cursor_));
    txn_ = txn;
    dbi_ = dbi;
    readOnly_ = readOnly;
    maxKey_ = size_t(mdb_env_get_maxkeysize(mdb_txn_env(txn)));
  }
  // Its transaction is about to end, be renewed or be written through.
  void Release() {
    at.clear();
    runsFrom = nullptr;
    if (readOnly_) {
      txn_ = nullptr;
    } else {
      Close();
    }
  }
  void Close() {
    if (cursor_) mdb_cursor_close(cursor_);
    cursor_ = nullptr;
    txn_ = nullptr;
    at.clear();
    runsFrom = nullptr;
  }
  MDB_cursor* get() const { return cursor_; }
  // The longest key LMDB allows in its environment.
  size_t maxKey() const { return maxKey_; }
  // Whether its transaction is a read-only one, whose pages all lie in
  // the database's map.
  bool readOnly() const { return readOnly_; }

  std::string at;  // the key the cursor stands on; empty when unknown
  // Where in the map the runs of records read through this cursor in its
  // read-only transaction began (null when none was): pages the system
  // mapped around a run's first page, behind it, are let go with the next
  // run's.
  const char* runsFrom = nullptr;

 private:
  MDB_cursor* cursor_ = nullptr;
  MDB_txn* txn_ = nullptr;  // null: parked, or closed
  MDB_dbi dbi_ = 0;
  bool readOnly_ = false;
  size_t maxKey_ = 0;
};

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
  // Walks a kept cursor (already In its transaction) from where it stands,
  // and leaves it there: `kept.at` follows every move.
  explicit Cursor(KeptCursor& kept)
      : maxKey_(kept.maxKey()),
        integerKeys_(false),
        cursor_(kept.get()),
        last_(&kept.at),
        owned_(false) {}
  ~Cursor() {
    if (owned_) mdb_cursor_close(cursor_);
  }
  // The key the cursor stands on; empty before it is placed.
  const std::string& At() const { return *last_; }
  // Positions at the first key >= `key`; false past the end.
  bool Seek(const std::string& key, MDB_val* k, MDB_val* v) {
    return Seek(key.data(), key.size(), k, v);
  }
  bool Seek(const char* key, size_t size, MDB_val* k, MDB_val* v) {
    k->mv_size = size;
    k->mv_data = const_cast<char*>(key);
    int rc = mdb_cursor_get(cursor_, k, v, MDB_SET_RANGE);
    if (rc == MDB_NOTFOUND) return Lost();
    Check(rc);
    Sane(*k);
    // At or after the key sought, or the tree is damaged.
    if (Order(*k, key, size) < 0) Refuse(Refusal::kOutOfOrder);
    Keep(*k);
    return true;
  }
  // Positions at the table's first key; false when it is empty.
  bool First(MDB_val* k, MDB_val* v) {
    int rc = mdb_cursor_get(cursor_, k, v, MDB_FIRST);
    if (rc == MDB_NOTFOUND) return Lost();
    Check(rc);
    Sane(*k);
    Keep(*k);
    return true;
  }
  bool Next(MDB_val* k, MDB_val* v) {
    int rc = mdb_cursor_get(cursor_, k, v, MDB_NEXT);
    if (rc == MDB_NOTFOUND) return Lost();
    Check(rc);
    Sane(*k);
    if (Order(*k, last_->data(), last_->size()) <= 0) Refuse(Refusal::kOutOfOrder);
    Keep(*k);
    return true;
  }
  Refusal refusal() const { return refusal_; }
  // The LMDB cursor itself, for a write through it (KvCursorPutNew).
  MDB_cursor* get() const { return cursor_; }

 private:
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  // The table's order: LMDB's default (bytes, then length), or numbers.
  int Order(const MDB_val& a, const char* b, size_t size) const {
    if (integerKeys_ && a.mv_size == sizeof(size_t) && size == sizeof(size_t)) {
      size_t x, y;
      std::memcpy(&x, a.mv_data, sizeof x);
      std::memcpy(&y, b, sizeof y);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    size_t n = a.mv_size < size ? a.mv_size : size;
    int c = std::memcmp(a.mv_data, b, n);
    if (c != 0) return c;
    return a.mv_size < size ? -1 : a.mv_size > size ? 1 : 0;
  }
  [[noreturn]] void Refuse(Refusal why) {
    refusal_ = why;
    if (!owned_) last_->clear();
    throw LmdbError{MDB_CORRUPTED};
  }
  void Keep(const MDB_val& k) { last_->assign(static_cast<const char*>(k.mv_data), k.mv_size); }
  // Nothing there: where a kept cursor stands is no longer known.
  bool Lost() {
    if (!owned_) last_->clear();
    return false;
  }
  void Sane(const MDB_val& k) {
    if (k.mv_size > maxKey_) Refuse(Refusal::kKeyTooLong);
  }

  size_t maxKey_;
  bool integerKeys_;
  MDB_cursor* cursor_ = nullptr;
  std::string own_;
  std::string* last_ = &own_;  // the key the cursor stands on
  bool owned_ = true;
  Refusal refusal_ = Refusal::kNone;
};

inline bool HasPrefix(const MDB_val& k, const std::string& prefix) {
  return k.mv_size >= prefix.size() && std::memcmp(k.mv_data, prefix.data(), prefix.size()) == 0;
}

}  // namespace jx

#endif  // JXENGINE_LMDB_CURSOR_H_
