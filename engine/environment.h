// environment.h - one LMDB environment per database directory.
//
// LMDB forbids opening one environment twice in a process, yet hosts may
// open several handles on one database. Handles therefore share an
// Environment from a registry keyed by the directory's real path, counted
// by reference and closed with its last handle.
//
// The environment owns what the whole process shares about a database:
//  - the map. On 64-bit systems a large one is reserved up front (address
//    space costs nothing there), so that a transaction practically never
//    meets a full map; on 32-bit ones it is sized from the file. A full map
//    is grown only when no transaction of the process is live, since LMDB
//    cannot remap under one: growth wanted while one is live waits for the
//    next write transaction that begins with none.
//  - the write lock: one writer at a time per database, the handle of this
//    process holding it, and a lock file every writer of this engine holds
//    for the whole write transaction, so that a writer can wait for it with
//    a timeout (LMDB's own writer lock can only be waited for without end).
//  - whether the database is read-only (folder or files not writable).
// Opening also checks the data file against its meta pages, so that a
// truncated file is refused instead of faulting on its first read.
#ifndef JXENGINE_ENVIRONMENT_H_
#define JXENGINE_ENVIRONMENT_H_

#include <lmdb.h>

#include <cstdint>
#include <memory>
#include <string>

// The platform's file lock (platform.h, kept out of this header: on
// Windows it brings <windows.h> and its macros to every includer).
struct ZkFileLock;

namespace jx {

// An LMDB failure inside the engine; entry points turn it into a code.
struct LmdbError {
  int rc;
};

inline void Check(int rc) {
  if (rc != MDB_SUCCESS) throw LmdbError{rc};
}

// The engine code for an LMDB failure (damaged data, full map, storage).
int CodeOfLmdbError(int rc);

// The named tables of a database.
struct Tables {
  MDB_dbi catalog = 0;  // upper-case file name -> FileDef
  MDB_dbi meta = 0;     // counters: dictionary version, ids, last records
  MDB_dbi records = 0;  // file id (BE) + record number (BE) -> record image
  MDB_dbi indexes = 0;  // index id (BE) + key form + record number (BE) -> ""
  MDB_dbi memos = 0;    // memo reference (BE) -> memo data
};

// What a request to grow the map came to.
enum class Growth { kGrown, kDeferred, kAtLimit };

class Environment {
 public:
  // Opens (sharing) the environment of `directory`; creates the directory
  // and an empty database when `create` is set. nullptr on failure, with
  // *code the engine code and *why a French explanation.
  static std::shared_ptr<Environment> Acquire(const std::string& directory, bool create, int* code,
                                              std::string* why);
  // Drops one reference taken by Acquire; the last one closes the env.
  static void Release(const std::shared_ptr<Environment>& env);

  ~Environment();
  MDB_env* env() const { return env_; }
  const Tables& tables() const { return tables_; }
  bool readOnly() const { return readOnly_; }
  size_t mapSize() const { return mapSize_; }
  size_t mapLimit() const { return mapLimit_; }

  // Asks for a map twice as large. Grows it at once when no transaction of
  // the process is live, else at the next BeginWriteTxn that finds none.
  Growth Grow();
  // Begins a transaction (MDB_RDONLY in `flags` for a read-only one): a
  // write transaction first applies a growth that is due; either adopts a
  // map another process grew, when nothing of this process is live. An
  // LMDB code.
  int BeginTxn(unsigned flags, MDB_txn** txn);
  // Bumped by every map change: handles then drop their cached read txns.
  uint64_t generation() const { return generation_; }

  // Transactions kept open between calls (host and scope transactions,
  // read snapshots) are counted, since the map may not move under them.
  void TxnOpened() { ++liveTxns_; }
  void TxnClosed() {
    if (liveTxns_ > 0) --liveTxns_;
  }

  // The write lock. TryTakeWriter returns JX_OK (now held by `session`,
  // or already), or JX_ERR_BUSY when another handle of the process or
  // another process holds it.
  int TryTakeWriter(int32_t session);
  void ReleaseWriter(int32_t session);
  int32_t writer() const { return writer_; }

 private:
  Environment() = default;
  int Open(const std::string& path, bool create, std::string* why);
  bool MapIt(unsigned flags, size_t fileSize, int* rc);
  void ApplyPendingGrowth();

  MDB_env* env_ = nullptr;
  Tables tables_;
  size_t mapSize_ = 0;
  size_t mapLimit_ = 0;      // no growth past it (JXENGINE_MAP_LIMIT); 0 = none
  size_t pendingMap_ = 0;    // growth waiting for no live transaction
  int liveTxns_ = 0;
  uint64_t generation_ = 0;
  bool readOnly_ = false;
  std::string path_;
  std::string lockPath_;     // the writers' lock file; empty when unusable
  ZkFileLock* lock_ = nullptr;
  int32_t writer_ = 0;       // handle of this process holding the write lock
  int references_ = 0;
};

}  // namespace jx

#endif  // JXENGINE_ENVIRONMENT_H_
