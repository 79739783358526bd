// Memos: written with the record just written, read back in both modes,
// references unique in the database and owned by the engine.
#include "engine_fixture.h"
#include "zkglobal.h"

namespace jxtest {
namespace {

// File M: ID int (1), NOTE text memo (5), PIC binary memo (9).
constexpr size_t kSize = 13;

class MemoTest : public EngineTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.MakeFile("M", {{"ID", 'L', 0, 1}, {"NOTE", 'M'}, {"PIC", 'G'}}), 0)
        << db.message;
  }
  int16_t WriteMemo(int16_t ordinal, const void* data, int32_t length) {
    SetI16(db.rec, JX_REC_MEMO_NUMBER, ordinal);
    SetPtr(db.rec, JX_REC_MEMO_DATA, data);
    return XZK_ECRIREMEMO(db.handle, length, db.rec);
  }
  std::string TextMemo(const char* file, int32_t reference) {
    void* memo = nullptr;
    if (XZK_GETMEMO(db.handle, file, reference, JX_MEMO_TEXT, &memo) != 0) return "<none>";
    return std::string(static_cast<const char*>(memo) + 2, size_t(I16(memo, 0)));
  }
  std::string BlockMemo(int32_t reference) {
    void* handle = nullptr;
    if (XZK_GETMEMO(db.handle, "M", reference, JX_MEMO_BLOCK, &handle) != 0) return "<none>";
    const char* p = static_cast<const char*>(GlobalLock(handle));
    std::string data(p + I16(p, JX_MEMO_HEADER_SIZE), size_t(I32(p, JX_MEMO_DATA_LENGTH)));
    GlobalUnlock(handle);
    EXPECT_EQ(GlobalFree(handle), nullptr);  // the caller frees it
    return data;
  }
  Db db{dir.path()};
};

TEST_F(MemoTest, TextAndBinaryMemosRoundTrip) {
  // The memo reference bytes of the image are ignored on append.
  ASSERT_EQ(db.Write("M", 0, Image(kSize).I32At(1, 1).I32At(5, 999).I32At(9, 999).bytes), 0);
  const std::string text = "Premi\xE8re note";
  ASSERT_EQ(WriteMemo(1, text.data(), int32_t(text.size())), 0);
  // A binary memo arrives as a host memo block; only its data is kept.
  std::vector<unsigned char> block(60 + 4, 0);
  SetI16(block.data(), JX_MEMO_HEADER_SIZE, 60);
  SetI32(block.data(), JX_MEMO_DATA_LENGTH, 4);
  const unsigned char bin[] = {0x01, 0xAB, 0x00, 0xCD};
  std::memcpy(&block[60], bin, 4);
  ASSERT_EQ(WriteMemo(2, block.data(), int32_t(block.size())), 0);

  ReadResult r = db.Read("M", 'L', 1);
  int32_t note = I32(r.bytes.data(), 5), pic = I32(r.bytes.data(), 9);
  ASSERT_GT(note, 0);
  ASSERT_GT(pic, 0);
  EXPECT_NE(note, pic);
  EXPECT_EQ(TextMemo("M", note), text);
  EXPECT_EQ(BlockMemo(note), text);
  EXPECT_EQ(BlockMemo(pic), std::string(reinterpret_cast<const char*>(bin), 4));
  // Any file name reaches the memo: references are database-wide.
  EXPECT_EQ(TextMemo("ALIAS", note), text);

  // A rewrite keeps the stored references whatever the image holds.
  ASSERT_EQ(db.Write("M", 1, Image(kSize).I32At(1, 1).bytes), 0);
  r = db.Read("M", 'L', 1);
  EXPECT_EQ(I32(r.bytes.data(), 5), note);
  // Writing again replaces the data; length 0 clears the memo.
  ASSERT_EQ(WriteMemo(1, "autre", 5), 0);
  EXPECT_EQ(TextMemo("M", note), "autre");
  ASSERT_EQ(WriteMemo(1, nullptr, 0), 0);
  EXPECT_EQ(I32(db.Read("M", 'L', 1).bytes.data(), 5), 0);
  EXPECT_EQ(TextMemo("M", note), "<none>");
}

TEST_F(MemoTest, ReferencesAreUniqueAcrossFiles) {
  ASSERT_EQ(db.MakeFile("N", {{"NOTE", 'M'}}), 0);
  ASSERT_EQ(db.Write("M", 0, Image(kSize).I32At(1, 1).bytes), 0);
  ASSERT_EQ(WriteMemo(1, "in M", 4), 0);
  ASSERT_EQ(db.Write("N", 0, Image(5).bytes), 0);
  ASSERT_EQ(WriteMemo(1, "in N", 4), 0);
  int32_t m = I32(db.Read("M", 'L', 1).bytes.data(), 5);
  int32_t n = I32(db.Read("N", 'L', 1).bytes.data(), 1);
  EXPECT_NE(m, n);
  EXPECT_EQ(TextMemo("N", m), "in M");
  EXPECT_EQ(TextMemo("M", n), "in N");
  // Deleting a record deletes its memos.
  ASSERT_EQ(db.Read("N", 'L', 1).valid, 1);
  ASSERT_EQ(db.Delete("N"), 0);
  EXPECT_EQ(TextMemo("N", n), "<none>");
}

TEST_F(MemoTest, BadMemoCallsFailCleanly) {
  void* memo = reinterpret_cast<void*>(1);
  EXPECT_NE(XZK_GETMEMO(db.handle, "M", 0, JX_MEMO_TEXT, &memo), 0);
  EXPECT_EQ(memo, nullptr);
  EXPECT_NE(XZK_GETMEMO(db.handle, "M", 12345, JX_MEMO_BLOCK, &memo), 0);
  EXPECT_NE(XZK_GETMEMO(db.handle, "M", 1, 7, &memo), 0);
  EXPECT_NE(XZK_GETMEMO(db.handle, "M", 1, JX_MEMO_TEXT, nullptr), 0);
  EXPECT_NE(XZK_GETMEMO(-1, "M", 1, JX_MEMO_TEXT, &memo), 0);
  // No record written yet by this handle.
  EXPECT_EQ(WriteMemo(1, "x", 1), JX_ERR_NOT_FOUND);
  ASSERT_EQ(db.Write("M", 0, Image(kSize).bytes), 0);
  EXPECT_EQ(WriteMemo(3, "x", 1), JX_ERR_NO_MEMO);  // only two memo items
  EXPECT_EQ(XZK_ECRIREMEMO(db.handle, 1, nullptr), JX_ERR_BAD_ARGUMENT);
  // Inside a rolled-back transaction the memo disappears with its record.
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  ASSERT_EQ(db.Write("M", 0, Image(kSize).I32At(1, 2).bytes), 0);
  ASSERT_EQ(WriteMemo(1, "tmp", 3), 0);
  int32_t reference = I32(db.Read("M", 'L', 2).bytes.data(), 5);
  EXPECT_EQ(TextMemo("M", reference), "tmp");
  ASSERT_EQ(XZK_RollbackTransaction(db.handle), 0);
  EXPECT_EQ(TextMemo("M", reference), "<none>");
}

}  // namespace
}  // namespace jxtest
