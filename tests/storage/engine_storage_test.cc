// Tables, columns and the dictionary over the real storage engine.
#ifdef JXENGINE_PATH

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/request.h"
#include "base/memory_block.h"
#include "engine_database.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/file_table.h"

namespace zksql {
namespace {

class EngineStorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db_.ok());
    request_ = CreateRequest(nullptr, db_.handle(), nullptr);
    ASSERT_NE(request_, nullptr);
  }
  void TearDown() override { DestroyRequest(request_); }

  // A fresh request whose dictionary wants `names` of `file` (or all items).
  FileTable* Load(const char* file, std::initializer_list<const char*> names, bool all = false) {
    DestroyRequest(request_);
    request_ = CreateRequest(nullptr, db_.handle(), memos_);
    request_->memoMarkerCount = markers_;
    FileTable* t = request_->dict->FindOrCreateTable(file, nullptr);
    t->set_referenced(true);
    t->set_allColumns(all);
    for (const char* n : names) request_->dict->AddWantedName(n);
    EXPECT_TRUE(request_->dict->LoadDescriptions()) << request_->errorText;
    return t;
  }
  double Number(Column* c) {
    double v;
    memcpy(&v, c->GetValue(), 8);
    return v;
  }
  std::string Text(Column* c) { return static_cast<const char*>(c->GetValue()); }

  EngineDatabase db_;
  Request* request_ = nullptr;
  const ZKSQLMemoTable* memos_ = nullptr;
  int32_t markers_ = 0;
};

TEST_F(EngineStorageTest, OnlyWantedItemsBecomeColumnsAtTheirTrueOffsets) {
  ASSERT_EQ(db_.MakeFile("T", {{"X", 'E', 2}, {"A", 'T', 10}, {"M", 'M', 0}, {"Y", 'D', 8}, {"P", 'G', 0}}),
            0)
      << db_.message();
  FileTable* t = Load("t", {"T.A"});
  ASSERT_TRUE(t->found());
  ASSERT_EQ(t->ColumnCount(), 1);
  Column* a = t->ColumnAt(0);
  EXPECT_STREQ(a->name(), "A");
  EXPECT_EQ(a->offset(), 1 + 2);
  EXPECT_EQ(a->type(), kTypeText);
  EXPECT_EQ(t->rowSize(), 1 + 2 + 11 + 4 + 8 + 4);
  // The qualified list numbers the file's memos: it holds them alone, in
  // item order, at their offsets.
  PtrArray& qualified = request_->dict->qualifiedColumns();
  ASSERT_EQ(qualified.Count(), 2);
  EXPECT_STREQ(qualified.GetAs<Column>(0)->name(), "T.M");
  EXPECT_EQ(qualified.GetAs<Column>(0)->offset(), 1 + 2 + 11);
  EXPECT_STREQ(qualified.GetAs<Column>(1)->name(), "T.P");
  EXPECT_EQ(qualified.GetAs<Column>(1)->offset(), 1 + 2 + 11 + 4 + 8);
  EXPECT_EQ(request_->dict->FindColumn(nullptr, "T.A"), a);
}

TEST_F(EngineStorageTest, AliasesGetTheirOwnColumnsAndRowBuffers) {
  ASSERT_EQ(db_.MakeFile("T", {{"A", 'L', 4}}), 0);
  DestroyRequest(request_);
  request_ = CreateRequest(nullptr, db_.handle(), nullptr);
  FileTable* t = request_->dict->FindOrCreateTable("T", nullptr);
  FileTable* b = request_->dict->FindOrCreateTable("B", t);
  request_->dict->AddWantedName("A");
  ASSERT_TRUE(request_->dict->LoadDescriptions());
  ASSERT_EQ(b->ColumnCount(), 1);
  EXPECT_STREQ(b->ColumnAt(0)->tableName(), "B");
  EXPECT_EQ(b->rowSize(), t->rowSize());
  EXPECT_NE(b->rowBuffer(), t->rowBuffer());
  // The last registered table wins an unqualified search.
  EXPECT_EQ(request_->dict->FindColumn(nullptr, "A"), b->ColumnAt(0));
}

TEST_F(EngineStorageTest, ATableNeverBecomesAnAliasOfItself) {
  ASSERT_EQ(db_.MakeFile("T", {{"A", 'L', 4}}), 0);
  DestroyRequest(request_);
  request_ = CreateRequest(nullptr, db_.handle(), nullptr);
  // "FROM T T", and an alias chain closed back on its start: the table
  // stays the file, so column look-ups end.
  FileTable* t = request_->dict->FindOrCreateTable("T", nullptr);
  EXPECT_EQ(request_->dict->FindOrCreateTable("T", t), t);
  EXPECT_EQ(t->base(), nullptr);
  FileTable* b = request_->dict->FindOrCreateTable("B", t);
  EXPECT_EQ(request_->dict->FindOrCreateTable("T", b), t);
  EXPECT_EQ(t->base(), nullptr);
  EXPECT_EQ(b->base(), t);
  EXPECT_EQ(request_->dict->AddWantedName("T.A"), 1);
  ASSERT_TRUE(request_->dict->LoadDescriptions()) << request_->errorText;
  ASSERT_EQ(t->ColumnCount(), 1);
  EXPECT_EQ(t->FindColumn("A"), t->ColumnAt(0));
  EXPECT_EQ(t->FindColumn("Z"), nullptr);
}

TEST_F(EngineStorageTest, AWantedNameTooLongForAnItemIsNotAShortageOfMemory) {
  EXPECT_EQ(request_->dict->AddWantedName("T.ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"), 1);
  EXPECT_EQ(request_->dict->AddWantedName("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"), 0);
}

TEST_F(EngineStorageTest, AnUnknownFileIsReportedByName) {
  DestroyRequest(request_);
  request_ = CreateRequest(nullptr, db_.handle(), nullptr);
  request_->dict->FindOrCreateTable("NOSUCH", nullptr);
  EXPECT_FALSE(request_->dict->LoadDescriptions());
  EXPECT_STREQ(request_->errorText, " Table 'NOSUCH' inexistante dans l'analyse");
  EXPECT_STREQ(request_->sqlState, "00123");
  // A name longer than the dictionary holds is not cut into another name.
  ASSERT_EQ(db_.MakeFile("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", {{"A", 'L', 4}}), 0);
  DestroyRequest(request_);
  request_ = CreateRequest(nullptr, db_.handle(), nullptr);
  request_->dict->FindOrCreateTable("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123X", nullptr);
  EXPECT_FALSE(request_->dict->LoadDescriptions());
}

TEST_F(EngineStorageTest, EveryItemTypeRoundTripsThroughTheEngine) {
  ASSERT_EQ(db_.MakeFile("ALL", {{"I8", 'C', 1}, {"I16", 'E', 2}, {"I32", 'L', 4},
                                    {"U8", 'B', 1}, {"U16", 'W', 2}, {"U32", 'U', 4},
                                    {"F", 'S', 4}, {"R", 'D', 8}, {"DEC", 'N', 10},
                                    {"TXT", 'T', 8}, {"FIX", 'F', 5}, {"CNT", 'P', 5},
                                    {"D8", 'A', 8}, {"D6", 'A', 6}, {"H", 'H', 4}}),
            0)
      << db_.message();
  FileTable* t = Load("ALL", {}, true);
  ASSERT_EQ(t->ColumnCount(), 15);
  const double numbers[] = {-5, -300, 123456, 200, 60000, 4000000000.0, 0.1, 2.5, -1234.56};
  for (int i = 0; i < 9; ++i) t->ColumnAt(static_cast<int16_t>(i))->SetValue(&numbers[i]);
  t->FindColumn("TXT")->SetValue("bonjour");
  t->FindColumn("FIX")->SetValue("AB");
  t->FindColumn("CNT")->SetValue("xyz");
  t->FindColumn("D8")->SetValue("20240229");
  t->FindColumn("D6")->SetValue("19991231");
  t->FindColumn("H")->SetValue("1230");
  ASSERT_EQ(t->Write(0), kWriteDone) << t->errorText();

  FileTable* r = Load("ALL", {}, true);
  ASSERT_EQ(r->ReadByNumber(1), 1);
  for (int i = 0; i < 9; ++i) {
    EXPECT_DOUBLE_EQ(Number(r->ColumnAt(static_cast<int16_t>(i))), numbers[i]) << i;
  }
  EXPECT_EQ(Text(r->FindColumn("TXT")), "bonjour");
  EXPECT_EQ(Text(r->FindColumn("FIX")), "AB");
  EXPECT_EQ(Text(r->FindColumn("CNT")), "xyz");
  EXPECT_EQ(Text(r->FindColumn("D8")), "20240229");
  EXPECT_EQ(Text(r->FindColumn("D6")), "19991231");
  EXPECT_EQ(Text(r->FindColumn("H")), "1230");
}

TEST_F(EngineStorageTest, AppendRewriteDeleteAndReadsOverDeletedRecords) {
  ASSERT_EQ(db_.MakeFile("T", {{"A", 'L', 4}}), 0);
  FileTable* t = Load("T", {"A"});
  Column* a = t->ColumnAt(0);
  for (double v : {10.0, 20.0, 30.0}) {
    a->SetValue(&v);
    ASSERT_EQ(t->Write(0), kWriteDone);
  }
  ASSERT_EQ(t->ReadByNumber(2), 2);
  ASSERT_EQ(t->Write(-1), kWriteDone);  // deletes the record just read
  ASSERT_EQ(t->ReadByNumber(1), 1);
  double v = 11;
  a->SetValue(&v);
  ASSERT_EQ(t->Write(1), kWriteDone);

  FileTable* r = Load("T", {"A"});
  EXPECT_EQ(r->ReadByNumber(1), 1);
  EXPECT_EQ(Number(r->ColumnAt(0)), 11);
  EXPECT_EQ(r->ReadByNumber(2), 3);  // record 2 is gone: the next valid one
  EXPECT_EQ(Number(r->ColumnAt(0)), 30);
  EXPECT_EQ(r->ReadByNumber(0), 0);
}

TEST_F(EngineStorageTest, KeyedReadsFollowTheKeyOrder) {
  ASSERT_EQ(db_.MakeFile("K", {{"N", 'T', 10, 2}}), 0);
  FileTable* t = Load("K", {"N"});
  for (const char* s : {"poire", "abricot", "\xE9pice", "banane"}) {
    t->ColumnAt(0)->SetValue(s);
    ASSERT_EQ(t->Write(0), kWriteDone);
  }
  FileTable* r = Load("K", {"N"});
  r->keyName().Set("N");
  std::string order;
  for (int32_t n = r->ReadFirst(nullptr); n > 0; n = r->ReadNext(nullptr)) {
    order += Text(r->ColumnAt(0)) + ",";
  }
  EXPECT_EQ(order, "abricot,banane,poire,\xE9pice,");
}

TEST_F(EngineStorageTest, ADuplicateKeyIsReportedWithTheFileName) {
  ASSERT_EQ(db_.MakeFile("U", {{"ID", 'L', 4, 1}}), 0);
  FileTable* t = Load("U", {"ID"});
  double one = 1;
  t->ColumnAt(0)->SetValue(&one);
  ASSERT_EQ(t->Write(0), kWriteDone);
  EXPECT_EQ(t->Write(0), kWriteDuplicate);
  EXPECT_STREQ(t->errorText(),
               " Erreur de doublon lors d'une insertion ou d'une modification sur le fichier U");
}

// A host memo block as hosts make them: header size at 3, length at 52.
HGLOBAL MakeMemoBlock(const std::string& data) {
  const int16_t header = 64;
  HGLOBAL h = GlobalAlloc(GHND, header + data.size());
  unsigned char* p = static_cast<unsigned char*>(GlobalLock(h));
  int32_t length = static_cast<int32_t>(data.size());
  memcpy(p + 3, &header, 2);
  memcpy(p + 52, &length, 4);
  memcpy(p + header, data.data(), data.size());
  return h;
}

TEST_F(EngineStorageTest, MemosAreWrittenOnlyWhenAssigned) {
  ASSERT_EQ(db_.MakeFile("M", {{"ID", 'L', 4}, {"NOTE", 'M', 4}, {"BIN", 'G', 4}}), 0)
      << db_.message();
  HGLOBAL binary = MakeMemoBlock(std::string("\x01\xAB\x02\xCD", 4));
  struct {
    int16_t reserved;
    const void* blocks[2];
  } table = {0, {GlobalLock(binary), nullptr}};
  memos_ = reinterpret_cast<const ZKSQLMemoTable*>(&table);
  markers_ = 1;

  FileTable* t = Load("M", {}, true);
  double id = 1;
  t->FindColumn("ID")->SetValue(&id);
  t->FindColumn("NOTE")->SetValue("une note");
  t->FindColumn("BIN")->SetValue("\x7F" "1");
  ASSERT_EQ(t->Write(0), kWriteDone) << t->errorText();

  // Rewriting the record without assigning the memos keeps them.
  FileTable* u = Load("M", {}, true);
  ASSERT_EQ(u->ReadByNumber(1), 1);
  id = 2;
  u->FindColumn("ID")->SetValue(&id);
  ASSERT_EQ(u->Write(1), kWriteDone);

  FileTable* r = Load("M", {}, true);
  ASSERT_EQ(r->ReadByNumber(1), 1);
  EXPECT_EQ(Number(r->FindColumn("ID")), 2);
  EXPECT_EQ(Text(r->FindColumn("NOTE")), "une note");
  EXPECT_EQ(Text(r->FindColumn("BIN")), "01AB");  // half of the bytes, as hex
  void* handle = r->FindColumn("BIN")->MemoHandle();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GlobalFree(handle), nullptr);

  // A host memo number beyond the statement's markers is never read.
  FileTable* w = Load("M", {}, true);
  w->FindColumn("NOTE")->SetValue("\x7F" "2");
  EXPECT_EQ(w->Write(0), kWriteDone);
  FileTable* x = Load("M", {}, true);
  ASSERT_EQ(x->ReadByNumber(2), 2);
  EXPECT_EQ(Text(x->FindColumn("NOTE")), "");
  GlobalFree(binary);
}

}  // namespace
}  // namespace zksql

#endif  // JXENGINE_PATH
