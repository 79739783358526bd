// A scratch database on the real storage engine, reached the way the
// library reaches it: the engine library bound by name, files created
// through the file description calls.
#ifndef TESTS_STORAGE_ENGINE_DATABASE_H_
#define TESTS_STORAGE_ENGINE_DATABASE_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "../scratch_folder.h"
#include "storage/engine.h"

namespace zksql {

struct ItemSpec {
  const char* name;
  char letter;
  int16_t size;
  int16_t key = 0;  // 1 unique, 2 duplicates
};

class EngineDatabase {
 public:
  // On POSIX the library is pointed at the engine just built; on Windows it
  // loads JXENGINE.DLL from its own folder, where the build puts it.
  EngineDatabase() {
#ifndef _WIN32
    setenv("JXENGINE_LIBRARY", JXENGINE_PATH, 1);
#endif
    module_ = BindEngine();
    dir_ = zksql_testing::MakeScratchFolder("zksql-storage");
    if (module_ != nullptr && !dir_.empty()) {
      auto init = reinterpret_cast<int32_t(JXENGINE_CALL*)(const char*, int32_t)>(
          reinterpret_cast<void*>(GetProcAddress(module_, "XZK_nInit")));
      handle_ = init(dir_.c_str(), JX_INIT_CREATE);
    }
  }
  ~EngineDatabase() {
    if (module_ != nullptr) {
      auto close = reinterpret_cast<int16_t(JXENGINE_CALL*)(int32_t)>(
          reinterpret_cast<void*>(GetProcAddress(module_, "XZK_Termine")));
      if (second_ > 0) close(second_);
      if (handle_ > 0) close(handle_);
      UnbindEngine(module_);
    }
#ifndef _WIN32
    unsetenv("JXENGINE_LIBRARY");
#endif
    zksql_testing::RemoveScratchFolder(dir_);
  }
  EngineDatabase(const EngineDatabase&) = delete;
  EngineDatabase& operator=(const EngineDatabase&) = delete;

  bool ok() const {
    return module_ != nullptr && handle_ > 0;
  }
  int32_t handle() const {
    return handle_;
  }
  // A second handle on the same database, as another connection would
  // hold (opened on first use; 0 when it cannot be).
  int32_t second() {
    if (second_ == 0 && ok()) {
      auto init = reinterpret_cast<int32_t(JXENGINE_CALL*)(const char*, int32_t)>(
          reinterpret_cast<void*>(GetProcAddress(module_, "XZK_nInit")));
      second_ = init(dir_.c_str(), 0);
      if (second_ < 0) second_ = 0;
    }
    return second_;
  }
  // An entry point of the bound engine that the library itself never
  // calls (host transactions and the like).
  template <class Fn>
  Fn EntryPoint(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  // Creates a file (through `through`, this database's handle by
  // default); returns the engine's status (0 = created) and keeps its
  // message.
  int16_t MakeFile(const char* file, const std::vector<ItemSpec>& items, int32_t through = 0) {
    through_ = through != 0 ? through : handle_;
    unsigned char fd[JX_FD_SIZE_BYTES] = {};
    strcpy(reinterpret_cast<char*>(fd + JX_FD_TABLE), file);
    memcpy(fd + JX_FD_SEPARATOR, "__", 2);
    int16_t status = Describe(JX_DESCRIBE_BEGIN_FILE, fd);
    for (const ItemSpec& item : items) {
      if (status > 0) return status;
      memset(fd + JX_FD_NAME, 0, JX_NAME_FIELD_SIZE);
      strcpy(reinterpret_cast<char*>(fd + JX_FD_NAME), item.name);
      fd[JX_FD_TYPE] = static_cast<unsigned char>(item.letter);
      memcpy(fd + JX_FD_SIZE, &item.size, 2);
      memcpy(fd + JX_FD_UNIQUE, &item.key, 2);
      status = Describe(JX_DESCRIBE_ADD_COLUMN, fd);
    }
    if (status > 0) return status;
    return Describe(JX_DESCRIBE_COMPLETE, fd);
  }
  const std::string& message() const {
    return message_;
  }

 private:
  int16_t Describe(int16_t command, unsigned char* fd) {
    BoundEngine()->describeFile(through_, command, fd);
    int16_t status;
    memcpy(&status, fd + JX_FD_STATUS, 2);
    message_ = reinterpret_cast<const char*>(fd + JX_FD_MESSAGE);
    return status;
  }

  HMODULE module_ = nullptr;
  int32_t handle_ = 0;
  int32_t second_ = 0;
  int32_t through_ = 0;
  std::string dir_;
  std::string message_;
};

}  // namespace zksql

#endif  // TESTS_STORAGE_ENGINE_DATABASE_H_
