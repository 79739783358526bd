// Memo parameter sets: the construct scanner, entry look-up, bounded
// replacement, the request path's marker substitution and the exports.
#include "api/memo_param_set.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "zksql.h"

namespace zksql {
namespace {

// A set that is freed at the end of the test.
class MemoTest : public ::testing::Test {
 protected:
  void SetUp() override { set_ = AllocMemoParamSet(); }
  void TearDown() override { FreeMemoParamSet(set_); }
  std::string Text(int32_t index) {
    char buffer[256];
    int32_t kind = -1;
    if (GetMemoInfo(set_, index, buffer, sizeof buffer, &kind) != 1) return "<none>";
    return buffer;
  }
  MemoParamSet* set_ = nullptr;
};

struct ScanCase {
  const char* text;
  int32_t count;
  int32_t kind;          // of entry 0
  const char* first;     // first string of entry 0
  const char* construct; // the bytes entry 0 covers
};

class MemoScanTest : public MemoTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(MemoScanTest, RecordsConstructs) {
  const ScanCase& c = GetParam();
  ASSERT_NE(set_, nullptr);
  EXPECT_EQ(ScanMemoParams(set_, c.text), c.count) << c.text;
  if (c.count == 0) return;
  const MemoParam& entry = set_->entries[0];
  EXPECT_EQ(entry.kind, c.kind) << c.text;
  EXPECT_EQ(Text(0), c.first) << c.text;
  EXPECT_EQ(std::string(c.text + entry.position, entry.length), c.construct) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    MemoConstructs, MemoScanTest,
    ::testing::Values(
        ScanCase{"SELECT * FROM T WHERE M = {JXMemoBinaire('a.txt')}", 1, 0, "a.txt",
                 "{JXMemoBinaire('a.txt')}"},
        ScanCase{"{jxmemobinaire('NOM','champ')}", 1, 1, "NOM", "{jxmemobinaire('NOM','champ')}"},
        ScanCase{"{JXMemoBinaire('NOM','FIELD')}", 1, 1, "NOM", "{JXMemoBinaire('NOM','FIELD')}"},
        ScanCase{"{JXMemoBinaire('NOM','autre')}", 1, 0, "NOM", "{JXMemoBinaire('NOM','autre')}"},
        ScanCase{"{JXMemoBinaire('NOM','Champs')}", 1, 0, "NOM", "{JXMemoBinaire('NOM','Champs')}"},
        // A doubled quote stays inside the string, both characters kept.
        ScanCase{"X = {JXMemoBinaire('it''s')}", 1, 0, "it''s", "{JXMemoBinaire('it''s')}"},
        ScanCase{"{JXMemoBinaire(\"a\",\"Champ\")}", 1, 1, "a", "{JXMemoBinaire(\"a\",\"Champ\")}"},
        ScanCase{"{JXMemoBinaire(\"it's\")}", 1, 0, "it's", "{JXMemoBinaire(\"it's\")}"},
        // Blanks between tokens belong to the construct.
        ScanCase{"{ JXMemoBinaire ( 'a' , 'field' ) } x", 1, 1, "a",
                 "{ JXMemoBinaire ( 'a' , 'field' ) }"},
        ScanCase{"{JXMemoBinaire('')}", 1, 0, "", "{JXMemoBinaire('')}"},
        // Not constructs: a number for the keyword, a longer word, a tab
        // (a word character), a missing parenthesis, three strings.
        ScanCase{"{ 12 ('a') }", 0, 0, "", ""},
        ScanCase{"{JXMemoBinaireX('a')}", 0, 0, "", ""},
        ScanCase{"{JXMemoBinaire\t('a')}", 0, 0, "", ""},
        ScanCase{"{JXMemoBinaire('a'}", 0, 0, "", ""},
        ScanCase{"{JXMemoBinaire('a','b','c')}", 0, 0, "", ""},
        ScanCase{"{JXMemoBinaire(a)}", 0, 0, "", ""},
        // Constructs cut off at the end of the text, an unterminated string.
        ScanCase{"{JXMemoBinaire('a')", 0, 0, "", ""},
        ScanCase{"{JXMemoBinaire('a", 0, 0, "", ""},
        ScanCase{"{JXMemoBinaire('a''", 0, 0, "", ""},
        ScanCase{"{", 0, 0, "", ""},
        ScanCase{"", 0, 0, "", ""},
        // A construct before an unterminated string is kept.
        ScanCase{"{JXMemoBinaire('a')} = 'oops", 1, 0, "a", "{JXMemoBinaire('a')}"},
        // A construct right after a broken one.
        ScanCase{"{JXMemoBinaire(12)} {JXMemoBinaire('b')}", 1, 0, "b", "{JXMemoBinaire('b')}"}));

TEST_F(MemoTest, TwoConstructsAndTheirPositions) {
  const char text[] = "INSERT INTO T VALUES ({JXMemoBinaire('a')}, 3, {JXMemoBinaire('b','Champ')})";
  ASSERT_EQ(ScanMemoParams(set_, text), 2);
  EXPECT_EQ(set_->entries[0].position, static_cast<int32_t>(strchr(text, '{') - text));
  EXPECT_EQ(set_->entries[1].position, static_cast<int32_t>(strrchr(text, '{') - text));
  EXPECT_EQ(set_->entries[1].length, 28);
  EXPECT_EQ(Text(1), "b");
  EXPECT_EQ(set_->entries[1].kind, 1);
}

TEST_F(MemoTest, FirstStringIsCutTo127Characters) {
  std::string text = "{JXMemoBinaire('" + std::string(300, 'x') + "','" + std::string(300, 'y') +
                     "')}";
  ASSERT_EQ(ScanMemoParams(set_, text.c_str()), 1);
  EXPECT_EQ(Text(0), std::string(127, 'x'));
  EXPECT_EQ(set_->entries[0].length, static_cast<int32_t>(text.size()));
}

TEST_F(MemoTest, ScanClearsTheEntriesOfTheLastScan) {
  ASSERT_EQ(ScanMemoParams(set_, "{JXMemoBinaire('a')} {JXMemoBinaire('b')}"), 2);
  set_->reserved = 7;
  EXPECT_EQ(ScanMemoParams(set_, "{JXMemoBinaire('c','Field')}"), 1);
  EXPECT_EQ(Text(0), "c");
  EXPECT_EQ(set_->entries[1].text, nullptr);
  EXPECT_EQ(set_->reserved, 0);
  EXPECT_EQ(ScanMemoParams(set_, nullptr), 0);
  EXPECT_EQ(set_->entries[0].text, nullptr);
  EXPECT_EQ(ScanMemoParams(nullptr, "{JXMemoBinaire('a')}"), 0);
}

TEST_F(MemoTest, At256EntriesFurtherConstructsAreCountedAsIgnored) {
  std::string text;
  for (int i = 0; i < 258; ++i) text += "{JXMemoBinaire('m" + std::to_string(i) + "')} ";
  int32_t ignored = -1;
  EXPECT_EQ(ScanMemoParams(set_, text.c_str(), &ignored), 256);
  EXPECT_EQ(ignored, 2);
  EXPECT_EQ(Text(255), "m255");
}

TEST_F(MemoTest, GetMemoInfoCutsAndRefuses) {
  ASSERT_EQ(ScanMemoParams(set_, "{JXMemoBinaire('abcdef','champ')}"), 1);
  char buffer[4] = "zzz";
  int32_t kind = -1;
  EXPECT_EQ(GetMemoInfo(set_, 0, buffer, sizeof buffer, &kind), 1);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(GetMemoInfo(set_, 0, buffer, 1, nullptr), 1);
  EXPECT_STREQ(buffer, "");
  kind = -1;
  EXPECT_EQ(GetMemoInfo(set_, 0, nullptr, 0, &kind), 1);
  EXPECT_EQ(kind, 1);
  // Refusals leave the outputs alone.
  memcpy(buffer, "zzz", 4);
  kind = -1;
  for (int32_t index : {-1, 1, 256, 100000}) {
    EXPECT_EQ(GetMemoInfo(set_, index, buffer, sizeof buffer, &kind), 0) << index;
  }
  EXPECT_EQ(GetMemoInfo(nullptr, 0, buffer, sizeof buffer, &kind), 0);
  EXPECT_STREQ(buffer, "zzz");
  EXPECT_EQ(kind, -1);
  // An entry whose copy could not be made reads as "".
  free(set_->entries[0].text);
  set_->entries[0].text = nullptr;
  EXPECT_EQ(GetMemoInfo(set_, 0, buffer, sizeof buffer, &kind), 1);
  EXPECT_STREQ(buffer, "");
}

// A text in a heap buffer of exactly `size` bytes, so that the sanitizer
// build catches a byte written past it.
std::vector<char> Buffer(const char* text, size_t size) {
  std::vector<char> buffer(size, '#');
  memcpy(buffer.data(), text, strlen(text) + 1);
  return buffer;
}

TEST_F(MemoTest, ReplaceShiftsLaterPositionsAndRewritesSameLength) {
  const char text[] = "A={JXMemoBinaire('a')} B={JXMemoBinaire('b')} C";
  std::vector<char> buffer = Buffer(text, 100);
  ASSERT_EQ(ScanMemoParams(set_, buffer.data()), 2);
  int32_t second = set_->entries[1].position;
  EXPECT_EQ(ReplaceMemo(set_, buffer.data(), 0, "'x'", 100), 1);
  EXPECT_STREQ(buffer.data(), "A='x' B={JXMemoBinaire('b')} C");
  EXPECT_EQ(set_->entries[0].length, 3);
  EXPECT_EQ(set_->entries[1].position, second + 3 - 20);
  // Same length again: still written.
  EXPECT_EQ(ReplaceMemo(set_, buffer.data(), 0, "'y'", 100), 1);
  EXPECT_STREQ(buffer.data(), "A='y' B={JXMemoBinaire('b')} C");
  // The shifted entry is found where it now lies; a longer text grows.
  EXPECT_EQ(ReplaceMemo(set_, buffer.data(), 1, "{JXMemoBinaire('b')}+{JXMemoBinaire('b')}",
                        100),
            1);
  EXPECT_STREQ(buffer.data(), "A='y' B={JXMemoBinaire('b')}+{JXMemoBinaire('b')} C");
  // And shrinks to nothing.
  EXPECT_EQ(ReplaceMemo(set_, buffer.data(), 1, "", 100), 1);
  EXPECT_STREQ(buffer.data(), "A='y' B= C");
}

TEST_F(MemoTest, ReplaceNeverWritesPastTheBuffer) {
  const char text[] = "M={JXMemoBinaire('a')};";  // 23 characters, construct of 20
  ASSERT_EQ(ScanMemoParams(set_, text), 1);
  const std::string replacement(21, 'r');  // 24 characters after replacing
  // Exactly fits: 24 characters and the terminator in 25 bytes.
  std::vector<char> fits = Buffer(text, 25);
  EXPECT_EQ(ReplaceMemo(set_, fits.data(), 0, replacement.c_str(), 25), 1);
  EXPECT_EQ(std::string(fits.data()), "M=" + replacement + ";");
  // One byte short: refused, text and entry unchanged.
  ASSERT_EQ(ScanMemoParams(set_, text), 1);
  std::vector<char> tight = Buffer(text, 24);
  EXPECT_EQ(ReplaceMemo(set_, tight.data(), 0, replacement.c_str(), 24), 0);
  EXPECT_STREQ(tight.data(), text);
  EXPECT_EQ(set_->entries[0].length, 20);
}

TEST_F(MemoTest, ReplaceRefusesWhatItCannotDoSafely) {
  const char text[] = "M={JXMemoBinaire('a')} N={JXMemoBinaire('b')}";
  ASSERT_EQ(ScanMemoParams(set_, text), 2);
  std::vector<char> buffer = Buffer(text, 64);
  EXPECT_EQ(ReplaceMemo(nullptr, buffer.data(), 0, "x", 64), 0);
  EXPECT_EQ(ReplaceMemo(set_, nullptr, 0, "x", 64), 0);
  EXPECT_EQ(ReplaceMemo(set_, buffer.data(), 0, nullptr, 64), 0);
  EXPECT_EQ(ReplaceMemo(set_, buffer.data(), -1, "x", 64), 0);
  EXPECT_EQ(ReplaceMemo(set_, buffer.data(), 2, "x", 64), 0);
  EXPECT_EQ(ReplaceMemo(set_, buffer.data(), 0, "x", 0), 0);
  // The text is not terminated within the size it is given.
  EXPECT_EQ(ReplaceMemo(set_, buffer.data(), 0, "x", 10), 0);
  // A shorter text than the one scanned: the second entry lies past its end.
  std::vector<char> shorter = Buffer("M={JXMemoBinaire('a')}", 64);
  EXPECT_EQ(ReplaceMemo(set_, shorter.data(), 1, "x", 64), 0);
  EXPECT_STREQ(shorter.data(), "M={JXMemoBinaire('a')}");
  EXPECT_STREQ(buffer.data(), text);
}

TEST(MemoMarkerTest, SubstitutesNumberedMarkers) {
  std::vector<char> text = Buffer(
      "INSERT INTO T VALUES ({JXMemoBinaire('a')}, {JXMemoBinaire('b','Champ')});", 16384);
  MemoMarkerFailure why = MemoMarkerFailure::kDoesNotFit;
  EXPECT_EQ(SubstituteMemoMarkers(text.data(), 16384, &why), 2);
  EXPECT_EQ(why, MemoMarkerFailure::kNone);
  EXPECT_STREQ(text.data(), "INSERT INTO T VALUES ('\x7F" "1', '\x7F" "2');");

  std::vector<char> plain = Buffer("SELECT * FROM T WHERE A = '{x}';", 64);
  EXPECT_EQ(SubstituteMemoMarkers(plain.data(), 64), 0);
  EXPECT_STREQ(plain.data(), "SELECT * FROM T WHERE A = '{x}';");
}

TEST(MemoMarkerTest, NumbersReachThreeDigits) {
  std::string text;
  for (int i = 0; i < 256; ++i) text += "{JXMemoBinaire('m')},";
  std::vector<char> buffer = Buffer(text.c_str(), 16384);
  ASSERT_EQ(SubstituteMemoMarkers(buffer.data(), 16384), 256);
  std::string expected;
  for (int i = 1; i <= 256; ++i) expected += "'\x7F" + std::to_string(i) + "',";
  EXPECT_EQ(std::string(buffer.data()), expected);
}

TEST(MemoMarkerTest, RefusesWithTheTextUnchanged) {
  // More constructs than a set holds.
  std::string many;
  for (int i = 0; i < 257; ++i) many += "{JXMemoBinaire('m')}";
  std::vector<char> buffer = Buffer(many.c_str(), 16384);
  MemoMarkerFailure why = MemoMarkerFailure::kNone;
  EXPECT_EQ(SubstituteMemoMarkers(buffer.data(), 16384, &why), -1);
  EXPECT_EQ(why, MemoMarkerFailure::kTooMany);
  EXPECT_EQ(std::string(buffer.data()), many);
  // A text not terminated within the buffer size it comes with.
  std::vector<char> longer = Buffer("X={JXMemoBinaire('a')};", 64);
  EXPECT_EQ(SubstituteMemoMarkers(longer.data(), 8, &why), -1);
  EXPECT_EQ(why, MemoMarkerFailure::kDoesNotFit);
  EXPECT_STREQ(longer.data(), "X={JXMemoBinaire('a')};");
  EXPECT_EQ(SubstituteMemoMarkers(nullptr, 64, &why), -1);
}

TEST(MemoScanPropertyTest, EntriesAlwaysLieOnBracesInsideTheText) {
  // Random texts of construct pieces: every entry found covers a "{"
  // through a "}" inside the text, and the sanitizer build checks that no
  // scan reads past a terminator.
  const char* pieces[] = {"{", "}", "(", ")", "'", "\"", "''", ",", " ", "\t", "12", "a",
                          "JXMemoBinaire", "jxmemobinaire", "'x'", "'Champ'", "{JXMemoBinaire('",
                          "')}"};
  std::mt19937 random(2024);
  std::uniform_int_distribution<size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
  std::uniform_int_distribution<int> count(1, 40);
  MemoParamSet* set = AllocMemoParamSet();
  ASSERT_NE(set, nullptr);
  int found = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int n = count(random); n > 0; --n) text += pieces[pick(random)];
    std::vector<char> exact(text.begin(), text.end());
    exact.push_back('\0');
    int32_t n = ScanMemoParams(set, exact.data());
    found += n;
    for (int32_t i = 0; i < n; ++i) {
      const MemoParam& entry = set->entries[i];
      ASSERT_GE(entry.position, 0);
      ASSERT_LE(static_cast<size_t>(entry.position + entry.length), text.size()) << text;
      EXPECT_EQ(text[entry.position], '{') << text;
      EXPECT_EQ(text[entry.position + entry.length - 1], '}') << text;
      if (i > 0) {
        const MemoParam& last = set->entries[i - 1];
        EXPECT_GE(entry.position, last.position + last.length) << text;
      }
    }
  }
  FreeMemoParamSet(set);
  EXPECT_GT(found, 20);
}

TEST(MemoExportTest, RoundTripThroughTheExports) {
  void* set = ZKSQL_JXMS_Alloc();
  ASSERT_NE(set, nullptr);
  char text[128] = "UPDATE T SET M = {JXMemoBinaire('c:\\memo.bin','Field')} WHERE K = 1";
  EXPECT_EQ(ZKSQL_JXMS_Scan(set, text), 1);
  char name[64];
  int32_t kind = -1;
  EXPECT_EQ(ZKSQL_JXMS_GetMemoInfo(set, 0, name, sizeof name, &kind), 1);
  EXPECT_STREQ(name, "c:\\memo.bin");
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(ZKSQL_JXMS_ReplaceMemo(set, text, 0, "'\x7F" "1'", sizeof text), 1);
  EXPECT_STREQ(text, "UPDATE T SET M = '\x7F" "1' WHERE K = 1");
  EXPECT_EQ(ZKSQL_JXMS_GetMemoInfo(set, 1, name, sizeof name, &kind), 0);
  EXPECT_EQ(ZKSQL_JXMS_Scan(set, nullptr), 0);  // clears
  EXPECT_EQ(ZKSQL_JXMS_GetMemoInfo(set, 0, name, sizeof name, &kind), 0);
  ZKSQL_JXMS_Free(set);
}

TEST(MemoExportTest, NullStaleAndForeignSetsAreRefusedNotFollowed) {
  char text[64] = "{JXMemoBinaire('a')}";
  char buffer[16];
  int32_t kind = 0;
  // A plain heap block of the right size is not a set; neither is a freed
  // set (the sanitizer build would report any read of it).
  void* foreign = calloc(1, sizeof(MemoParamSet));
  void* stale = ZKSQL_JXMS_Alloc();
  ASSERT_NE(stale, nullptr);
  ZKSQL_JXMS_Free(stale);
  for (void* set : {static_cast<void*>(nullptr), foreign, stale, static_cast<void*>(text)}) {
    EXPECT_EQ(ZKSQL_JXMS_Scan(set, text), 0);
    EXPECT_EQ(ZKSQL_JXMS_GetMemoInfo(set, 0, buffer, sizeof buffer, &kind), 0);
    EXPECT_EQ(ZKSQL_JXMS_ReplaceMemo(set, text, 0, "x", sizeof text), 0);
    ZKSQL_JXMS_Free(set);  // ignored
  }
  EXPECT_STREQ(text, "{JXMemoBinaire('a')}");
  free(foreign);
}

}  // namespace
}  // namespace zksql
