// A scratch database on the real storage engine, reached the way the
// library reaches it: the engine library bound by name, files created
// through the file description calls.
#ifndef TESTS_STORAGE_ENGINE_DATABASE_H_
#define TESTS_STORAGE_ENGINE_DATABASE_H_

#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

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
  EngineDatabase() {
    setenv("JXENGINE_LIBRARY", JXENGINE_PATH, 1);
    module_ = BindEngine();
    char pattern[] = "/tmp/zksql-storage-XXXXXX";
    if (mkdtemp(pattern) != nullptr) dir_ = pattern;
    if (module_ != nullptr) {
      auto init = reinterpret_cast<int32_t (*)(const char*, int32_t)>(
          GetProcAddress(module_, "XZK_nInit"));
      handle_ = init(dir_.c_str(), JX_INIT_CREATE);
    }
  }
  ~EngineDatabase() {
    if (module_ != nullptr) {
      auto close = reinterpret_cast<int16_t (*)(int32_t)>(GetProcAddress(module_, "XZK_Termine"));
      if (handle_ > 0) close(handle_);
      UnbindEngine(module_);
    }
    unsetenv("JXENGINE_LIBRARY");
    if (!dir_.empty()) {
      nftw(dir_.c_str(),
           [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 8,
           FTW_DEPTH | FTW_PHYS);
    }
  }

  bool ok() const { return module_ != nullptr && handle_ > 0; }
  int32_t handle() const { return handle_; }

  // Creates a file; returns the engine's status (0 = created) and keeps
  // its message.
  int16_t CreateFile(const char* file, const std::vector<ItemSpec>& items) {
    unsigned char fd[JX_FD_SIZE_BYTES] = {};
    strcpy(reinterpret_cast<char*>(fd + JX_FD_TABLE), file);
    memcpy(fd + JX_FD_SEPARATOR, "__", 2);
    int16_t status = Describe(JX_DESCRIBE_BEGIN_FILE, fd);
    for (const ItemSpec& item : items) {
      if (status > 0) return status;
      memset(fd + JX_FD_NAME, 0, 31);
      strcpy(reinterpret_cast<char*>(fd + JX_FD_NAME), item.name);
      fd[JX_FD_TYPE] = static_cast<unsigned char>(item.letter);
      memcpy(fd + JX_FD_SIZE, &item.size, 2);
      memcpy(fd + JX_FD_UNIQUE, &item.key, 2);
      status = Describe(JX_DESCRIBE_ADD_COLUMN, fd);
    }
    if (status > 0) return status;
    return Describe(JX_DESCRIBE_COMPLETE, fd);
  }
  const std::string& message() const { return message_; }

 private:
  int16_t Describe(int16_t command, unsigned char* fd) {
    BoundEngine()->describeFile(handle_, command, fd);
    int16_t status;
    memcpy(&status, fd + JX_FD_STATUS, 2);
    message_ = reinterpret_cast<const char*>(fd + JX_FD_MESSAGE);
    return status;
  }

  HMODULE module_ = nullptr;
  int32_t handle_ = 0;
  std::string dir_;
  std::string message_;
};

}  // namespace zksql

#endif  // TESTS_STORAGE_ENGINE_DATABASE_H_
