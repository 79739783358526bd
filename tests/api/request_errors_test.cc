// Error recording in the request and message loading from the catalogue.
#include <gtest/gtest.h>

#include <string>

#include "base/messages.h"
#include "api/request.h"

namespace zksql {
namespace {

class RequestErrorTest : public ::testing::Test {
 protected:
  void SetUp() override { request_ = CreateRequest(nullptr, 0, nullptr); }
  void TearDown() override { DestroyRequest(request_); }
  Request* request_ = nullptr;
};

TEST_F(RequestErrorTest, StartsWithoutErrorAndAPlaceholderState) {
  ASSERT_NE(request_, nullptr);
  EXPECT_STREQ(request_->errorText, "");
  EXPECT_STREQ(request_->sqlState, "-----");
  EXPECT_EQ(RecordError(request_, nullptr), nullptr);  // only asks
  EXPECT_STREQ(request_->sqlState, "-----");
}

TEST_F(RequestErrorTest, DefaultStateDependsOnTheText) {
  EXPECT_STREQ(RecordError(request_, " Erreur"), " Erreur");
  EXPECT_STREQ(request_->sqlState, "00123");
  EXPECT_EQ(RecordError(request_, ""), nullptr);
  EXPECT_STREQ(request_->sqlState, "00000");
}

TEST_F(RequestErrorTest, ExplicitStateKeepsFiveCharacters) {
  RecordError(request_, " Doublon", "23000");
  EXPECT_STREQ(request_->sqlState, "23000");
  RecordError(request_, " X", "S1000EXTRA");
  EXPECT_STREQ(request_->sqlState, "S1000");
  EXPECT_STREQ(request_->errorText, " X");  // a later error overwrites
}

TEST_F(RequestErrorTest, LongTextsAreCutTo254Characters) {
  std::string text(300, 'x');
  RecordError(request_, text.c_str());
  EXPECT_EQ(std::string(request_->errorText), std::string(254, 'x'));
}

TEST_F(RequestErrorTest, RecordMessageFormatsTheCatalogueText) {
  RecordMessage(request_, nullptr, kMsgReadWriteError, "CLIENTS", 7);
  EXPECT_STREQ(request_->errorText,
               " Erreur de lecture/\xE9" "criture dans le fichier ZK 'CLIENTS' (7)");
  EXPECT_STREQ(request_->sqlState, "00123");
}

TEST(MessageCatalogueTest, TextsAreWindows1252WithOneLeadingBlank) {
  char buffer[kMessageBufferSize];
  LoadMessage(kMsgOutOfMemory, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, " M\xE9moire insuffisante");
  LoadMessage(4285, buffer, sizeof buffer);
  EXPECT_STREQ(buffer,
               " La rubrique '%s' est une cl\xE9 compos\xE9" "e\n\nLes cl\xE9s compos\xE9"
               "es ne sont pas ger\xE9" "es pour l'instant");
  for (int id = 4241; id <= 4306; ++id) {
    if (id > 4288 && id < 4296) continue;
    LoadMessage(id, buffer, sizeof buffer);
    EXPECT_EQ(buffer[0], ' ') << id;
    EXPECT_NE(std::string(buffer).find("(msg"), 0u) << id;
  }
}

TEST(MessageCatalogueTest, MissingMessagesFallBackByBufferSize) {
  char big[256];
  LoadMessage(4290, big, sizeof big);
  EXPECT_STREQ(big, "(msg 4290)");
  char small[8];
  LoadMessage(4290, small, sizeof small);
  EXPECT_STREQ(small, "(?)");
  char tiny[3];
  LoadMessage(4290, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "(?");
}

TEST(MessageCatalogueTest, FormattingNeverPassesTheBuffer) {
  char buffer[20];
  std::string name(200, 'N');
  FormatMessage(buffer, sizeof buffer, kMsgUnknownTable, name.c_str());
  EXPECT_EQ(std::string(buffer).size(), 19u);
}

}  // namespace
}  // namespace zksql
