// undo_log.h - savepoints inside one LMDB write transaction.
//
// A statement run inside a host transaction must be undoable on its own:
// when it fails, its writes go and the transaction's earlier work stays.
// LMDB's nested transactions do that, but each commit of a child merges
// its dirty-page list into the parent's, which costs time in proportion to
// everything the parent has written so far: a bulk load of a million
// one-row statements in one transaction slows down eighteen-fold. So a
// savepoint is a mark in this log instead: while one is open, every put
// and delete first records the key's former value (or its absence), and
// rolling back to the mark restores them in reverse order, within the same
// transaction.
//
// The engine runs one call at a time (entry points hold its call lock), so
// the log being recorded into is a thread-local set around each write.
#ifndef JXENGINE_UNDO_LOG_H_
#define JXENGINE_UNDO_LOG_H_

#include <lmdb.h>

#include <cstddef>
#include <string>
#include <vector>

namespace jx {

class UndoLog {
 public:
  size_t Mark() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  // Records what `key` of `dbi` holds in `txn` before it is changed.
  void RecordBefore(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key);
  // Records that `key` of `dbi` was absent, without looking; DropLast
  // takes that back when the key turns out to be there.
  void RecordAbsent(MDB_dbi dbi, const MDB_val& key);
  void DropLast() { entries_.pop_back(); }
  // Records that `key` of `dbi` held `before`, which the caller knows
  // without reading it.
  void RecordKnown(MDB_dbi dbi, const MDB_val& key, const MDB_val& before);
  // Restores every change recorded since `mark`, newest first, and forgets
  // them. LMDB failures are thrown (the transaction is then unusable).
  void RollBackTo(MDB_txn* txn, size_t mark);
  // Forgets the changes recorded since `mark`, keeping them done.
  void Forget(size_t mark) { entries_.resize(mark < entries_.size() ? mark : entries_.size()); }
  void Clear() { entries_.clear(); }

  // The log the current write records into (null: none, nothing recorded).
  static UndoLog* Recording();

  // Makes `log` the recording one for its lifetime (null records nothing).
  class Scope {
   public:
    explicit Scope(UndoLog* log);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    UndoLog* previous_;
  };

 private:
  struct Entry {
    MDB_dbi dbi;
    bool existed;
    std::string key;
    std::string value;
  };
  std::vector<Entry> entries_;
};

// Every change the engine makes to its tables goes through these, so that
// an open savepoint sees it. Both throw LmdbError on failure.
void KvPut(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key, const MDB_val& value);
// As KvPut, for a key that is expected to be new (a record appended
// under a fresh number, an index entry that names its record): the
// savepoint notes it as absent before without looking it up, and only
// when the key was there after all is its old value read and kept.
void KvPutNew(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key, const MDB_val& value);
// As KvPutNew, written through `cursor` (of the table `dbi`): LMDB then
// finds the key's place from the page the cursor stands on when it falls
// there.
void KvCursorPutNew(MDB_cursor* cursor, MDB_dbi dbi, const MDB_val& key, const MDB_val& value);
// As KvPutNew for a key expected to follow every key of `dbi`: LMDB then
// puts it at the end without searching (MDB_APPEND). False, nothing
// written or noted, when it does not follow the table's last key.
bool KvAppendNew(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key, const MDB_val& value);
// As KvPut, for a key whose present value the caller knows (`before`): the
// savepoint notes it without reading it back.
void KvPutKnown(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key, const MDB_val& value,
                const MDB_val& before);
// Deletes `key`; false when it was not there.
bool KvDelete(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key);

}  // namespace jx

#endif  // JXENGINE_UNDO_LOG_H_
