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

#include "data_file_check.h"
#include "jxengine.h"
#include "platform.h"

namespace jx {
namespace {

constexpr size_t kMiB = size_t(1) << 20;
// 64-bit: a map this large is only address space, and means a database
// grows past it (and a transaction meets a full map) only beyond 64 GiB.
constexpr unsigned long long kLargeMap = 64ull << 30;
// 32-bit: the map shares two gigabytes with everything else, so it starts
// at twice the file, between these bounds.
constexpr size_t kSmallMapMin = 64 * kMiB;
constexpr size_t kSmallMapMax = 1024 * kMiB;
constexpr int kMaxTables = 8;

size_t SizeVariable(const char* name, size_t minimum) {
  const char* text = getenv(name);
  if (!text) return 0;
  char* end = nullptr;
  unsigned long long size = strtoull(text, &end, 10);
  return end != text && size >= minimum ? size_t(size) : 0;
}

// The map a database starts with. JXENGINE_MAP_SIZE (bytes) overrides it:
// small maps let tests meet growth cheaply.
size_t InitialMapSize(unsigned long long fileSize) {
  size_t forced = SizeVariable("JXENGINE_MAP_SIZE", 65536);
  if (forced) return forced;
  if (sizeof(void*) >= 8) return size_t(kLargeMap);
  size_t size = kSmallMapMin;
  while (size < kSmallMapMax && size < 2 * fileSize) size *= 2;
  return size;
}

// Guarded by the engine's call lock (entry points run one at a time).
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

bool Refused(int rc) {
  return rc == EACCES || rc == EROFS || rc == EPERM;
}

}  // namespace

int CodeOfLmdbError(int rc) {
  switch (rc) {
    case MDB_CORRUPTED:
    case MDB_PAGE_NOTFOUND:
    case MDB_INVALID:
    case MDB_VERSION_MISMATCH:
      return JX_ERR_DAMAGED;
    case MDB_MAP_FULL:
      return JX_ERR_MAP_FULL;
    case ENOMEM:
      return JX_ERR_NO_MEMORY;
    default:
      return Refused(rc) ? JX_ERR_READ_ONLY : JX_ERR_STORAGE;
  }
}

std::shared_ptr<Environment> Environment::Acquire(const std::string& directory, bool create,
                                                  int* code, std::string* why) {
  *code = JX_ERR_NOT_OPEN;
  if (directory.empty()) {
    *why =
        "Aucun dossier de base de donn\xE9"
        "es donn\xE9";
    return nullptr;
  }
  // std::filesystem rather than the POSIX calls: the engine is built for
  // Windows from the same source.
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::exists(directory, error)) {
    if (!create) {
      *why = "Dossier " + directory + " introuvable";
      return nullptr;
    }
    if (!fs::create_directory(directory, error)) {
      *why = "Dossier " + directory +
             " impossible \xE0 cr\xE9"
             "er : " +
             error.message();
      return nullptr;
    }
  } else if (!fs::is_directory(directory, error)) {
    *why = directory + " n'est pas un dossier";
    return nullptr;
  }
  fs::path real = fs::canonical(directory, error);
  if (error) {
    *why = "Dossier " + directory + " inaccessible : " + error.message();
    return nullptr;
  }
  std::string path = real.string();
  auto& registry = Registry();
  auto it = registry.find(path);
  if (it != registry.end()) {
    ++it->second->references_;
    return it->second;
  }
  // Without the create flag, a directory with no database is not one.
  if (!create && !fs::exists(real / "data.mdb", error)) {
    *why =
        "Aucune base de donn\xE9"
        "es dans " +
        directory;
    return nullptr;
  }
  std::shared_ptr<Environment> env(new Environment());
  *code = env->Open(path, create, why);
  if (*code != JX_OK) return nullptr;
  env->references_ = 1;
  registry[path] = env;
  return env;
}

void Environment::Release(const std::shared_ptr<Environment>& env) {
  if (!env || --env->references_ > 0) return;
  Registry().erase(env->path_);
}

bool Environment::MapIt(unsigned flags, size_t fileSize, int* rc) {
  mapSize_ = InitialMapSize(fileSize);
  // Address space may be scarce (a process limit, a 32-bit host): a map
  // that cannot be reserved is halved while it still holds the file.
  for (;;) {
    if (env_) mdb_env_close(env_);
    env_ = nullptr;
    *rc = mdb_env_create(&env_);
    if (*rc != MDB_SUCCESS) return false;
    // MDB_NOTLS: read transactions belong to handles, not threads, so a
    // handle may be used from any thread (one call at a time).
    *rc = mdb_env_set_maxdbs(env_, kMaxTables);
    if (*rc == MDB_SUCCESS) *rc = mdb_env_set_mapsize(env_, mapSize_);
    if (*rc == MDB_SUCCESS) *rc = mdb_env_open(env_, path_.c_str(), MDB_NOTLS | flags, 0664);
    if (*rc == MDB_SUCCESS) return true;
    if (*rc != ENOMEM || mapSize_ / 2 < 2 * fileSize || mapSize_ / 2 < 65536) return false;
    mapSize_ /= 2;
  }
}

int Environment::Open(const std::string& path, bool create, std::string* why) {
  namespace fs = std::filesystem;
  path_ = path;
  mapLimit_ = SizeVariable("JXENGINE_MAP_LIMIT", 1);
  std::string dataFile = (fs::path(path) / "data.mdb").string();
  if (!CheckDataFile(dataFile, why)) return JX_ERR_DAMAGED;
  std::error_code error;
  uintmax_t fileSize = fs::exists(dataFile, error) ? fs::file_size(dataFile, error) : 0;
  if (error) fileSize = 0;

  int rc;
  bool mapped = MapIt(0, size_t(fileSize), &rc);
  // A folder or files this process may not write: read-only, first with
  // LMDB's lock file (readers still register in it), then without it.
  if (!mapped && Refused(rc)) {
    readOnly_ = true;
    mapped = MapIt(MDB_RDONLY, size_t(fileSize), &rc) ||
             (Refused(rc) && MapIt(MDB_RDONLY | MDB_NOLOCK, size_t(fileSize), &rc));
  }
  if (!mapped) {
    *why = std::string(
               "Base de donn\xE9"
               "es impossible \xE0 ouvrir : ") +
           mdb_strerror(rc);
    return rc == MDB_INVALID || rc == MDB_VERSION_MISMATCH ? JX_ERR_DAMAGED : JX_ERR_NOT_OPEN;
  }
  MDB_envinfo info;
  if (mdb_env_info(env_, &info) == MDB_SUCCESS) mapSize_ = info.me_mapsize;
  if (!readOnly_) lockPath_ = (fs::path(path) / "jxwrite.lock").string();
  // Open the tables read-only first: creating them needs the writer lock,
  // which another process may hold for a long host transaction.
  if (OpenTables(env_, 0, &tables_)) return JX_OK;
  if (create && !readOnly_ && OpenTables(env_, MDB_CREATE, &tables_)) return JX_OK;
  *why =
      "Base de donn\xE9"
      "es incompl\xE8te : ses tables sont absentes";
  return JX_ERR_NOT_OPEN;
}

Environment::~Environment() {
  ZkFileLockRelease(lock_);
  if (env_) mdb_env_close(env_);
}

Growth Environment::Grow() {
  if (pendingMap_ != 0) return Growth::kDeferred;
  MDB_envinfo info;
  size_t current = mapSize_;
  if (mdb_env_info(env_, &info) == MDB_SUCCESS && info.me_mapsize > current)
    current = info.me_mapsize;
  size_t wanted = current * 2;
  if (wanted < current) return Growth::kAtLimit;
  if (mapLimit_ != 0 && wanted > mapLimit_) wanted = mapLimit_;
  if (wanted <= current) return Growth::kAtLimit;
  pendingMap_ = wanted;
  ApplyPendingGrowth();
  return pendingMap_ == 0 ? Growth::kGrown : Growth::kDeferred;
}

void Environment::ApplyPendingGrowth() {
  if (pendingMap_ == 0 || liveTxns_ > 0) return;
  if (mdb_env_set_mapsize(env_, pendingMap_) == MDB_SUCCESS) {
    mapSize_ = pendingMap_;
    ++generation_;
  }
  pendingMap_ = 0;
}

int Environment::BeginTxn(unsigned flags, MDB_txn** txn) {
  if (!(flags & MDB_RDONLY)) ApplyPendingGrowth();
  for (int attempt = 0; attempt < 2; ++attempt) {
    int rc = mdb_txn_begin(env_, nullptr, flags, txn);
    if (rc != MDB_MAP_RESIZED) return rc;
    // Another process grew the map: adopt its size, when nothing of this
    // process reads under the old one.
    if (liveTxns_ > 0) return rc;
    rc = mdb_env_set_mapsize(env_, 0);
    if (rc != MDB_SUCCESS) return rc;
    MDB_envinfo info;
    if (mdb_env_info(env_, &info) == MDB_SUCCESS) mapSize_ = info.me_mapsize;
    ++generation_;
  }
  return MDB_MAP_RESIZED;
}

int Environment::TryTakeWriter(int32_t session) {
  if (writer_ == session) return JX_OK;
  if (writer_ != 0) return JX_ERR_BUSY;
  if (!lockPath_.empty()) {
    int busy = 0;
    lock_ = ZkFileLockTry(lockPath_.c_str(), &busy);
    if (!lock_ && busy) return JX_ERR_BUSY;
    // A lock file that cannot be made at all (a folder where only the
    // database files may be written) leaves LMDB's own lock alone to keep
    // writers apart: safe, but waited for without a timeout.
    if (!lock_) lockPath_.clear();
  }
  writer_ = session;
  return JX_OK;
}

void Environment::ReleaseWriter(int32_t session) {
  if (writer_ != session) return;
  ZkFileLockRelease(lock_);
  lock_ = nullptr;
  writer_ = 0;
}

}  // namespace jx
