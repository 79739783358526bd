// A 64 KiB value handed by the host for a memo column: a text memo keeps
// its first 32000 characters, a binary memo all its bytes, and both read
// back through ZKSQLGetLongData as well-formed memo blocks, after the
// database was closed and opened again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../e2e/host_memos.h"
#include "reliability_host.h"
#include "zkglobal.h"

namespace zksql_reliability {
namespace {

constexpr size_t kLarge = 64 * 1024;

// The data of the memo of `column` of the current row; "(status n)" when
// none is handed out.
std::string LongData(void* request, int16_t column) {
  void* memo = nullptr;
  int16_t status = ZKSQLGetLongData(request, column, &memo);
  if (status != 0 || memo == nullptr) return "(status " + std::to_string(status) + ")";
  const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memo));
  int16_t header;
  int32_t length;
  memcpy(&header, bytes + 3, 2);
  memcpy(&length, bytes + 52, 4);
  std::string data;
  if (header >= 56 && length >= 0 && static_cast<size_t>(header) + length <= GlobalSize(memo))
    data.assign(reinterpret_cast<const char*>(bytes) + header, static_cast<size_t>(length));
  else
    data = "(malformed block)";
  GlobalUnlock(memo);
  GlobalFree(memo);
  return data;
}

TEST(LargeMemoTest, A64KiBHostValueIsKeptWithinTheMemoLimits) {
  ScratchDir dir;
  std::string text;
  for (size_t i = 0; text.size() < kLarge; ++i) text += "ligne " + std::to_string(i) + "\r\n";
  text.resize(kLarge);
  std::string binary(kLarge, '\0');
  for (size_t i = 0; i < kLarge; ++i) binary[i] = static_cast<char>((i * 7919) & 0xFF);
  {
    Host host(dir.path());
    ASSERT_TRUE(host.ok());
    // Memo items have no CREATE TABLE type: the file is made through the engine.
    ASSERT_TRUE(host.MakeFile("F", {{"N", 'L', 0, 0}, {"M", 'M', 0, 0}, {"G", 'G', 0, 0}}));
    zksql_e2e::HostMemos memos({text, binary});
    char sql[] = "INSERT INTO F VALUES (1, {JXMemoBinaire('t.txt')}, {JXMemoBinaire('b.bin')})";
    ZKSQLResultInfo info;
    void* request = nullptr;
    EXPECT_EQ(ZKSQLExecReq(&request, sql, &info, host.handle(), memos.table()), 0);
    ASSERT_NE(request, nullptr);
    ZKSQLFinRequete(request);
  }
  Host host(dir.path());
  ASSERT_TRUE(host.ok());
  char sql[] = "SELECT N, M, G FROM F";
  ZKSQLResultInfo info;
  void* request = nullptr;
  ASSERT_EQ(ZKSQLExecReq(&request, sql, &info, host.handle(), nullptr), 0);
  ASSERT_EQ(info.rowCount, 1);
  ASSERT_EQ(ZKSQLFetchNext(request), 0);
  std::string m = LongData(request, 2);
  EXPECT_EQ(m.size(), 32000u);
  EXPECT_TRUE(m == text.substr(0, 32000)) << "text memo differs";
  std::string g = LongData(request, 3);
  EXPECT_EQ(g.size(), kLarge);
  EXPECT_TRUE(g == binary) << "binary memo differs";
  // The row text of a 64 KiB memo row, cut to a small buffer, stays in it.
  char line[100];
  EXPECT_EQ(ZKSQLValLineN(request, "|", line, sizeof line), -1);
  EXPECT_EQ(strlen(line), sizeof line - 1);
  ZKSQLFinRequete(request);
}

}  // namespace
}  // namespace zksql_reliability
