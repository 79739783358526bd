// session.h - one open handle: its transactions, statement scopes and
// protocol state.
//
// A Session is what XZK_nInit hands out. It runs every engine operation in
// an LMDB transaction of the right kind:
//  - the root write transaction, while the handle holds one: the host
//    transaction (XZK_BeginTransaction) or the transaction of an outermost
//    write statement scope. The handle holds the database's write lock for
//    its whole life, so no other writer can come in between; a full map or
//    a storage failure loses all of it at once (the handle is then
//    "spoiled" until the host ends what it began) and never commits part.
//  - a read snapshot, while an outermost read scope is open: one state for
//    the whole statement, taken without waiting for any writer.
//  - otherwise, for a read, a cached read-only transaction renewed per
//    call, and for a write, a transaction of its own committed at once.
// What reads learn about the transaction they run in lasts as long as it
// does: the cursors kept on the record and index tables, and the check of
// the dictionary's version. Both are forgotten (ForgetReads) whenever that
// transaction ends, is reset or renewed, and whenever the handle writes.
// Write scopes nested in a root write transaction are savepoints: an undo
// log of before-images (undo_log.h) takes back exactly their writes.
// It also keeps what the block protocol makes per-handle: the record last
// read per file (for delete), the record last written (for memos), keyed
// browse positions, installed filters, and the engine-owned copies whose
// addresses it hands out.
#ifndef JXENGINE_SESSION_H_
#define JXENGINE_SESSION_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dictionary.h"
#include "environment.h"
#include "file_builder.h"
#include "key_range.h"
#include "lmdb_cursor.h"
#include "record_store.h"
#include "undo_log.h"

namespace jx {

// A write operation: returns JX_OK or an engine code, and writes nothing
// unless it returns JX_OK (so a refused write never needs undoing). A write
// of its own transaction is run again from the start after the map grew.
using WriteOp = std::function<int(MDB_txn*)>;

struct BrowseState {
  uint32_t indexId = 0;
  std::string lastKey;  // full index key of the last record handed out
};

class Session {
 public:
  Session(int32_t id, std::shared_ptr<Environment> env, bool readOnly);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int32_t id() const { return id_; }
  const Tables& tables() const { return env_->tables(); }

  // Runs f(txn) where this handle reads; returns f's result.
  template <class F>
  int Read(F&& f) {
    if (MDB_txn* held = writeTxn_ ? writeTxn_ : snapshot_) {
      try {
        return f(held);
      } catch (...) {
        // A failed read may leave the kept cursors anywhere.
        ForgetReads();
        throw;
      }
    }
    MDB_txn* txn = AcquireReadTxn();
    try {
      int result = f(txn);
      ReleaseReadTxn();
      return result;
    } catch (...) {
      ReleaseReadTxn();
      throw;
    }
  }
  // Runs a write operation where this handle writes: in its root write
  // transaction, or durably in one of its own.
  int Write(const WriteOp& op);

  // Host transactions and statement scopes (see jxengine.h for the codes).
  int Begin();
  int Commit();
  int Rollback();
  int BeginStatement(bool writes);
  int EndStatement(bool keep);

  void SetBusyTimeout(int32_t milliseconds) { busyTimeout_ = milliseconds; }
  // The last failure explained (code and French text); 0 when none.
  int LastError(std::string* text) const {
    if (text) *text = lastErrorText_;
    return lastError_;
  }

  // The dictionary as of `txn`, reloaded when its version moved. The
  // version is read once per transaction the handle reads in (and again
  // after a file or index is made, which invalidates it), and not at all
  // in a read-only transaction of the snapshot it was last read in.
  const Dictionary& Dict(MDB_txn* txn);
  void InvalidateDictionary() { dictValid_ = false; }
  // The file `name` names (any case, no trailing blanks; `length` bytes)
  // in the dictionary as of `txn`, or nullptr. The last name asked for is
  // remembered with its answer while the dictionary stays the same, so a
  // run of calls on one file skips building and looking up its name.
  const FileDef* FindFile(MDB_txn* txn, const char* name, size_t length);

  // The cursors kept on the record and index tables for reads in `txn`
  // (the transaction Read gave).
  KeptCursor& RecordCursor(MDB_txn* txn) {
    records_.In(txn, tables().records, ReadOnlyTxn(txn));
    return records_;
  }
  KeptCursor& IndexCursor(MDB_txn* txn) {
    indexes_.In(txn, tables().indexes, ReadOnlyTxn(txn));
    return indexes_;
  }
  // A number naming the dictionary as of `txn`: it changes with every
  // reload (so whenever the dictionary may have changed) and is never
  // handed out twice in the process.
  uint64_t DictStamp(MDB_txn* txn);

  // What a failure took back, for its explanation.
  enum class Lost { kWrite, kStatement, kTransaction };

  // Per-handle protocol state.
  std::map<uint32_t, int32_t> lastRead;  // file id -> record last read
  // The last record number of the file appended to last in the open write
  // transaction, so that a run of appends does not read it back each
  // time. Forgotten whenever the transaction ends or a savepoint is undone.
  AppendedLast appendedLast;
  uint32_t lastWrittenFile = 0;
  int32_t lastWrittenRecord = 0;
  std::map<uint32_t, BrowseState> browses;  // file id -> keyed browse
  std::map<uint32_t, KeyRange> filters;     // file id -> installed range
  std::vector<unsigned char> recordCopy;    // record handed out by a read
  std::vector<unsigned char> memoCopy;      // memo handed out in mode 12
  FileBuilder builder;

 private:
  struct Scope {
    bool writes = false;
    bool ownsRoot = false;      // began the root write transaction
    bool ownsSnapshot = false;  // took the read snapshot
    size_t undoMark = 0;        // a savepoint's place in the undo log
  };

  MDB_txn* AcquireReadTxn();
  void ReleaseReadTxn();
  bool ReadOnlyTxn(MDB_txn* txn) const {
    return txn != writeTxn_ && (txn == snapshot_ || txn == readTxn_);
  }
  // The transaction reads run in ends, is reset or renewed, or is about to
  // be written through: kept cursors let go of it, and the dictionary's
  // version is read again before it is trusted.
  void ForgetReads() {
    records_.Release();
    indexes_.Release();
    ++readEpoch_;
    appendedLast = AppendedLast();
  }
  bool SavepointOpen() const;
  int TakeWriter();
  int BeginRoot();
  void AbortRoot();
  int CommitRoot(Lost lost);
  int Spoil(int lmdbCode);
  int RolledBack();
  int FullMap(size_t before, Growth growth, Lost lost);
  int Refusal();
  void RefreshSnapshot();
  void DropSnapshot();
  int Fail(int code, const std::string& text);

  int32_t id_;
  std::shared_ptr<Environment> env_;
  bool readOnly_;
  int32_t busyTimeout_;
  MDB_txn* readTxn_ = nullptr;  // cached per-call read transaction
  uint64_t readGeneration_ = 0;
  MDB_txn* writeTxn_ = nullptr;  // root write transaction
  MDB_txn* snapshot_ = nullptr;  // read snapshot of the outermost read scope
  bool inHost_ = false;
  int spoiled_ = 0;          // code that lost the root write transaction
  std::string spoilText_;    // and its explanation
  std::vector<Scope> scopes_;
  UndoLog undo_;
  int lastError_ = 0;
  std::string lastErrorText_;
  Dictionary dict_;
  uint64_t dictVersion_ = 0;
  bool dictValid_ = false;
  uint64_t dictGeneration_ = 1;  // bumped by every reload of dict_
  // What the dictionary's version was last checked in: the read epoch (one
  // per transaction state, see ForgetReads), and the snapshot (transaction
  // id) of a read-only transaction, which holds the same data whenever it
  // comes again.
  uint64_t readEpoch_ = 1;
  uint64_t dictEpoch_ = 0;
  uint64_t dictSnapshot_ = kNoSnapshot;
  static constexpr uint64_t kNoSnapshot = ~uint64_t(0);
  // The last file name looked up, and its answer as of dictGeneration_.
  std::string lastName_;
  const FileDef* lastFile_ = nullptr;
  uint64_t lastNameGeneration_ = 0;
  KeptCursor records_;
  KeptCursor indexes_;
  uint64_t dictStamp_ = 0;
};

// The process-wide table of open handles.
class Handles {
 public:
  // Opens a database; returns the new handle (> 0) or minus an error code
  // (then LastOpenError explains it).
  static int32_t Open(const char* directory, bool create, bool readOnly);
  static int Close(int32_t handle);
  static Session* Find(int32_t handle);
  // The last failure of Open in this process (code, French text).
  static int LastOpenError(std::string* text);
};

}  // namespace jx

#endif  // JXENGINE_SESSION_H_
