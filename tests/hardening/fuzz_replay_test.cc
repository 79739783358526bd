// Every kept input of the fuzz targets, replayed through the same entry
// functions without libFuzzer: the seed corpora (real statements, escapes,
// memo constructs) and the inputs of past crashes (fuzz/regressions), each
// of which once broke the library and must keep passing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

namespace {

namespace fs = std::filesystem;

std::string g_current;

// The statement target's database lives until the last test of the
// program is done with it.
class StatementDatabase : public ::testing::Environment {
 public:
  void TearDown() override { zksql_fuzz::StatementTearDown(); }
};
::testing::Environment* const g_database =
    ::testing::AddGlobalTestEnvironment(new StatementDatabase);

void RecordFailure(const char* what, const char* file, int line) {
  ADD_FAILURE_AT(file, line) << "check failed: " << what << "\n  input: " << g_current;
}

// The files of fuzz/corpus/TARGET and fuzz/regressions/TARGET, in name
// order.
std::vector<fs::path> Inputs(const std::string& target) {
  std::vector<fs::path> files;
  for (const char* kind : {"corpus", "regressions"}) {
    fs::path dir = fs::path(ZK_FUZZ_DIR) / kind / target;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
        files.push_back(entry.path());
      }
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Feeds every input of the target to its entry function; returns how many.
size_t Replay(const std::string& target, int (*entry)(const uint8_t*, size_t)) {
  zksql_fuzz::SetFailureHandler(RecordFailure);
  std::vector<fs::path> files = Inputs(target);
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    g_current = file.string();
    entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  zksql_fuzz::SetFailureHandler(nullptr);
  return files.size();
}

TEST(FuzzReplayTest, LexerInputs) {
  EXPECT_GT(Replay("lexer", zksql_fuzz::LexerInput), 0u);
}

TEST(FuzzReplayTest, EscapeInputs) {
  EXPECT_GT(Replay("escape", zksql_fuzz::EscapeInput), 0u);
}

TEST(FuzzReplayTest, MemoInputs) {
  EXPECT_GT(Replay("memo", zksql_fuzz::MemoInput), 0u);
}

TEST(FuzzReplayTest, StatementInputs) {
  const char* why = "";
  ASSERT_TRUE(zksql_fuzz::StatementSetUp(&why)) << why;
  EXPECT_GT(Replay("statement", zksql_fuzz::StatementInput), 0u);
}

}  // namespace
