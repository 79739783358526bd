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
    if (MDB_txn* held = writeTxn_ ? writeTxn_ : snapshot_) return f(held);
    MDB_txn* txn = AcquireReadTxn();
    try {
      int result = f(txn);
      mdb_txn_reset(txn);
      return result;
    } catch (...) {
      mdb_txn_reset(txn);
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

  // The dictionary as of `txn`, reloaded when its version moved.
  const Dictionary& Dict(MDB_txn* txn);
  void InvalidateDictionary() { dictValid_ = false; }
  // A number naming the dictionary as of `txn`: it changes with every
  // reload (so whenever the dictionary may have changed) and is never
  // handed out twice in the process.
  uint64_t DictStamp(MDB_txn* txn);

  // What a failure took back, for its explanation.
  enum class Lost { kWrite, kStatement, kTransaction };

  // Per-handle protocol state.
  std::map<uint32_t, int32_t> lastRead;  // file id -> record last read
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
