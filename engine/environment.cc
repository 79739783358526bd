// environment.cc - opening, sharing and growing LMDB environments.
//
// Durability: environments use LMDB's default synchronous commits (neither
// MDB_NOSYNC nor MDB_NOMETASYNC), so a write whose call returned is on disk
// and survives a power loss, not only a kill -9. Bulk work pays one sync per
// host transaction, which keeps bulk loads fast; single writes outside a
// transaction pay one sync each, the price of the durability promise.
#include "environment.h"

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <system_error>

namespace jx {
namespace {

constexpr size_t kInitialMapSize = size_t(64) << 20;

// JXENGINE_MAP_SIZE (bytes) overrides the initial map size of newly opened
// environments: small maps let tests exercise growth cheaply, large ones
// spare a known-big load its doublings.
size_t InitialMapSize() {
  const char* text = getenv("JXENGINE_MAP_SIZE");
  if (!text) return kInitialMapSize;
  char* end = nullptr;
  unsigned long long size = strtoull(text, &end, 10);
  return (end != text && size >= 65536) ? size_t(size) : kInitialMapSize;
}

// JXENGINE_MAP_LIMIT (bytes), when set, caps the growth of newly opened
// environments: a write that would need a larger map fails with a storage
// error instead of doubling it. It bounds a database's size, and lets tests
// meet a full map the way a full disk would be met. 0 = no cap.
size_t MapLimit() {
  const char* text = getenv("JXENGINE_MAP_LIMIT");
  if (!text) return 0;
  char* end = nullptr;
  unsigned long long size = strtoull(text, &end, 10);
  return end != text ? size_t(size) : 0;
}
constexpr int kMaxTables = 8;

// Guarded by the engine's call mutex (entry points run one at a time).
std::map<std::string, std::shared_ptr<Environment>>& Registry() {
  static auto* registry = new std::map<std::string, std::shared_ptr<Environment>>();
  return *registry;
}

bool OpenTables(MDB_env* env, unsigned flags, Tables* t) {
  MDB_txn* txn = nullptr;
  if (mdb_txn_begin(env, nullptr, flags & MDB_CREATE ? 0 : MDB_RDONLY, &txn) != MDB_SUCCESS)
    return false;
  bool ok = mdb_dbi_open(txn, "catalog", flags, &t->catalog) == MDB_SUCCESS &&
            mdb_dbi_open(txn, "meta", flags, &t->meta) == MDB_SUCCESS &&
            mdb_dbi_open(txn, "records", flags, &t->records) == MDB_SUCCESS &&
            mdb_dbi_open(txn, "indexes", flags, &t->indexes) == MDB_SUCCESS &&
            mdb_dbi_open(txn, "memos", flags, &t->memos) == MDB_SUCCESS;
  if (ok && mdb_txn_commit(txn) == MDB_SUCCESS) return true;
  if (!ok) mdb_txn_abort(txn);
  return false;
}

}  // namespace

std::shared_ptr<Environment> Environment::Acquire(const std::string& directory, bool create) {
  if (directory.empty()) return nullptr;
  // std::filesystem rather than the POSIX calls: the engine is built for
  // Windows from the same source.
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::exists(directory, error)) {
    if (!create || !fs::create_directory(directory, error)) return nullptr;
  } else if (!fs::is_directory(directory, error)) {
    return nullptr;
  }
  fs::path real = fs::canonical(directory, error);
  if (error) return nullptr;
  std::string path = real.string();
  auto& registry = Registry();
  auto it = registry.find(path);
  if (it != registry.end()) {
    ++it->second->references_;
    return it->second;
  }
  // Without the create flag, a directory with no database is not one.
  if (!create && !fs::exists(real / "data.mdb", error)) return nullptr;
  std::shared_ptr<Environment> env(new Environment());
  if (!env->Open(path, create)) return nullptr;
  env->references_ = 1;
  registry[path] = env;
  return env;
}

void Environment::Release(const std::shared_ptr<Environment>& env) {
  if (!env || --env->references_ > 0) return;
  Registry().erase(env->path_);
}

bool Environment::Open(const std::string& path, bool create) {
  path_ = path;
  if (mdb_env_create(&env_) != MDB_SUCCESS) return false;
  mapSize_ = InitialMapSize();
  mapLimit_ = MapLimit();
  // MDB_NOTLS: read transactions belong to handles, not threads, so a
  // handle may be used from any thread (one call at a time).
  if (mdb_env_set_maxdbs(env_, kMaxTables) != MDB_SUCCESS ||
      mdb_env_set_mapsize(env_, mapSize_) != MDB_SUCCESS ||
      mdb_env_open(env_, path.c_str(), MDB_NOTLS, 0664) != MDB_SUCCESS)
    return false;
  MDB_envinfo info;
  if (mdb_env_info(env_, &info) == MDB_SUCCESS) mapSize_ = info.me_mapsize;
  // Open the tables read-only first: creating them needs the writer lock,
  // which another process may hold for a long host transaction.
  if (OpenTables(env_, 0, &tables_)) return true;
  return create && OpenTables(env_, MDB_CREATE, &tables_);
}

Environment::~Environment() {
  if (env_) mdb_env_close(env_);
}

void Environment::Grow() {
  MDB_envinfo info;
  if (mdb_env_info(env_, &info) == MDB_SUCCESS && info.me_mapsize > mapSize_)
    mapSize_ = info.me_mapsize;
  if (mapLimit_ != 0 && mapSize_ * 2 > mapLimit_) throw LmdbError{MDB_MAP_FULL};
  mapSize_ *= 2;
  Check(mdb_env_set_mapsize(env_, mapSize_));
  ++generation_;
}

void Environment::AdoptMapSize() {
  Check(mdb_env_set_mapsize(env_, 0));
  MDB_envinfo info;
  if (mdb_env_info(env_, &info) == MDB_SUCCESS) mapSize_ = info.me_mapsize;
  ++generation_;
}

}  // namespace jx
