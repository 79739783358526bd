// session.cc - transactions, statement scopes, the dictionary cache and the
// handle table.
#include "session.h"

#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <new>

#include "call_lock.h"
#include "jxengine.h"
#include "lmdb_cursor.h"
#include "meta.h"
#include "text_format.h"

namespace jx {
namespace {

using Lost = Session::Lost;

// A bound on map doublings per write: far beyond any disk, so reaching it
// means something else is wrong.
constexpr int kMaxGrowth = 24;

std::map<int32_t, std::unique_ptr<Session>>& Table() {
  static auto* table = new std::map<int32_t, std::unique_ptr<Session>>();
  return *table;
}
int32_t g_nextHandle = 1;
// The handle found last: calls come in long runs on one handle.
int32_t g_lastHandle = 0;
Session* g_lastSession = nullptr;
// The last dictionary stamp handed out: each load of a dictionary by any
// handle takes the next one (entry points run under the call lock).
uint64_t g_lastDictStamp = 0;
int g_openError = 0;
std::string* g_openErrorText = new std::string();

// JXENGINE_BUSY_TIMEOUT (milliseconds) sets the busy timeout of new handles.
int32_t DefaultBusyTimeout() {
  const char* text = getenv("JXENGINE_BUSY_TIMEOUT");
  if (!text) return JX_BUSY_TIMEOUT_DEFAULT;
  char* end = nullptr;
  long value = strtol(text, &end, 10);
  return end != text && value >= 0 && value <= INT32_MAX ? int32_t(value) : JX_BUSY_TIMEOUT_DEFAULT;
}

// A map size as people read it: "256 Kio", "64 Mio", "64 Gio".
std::string SizeText(size_t bytes) {
  static const char* const kUnits[] = {"octets", "Kio", "Mio", "Gio", "Tio"};
  int unit = 0;
  unsigned long long n = bytes;
  while (unit < 4 && n >= 1024 && n % 1024 == 0) {
    n /= 1024;
    ++unit;
  }
  return FormatText("%llu %s", n, kUnits[unit]);
}

const char* LostText(Lost lost) {
  switch (lost) {
    case Lost::kWrite:
      return "l'\xE9"
             "criture a \xE9t\xE9 annul\xE9"
             "e";
    case Lost::kStatement:
      return "l'instruction a \xE9t\xE9 annul\xE9"
             "e";
    case Lost::kTransaction:
      break;
  }
  return "la transaction enti\xE8re a \xE9t\xE9 annul\xE9"
         "e";
}

}  // namespace

Session::Session(int32_t id, std::shared_ptr<Environment> env, bool readOnly)
    : id_(id), env_(std::move(env)), readOnly_(readOnly), busyTimeout_(DefaultBusyTimeout()) {}

Session::~Session() {
  // Kept cursors go before the transactions they may belong to.
  records_.Close();
  indexes_.Close();
  DropSnapshot();
  AbortRoot();
  if (readTxn_) mdb_txn_abort(readTxn_);
  Environment::Release(env_);
}

int Session::Fail(int code, const std::string& text) {
  lastError_ = code;
  lastErrorText_ = text;
  return code;
}

MDB_txn* Session::AcquireReadTxn() {
  ForgetReads();
  if (readTxn_ && readGeneration_ != env_->generation()) {
    mdb_txn_abort(readTxn_);
    readTxn_ = nullptr;
  }
  int rc = readTxn_ ? mdb_txn_renew(readTxn_) : env_->BeginTxn(MDB_RDONLY, &readTxn_);
  if (rc == MDB_MAP_RESIZED && readTxn_) {
    mdb_txn_abort(readTxn_);
    readTxn_ = nullptr;
    rc = env_->BeginTxn(MDB_RDONLY, &readTxn_);
  }
  if (rc != MDB_SUCCESS) {
    if (readTxn_) mdb_txn_abort(readTxn_);
    readTxn_ = nullptr;
    throw LmdbError{rc};
  }
  readGeneration_ = env_->generation();
  return readTxn_;
}

void Session::ReleaseReadTxn() {
  ForgetReads();
  mdb_txn_reset(readTxn_);
}

bool Session::SavepointOpen() const {
  for (const Scope& scope : scopes_)
    if (scope.writes && !scope.ownsRoot) return true;
  return false;
}

int Session::Refusal() {
  return Fail(JX_ERR_READ_ONLY, env_->readOnly()
                                    ? "Base de donn\xE9"
                                      "es en lecture seule : son dossier ou ses fichiers sont "
                                      "prot\xE9g\xE9s en \xE9"
                                      "criture"
                                    : "Base de donn\xE9"
                                      "es ouverte en lecture seule : aucune \xE9"
                                      "criture possible");
}

int Session::TakeWriter() {
  auto start = std::chrono::steady_clock::now();
  unsigned pause = 1;
  for (;;) {
    if (env_->TryTakeWriter(id_) == JX_OK) return JX_OK;
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
    if (waited >= busyTimeout_)
      return Fail(JX_ERR_BUSY, FormatText("Base de donn\xE9"
                                          "es occup\xE9"
                                          "e : une autre connexion y \xE9"
                                          "crit ; attente abandonn\xE9"
                                          "e apr\xE8s %d ms",
                                          int(busyTimeout_)));
    long long left = busyTimeout_ - waited;
    CallLock::SleepReleased(unsigned(left < pause ? left : pause));
    if (pause < 50) pause *= 2;
  }
}

int Session::BeginRoot() {
  if (readOnly_ || env_->readOnly()) return Refusal();
  int taken = TakeWriter();
  if (taken != JX_OK) return taken;
  ForgetReads();
  int rc = env_->BeginTxn(0, &writeTxn_);
  if (rc != MDB_SUCCESS) {
    writeTxn_ = nullptr;
    env_->ReleaseWriter(id_);
    return Fail(CodeOfLmdbError(rc), std::string("Transaction d'\xE9"
                                                 "criture impossible : ") +
                                         mdb_strerror(rc));
  }
  env_->TxnOpened();
  return JX_OK;
}

void Session::AbortRoot() {
  ForgetReads();
  if (writeTxn_) {
    mdb_txn_abort(writeTxn_);
    writeTxn_ = nullptr;
    env_->TxnClosed();
    InvalidateDictionary();
  }
  undo_.Clear();
  env_->ReleaseWriter(id_);
}

// Explains a full map: what was lost, and what came of asking for a larger
// one (`before` is the size that filled up).
int Session::FullMap(size_t before, Growth growth, Lost lost) {
  if (growth == Growth::kAtLimit)
    return Fail(JX_ERR_DATABASE_FULL,
                FormatText("Base pleine : sa carte m\xE9moire (%s) ne peut plus grandir "
                           "(JXENGINE_MAP_LIMIT) ; %s",
                           SizeText(before).c_str(), LostText(lost)));
  return Fail(
      JX_ERR_MAP_FULL,
      FormatText("Carte m\xE9moire de la base pleine (%s) : %s et la carte %s %s ; "
                 "recommencez (JXENGINE_MAP_SIZE fixe sa taille de d\xE9part)",
                 SizeText(before).c_str(), LostText(lost),
                 growth == Growth::kGrown ? "agrandie \xE0" : "sera agrandie \xE0",
                 SizeText(growth == Growth::kGrown ? env_->mapSize() : before * 2).c_str()));
}

// The root write transaction is lost (LMDB marks a transaction unusable
// after a full map or a storage failure): all of it goes, the locks are
// released, and the handle answers the failure until the host or the
// outermost scope ends.
int Session::Spoil(int lmdbCode) {
  AbortRoot();
  int code = CodeOfLmdbError(lmdbCode);
  Lost lost = inHost_ ? Lost::kTransaction : Lost::kStatement;
  if (code == JX_ERR_MAP_FULL) {
    size_t before = env_->mapSize();
    code = FullMap(before, env_->Grow(), lost);
  } else {
    Fail(code, std::string("Erreur du moteur de stockage (") + mdb_strerror(lmdbCode) +
                   ") : " + LostText(lost));
  }
  spoiled_ = code;
  spoilText_ = lastErrorText_;
  return code;
}

int Session::RolledBack() {
  return Fail(JX_ERR_ROLLED_BACK,
              "Transaction d\xE9j\xE0 annul\xE9"
              "e, \xE0 terminer par un rollback. Cause : " +
                  spoilText_);
}

int Session::Write(const WriteOp& op) {
  if (spoiled_) return RolledBack();
  if (readOnly_ || env_->readOnly()) return Refusal();
  if (writeTxn_) {
    // Kept cursors let go of the transaction before it is written through;
    // the dictionary checked since its last write is still current.
    records_.Release();
    indexes_.Release();
    UndoLog::Scope recording(SavepointOpen() ? &undo_ : nullptr);
    try {
      int result = op(writeTxn_);
      // Only a file or index creation changes the dictionary, and it says
      // so (InvalidateDictionary): a record write leaves the dictionary
      // checked in this transaction current, so a statement that follows
      // need not read its version again.
      records_.Release();
      indexes_.Release();
      return result;
    } catch (const LmdbError& e) {
      return Spoil(e.rc);
    } catch (const std::bad_alloc&) {
      // The operation may have written part of itself: nothing of the
      // transaction can be trusted any more.
      return Spoil(ENOMEM);
    } catch (...) {
      ForgetReads();
      throw;
    }
  }
  int taken = TakeWriter();
  if (taken != JX_OK) return taken;
  constexpr int kLost = -1;  // the transaction failed in LMDB (rc says why)
  int result = JX_ERR_STORAGE;
  for (int growth = 0; growth <= kMaxGrowth; ++growth) {
    ForgetReads();
    MDB_txn* txn = nullptr;
    int rc = env_->BeginTxn(0, &txn);
    if (rc != MDB_SUCCESS) {
      result = Fail(CodeOfLmdbError(rc), std::string("Transaction d'\xE9"
                                                     "criture impossible : ") +
                                             mdb_strerror(rc));
      break;
    }
    try {
      result = op(txn);
    } catch (const LmdbError& e) {
      rc = e.rc;
      result = kLost;
    } catch (...) {
      mdb_txn_abort(txn);
      InvalidateDictionary();
      env_->ReleaseWriter(id_);
      throw;
    }
    if (result == JX_OK) {
      rc = mdb_txn_commit(txn);  // frees the transaction whatever happens
      if (rc == MDB_SUCCESS) break;
      result = kLost;
    } else {
      mdb_txn_abort(txn);
    }
    InvalidateDictionary();
    if (result != kLost) break;  // refused by the operation: nothing written
    // A write of its own can simply run again in a larger map: it reads
    // and checks everything anew.
    if (rc == MDB_MAP_FULL) {
      size_t before = env_->mapSize();
      Growth grown = env_->Grow();
      if (grown == Growth::kGrown) continue;
      result = FullMap(before, grown, Lost::kWrite);
      break;
    }
    result = Fail(CodeOfLmdbError(rc),
                  std::string("Erreur du moteur de stockage : ") + mdb_strerror(rc));
    break;
  }
  if (result == kLost) result = JX_ERR_STORAGE;
  ForgetReads();
  env_->ReleaseWriter(id_);
  RefreshSnapshot();
  return result;
}

int Session::Begin() {
  if (inHost_ || !scopes_.empty()) return JX_ERR_TRANSACTION;
  Fail(JX_OK, "");
  int begun = BeginRoot();
  if (begun != JX_OK) return begun;
  inHost_ = true;
  return JX_OK;
}

int Session::CommitRoot(Lost lost) {
  ForgetReads();
  int rc = mdb_txn_commit(writeTxn_);  // frees the transaction whatever happens
  writeTxn_ = nullptr;
  env_->TxnClosed();
  AbortRoot();  // releases the locks and the undo log
  if (rc != MDB_SUCCESS) {
    InvalidateDictionary();
    if (rc == MDB_MAP_FULL) {
      size_t before = env_->mapSize();
      return FullMap(before, env_->Grow(), lost);
    }
    return Fail(CodeOfLmdbError(rc), std::string("Erreur du moteur de stockage \xE0 la "
                                                 "validation (") +
                                         mdb_strerror(rc) + ") : " + LostText(lost));
  }
  RefreshSnapshot();
  return JX_OK;
}

int Session::Commit() {
  if (!inHost_ || !scopes_.empty()) return JX_ERR_TRANSACTION;
  if (spoiled_) {
    int code = RolledBack();
    spoiled_ = 0;
    inHost_ = false;
    return code;
  }
  int code = CommitRoot(Lost::kTransaction);
  inHost_ = false;
  return code;
}

int Session::Rollback() {
  if (!inHost_) return JX_ERR_TRANSACTION;
  DropSnapshot();
  scopes_.clear();
  AbortRoot();
  inHost_ = false;
  spoiled_ = 0;
  // Positions and last-read records may name records that no longer exist;
  // the protocol calls then fail cleanly (not found), so they are kept.
  return JX_OK;
}

int Session::BeginStatement(bool writes) {
  if (scopes_.size() >= JX_STATEMENT_MAX_DEPTH) return JX_ERR_TRANSACTION;
  // A new statement: the explanations of earlier ones no longer apply.
  if (scopes_.empty() && !spoiled_) Fail(JX_OK, "");
  if (spoiled_) return RolledBack();
  Scope scope;
  scope.writes = writes;
  if (writes) {
    if (readOnly_ || env_->readOnly()) return Refusal();
    if (!writeTxn_) {
      int begun = BeginRoot();
      if (begun != JX_OK) return begun;
      scope.ownsRoot = true;
    } else {
      scope.undoMark = undo_.Mark();
    }
  } else if (!writeTxn_ && !snapshot_) {
    ForgetReads();
    int rc = env_->BeginTxn(MDB_RDONLY, &snapshot_);
    if (rc != MDB_SUCCESS) {
      snapshot_ = nullptr;
      return Fail(CodeOfLmdbError(rc), std::string("Lecture impossible : ") + mdb_strerror(rc));
    }
    env_->TxnOpened();
    scope.ownsSnapshot = true;
  }
  scopes_.push_back(scope);
  return JX_OK;
}

int Session::EndStatement(bool keep) {
  if (scopes_.empty()) return JX_ERR_TRANSACTION;
  Scope scope = scopes_.back();
  scopes_.pop_back();
  if (scope.ownsSnapshot) DropSnapshot();
  if (!scope.writes) return JX_OK;
  if (spoiled_) {
    // The scope's work went with the root transaction. The scope that
    // began it answers the cause, and may be run again after a full map;
    // scopes inside it, or inside a host transaction, answer that what
    // encloses them was rolled back.
    if (!scope.ownsRoot) return JX_ERR_ROLLED_BACK;
    int code = Fail(spoiled_, spoilText_);
    spoiled_ = 0;
    return code;
  }
  if (scope.ownsRoot) {
    if (keep) return CommitRoot(Lost::kStatement);
    AbortRoot();
    RefreshSnapshot();
    return JX_OK;
  }
  if (keep) {
    // Kept inside an enclosing savepoint, its changes stay undoable with it.
    if (!SavepointOpen()) undo_.Forget(scope.undoMark);
    return JX_OK;
  }
  try {
    ForgetReads();
    UndoLog::Scope quiet(nullptr);
    undo_.RollBackTo(writeTxn_, scope.undoMark);
    ForgetReads();
    InvalidateDictionary();
    return JX_OK;
  } catch (const LmdbError& e) {
    int code = Spoil(e.rc);
    return inHost_ ? JX_ERR_ROLLED_BACK : code;
  }
}

void Session::RefreshSnapshot() {
  // A read scope that outlived a write of this handle reads on from a
  // snapshot that holds it.
  if (!snapshot_ || writeTxn_) return;
  ForgetReads();
  mdb_txn_reset(snapshot_);
  if (mdb_txn_renew(snapshot_) != MDB_SUCCESS) DropSnapshot();
}

void Session::DropSnapshot() {
  if (!snapshot_) return;
  ForgetReads();
  mdb_txn_abort(snapshot_);
  snapshot_ = nullptr;
  env_->TxnClosed();
}

const Dictionary& Session::Dict(MDB_txn* txn) {
  if (dictValid_ && dictEpoch_ == readEpoch_) return dict_;
  bool readOnly = ReadOnlyTxn(txn);
  uint64_t snapshot = readOnly ? uint64_t(mdb_txn_id(txn)) : kNoSnapshot;
  if (dictValid_ && readOnly && snapshot == dictSnapshot_) {
    dictEpoch_ = readEpoch_;
    return dict_;
  }
  uint64_t version = MetaGet(txn, tables(), kDictionaryVersion);
  if (dictValid_ && version == dictVersion_) {
    // Unchanged: a write transaction's own changes would have moved it.
    if (readOnly) dictSnapshot_ = snapshot;
    dictEpoch_ = readEpoch_;
    return dict_;
  }
  dictValid_ = false;
  ++dictGeneration_;
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
  // A write transaction's dictionary may never be committed: it stands for
  // no snapshot.
  dictSnapshot_ = snapshot;
  dictEpoch_ = readEpoch_;
  dictStamp_ = ++g_lastDictStamp;
  return dict_;
}

const FileDef* Session::FindFile(MDB_txn* txn, const char* name, size_t length) {
  const Dictionary& dict = Dict(txn);
  if (lastNameGeneration_ == dictGeneration_ && lastName_.size() == length &&
      std::memcmp(lastName_.data(), name, length) == 0)
    return lastFile_;
  lastName_.assign(name, length);
  lastFile_ = dict.Find(lastName_);
  lastNameGeneration_ = dictGeneration_;
  return lastFile_;
}

uint64_t Session::DictStamp(MDB_txn* txn) {
  Dict(txn);
  return dictStamp_;
}

int32_t Handles::Open(const char* directory, bool create, bool readOnly) {
  int code = JX_OK;
  std::string why;
  auto env = Environment::Acquire(directory, create, &code, &why);
  if (!env) {
    g_openError = code;
    *g_openErrorText = why;
    return -code;
  }
  while (Table().count(g_nextHandle) || g_nextHandle <= 0)
    g_nextHandle = g_nextHandle <= 0 ? 1 : g_nextHandle + 1;
  int32_t handle = g_nextHandle++;
  Table()[handle] = std::make_unique<Session>(handle, std::move(env), readOnly);
  return handle;
}

int Handles::Close(int32_t handle) {
  auto it = Table().find(handle);
  if (it == Table().end()) return JX_ERR_BAD_HANDLE;
  if (handle == g_lastHandle) {
    g_lastHandle = 0;
    g_lastSession = nullptr;
  }
  Table().erase(it);
  return JX_OK;
}

Session* Handles::Find(int32_t handle) {
  if (handle == g_lastHandle && g_lastSession) return g_lastSession;
  auto it = Table().find(handle);
  if (it == Table().end()) return nullptr;
  g_lastHandle = handle;
  g_lastSession = it->second.get();
  return g_lastSession;
}

int Handles::LastOpenError(std::string* text) {
  if (text) *text = *g_openErrorText;
  return g_openError;
}

}  // namespace jx
