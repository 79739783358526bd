// undo_log.cc - before-images of changed keys, and putting them back.
#include "undo_log.h"

#include "environment.h"

namespace jx {
namespace {

thread_local UndoLog* g_recording = nullptr;

}  // namespace

UndoLog* UndoLog::Recording() {
  return g_recording;
}

UndoLog::Scope::Scope(UndoLog* log) : previous_(g_recording) {
  g_recording = log;
}
UndoLog::Scope::~Scope() {
  g_recording = previous_;
}

void UndoLog::RecordBefore(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key) {
  MDB_val k = key, old;
  int rc = mdb_get(txn, dbi, &k, &old);
  if (rc != MDB_NOTFOUND) Check(rc);
  Entry entry{dbi, rc == MDB_SUCCESS,
              std::string(static_cast<const char*>(key.mv_data), key.mv_size), std::string()};
  if (entry.existed) entry.value.assign(static_cast<const char*>(old.mv_data), old.mv_size);
  entries_.push_back(std::move(entry));
}

void UndoLog::RecordKnown(MDB_dbi dbi, const MDB_val& key, const MDB_val& before) {
  entries_.push_back(Entry{dbi, true,
                           std::string(static_cast<const char*>(key.mv_data), key.mv_size),
                           std::string(static_cast<const char*>(before.mv_data), before.mv_size)});
}

void UndoLog::RecordAbsent(MDB_dbi dbi, const MDB_val& key) {
  entries_.push_back(Entry{
      dbi, false, std::string(static_cast<const char*>(key.mv_data), key.mv_size), std::string()});
}

void UndoLog::RollBackTo(MDB_txn* txn, size_t mark) {
  while (entries_.size() > mark) {
    Entry& e = entries_.back();
    MDB_val k{e.key.size(), &e.key[0]};
    if (e.existed) {
      MDB_val v{e.value.size(), &e.value[0]};
      Check(mdb_put(txn, e.dbi, &k, &v, 0));
    } else {
      int rc = mdb_del(txn, e.dbi, &k, nullptr);
      if (rc != MDB_NOTFOUND) Check(rc);
    }
    entries_.pop_back();
  }
}

void KvPut(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key, const MDB_val& value) {
  if (UndoLog* log = UndoLog::Recording()) log->RecordBefore(txn, dbi, key);
  MDB_val k = key, v = value;
  Check(mdb_put(txn, dbi, &k, &v, 0));
}

bool KvAppendNew(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key, const MDB_val& value) {
  UndoLog* log = UndoLog::Recording();
  if (log != nullptr) log->RecordAbsent(dbi, key);
  MDB_val k = key, v = value;
  int rc = mdb_put(txn, dbi, &k, &v, MDB_APPEND);
  if (rc == MDB_SUCCESS) return true;
  if (log != nullptr) log->DropLast();
  if (rc != MDB_KEYEXIST) Check(rc);
  return false;
}

void KvPutKnown(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key, const MDB_val& value,
                const MDB_val& before) {
  if (UndoLog* log = UndoLog::Recording()) log->RecordKnown(dbi, key, before);
  MDB_val k = key, v = value;
  Check(mdb_put(txn, dbi, &k, &v, 0));
}

void KvPutNew(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key, const MDB_val& value) {
  UndoLog* log = UndoLog::Recording();
  if (log == nullptr) {
    KvPut(txn, dbi, key, value);
    return;
  }
  // Noted first: a put that fails part-way is still undone.
  log->RecordAbsent(dbi, key);
  MDB_val k = key, v = value;
  int rc = mdb_put(txn, dbi, &k, &v, MDB_NOOVERWRITE);
  if (rc == MDB_SUCCESS) return;
  if (rc != MDB_KEYEXIST) Check(rc);
  log->DropLast();
  // The key was there (a damaged counter, an entry written twice): keep
  // its old value, as any other write does.
  KvPut(txn, dbi, key, value);
}

void KvCursorPutNew(MDB_cursor* cursor, MDB_dbi dbi, const MDB_val& key, const MDB_val& value) {
  UndoLog* log = UndoLog::Recording();
  if (log != nullptr) log->RecordAbsent(dbi, key);
  MDB_val k = key, v = value;
  int rc = mdb_cursor_put(cursor, &k, &v, MDB_NOOVERWRITE);
  if (rc == MDB_SUCCESS) return;
  if (rc != MDB_KEYEXIST) Check(rc);
  if (log != nullptr) log->DropLast();
  // There after all: written over as KvPutNew does, its old value kept.
  KvPut(mdb_cursor_txn(cursor), dbi, key, value);
}

bool KvDelete(MDB_txn* txn, MDB_dbi dbi, const MDB_val& key) {
  if (UndoLog* log = UndoLog::Recording()) log->RecordBefore(txn, dbi, key);
  MDB_val k = key;
  int rc = mdb_del(txn, dbi, &k, nullptr);
  if (rc == MDB_NOTFOUND) return false;
  Check(rc);
  return true;
}

}  // namespace jx
