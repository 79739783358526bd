// Memo files: a regular file within the limit is read whole; anything
// else is refused before a byte is read, with a message naming the file.
#include "memo_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zkshell {
namespace {

class ShellMemoFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zksql-memo-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(command.c_str()), 0);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
  }
  std::string dir_;
};

TEST_F(ShellMemoFile, ReadsRegularFilesWithinTheLimitAndRefusesTheRest) {
  constexpr uint64_t kLimit = 8;
  std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string path;
    bool read;
    std::string expected;  // the bytes read, or a part of the error
  } cases[] = {
      {Write("exact.bin", std::string("a\0b\r\n\xE9\x80z", 8)), true,
       std::string("a\0b\r\n\xE9\x80z", 8)},
      {Write("empty.txt", ""), true, ""},
      {Write("long.bin", "123456789"), false, "holds 9 bytes, more than the 8 a memo may hold"},
      {dir_, false, "is not a regular file"},
      {"/dev/zero", false, "\"/dev/zero\" is not a regular file"},
      {fifo, false, "is not a regular file"},
      {dir_ + "/absent", false, "No such file or directory"},
  };
  for (const Case& c : cases) {
    std::string bytes = "left over", error;
    bool read = ReadMemoFile(c.path, kLimit, &bytes, &error);
    EXPECT_EQ(read, c.read) << c.path << ": " << error;
    if (c.read) {
      EXPECT_EQ(bytes, c.expected) << c.path;
    } else {
      EXPECT_NE(error.find(c.expected), std::string::npos) << error;
      EXPECT_NE(error.find(c.path), std::string::npos) << error;
    }
  }
}

}  // namespace
}  // namespace zkshell
