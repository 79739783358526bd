// A database on a read-only file system (here a read-only bind mount of
// its folder, in a mount namespace of a child process of its own) opens
// and reads; writes are refused as read-only and change nothing. Needs the
// right to make a mount namespace (root, or a user namespace): skipped
// where the system refuses it.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "reliability_host.h"

namespace zksql_reliability {
namespace {

// Exit statuses of the child.
enum Exit { kReadOnly = 0, kNoNamespace = 10, kOpenFailed, kReadFailed, kWriteNotRefused };

[[noreturn]] void OpenReadOnlyMount(const std::string& dir) {
  if (unshare(CLONE_NEWNS) != 0 ||
      mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
      mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
    _exit(kNoNamespace);
  Host host(dir);
  if (!host.ok()) _exit(kOpenFailed);
  if (host.Run("SELECT A FROM T").rows != std::vector<std::string>{"1"}) _exit(kReadFailed);
  Outcome insert = host.Run("INSERT INTO T VALUES (2)");
  if (insert.status != -1 || insert.sqlState != "25006" ||
      XZK_BeginTransaction(host.handle()) != JX_ERR_READ_ONLY)
    _exit(kWriteNotRefused);
  if (host.Run("SELECT A FROM T").rows != std::vector<std::string>{"1"}) _exit(kReadFailed);
  _exit(kReadOnly);
}

TEST(ReadOnlyTest, ADatabaseOnAReadOnlyFileSystemReadsAndRefusesWrites) {
  ScratchDir dir;
  {
    Host host(dir.path());
    ASSERT_TRUE(host.ok());
    ASSERT_EQ(host.Run("CREATE TABLE T (A INTEGER)").status, 0);
    ASSERT_EQ(host.Run("INSERT INTO T VALUES (1)").status, 0);
  }
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) OpenReadOnlyMount(dir.path());
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  if (WEXITSTATUS(status) == kNoNamespace)
    GTEST_SKIP() << "no mount namespace here: the read-only file system was not tried";
  EXPECT_EQ(WEXITSTATUS(status), kReadOnly);
}

}  // namespace
}  // namespace zksql_reliability
