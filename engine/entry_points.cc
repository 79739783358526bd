// entry_points.cc - the C entry points of libjxengine.
//
// Each entry point takes the engine's call lock (call_lock.h), checks its
// arguments, and runs the operation inside a catch-all: nothing is thrown
// across the C boundary, and every failure becomes an error code. Record
// calls always finish by writing the error code and the "completed" status
// into the RecordBlock, so the SQL library sees a failure, not silence.
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "block_fields.h"
#include "call_lock.h"
#include "integrity_check.h"
#include "jxengine.h"
#include "key_browser.h"
#include "memo_store.h"
#include "names.h"
#include "record_store.h"
#include "session.h"
#include "zkglobal.h"

using namespace jx;

namespace {

constexpr int kMemoBlockHeader = 64;  // header size of the memo blocks we make

int16_t Code(int code) { return int16_t(code); }

// Runs f() under the call lock, turning exceptions into codes.
template <class F>
int16_t Guarded(F&& f) {
  CallLock::Hold hold;
  try {
    return Code(f());
  } catch (const LmdbError& e) {
    return Code(CodeOfLmdbError(e.rc));
  } catch (const std::bad_alloc&) {
    return JX_ERR_NO_MEMORY;
  } catch (...) {
    return JX_ERR_STORAGE;
  }
}

// A record call: clears the result fields, runs f(), then stores the
// error code (0 for a refused duplicate, which is reported by its flag)
// and the completed status.
template <class F>
int16_t RecordCall(void* block, F&& f) {
  if (!block) return JX_ERR_BAD_ARGUMENT;
  SetI16(block, JX_REC_STATUS, 0);
  SetI16(block, JX_REC_ERROR, 0);
  SetI16(block, JX_REC_DUPLICATE, 0);
  int16_t code = Guarded(f);
  SetI16(block, JX_REC_ERROR, code == JX_ERR_DUPLICATE ? 0 : code);
  if (code == JX_ERR_DUPLICATE) SetI16(block, JX_REC_DUPLICATE, 1);
  SetI16(block, JX_REC_STATUS, JX_CALL_COMPLETED);
  return code;
}

// A file name argument: NULL, empty or too long names no file.
bool FileName(const char* file, std::string* out) {
  size_t length = NameLength(file);
  if (length == 0) return false;
  out->assign(file, length);
  return true;
}

void HandOut(Session& s, void* block, int32_t n, const MDB_val& image, uint32_t fileId) {
  const unsigned char* bytes = static_cast<const unsigned char*>(image.mv_data);
  s.recordCopy.assign(bytes, bytes + image.mv_size);
  SetPtr(block, JX_REC_DATA, s.recordCopy.data());
  SetI16(block, JX_REC_LENGTH, int16_t(image.mv_size));
  SetI32(block, JX_REC_NUMBER, n);
  SetI16(block, JX_REC_VALID, 1);
  s.lastRead[fileId] = n;
}

// Reads for XZK_LIREENREG the file `name` (`length` bytes, a valid name).
int ReadRecord(Session& s, const char* name, size_t length, int32_t n, void* block) {
  char mode = static_cast<char*>(block)[JX_REC_MODE];
  return s.Read([&](MDB_txn* txn) -> int {
    const FileDef* file = s.FindFile(txn, name, length);
    if (!file) return JX_ERR_UNKNOWN_FILE;
    RecordStore store(txn, s.tables(), *file);
    MDB_val image;
    if (mode == JX_MODE_BY_NUMBER) {
      if (n < 1) return JX_ERR_BAD_ARGUMENT;
      if (store.Get(n, &image, &s.RecordCursor(txn))) {
        HandOut(s, block, n, image, file->id);
      } else if (n > store.Last() || !store.AnyFrom(n)) {
        // Past the last record stored: a walk by number ends here, however
        // large a damaged counter says the file is.
        SetI16(block, JX_REC_END, 1);
      }
      return JX_OK;
    }
    if (mode != JX_MODE_FIRST_BY_KEY && mode != JX_MODE_NEXT_BY_KEY) return JX_ERR_BAD_ARGUMENT;
    std::string keyName = TrimName(GetText(block, JX_REC_KEY_NAME, JX_NAME_FIELD_SIZE));
    const Item* key = keyName.size() <= kMaxNameLength ? file->FindItem(keyName) : nullptr;
    if (!key) return JX_ERR_UNKNOWN_ITEM;
    if (key->keyKind == kNotKey) return JX_ERR_NOT_A_KEY;
    const KeyRange* range = nullptr;
    auto f = s.filters.find(file->id);
    if (f != s.filters.end() && f->second.column == key->name) range = &f->second;
    BrowseState& state = s.browses[file->id];
    bool first = mode == JX_MODE_FIRST_BY_KEY;
    for (;;) {
      int32_t found = NextByKey(s.IndexCursor(txn), *key, range, first, &state);
      first = false;
      if (found == 0) {
        SetI16(block, JX_REC_END, 1);
        return JX_OK;
      }
      // An entry without its record cannot happen in a consistent
      // database; skipping it keeps a damaged one browsable.
      if (store.Get(found, &image, &s.RecordCursor(txn))) {
        HandOut(s, block, found, image, file->id);
        return JX_OK;
      }
    }
  });
}

}  // namespace

extern "C" {

JXENGINE_API int32_t JXENGINE_CALL XZK_nInit(const char* directory, int32_t flags) {
  CallLock::Hold hold;
  try {
    if (!directory) return -JX_ERR_BAD_ARGUMENT;
    return Handles::Open(directory, (flags & JX_INIT_CREATE) != 0,
                         (flags & JX_INIT_READ_ONLY) != 0);
  } catch (...) {
    return -JX_ERR_NOT_OPEN;
  }
}

JXENGINE_API int16_t JXENGINE_CALL XZK_Termine(int32_t handle) {
  return Guarded([&] { return Handles::Close(handle); });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_BeginTransaction(int32_t handle) {
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    return s ? s->Begin() : JX_ERR_BAD_HANDLE;
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_CommitTransaction(int32_t handle) {
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    return s ? s->Commit() : JX_ERR_BAD_HANDLE;
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_RollbackTransaction(int32_t handle) {
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    return s ? s->Rollback() : JX_ERR_BAD_HANDLE;
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_GetFileName(int32_t handle, int32_t index,
                                                   char name[JX_NAME_FIELD_SIZE]) {
  if (!name || index < 0) return JX_ERR_BAD_ARGUMENT;
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    return s->Read([&](MDB_txn* txn) -> int {
      int32_t i = 0;
      for (const auto& entry : s->Dict(txn).Files()) {
        if (i++ == index) {
          SetText(name, 0, JX_NAME_FIELD_SIZE, entry.first);
          return JX_OK;
        }
      }
      return JX_ERR_UNKNOWN_FILE;
    });
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_GETINFOSJXD(int32_t handle, int16_t mode, void* info) {
  if (!info) return JX_ERR_BAD_ARGUMENT;
  if (mode == JX_INFO_DESCRIBE_FILE) {
    SetI16(info, JX_INFO_ITEM_COUNT, 0);
  } else if (mode == JX_INFO_DESCRIBE_ITEM || mode == JX_INFO_DESCRIBE_COMPONENT) {
    std::memset(static_cast<char*>(info) + JX_INFO_ITEM_SIZE, 0,
                JX_INFO_BLOCK_SIZE - JX_INFO_ITEM_SIZE);
  } else {
    return JX_ERR_BAD_ARGUMENT;
  }
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    std::string name = TrimName(GetText(info, JX_INFO_FILE_NAME, JX_NAME_FIELD_SIZE));
    if (!ValidName(name)) return JX_ERR_UNKNOWN_FILE;
    return s->Read([&](MDB_txn* txn) -> int {
      const FileDef* file = s->FindFile(txn, name.data(), name.size());
      if (!file) return JX_ERR_UNKNOWN_FILE;
      if (mode == JX_INFO_DESCRIBE_FILE) {
        SetI16(info, JX_INFO_ITEM_COUNT, int16_t(file->items.size()));
        SetI16(info, JX_INFO_RECORD_SIZE, int16_t(file->recordSize));
        return JX_OK;
      }
      int index = GetI16(info, JX_INFO_ITEM_INDEX);
      if (index < 0 || size_t(index) >= file->items.size()) return JX_ERR_UNKNOWN_ITEM;
      if (mode == JX_INFO_DESCRIBE_COMPONENT) {
        const Item& key = file->items[size_t(index)];
        int component = GetI16(info, JX_INFO_COMPONENT);
        if (!key.composite || component < 0 || size_t(component) >= key.components.size())
          return JX_ERR_UNKNOWN_ITEM;
        index = key.components[size_t(component)];
      }
      const Item& item = file->items[size_t(index)];
      SetI16(info, JX_INFO_ITEM_SIZE, int16_t(item.size));
      SetI16(info, JX_INFO_ITEM_TYPE, int16_t(item.type));
      SetI16(info, JX_INFO_ITEM_DIMENSION, int16_t(item.dimension));
      static_cast<unsigned char*>(info)[JX_INFO_KEY_KIND] = item.keyKind;
      SetI16(info, JX_INFO_COMPOSITE, item.composite ? 1 : 0);
      SetText(info, JX_INFO_ITEM_NAME, 65, item.name);
      return JX_OK;
    });
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_LIREENREG(int32_t handle, const char* file, int32_t record,
                                                 void* block) {
  return RecordCall(block, [&]() -> int {
    SetI16(block, JX_REC_END, 0);
    SetI16(block, JX_REC_VALID, 0);
    SetI32(block, JX_REC_NUMBER, 0);
    Session* s = Handles::Find(handle);
    size_t length = NameLength(file);
    int code = !s            ? JX_ERR_BAD_HANDLE
               : length == 0 ? (file ? JX_ERR_UNKNOWN_FILE : JX_ERR_BAD_ARGUMENT)
                             : ReadRecord(*s, file, length, record, block);
    // A failed read also says "no record", so a caller looping until the
    // end flag stops.
    if (code != JX_OK) SetI16(block, JX_REC_END, 1);
    return code;
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_ECRIREENREG(int32_t handle, const char* file,
                                                   int32_t record, void* block) {
  return RecordCall(block, [&]() -> int {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    std::string name;
    if (!FileName(file, &name)) return file ? JX_ERR_UNKNOWN_FILE : JX_ERR_BAD_ARGUMENT;
    if (record < JX_WRITE_DELETE_LAST_READ) return JX_ERR_BAD_ARGUMENT;
    // What the operation works on, read by it through one pointer: the
    // operation runs within Write (again after a map growth), while the
    // caller's image stays where it is, so nothing is copied for it.
    struct WriteArgs {
      Session* session;
      const std::string* name;
      int32_t record;
      const unsigned char* data = nullptr;
      size_t length = 0;
      // The record a delete targets is resolved on the first run and kept,
      // so that running the operation again after a map growth deletes the
      // same one.
      int32_t number;
    } w{s, &name, record, nullptr, 0, record};
    if (record != JX_WRITE_DELETE_LAST_READ) {
      w.data = static_cast<const unsigned char*>(GetPtr(block, JX_REC_DATA));
      int16_t length = GetI16(block, JX_REC_LENGTH);
      if (!w.data) return JX_ERR_BAD_ARGUMENT;
      if (length <= 0) return JX_ERR_BAD_LENGTH;
      w.length = size_t(length);
    }
    int code = s->Write([op = &w](MDB_txn* txn) -> int {
      Session& session = *op->session;
      const FileDef* f = session.FindFile(txn, op->name->data(), op->name->size());
      if (!f) return JX_ERR_UNKNOWN_FILE;
      RecordStore store(txn, session.tables(), *f);
      if (op->record == JX_WRITE_DELETE_LAST_READ) {
        if (op->number == JX_WRITE_DELETE_LAST_READ) {
          auto last = session.lastRead.find(f->id);
          if (last == session.lastRead.end()) return JX_ERR_NOT_FOUND;
          op->number = last->second;
        }
        int result = store.Remove(op->number);
        if (result == JX_OK) session.lastRead.erase(f->id);
        return result;
      }
      if (op->length != f->recordSize) return JX_ERR_BAD_LENGTH;
      int result = op->record == JX_WRITE_APPEND
                       ? store.Append(op->data, &op->number, &session.appendedLast)
                       : store.Rewrite(op->record, op->data);
      if (result == JX_OK) {
        session.lastWrittenFile = f->id;
        session.lastWrittenRecord = op->number;
      }
      return result;
    });
    if (code == JX_OK && record == JX_WRITE_APPEND) SetI32(block, JX_REC_NUMBER, w.number);
    return code;
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_ECRIREMEMO(int32_t handle, int32_t length, void* block) {
  return RecordCall(block, [&]() -> int {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    // A binary memo comes with its block header: a little more than the
    // largest memo is looked at, the data itself is bounded below.
    if (length > JX_MEMO_MAX_BYTES + int32_t(0x10000)) return JX_ERR_BAD_LENGTH;
    int ordinal = GetI16(block, JX_REC_MEMO_NUMBER);
    const unsigned char* data = static_cast<const unsigned char*>(GetPtr(block, JX_REC_MEMO_DATA));
    std::vector<unsigned char> bytes;
    if (data && length > 0) bytes.assign(data, data + length);
    uint32_t fileId = s->lastWrittenFile;
    int32_t record = s->lastWrittenRecord;
    if (fileId == 0 || record < 1) return JX_ERR_NOT_FOUND;
    Session& session = *s;
    return s->Write([&session, ordinal, bytes, fileId, record](MDB_txn* txn) -> int {
      const FileDef* f = session.Dict(txn).FindById(fileId);
      if (!f) return JX_ERR_NOT_FOUND;
      const Item* item = f->MemoItem(ordinal);
      if (!item) return JX_ERR_NO_MEMO;
      RecordStore store(txn, session.tables(), *f);
      MDB_val stored;
      if (!store.Get(record, &stored) || stored.mv_size != f->recordSize) return JX_ERR_NOT_FOUND;
      std::string image(static_cast<const char*>(stored.mv_data), stored.mv_size);
      unsigned char* raw = reinterpret_cast<unsigned char*>(&image[0]);
      MemoStore memos(txn, session.tables());
      uint32_t reference = MemoReference(raw, item->offset);
      const unsigned char* payload = bytes.data();
      size_t size = bytes.size();
      // A binary memo arrives as a whole host memo block: keep its data.
      if (item->type == kBinaryMemo && size >= size_t(JX_MEMO_DATA_LENGTH + 4)) {
        int header = GetI16(payload, JX_MEMO_HEADER_SIZE);
        int32_t dataLength = GetI32(payload, JX_MEMO_DATA_LENGTH);
        if (header >= JX_MEMO_DATA_LENGTH + 4 && size_t(header) <= size && dataLength >= 0) {
          size_t available = size - size_t(header);
          payload += header;
          size = size_t(dataLength) < available ? size_t(dataLength) : available;
        }
      }
      if (size > size_t(JX_MEMO_MAX_BYTES)) return JX_ERR_BAD_LENGTH;
      if (size == 0) {
        if (reference != 0) memos.Remove(reference);
        reference = 0;
      } else {
        reference = memos.Put(reference, payload, size);
      }
      SetMemoReference(raw, item->offset, reference);
      store.PutImage(record, image, false);
      return JX_OK;
    });
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_GETMEMO(int32_t handle, const char* file, int32_t reference,
                                               int16_t mode, void** memo) {
  (void)file;  // references are unique in the database: the file is not needed
  if (!memo) return JX_ERR_BAD_ARGUMENT;
  *memo = nullptr;
  if (mode != JX_MEMO_TEXT && mode != JX_MEMO_BLOCK) return JX_ERR_BAD_ARGUMENT;
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    if (reference <= 0) return JX_ERR_NO_MEMO;
    return s->Read([&](MDB_txn* txn) -> int {
      MDB_val data;
      if (!MemoStore(txn, s->tables()).Get(uint32_t(reference), &data)) return JX_ERR_NO_MEMO;
      const unsigned char* bytes = static_cast<const unsigned char*>(data.mv_data);
      if (mode == JX_MEMO_TEXT) {
        // [int16 length][text][0]; the length field caps it at 32767.
        size_t n = data.mv_size < 32767 ? data.mv_size : 32767;
        s->memoCopy.assign(2 + n + 1, 0);
        SetI16(s->memoCopy.data(), 0, int16_t(n));
        std::memcpy(s->memoCopy.data() + 2, bytes, n);
        *memo = s->memoCopy.data();
        return JX_OK;
      }
      HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kMemoBlockHeader + data.mv_size);
      if (!block) return JX_ERR_NO_MEMORY;
      unsigned char* p = static_cast<unsigned char*>(GlobalLock(block));
      if (!p) {
        GlobalFree(block);
        return JX_ERR_NO_MEMORY;
      }
      SetI16(p, JX_MEMO_HEADER_SIZE, kMemoBlockHeader);
      SetI32(p, JX_MEMO_DATA_LENGTH, int32_t(data.mv_size));
      std::memcpy(p + kMemoBlockHeader, bytes, data.mv_size);
      GlobalUnlock(block);
      *memo = block;
      return JX_OK;
    });
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_FILTRE(int32_t handle, const char* file, const char* column,
                                              const void* low, const void* high, int16_t size,
                                              uint8_t typeCode) {
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    std::string name;
    if (!FileName(file, &name)) return file ? JX_ERR_UNKNOWN_FILE : JX_ERR_BAD_ARGUMENT;
    std::string columnName;
    if (!FileName(column, &columnName)) return column ? JX_ERR_UNKNOWN_ITEM : JX_ERR_BAD_ARGUMENT;
    return s->Read([&](MDB_txn* txn) -> int {
      const FileDef* f = s->FindFile(txn, name.data(), name.size());
      if (!f) return JX_ERR_UNKNOWN_FILE;
      // Whatever happens next, the old range no longer applies: a refused
      // filter leaves the browse unfiltered.
      s->filters.erase(f->id);
      const Item* key = f->FindItem(columnName);
      if (!key) return JX_ERR_UNKNOWN_ITEM;
      if (key->keyKind == kNotKey) return JX_ERR_NOT_A_KEY;
      KeyRange range;
      if (!KeyRange::Make(*key, low, high, size, typeCode, &range)) return JX_ERR_BAD_ARGUMENT;
      s->filters[f->id] = std::move(range);
      return JX_OK;
    });
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_DESACTIVEFILTRE(int32_t handle, const char* file) {
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    std::string name;
    if (!FileName(file, &name)) return file ? JX_ERR_UNKNOWN_FILE : JX_ERR_BAD_ARGUMENT;
    return s->Read([&](MDB_txn* txn) -> int {
      const FileDef* f = s->FindFile(txn, name.data(), name.size());
      if (!f) return JX_ERR_UNKNOWN_FILE;
      s->filters.erase(f->id);
      return JX_OK;
    });
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_DECRITFICHIER(int32_t handle, int16_t command,
                                                     void* description) {
  if (!description) return JX_ERR_BAD_ARGUMENT;
  unsigned char* fd = static_cast<unsigned char*>(description);
  int16_t code = Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    return s->builder.Command(*s, command, fd);
  });
  // Failures outside the builder (bad handle, storage) still need a status.
  if (code != JX_OK && GetI16(fd, JX_FD_STATUS) <= 0) {
    SetI16(fd, JX_FD_STATUS, 1);
    SetText(fd, JX_FD_MESSAGE, JX_FD_MESSAGE_SIZE,
            code == JX_ERR_BAD_HANDLE ? "Base de donn\xE9" "es non ouverte"
                                      : "Erreur du moteur de stockage");
  }
  return code;
}

JXENGINE_API int32_t JXENGINE_CALL XZK_CheckDatabase(int32_t handle, char* report, int32_t size) {
  std::string text;
  int problems = 0;
  int16_t code = Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    return s->Read([&](MDB_txn* txn) -> int {
      problems = CheckDatabase(txn, s->tables(), &text);
      return JX_OK;
    });
  });
  if (report && size > 0) SetText(report, 0, size_t(size), text);
  return code != JX_OK ? -int32_t(code) : int32_t(problems);
}

JXENGINE_API int16_t JXENGINE_CALL XZK_BeginStatement(int32_t handle, int32_t mode) {
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    if (mode != JX_STATEMENT_READ && mode != JX_STATEMENT_WRITE) return JX_ERR_BAD_ARGUMENT;
    return s->BeginStatement(mode == JX_STATEMENT_WRITE);
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_EndStatement(int32_t handle, int32_t keep) {
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    return s ? s->EndStatement(keep == JX_STATEMENT_KEEP) : JX_ERR_BAD_HANDLE;
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_SetBusyTimeout(int32_t handle, int32_t milliseconds) {
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    if (milliseconds < 0) return JX_ERR_BAD_ARGUMENT;
    s->SetBusyTimeout(milliseconds);
    return JX_OK;
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_ReadRun(int32_t handle, const char* file, int32_t first,
                                               int32_t maxRecords, void* buffer, int32_t size,
                                               int32_t* count, int32_t* recordSize,
                                               int16_t* end) {
  if (count) *count = 0;
  if (end) *end = 0;
  if (recordSize) *recordSize = 0;
  if (!buffer || !count || !recordSize || !end || first < 1 || maxRecords < 1 || size < 1) {
    return JX_ERR_BAD_ARGUMENT;
  }
  return Guarded([&]() -> int {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    size_t length = NameLength(file);
    if (length == 0) return file ? JX_ERR_UNKNOWN_FILE : JX_ERR_BAD_ARGUMENT;
    int code = s->Read([&](MDB_txn* txn) -> int {
      const FileDef* f = s->FindFile(txn, file, length);
      if (!f) return JX_ERR_UNKNOWN_FILE;
      *recordSize = int32_t(f->recordSize);
      RecordStore store(txn, s->tables(), *f);
      return store.ReadRun(first, maxRecords, static_cast<unsigned char*>(buffer), size_t(size),
                           count, end, &s->RecordCursor(txn));
    });
    if (code != JX_OK) {
      *count = 0;
      *end = 0;
    }
    return code;
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_GetDictionaryStamp(int32_t handle, uint64_t* stamp) {
  if (!stamp) return JX_ERR_BAD_ARGUMENT;
  *stamp = 0;
  return Guarded([&] {
    Session* s = Handles::Find(handle);
    if (!s) return JX_ERR_BAD_HANDLE;
    return s->Read([&](MDB_txn* txn) -> int {
      *stamp = s->DictStamp(txn);
      return JX_OK;
    });
  });
}

JXENGINE_API int16_t JXENGINE_CALL XZK_GetLastError(int32_t handle, char* text, int32_t size) {
  std::string why;
  int16_t code = Guarded([&] {
    if (handle == 0) return Handles::LastOpenError(&why);
    Session* s = Handles::Find(handle);
    return s ? s->LastError(&why) : JX_ERR_BAD_HANDLE;
  });
  if (text && size > 0) SetText(text, 0, size_t(size), why);
  return code;
}

// The entry points the SQL library binds but never calls.
#define JX_UNSUPPORTED(name) \
  JXENGINE_API int16_t JXENGINE_CALL name(int32_t) { return JX_NOT_SUPPORTED; }
JX_UNSUPPORTED(XZK_nAppel)
JX_UNSUPPORTED(XZK_Partage)
JX_UNSUPPORTED(XZK_nLiaison)
JX_UNSUPPORTED(XZK_nRubrique)
JX_UNSUPPORTED(XZK_nRubriqueSimple)
JX_UNSUPPORTED(XZK_SetMode)
JX_UNSUPPORTED(XZK_bSetEnDehors)
JX_UNSUPPORTED(XZK_Buffer)
JX_UNSUPPORTED(XZK_dwGetInfo)
JX_UNSUPPORTED(XZK_bSetInfo)
JX_UNSUPPORTED(XZK_nCle)
JX_UNSUPPORTED(XZK_bInitInstance)
JX_UNSUPPORTED(XZK_FinInstance)
JX_UNSUPPORTED(XZK_bRazRubriques)
JX_UNSUPPORTED(XZK_pSauveMemo)
JX_UNSUPPORTED(XZK_RestaureMemo)
JX_UNSUPPORTED(XZK_MMOLitDiffere)
JX_UNSUPPORTED(XZK_bGetMemoData)
JX_UNSUPPORTED(XZK_bSetMemoData)
JX_UNSUPPORTED(XZK_bSetIDReplica)
JX_UNSUPPORTED(XZK_UnstorePosition)
JX_UNSUPPORTED(XZK_bStorePosition)
JX_UNSUPPORTED(XZK_bRestorePosition)

}  // extern "C"
