// The engine is reached through hostkit's binding, the one the shell uses:
// linked when built with it, else bound from the library libzksql loads,
// so that the handle opened here is one the library's engine knows.
#include "database.h"

#include <sys/stat.h>

#include "diagnostics.h"
#include "engine_calls.h"
#include "jxengine.h"
#include "zksql.h"

namespace zkodbc {
namespace {

const zkhost::EngineCalls* EngineOrFail(const char* sqlState) {
  std::string error;
  const zkhost::EngineCalls* engine = zkhost::Engine(&error);
  if (engine == nullptr) throw DriverError(sqlState, DriverMessage(error));
  return engine;
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

void Database::Open(const std::string& folder) {
  Close();
  if (folder.empty()) {
    throw DriverError("08001", DriverMessage("no database folder given (DATABASE=folder, or a "
                                             "DSN whose Database key names one)"));
  }
  std::string data = folder + (folder.back() == '/' ? "" : "/") + "data.mdb";
  struct stat info;
  if (!IsDirectory(folder) || stat(data.c_str(), &info) != 0) {
    throw DriverError("08001", DriverMessage("no database in \"" + folder +
                                             "\" (the folder must hold a database made with "
                                             "zksql --create)"));
  }
  const zkhost::EngineCalls* engine = EngineOrFail("08001");
  int32_t handle = engine->open(folder.c_str(), 0);
  if (handle <= 0) {
    int code = 0;
    std::string reason = zkhost::LastEngineError(0, &code);
    if (reason.empty()) reason = "engine error " + std::to_string(-handle);
    throw DriverError("08001", DriverMessage("cannot open the database in \"" + folder + "\": " +
                                             reason));
  }
  if (JX4InitInstance(&instance_, 0) != 1 || instance_ == nullptr) {
    engine->close(handle);
    instance_ = nullptr;
    throw DriverError("HY001", DriverMessage("cannot create the SQL library instance"));
  }
  handle_ = handle;
  folder_ = folder;
}

void Database::Close() {
  if (instance_ != nullptr) JXSQLFinInstance(instance_);
  instance_ = nullptr;
  if (handle_ > 0) {
    const zkhost::EngineCalls* engine = zkhost::Engine(nullptr);
    if (engine != nullptr) {
      if (inTransaction_) engine->rollback(handle_);
      engine->close(handle_);
    }
  }
  handle_ = 0;
  inTransaction_ = false;
}

void Database::Fail(const char* what, int code) {
  int last = 0;
  std::string reason = zkhost::LastEngineError(handle_, &last);
  if (last != code || reason.empty()) reason = "engine error " + std::to_string(code);
  throw DriverError(code == JX_ERR_BUSY ? "HYT00" : "HY000",
                    DriverMessage(std::string(what) + ": " + reason));
}

void Database::EnsureTransaction() {
  if (inTransaction_) return;
  int16_t code = EngineOrFail("HY000")->begin(handle_);
  if (code != JX_OK) Fail("cannot begin a transaction", code);
  inTransaction_ = true;
}

void Database::Commit() {
  if (!inTransaction_) return;
  inTransaction_ = false;
  int16_t code = EngineOrFail("HY000")->commit(handle_);
  if (code == JX_ERR_TRANSACTION || code == JX_ERR_ROLLED_BACK) {
    throw DriverError("40001", DriverMessage("the transaction was rolled back by an earlier "
                                             "failure; nothing of it was committed"));
  }
  if (code != JX_OK) Fail("cannot commit", code);
}

void Database::Rollback() {
  if (!inTransaction_) return;
  inTransaction_ = false;
  int16_t code = EngineOrFail("HY000")->rollback(handle_);
  if (code != JX_OK && code != JX_ERR_TRANSACTION) Fail("cannot roll back", code);
}

}  // namespace zkodbc
