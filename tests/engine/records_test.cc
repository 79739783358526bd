// Records: reads by number, appends, rewrites, deletes, duplicate refusal,
// robustness of the record calls, several handles, host transactions.
#include "engine_fixture.h"

namespace jxtest {
namespace {

// File R: ID unique int key (offset 1), NAME text 8 (offset 5, size 9).
constexpr size_t kSize = 14;
std::vector<unsigned char> Row(int32_t id, const std::string& name) {
  return Image(kSize).I32At(1, id).TextAt(5, name).bytes;
}

class RecordsTest : public EngineTest {
 protected:
  void SetUp() override {
    ASSERT_GT(db.handle, 0);
    ASSERT_EQ(db.MakeFile("R", {{"ID", 'L', 0, 1}, {"NAME", 'T', 8}}), 0) << db.message;
  }
  Db db{dir.path()};
};

TEST_F(RecordsTest, ReadByNumberOverDeletedRecords) {
  for (int i = 1; i <= 4; ++i) {
    ASSERT_EQ(db.Write("R", 0, Row(i * 10, "n")), 0);
    EXPECT_EQ(db.Number(), i);
    EXPECT_EQ(db.Status(), JX_CALL_COMPLETED);
  }
  ASSERT_EQ(db.Read("R", 'L', 2, "").valid, 1);
  ASSERT_EQ(db.Delete("R"), 0);
  ASSERT_EQ(db.Read("R", 'L', 4, "").valid, 1);
  ASSERT_EQ(db.Delete("R"), 0);

  ReadResult r = db.Read("R", 'L', 1);
  EXPECT_EQ(r.valid, 1);
  EXPECT_EQ(r.number, 1);
  EXPECT_EQ(r.bytes, Row(10, "n"));
  r = db.Read("R", 'L', 2);  // deleted: not valid, not the end
  EXPECT_EQ(r.valid, 0);
  EXPECT_EQ(r.end, 0);
  EXPECT_EQ(r.error, 0);
  // Nothing is stored from the deleted last record on: a walk by number
  // ends there (the counter alone does not prolong it).
  EXPECT_EQ(db.Read("R", 'L', 4).end, 1);
  EXPECT_EQ(db.Read("R", 'L', 5).end, 1);
  // Numbers are not reused: the next append is 5.
  ASSERT_EQ(db.Write("R", 0, Row(50, "n")), 0);
  EXPECT_EQ(db.Number(), 5);
  // The deleted keys are gone from the index.
  EXPECT_EQ(db.Browse("R", "ID"), (std::vector<int32_t>{1, 3, 5}));
}

TEST_F(RecordsTest, RewriteKeepsKeysInStep) {
  ASSERT_EQ(db.Write("R", 0, Row(1, "a")), 0);
  ASSERT_EQ(db.Write("R", 0, Row(2, "b")), 0);
  ASSERT_EQ(db.Write("R", 1, Row(3, "c")), 0);
  EXPECT_EQ(db.Read("R", 'L', 1).bytes, Row(3, "c"));
  EXPECT_EQ(db.Browse("R", "ID"), (std::vector<int32_t>{2, 1}));
  ASSERT_EQ(db.FilterInt("R", "ID", 1, 1), 0);
  EXPECT_TRUE(db.Browse("R", "ID").empty());  // the old key 1 is gone
  // Rewriting a record that does not exist fails.
  EXPECT_EQ(db.Write("R", 9, Row(9, "z")), JX_ERR_NOT_FOUND);
  EXPECT_GT(db.Error(), 2);
}

TEST_F(RecordsTest, DuplicateUniqueKeyWritesNothing) {
  ASSERT_EQ(db.Write("R", 0, Row(7, "a")), 0);
  ASSERT_EQ(db.Write("R", 0, Row(8, "b")), 0);

  EXPECT_EQ(db.Write("R", 0, Row(7, "c")), JX_ERR_DUPLICATE);
  EXPECT_EQ(db.Duplicate(), 1);
  EXPECT_EQ(db.Error(), 0);  // a duplicate is reported by its flag only
  EXPECT_EQ(db.Status(), JX_CALL_COMPLETED);
  EXPECT_EQ(db.Read("R", 'L', 3).end, 1);

  EXPECT_EQ(db.Write("R", 2, Row(7, "d")), JX_ERR_DUPLICATE);
  EXPECT_EQ(db.Duplicate(), 1);
  EXPECT_EQ(db.Read("R", 'L', 2).bytes, Row(8, "b"));
  // Rewriting a record with its own key is no duplicate.
  EXPECT_EQ(db.Write("R", 2, Row(8, "e")), 0);
  EXPECT_EQ(db.Duplicate(), 0);
  EXPECT_EQ(db.Browse("R", "ID"), (std::vector<int32_t>{1, 2}));
}

TEST_F(RecordsTest, DeleteRemovesTheRecordJustRead) {
  ASSERT_EQ(db.Write("R", 0, Row(1, "a")), 0);
  ASSERT_EQ(db.Write("R", 0, Row(2, "b")), 0);
  EXPECT_EQ(db.Delete("R"), JX_ERR_NOT_FOUND);  // nothing read yet
  ReadResult r = db.Read("R", 'P', 0, "ID");
  ASSERT_EQ(r.number, 1);
  r = db.Read("R", 'S', 0, "ID");
  ASSERT_EQ(r.number, 2);
  ASSERT_EQ(db.Delete("R"), 0);
  EXPECT_EQ(db.Read("R", 'L', 2).valid, 0);
  EXPECT_EQ(db.Read("R", 'L', 1).valid, 1);
  EXPECT_EQ(db.Delete("R"), 0);  // record 1, just read by number
  EXPECT_EQ(db.Delete("R"), JX_ERR_NOT_FOUND);
  EXPECT_TRUE(db.Browse("R", "ID").empty());
  // The freed key can be used again.
  EXPECT_EQ(db.Write("R", 0, Row(2, "c")), 0);
}

TEST_F(RecordsTest, BadCallsAreRefusedWithACode) {
  EXPECT_EQ(db.Write("R", 0, Image(kSize - 1).bytes), JX_ERR_BAD_LENGTH);
  EXPECT_EQ(db.Status(), JX_CALL_COMPLETED);
  EXPECT_EQ(db.Write("R", 0, Image(kSize + 5).bytes), JX_ERR_BAD_LENGTH);
  EXPECT_EQ(db.Write("NOSUCH", 0, Row(1, "a")), JX_ERR_UNKNOWN_FILE);
  EXPECT_EQ(db.Write(std::string(200, 'R'), 0, Row(1, "a")), JX_ERR_UNKNOWN_FILE);
  EXPECT_EQ(db.Write("R", -2, Row(1, "a")), JX_ERR_BAD_ARGUMENT);
  EXPECT_GT(db.Error(), 2);

  std::memset(db.rec, 0, sizeof db.rec);
  SetI16(db.rec, JX_REC_LENGTH, int16_t(kSize));  // no data pointer
  EXPECT_EQ(XZK_ECRIREENREG(db.handle, "R", 0, db.rec), JX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(XZK_ECRIREENREG(db.handle, nullptr, 0, db.rec), JX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(XZK_ECRIREENREG(db.handle, "R", 0, nullptr), JX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(XZK_LIREENREG(db.handle, "R", 1, nullptr), JX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(XZK_LIREENREG(-7, "R", 1, db.rec), JX_ERR_BAD_HANDLE);
  EXPECT_EQ(I16(db.rec, JX_REC_STATUS), JX_CALL_COMPLETED);
  EXPECT_EQ(I16(db.rec, JX_REC_END), 1);

  EXPECT_EQ(db.Read("R", 'L', 0).code, JX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(db.Read("R", 'X', 1).code, JX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(db.Read("R", 'P', 0, "NAME").code, JX_ERR_NOT_A_KEY);
  EXPECT_EQ(db.Read("R", 'P', 0, "NOSUCH").code, JX_ERR_UNKNOWN_ITEM);
  EXPECT_EQ(db.Read("R", 'P', 0, "").code, JX_ERR_UNKNOWN_ITEM);
  EXPECT_EQ(db.Read("NOSUCH", 'L', 1).code, JX_ERR_UNKNOWN_FILE);
  EXPECT_EQ(db.Read("R", 'P', 0, "ID").end, 1);  // an empty file
}

TEST_F(RecordsTest, TwoHandlesShareOneDatabase) {
  Db other(dir.path());
  ASSERT_GT(other.handle, 0);
  ASSERT_NE(other.handle, db.handle);
  ASSERT_EQ(db.Write("R", 0, Row(1, "a")), 0);
  EXPECT_EQ(other.Read("R", 'L', 1).bytes, Row(1, "a"));  // sees the committed write
  ASSERT_EQ(other.Write("R", 0, Row(2, "b")), 0);
  EXPECT_EQ(db.Browse("R", "ID"), (std::vector<int32_t>{1, 2}));
  // A file created through one handle is known to the other.
  ASSERT_EQ(other.MakeFile("S", {{"X", 'L'}}), 0);
  EXPECT_EQ(db.Write("S", 0, Image(5).I32At(1, 4).bytes), 0);

  // While one handle holds a host transaction, the other reads the
  // committed state and may not write (it does not wait: no timeout).
  ASSERT_EQ(XZK_SetBusyTimeout(other.handle, 0), 0);
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  ASSERT_EQ(db.Write("R", 0, Row(3, "c")), 0);
  EXPECT_EQ(db.Read("R", 'L', 3).valid, 1);     // own write visible
  EXPECT_EQ(other.Read("R", 'L', 3).end, 1);    // not yet committed
  EXPECT_EQ(other.Write("R", 0, Row(4, "d")), JX_ERR_BUSY);
  EXPECT_EQ(XZK_BeginTransaction(other.handle), JX_ERR_BUSY);
  ASSERT_EQ(XZK_CommitTransaction(db.handle), 0);
  EXPECT_EQ(other.Read("R", 'L', 3).valid, 1);
  EXPECT_EQ(other.Write("R", 0, Row(4, "d")), 0);
}

TEST_F(RecordsTest, RollbackUndoesRecordsKeysAndFiles) {
  ASSERT_EQ(db.Write("R", 0, Row(1, "a")), 0);
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  EXPECT_EQ(XZK_BeginTransaction(db.handle), JX_ERR_TRANSACTION);
  ASSERT_EQ(db.Write("R", 0, Row(2, "b")), 0);
  ASSERT_EQ(db.Write("R", 1, Row(5, "x")), 0);
  ASSERT_EQ(db.MakeFile("TMP", {{"A", 'L'}}), 0);
  EXPECT_EQ(db.Browse("R", "ID"), (std::vector<int32_t>{2, 1}));
  ASSERT_EQ(XZK_RollbackTransaction(db.handle), 0);
  EXPECT_EQ(XZK_RollbackTransaction(db.handle), JX_ERR_TRANSACTION);
  EXPECT_EQ(XZK_CommitTransaction(db.handle), JX_ERR_TRANSACTION);

  EXPECT_EQ(db.Read("R", 'L', 1).bytes, Row(1, "a"));
  EXPECT_EQ(db.Read("R", 'L', 2).end, 1);
  EXPECT_EQ(db.Browse("R", "ID"), (std::vector<int32_t>{1}));
  EXPECT_EQ(db.Write("TMP", 0, Image(5).bytes), JX_ERR_UNKNOWN_FILE);
  // Closing a handle rolls back its open transaction.
  {
    Db third(dir.path());
    ASSERT_EQ(XZK_BeginTransaction(third.handle), 0);
    ASSERT_EQ(third.Write("R", 0, Row(9, "z")), 0);
  }
  EXPECT_EQ(db.Read("R", 'L', 2).end, 1);
  EXPECT_EQ(db.Write("R", 0, Row(2, "b")), 0);  // the writer lock was released
}

TEST_F(EngineTest, AFullMapGrowsUnderSingleWritesAndRollsBackAHostTransaction) {
  // A 1 MiB initial map. Single writes cross it unseen (abort, grow, run
  // again); a host transaction that fills it is rolled back whole, answers
  // JX_ERR_ROLLED_BACK until ended, and runs whole once the map has grown.
  SetEnv("JXENGINE_MAP_SIZE", "1048576");
  Db db(dir.path());
  UnsetEnv("JXENGINE_MAP_SIZE");
  ASSERT_EQ(db.MakeFile("BIG", {{"K", 'L', 0, 1}, {"PAD", 'R', 30000}}), 0) << db.message;
  std::vector<unsigned char> image(30005, 0xAB);
  int32_t k = 0;
  auto write = [&]() {
    ++k;
    std::memcpy(&image[1], &k, 4);
    return db.Write("BIG", 0, image);
  };
  for (int i = 0; i < 45; ++i) ASSERT_EQ(write(), 0) << k;
  const int32_t committed = k;

  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  ASSERT_EQ(db.Read("BIG", 'L', 3).valid, 1);
  ASSERT_EQ(db.Delete("BIG"), 0);
  int16_t code = 0;
  for (int i = 0; i < 150 && code == 0; ++i) code = write();
  EXPECT_EQ(code, JX_ERR_MAP_FULL);
  char why[512];
  EXPECT_EQ(XZK_GetLastError(db.handle, why, sizeof why), JX_ERR_MAP_FULL);
  EXPECT_NE(std::string(why).find("JXENGINE_MAP_SIZE"), std::string::npos) << why;
  EXPECT_EQ(write(), JX_ERR_ROLLED_BACK);
  EXPECT_EQ(XZK_CommitTransaction(db.handle), JX_ERR_ROLLED_BACK);
  EXPECT_EQ(XZK_CommitTransaction(db.handle), JX_ERR_TRANSACTION);  // it is over
  EXPECT_EQ(db.Read("BIG", 'L', 3).valid, 1);  // the delete went with it
  EXPECT_EQ(db.Read("BIG", 'L', committed + 1).end, 1);

  k = committed;
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  ASSERT_EQ(db.Read("BIG", 'L', 3).valid, 1);
  ASSERT_EQ(db.Delete("BIG"), 0);
  for (int i = 0; i < 30; ++i) ASSERT_EQ(write(), 0) << k;
  ASSERT_EQ(XZK_CommitTransaction(db.handle), 0);
  ReadResult r = db.Read("BIG", 'L', k);
  ASSERT_EQ(r.valid, 1);
  EXPECT_EQ(I32(r.bytes.data(), 1), k);
  EXPECT_EQ(db.Read("BIG", 'L', 3).valid, 0);
  EXPECT_EQ(db.Browse("BIG", "K").size(), size_t(committed + 30 - 1));
}

}  // namespace
}  // namespace jxtest
