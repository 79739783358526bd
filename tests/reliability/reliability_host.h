// A host for the reliability tests: a database folder that outlives the
// handles opened on it (so that a test can close, reopen and look again),
// an instance of the library bound to the real engine, and statements run
// through the exports with their rows read back as text.
#ifndef ZKSQL_TESTS_RELIABILITY_RELIABILITY_HOST_H_
#define ZKSQL_TESTS_RELIABILITY_RELIABILITY_HOST_H_

#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../scratch_folder.h"
#include "jxengine.h"
#include "zksql.h"

namespace zksql_reliability {

// What one statement answered.
struct Outcome {
  int16_t status = 0;
  bool requestHandedBack = false;
  int32_t rowCount = 0;
  std::vector<std::string> rows;  // "|" between values
  std::string error;
  std::string sqlState;
};

// A temporary folder removed with its content at the end.
class ScratchDir {
 public:
  ScratchDir() : path_(zksql_testing::MakeScratchFolder("zksql-rel")) {}
  ~ScratchDir() { zksql_testing::RemoveScratchFolder(path_); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Runs one statement on `handle` (with the host memo values `memos`, when
// given) and reads every row it gives.
inline Outcome Run(int32_t handle, const std::string& sql,
                   const ZKSQLMemoTable* memos = nullptr) {
  Outcome o;
  std::string text = sql;
  text.push_back('\0');
  ZKSQLResultInfo info;
  memset(&info, 0, sizeof info);
  void* request = nullptr;
  o.status = ZKSQLExecReq(&request, &text[0], &info, handle, memos);
  o.rowCount = info.rowCount;
  if (request == nullptr) return o;
  o.requestHandedBack = true;
  char message[256] = "";
  char state[6] = "";
  ZKSQLErreur(request, message, state);
  o.error = message;
  o.sqlState = state;
  std::vector<char> line(1 << 17);
  while (ZKSQLFetchNext(request) == 0) {
    if (ZKSQLValLineN(request, "|", line.data(), static_cast<int32_t>(line.size())) != 0) break;
    o.rows.push_back(line.data());
  }
  ZKSQLFinRequete(request);
  return o;
}

// An instance of the library bound to the engine this binary links, and a
// handle on one database folder, reopened at will.
class Host {
 public:
  explicit Host(const std::string& dir) : dir_(dir) {
    setenv("JXENGINE_LIBRARY", JXENGINE_PATH, 1);
    if (JX4InitInstance(&instance_, 0) != 1) instance_ = nullptr;
    Open();
  }
  ~Host() {
    Close();
    if (instance_ != nullptr) JXSQLFinInstance(instance_);
  }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  bool ok() const { return instance_ != nullptr && handle_ > 0; }
  int32_t handle() const { return handle_; }

  void Open() { handle_ = XZK_nInit(dir_.c_str(), JX_INIT_CREATE); }
  void Close() {
    if (handle_ > 0) XZK_Termine(handle_);
    handle_ = 0;
  }
  // Closes the last handle (the engine then closes its environment) and
  // opens the folder again: what is read afterwards comes from the disk.
  void Reopen() {
    Close();
    Open();
  }

  Outcome Run(const std::string& sql, const ZKSQLMemoTable* memos = nullptr) const {
    return zksql_reliability::Run(handle_, sql, memos);
  }

  // Makes a file through the engine, as a host does for the columns SQL
  // cannot declare (memos): one (name, type letter, size, key kind) per
  // column. True when the engine accepted it.
  struct Column {
    const char* name;
    char letter;
    int16_t size;
    int16_t key;  // 0 none, 1 unique, 2 duplicates
  };
  bool MakeFile(const char* file, const std::vector<Column>& columns) const {
    unsigned char fd[JX_FD_SIZE_BYTES] = {};
    auto call = [&](int16_t command) {
      XZK_DECRITFICHIER(handle_, command, fd);
      int16_t status;
      memcpy(&status, fd + JX_FD_STATUS, 2);
      return status <= 0;
    };
    strncpy(reinterpret_cast<char*>(fd + JX_FD_TABLE), file, JX_NAME_MAX_LENGTH);
    memcpy(fd + JX_FD_SEPARATOR, "__", 2);
    if (!call(JX_DESCRIBE_BEGIN_FILE)) return false;
    for (const Column& column : columns) {
      memset(fd + JX_FD_NAME, 0, JX_NAME_FIELD_SIZE);
      strncpy(reinterpret_cast<char*>(fd + JX_FD_NAME), column.name, JX_NAME_MAX_LENGTH);
      fd[JX_FD_TYPE] = static_cast<unsigned char>(column.letter);
      memcpy(fd + JX_FD_SIZE, &column.size, 2);
      memcpy(fd + JX_FD_UNIQUE, &column.key, 2);
      if (!call(JX_DESCRIBE_ADD_COLUMN)) return false;
    }
    return call(JX_DESCRIBE_COMPLETE);
  }

 private:
  std::string dir_;
  void* instance_ = nullptr;
  int32_t handle_ = 0;
};

}  // namespace zksql_reliability

#endif  // ZKSQL_TESTS_RELIABILITY_RELIABILITY_HOST_H_
