// session.cc - transactions, dictionary cache and the handle table.
#include "session.h"

#include <map>

#include "jxengine.h"
#include "lmdb_cursor.h"
#include "meta.h"

namespace jx {
namespace {

// A bound on map doublings per write: 64 MiB doubled this often is far
// beyond any disk, so reaching it means something else is wrong.
constexpr int kMaxGrowth = 24;

std::map<int32_t, std::unique_ptr<Session>>& Table() {
  static auto* table = new std::map<int32_t, std::unique_ptr<Session>>();
  return *table;
}
int32_t g_nextHandle = 1;

}  // namespace

Session::Session(int32_t id, std::shared_ptr<Environment> env) : id_(id), env_(std::move(env)) {}

Session::~Session() {
  if (hostTxn_) mdb_txn_abort(hostTxn_);
  if (inHost_ && env_->writer == id_) env_->writer = 0;
  if (readTxn_) mdb_txn_abort(readTxn_);
  Environment::Release(env_);
}

MDB_txn* Session::AcquireReadTxn() {
  if (readTxn_ && readGeneration_ != env_->generation()) {
    mdb_txn_abort(readTxn_);
    readTxn_ = nullptr;
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    int rc = readTxn_ ? mdb_txn_renew(readTxn_)
                      : mdb_txn_begin(env_->env(), nullptr, MDB_RDONLY, &readTxn_);
    if (rc == MDB_SUCCESS) {
      readGeneration_ = env_->generation();
      return readTxn_;
    }
    if (readTxn_) {
      mdb_txn_abort(readTxn_);
      readTxn_ = nullptr;
    }
    if (rc != MDB_MAP_RESIZED) throw LmdbError{rc};
    env_->AdoptMapSize();  // another process grew the map
  }
  throw LmdbError{MDB_MAP_RESIZED};
}

int Session::BeginWrite(MDB_txn** txn) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    int rc = mdb_txn_begin(env_->env(), nullptr, 0, txn);
    if (rc == MDB_SUCCESS) return MDB_SUCCESS;
    if (rc != MDB_MAP_RESIZED) return rc;
    env_->AdoptMapSize();
  }
  return MDB_MAP_RESIZED;
}

int Session::Write(const WriteOp& op) {
  if (env_->writer != 0 && env_->writer != id_) return JX_ERR_BUSY;
  if (inHost_) {
    if (!hostTxn_) return JX_ERR_TRANSACTION;  // spoiled by an earlier failure
    for (int growth = 0; growth <= kMaxGrowth; ++growth) {
      try {
        int result = op(hostTxn_);
        if (result == JX_OK) log_.push_back(op);
        return result;
      } catch (const LmdbError& e) {
        if (e.rc != MDB_MAP_FULL || !RestartHostGrown()) break;
      }
    }
    FailHost();
    return JX_ERR_STORAGE;
  }
  for (int growth = 0; growth <= kMaxGrowth; ++growth) {
    MDB_txn* txn = nullptr;
    if (BeginWrite(&txn) != MDB_SUCCESS) return JX_ERR_STORAGE;
    int result;
    try {
      result = op(txn);
    } catch (const LmdbError& e) {
      mdb_txn_abort(txn);
      InvalidateDictionary();
      if (e.rc != MDB_MAP_FULL) return JX_ERR_STORAGE;
      env_->Grow();
      continue;
    } catch (...) {
      mdb_txn_abort(txn);
      InvalidateDictionary();
      throw;
    }
    if (result != JX_OK) {
      mdb_txn_abort(txn);
      InvalidateDictionary();
      return result;
    }
    int rc = mdb_txn_commit(txn);  // frees the transaction whatever happens
    if (rc == MDB_SUCCESS) return JX_OK;
    InvalidateDictionary();
    if (rc != MDB_MAP_FULL) return JX_ERR_STORAGE;
    env_->Grow();
  }
  return JX_ERR_STORAGE;
}

bool Session::RestartHostGrown() {
  for (int growth = 0; growth <= kMaxGrowth; ++growth) {
    if (hostTxn_) mdb_txn_abort(hostTxn_);
    hostTxn_ = nullptr;
    InvalidateDictionary();
    try {
      env_->Grow();
    } catch (const LmdbError&) {
      return false;
    }
    if (BeginWrite(&hostTxn_) != MDB_SUCCESS) {
      hostTxn_ = nullptr;
      return false;
    }
    try {
      // The writes were accepted once against the same database (we held
      // the writer lock until the abort); their results are not re-checked.
      for (const WriteOp& op : log_) op(hostTxn_);
      return true;
    } catch (const LmdbError& e) {
      if (e.rc != MDB_MAP_FULL) return false;
    }
  }
  return false;
}

void Session::FailHost() {
  if (hostTxn_) mdb_txn_abort(hostTxn_);
  hostTxn_ = nullptr;
  log_.clear();
  InvalidateDictionary();
  if (env_->writer == id_) env_->writer = 0;
}

int Session::Begin() {
  if (inHost_) return JX_ERR_TRANSACTION;
  if (env_->writer != 0) return JX_ERR_BUSY;
  if (BeginWrite(&hostTxn_) != MDB_SUCCESS) {
    hostTxn_ = nullptr;
    return JX_ERR_STORAGE;
  }
  inHost_ = true;
  env_->writer = id_;
  return JX_OK;
}

int Session::Commit() {
  if (!inHost_) return JX_ERR_TRANSACTION;
  int result = JX_OK;
  if (!hostTxn_) {
    result = JX_ERR_TRANSACTION;  // a failure already undid it
  } else {
    for (int growth = 0;; ++growth) {
      int rc = mdb_txn_commit(hostTxn_);
      hostTxn_ = nullptr;
      if (rc == MDB_SUCCESS) break;
      if (rc != MDB_MAP_FULL || growth == kMaxGrowth || !RestartHostGrown()) {
        result = JX_ERR_STORAGE;
        break;
      }
    }
  }
  if (result != JX_OK) InvalidateDictionary();
  if (hostTxn_) mdb_txn_abort(hostTxn_);
  hostTxn_ = nullptr;
  inHost_ = false;
  log_.clear();
  if (env_->writer == id_) env_->writer = 0;
  return result;
}

int Session::Rollback() {
  if (!inHost_) return JX_ERR_TRANSACTION;
  FailHost();
  inHost_ = false;
  // Positions and last-read records may name records that no longer exist;
  // the protocol calls then fail cleanly (not found), so they are kept.
  return JX_OK;
}

const Dictionary& Session::Dict(MDB_txn* txn) {
  uint64_t version = MetaGet(txn, tables(), kDictionaryVersion);
  if (dictValid_ && version == dictVersion_) return dict_;
  dict_.Clear();
  Cursor cursor(txn, tables().catalog);
  MDB_val k, v;
  bool found = cursor.First(&k, &v);
  while (found) {
    FileDef file;
    std::string name(static_cast<const char*>(k.mv_data), k.mv_size);
    if (FileDef::Deserialize(name, v.mv_data, v.mv_size, &file)) dict_.Put(std::move(file));
    found = cursor.Next(&k, &v);
  }
  dictVersion_ = version;
  dictValid_ = true;
  return dict_;
}

int32_t Handles::Open(const char* directory, bool create) {
  auto env = Environment::Acquire(directory, create);
  if (!env) return -JX_ERR_NOT_OPEN;
  while (Table().count(g_nextHandle) || g_nextHandle <= 0)
    g_nextHandle = g_nextHandle <= 0 ? 1 : g_nextHandle + 1;
  int32_t handle = g_nextHandle++;
  Table()[handle] = std::make_unique<Session>(handle, std::move(env));
  return handle;
}

int Handles::Close(int32_t handle) {
  auto it = Table().find(handle);
  if (it == Table().end()) return JX_ERR_BAD_HANDLE;
  Table().erase(it);
  return JX_OK;
}

Session* Handles::Find(int32_t handle) {
  auto it = Table().find(handle);
  return it == Table().end() ? nullptr : it->second.get();
}

}  // namespace jx
