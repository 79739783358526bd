// UTF-8 <-> Windows-1252: the characters that differ between Latin-1 and
// Windows-1252 (€, œ, ’ live in 0x80-0x9F), the refusal of characters
// Windows-1252 cannot hold, and bytes it leaves undefined.
#include "charset.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace zkhost {
namespace {

// The system's own Windows-1252 decoder, byte by byte, with U+FFFD for the
// bytes it refuses: what the shell printed before it had its own table.
std::string IconvUtf8(unsigned char byte) {
  static iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "";
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char in = static_cast<char>(byte);
  char* source = &in;
  size_t left = 1;
  char out[8];
  char* target = out;
  size_t room = sizeof out;
  if (iconv(cd, &source, &left, &target, &room) == static_cast<size_t>(-1)) {
    return "\xEF\xBF\xBD";
  }
  return std::string(out, static_cast<size_t>(target - out));
}

TEST(Charset, TableAgreesWithIconvOnEveryByte) {
  ASSERT_NE(IconvUtf8('a'), "") << "no Windows-1252 converter on this system";
  std::string all, expected;
  for (int b = 0; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    std::string want = IconvUtf8(static_cast<unsigned char>(b));
    EXPECT_EQ(Cp1252ToUtf8(one), want) << "byte 0x" << std::hex << b;
    // One character each: table mode takes a field's width from its bytes.
    EXPECT_EQ(DisplayWidth(want), 1u) << "byte 0x" << std::hex << b;
    all += one;
    expected += want;
  }
  // Runs of ASCII and of the upper half, as texts mix them.
  EXPECT_EQ(Cp1252ToUtf8(all + all), expected + expected);
  std::string appended = "x";
  AppendCp1252AsUtf8(all, &appended);
  EXPECT_EQ(appended, "x" + expected);
}

TEST(Charset, FrenchTextBothWays) {
  std::string cp, error;
  ASSERT_TRUE(Utf8ToCp1252("é € œ ’ Ÿ", &cp, &error)) << error;
  EXPECT_EQ(cp, "\xE9 \x80 \x9C \x92 \x9F");
  EXPECT_EQ(Cp1252ToUtf8(cp), "é € œ ’ Ÿ");
}

TEST(Charset, RefusesWhatWindows1252CannotHold) {
  std::string cp, error;
  EXPECT_FALSE(Utf8ToCp1252("SELECT 'ok ✓'", &cp, &error));
  EXPECT_NE(error.find("✓"), std::string::npos) << error;
  EXPECT_NE(error.find("U+2713"), std::string::npos) << error;
  EXPECT_NE(error.find("column 12"), std::string::npos) << error;
  EXPECT_FALSE(Utf8ToCp1252("a\nbc 日本", &cp, &error));
  EXPECT_NE(error.find("line 2, column 4"), std::string::npos) << error;
}

TEST(Charset, RefusesBrokenUtf8) {
  std::string cp, error;
  EXPECT_FALSE(Utf8ToCp1252("ab\xE9" "cd", &cp, &error));
  EXPECT_NE(error.find("0xE9"), std::string::npos) << error;
  EXPECT_FALSE(Utf8ToCp1252("ab\xC3", &cp, &error));  // cut at the end
}

TEST(Charset, UndefinedBytesBecomeReplacementCharacters) {
  EXPECT_EQ(Cp1252ToUtf8("a\x81" "b\x9D"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(Charset, LongTextConvertsWhole) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "é€";
  std::string cp, error;
  ASSERT_TRUE(Utf8ToCp1252(text, &cp, &error));
  EXPECT_EQ(cp.size(), 6000u);
  EXPECT_EQ(Cp1252ToUtf8(cp), text);
}

TEST(Charset, DisplayWidthCountsCharacters) {
  EXPECT_EQ(DisplayWidth("Noël €"), 6u);
  EXPECT_EQ(DisplayWidth(""), 0u);
}

}  // namespace
}  // namespace zkhost
