// A host of the library as the end-to-end C++ tests drive it: an instance
// bound to a given engine library, a scratch database of its own in a
// temporary folder (removed afterwards), statements run through the
// exports with their rows read back as text, and host memo values.
// Texts stay in Windows-1252, as the library hands them out.
#ifndef ZKSQL_TESTS_E2E_HOST_SESSION_H_
#define ZKSQL_TESTS_E2E_HOST_SESSION_H_

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../scratch_folder.h"
#include "host_memos.h"
#include "jxengine.h"
#include "zkglobal.h"
#include "zksql.h"

namespace zksql_e2e {

// What one statement answered.
struct Outcome {
  int16_t status = 0;
  int16_t compiled = 0;
  int32_t rowCount = 0;
  uint16_t columnCount = 0;
  std::string columnText;
  std::vector<std::string> rows;  // each row as ZKSQLValLineN writes it, "|" between values
  std::string error;
  std::string sqlState;
};

class HostSession {
 public:
  // engineLibrary: the engine the library binds; the session opens its
  // database through the same module, so that the handle is one the
  // library's engine knows. On POSIX the library is pointed at it through
  // $JXENGINE_LIBRARY; on Windows the library loads JXENGINE.DLL from its
  // own folder, so engineLibrary must be that DLL (loading it again by its
  // path gives the module already loaded).
  explicit HostSession(const char* engineLibrary) {
#ifdef _WIN32
    module_ = LoadLibraryA(engineLibrary);
#else
    setenv("JXENGINE_LIBRARY", engineLibrary, 1);
    module_ = dlopen(engineLibrary, RTLD_NOW | RTLD_LOCAL);
#endif
    if (module_ == nullptr) return;
    auto init =
        reinterpret_cast<int32_t(JXENGINE_CALL*)(const char*, int32_t)>(Symbol("XZK_nInit"));
    terminate_ = reinterpret_cast<int16_t(JXENGINE_CALL*)(int32_t)>(Symbol("XZK_Termine"));
    if (init == nullptr || terminate_ == nullptr ||
        (dir_ = zksql_testing::MakeScratchFolder("zksql-host")).empty())
      return;
    handle_ = init(dir_.c_str(), 1 /* create */);
    if (JX4InitInstance(&instance_, 0) != 1) instance_ = nullptr;
  }
  ~HostSession() {
    if (instance_ != nullptr) JXSQLFinInstance(instance_);
    if (handle_ > 0) terminate_(handle_);
#ifdef _WIN32
    if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
#else
    if (module_ != nullptr) dlclose(module_);
#endif
    zksql_testing::RemoveScratchFolder(dir_);
#ifndef _WIN32
    unsetenv("JXENGINE_LIBRARY");
#endif
  }
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  bool ok() const {
    return instance_ != nullptr && handle_ > 0;
  }

  // The address of an entry point of the engine module, or null.
  void* Symbol(const char* name) const {
    if (module_ == nullptr) return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
#else
    return dlsym(module_, name);
#endif
  }

  // One host transaction of the engine around many statements: each
  // write outside one is a durable (synced) write of its own, too slow
  // for tests that write thousands of records.
  bool Begin() const {
    return Call("XZK_BeginTransaction") == JX_OK;
  }
  bool Commit() const {
    return Call("XZK_CommitTransaction") == JX_OK;
  }

  // One item of a file made through the engine's file description: its
  // name, the engine's type letter (M text memo, L long integer, ...) and
  // its size (0 for the type's own).
  struct Item {
    const char* name;
    char letter;
    int16_t size;
  };

  // Makes a file directly through the engine, for item types the SQL
  // dialect cannot declare (memos). Returns false when the engine refused.
  bool MakeFile(const char* file, const std::vector<Item>& items) const {
    auto describe = reinterpret_cast<XZK_DECRITFICHIER_FN>(Symbol("XZK_DECRITFICHIER"));
    if (describe == nullptr) return false;
    unsigned char fd[JX_FD_SIZE_BYTES] = {};
    auto call = [&](int16_t command) {
      describe(handle_, command, fd);
      int16_t status;
      memcpy(&status, fd + JX_FD_STATUS, 2);
      return status <= 0;
    };
    strncpy(reinterpret_cast<char*>(fd + JX_FD_TABLE), file, JX_NAME_MAX_LENGTH);
    memcpy(fd + JX_FD_SEPARATOR, "__", 2);
    if (!call(JX_DESCRIBE_BEGIN_FILE)) return false;
    for (const Item& item : items) {
      memset(fd + JX_FD_NAME, 0, JX_NAME_FIELD_SIZE);
      strncpy(reinterpret_cast<char*>(fd + JX_FD_NAME), item.name, JX_NAME_MAX_LENGTH);
      fd[JX_FD_TYPE] = static_cast<unsigned char>(item.letter);
      memcpy(fd + JX_FD_SIZE, &item.size, 2);
      int16_t key = 0;
      memcpy(fd + JX_FD_UNIQUE, &key, 2);
      if (!call(JX_DESCRIBE_ADD_COLUMN)) return false;
    }
    return call(JX_DESCRIBE_COMPLETE);
  }

  // Runs one statement and reads every row it gives.
  Outcome Run(const std::string& sql, const ZKSQLMemoTable* memos = nullptr) const {
    Outcome o;
    std::string text = sql;
    text.resize(text.size() + 16, '\0');
    ZKSQLResultInfo info;
    memset(&info, 0, sizeof info);
    void* request = nullptr;
    o.status = ZKSQLExecReq(&request, &text[0], &info, handle_, memos);
    o.compiled = info.compiled;
    o.rowCount = info.rowCount;
    o.columnCount = info.columnCount;
    if (request == nullptr) return o;
    if (info.columnText != nullptr) o.columnText = info.columnText;
    char message[256] = "";
    char state[6] = "";
    ZKSQLErreur(request, message, state);
    o.error = message;
    o.sqlState = state;
    std::vector<char> line(1 << 16);
    while (ZKSQLFetchNext(request) == 0) {
      if (ZKSQLValLineN(request, "|", line.data(), static_cast<int32_t>(line.size())) != 0) break;
      o.rows.push_back(line.data());
    }
    ZKSQLFinRequete(request);
    return o;
  }

 private:
  int16_t Call(const char* entry) const {
    auto f = reinterpret_cast<int16_t(JXENGINE_CALL*)(int32_t)>(Symbol(entry));
    return f == nullptr ? -1 : f(handle_);
  }

  void* module_ = nullptr;
  int16_t(JXENGINE_CALL* terminate_)(int32_t) = nullptr;
  std::string dir_;
  int32_t handle_ = 0;
  void* instance_ = nullptr;
};

}  // namespace zksql_e2e

#endif  // ZKSQL_TESTS_E2E_HOST_SESSION_H_
