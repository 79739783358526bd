// A scratch database on the real storage engine, reached the way the
// library reaches it: the engine library bound by name, files created
// through the file description calls.
#ifndef TESTS_STORAGE_ENGINE_DATABASE_H_
#define TESTS_STORAGE_ENGINE_DATABASE_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
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
  // On POSIX the library is pointed at the engine just built; on Windows it
  // loads JXENGINE.DLL from its own folder, where the build puts it.
  EngineDatabase() {
#ifndef _WIN32
    setenv("JXENGINE_LIBRARY", JXENGINE_PATH, 1);
#endif
    module_ = BindEngine();
    MakeScratchFolder();
    if (module_ != nullptr && !dir_.empty()) {
      auto init = reinterpret_cast<int32_t(JXENGINE_CALL*)(const char*, int32_t)>(
          GetProcAddress(module_, "XZK_nInit"));
      handle_ = init(dir_.c_str(), JX_INIT_CREATE);
    }
  }
  ~EngineDatabase() {
    if (module_ != nullptr) {
      auto close = reinterpret_cast<int16_t(JXENGINE_CALL*)(int32_t)>(
          GetProcAddress(module_, "XZK_Termine"));
      if (handle_ > 0) close(handle_);
      UnbindEngine(module_);
    }
#ifndef _WIN32
    unsetenv("JXENGINE_LIBRARY");
#endif
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  EngineDatabase(const EngineDatabase&) = delete;
  EngineDatabase& operator=(const EngineDatabase&) = delete;

  bool ok() const {
    return module_ != nullptr && handle_ > 0;
  }
  int32_t handle() const {
    return handle_;
  }

  // Creates a file; returns the engine's status (0 = created) and keeps
  // its message.
  int16_t MakeFile(const char* file, const std::vector<ItemSpec>& items) {
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
  const std::string& message() const {
    return message_;
  }

 private:
  // A folder of the system's temporary folder that no other run holds
  // (create_directory answers false for one already there).
  void MakeScratchFolder() {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) return;
    std::random_device entropy;
    std::mt19937_64 draw((static_cast<uint64_t>(entropy()) << 32) ^ entropy());
    for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
      char name[40];
      std::snprintf(name, sizeof name, "zksql-storage-%016llx",
                    static_cast<unsigned long long>(draw()));
      std::filesystem::path candidate = base / name;
      if (std::filesystem::create_directory(candidate, ec)) dir_ = candidate.string();
    }
  }

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
