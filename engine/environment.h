// environment.h - one LMDB environment per database directory.
//
// LMDB forbids opening one environment twice in a process, yet hosts may
// open several handles on one database. Handles therefore share an
// Environment from a registry keyed by the directory's real path, counted
// by reference and closed with its last handle. The environment also owns
// the map size: it starts modest and doubles when a write reports
// MDB_MAP_FULL, and it knows which handle of the process holds the one
// write transaction LMDB allows, so that a second handle's write is refused
// rather than deadlocking on LMDB's writer lock from the same thread.
#ifndef JXENGINE_ENVIRONMENT_H_
#define JXENGINE_ENVIRONMENT_H_

#include <lmdb.h>

#include <cstdint>
#include <memory>
#include <string>

namespace jx {

// An LMDB failure inside the engine; entry points turn it into a code.
struct LmdbError {
  int rc;
};

inline void Check(int rc) {
  if (rc != MDB_SUCCESS) throw LmdbError{rc};
}

// The named tables of a database.
struct Tables {
  MDB_dbi catalog = 0;  // upper-case file name -> FileDef
  MDB_dbi meta = 0;     // counters: dictionary version, ids, last records
  MDB_dbi records = 0;  // file id (BE) + record number (BE) -> record image
  MDB_dbi indexes = 0;  // index id (BE) + key form + record number (BE) -> ""
  MDB_dbi memos = 0;    // memo reference (BE) -> memo data
};

class Environment {
 public:
  // Opens (sharing) the environment of `directory`; creates the directory
  // and an empty database when `create` is set. nullptr on failure.
  static std::shared_ptr<Environment> Acquire(const std::string& directory, bool create);
  // Drops one reference taken by Acquire; the last one closes the env.
  static void Release(const std::shared_ptr<Environment>& env);

  ~Environment();
  MDB_env* env() const { return env_; }
  const Tables& tables() const { return tables_; }

  // Doubles the map, or throws MDB_MAP_FULL when that would pass the cap
  // (JXENGINE_MAP_LIMIT). Only valid with no transaction active in the process
  // (the engine runs one call at a time, and the caller aborted its own).
  void Grow();
  // Adopts a map size another process grew (after MDB_MAP_RESIZED).
  void AdoptMapSize();
  // Bumped by every map change: handles then drop their cached read txns.
  uint64_t generation() const { return generation_; }

  // The handle of this process holding the host write transaction, or 0.
  int32_t writer = 0;

 private:
  Environment() = default;
  bool Open(const std::string& path, bool create);

  MDB_env* env_ = nullptr;
  Tables tables_;
  size_t mapSize_ = 0;
  size_t mapLimit_ = 0;  // no growth past it (JXENGINE_MAP_LIMIT); 0 = none
  uint64_t generation_ = 0;
  std::string path_;
  int references_ = 0;
};

}  // namespace jx

#endif  // JXENGINE_ENVIRONMENT_H_
