// A connection's database: the engine handle on the database folder and
// the library instance statements run in, opened as the shell opens them
// and closed together. With autocommit off, statements join one host
// transaction of the engine, begun by the first of them and ended by
// Commit or Rollback; closing with a transaction open rolls it back.
#ifndef ZKODBC_DATABASE_H
#define ZKODBC_DATABASE_H

#include <stdint.h>

#include <string>

namespace zkodbc {

class Database {
 public:
  Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  ~Database() { Close(); }

  // Opens the database in folder; throws DriverError (08001) when there is
  // none or it cannot be opened.
  void Open(const std::string& folder);
  void Close();
  bool open() const { return handle_ > 0; }
  int32_t handle() const { return handle_; }
  const std::string& folder() const { return folder_; }

  // Begins the host transaction unless one is open.
  void EnsureTransaction();
  bool inTransaction() const { return inTransaction_; }
  // End the open transaction, if any. Throw DriverError when the engine
  // refuses; the transaction is over either way.
  void Commit();
  void Rollback();

 private:
  [[noreturn]] void Fail(const char* what, int code);

  void* instance_ = nullptr;
  int32_t handle_ = 0;
  bool inTransaction_ = false;
  std::string folder_;
};

}  // namespace zkodbc

#endif
