// session.h - one open handle: its transactions, caches and read state.
//
// A Session is what XZK_nInit hands out. It runs every engine operation in
// an LMDB transaction of the right kind: reads in a cached read-only
// transaction renewed per call (cheap), or in the host transaction while one
// is open so that the handle reads its own writes; writes each in their own
// committed transaction, or in the host transaction. When LMDB reports
// MDB_MAP_FULL the map is doubled and the write retried; inside a host
// transaction the writes already made are replayed from a log into a fresh
// transaction after the growth, since LMDB cannot resize under a live one.
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

namespace jx {

// A write operation: returns JX_OK or an engine code, and writes nothing
// unless it returns JX_OK (so a refused write never needs undoing). It may
// be run again when a host transaction is replayed.
using WriteOp = std::function<int(MDB_txn*)>;

struct BrowseState {
  uint32_t indexId = 0;
  std::string lastKey;  // full index key of the last record handed out
};

class Session {
 public:
  Session(int32_t id, std::shared_ptr<Environment> env);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int32_t id() const { return id_; }
  const Tables& tables() const { return env_->tables(); }

  // Runs f(txn) where this handle reads; returns f's result.
  template <class F>
  int Read(F&& f) {
    if (hostTxn_) return f(hostTxn_);
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
  // Runs a write operation durably (or in the host transaction).
  int Write(const WriteOp& op);

  int Begin();
  int Commit();
  int Rollback();

  // The dictionary as of `txn`, reloaded when its version moved.
  const Dictionary& Dict(MDB_txn* txn);
  void InvalidateDictionary() { dictValid_ = false; }

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
  MDB_txn* AcquireReadTxn();
  int BeginWrite(MDB_txn** txn);
  bool RestartHostGrown();
  void FailHost();

  int32_t id_;
  std::shared_ptr<Environment> env_;
  MDB_txn* readTxn_ = nullptr;
  uint64_t readGeneration_ = 0;
  bool inHost_ = false;
  MDB_txn* hostTxn_ = nullptr;
  std::vector<WriteOp> log_;
  Dictionary dict_;
  uint64_t dictVersion_ = 0;
  bool dictValid_ = false;
};

// The process-wide table of open handles.
class Handles {
 public:
  // Opens a database; returns the new handle (> 0) or minus an error code.
  static int32_t Open(const char* directory, bool create);
  static int Close(int32_t handle);
  static Session* Find(int32_t handle);
};

}  // namespace jx

#endif  // JXENGINE_SESSION_H_
