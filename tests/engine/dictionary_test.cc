// Dictionary: file and index creation through XZK_DECRITFICHIER, and what
// XZK_GETINFOSJXD and XZK_GetFileName report afterwards.
#include "engine_fixture.h"

namespace jxtest {
namespace {

struct ItemInfo {
  int16_t size, type, dimension, composite;
  uint8_t keyKind;
  std::string name;
};

int16_t DescribeFile(Db& db, const std::string& file, int16_t* recordSize) {
  unsigned char info[JX_INFO_BLOCK_SIZE] = {};
  std::strncpy(reinterpret_cast<char*>(info), file.c_str(), JX_NAME_MAX_LENGTH);
  SetI16(info, JX_INFO_ITEM_COUNT, 99);
  XZK_GETINFOSJXD(db.handle, JX_INFO_DESCRIBE_FILE, info);
  if (recordSize) *recordSize = I16(info, JX_INFO_RECORD_SIZE);
  return I16(info, JX_INFO_ITEM_COUNT);
}

ItemInfo DescribeItem(Db& db, const std::string& file, int16_t index) {
  unsigned char info[JX_INFO_BLOCK_SIZE] = {};
  std::strncpy(reinterpret_cast<char*>(info), file.c_str(), JX_NAME_MAX_LENGTH);
  SetI16(info, JX_INFO_ITEM_INDEX, index);
  std::strcpy(reinterpret_cast<char*>(info) + JX_INFO_ITEM_NAME, "STALE");
  XZK_GETINFOSJXD(db.handle, JX_INFO_DESCRIBE_ITEM, info);
  return {I16(info, JX_INFO_ITEM_SIZE), I16(info, JX_INFO_ITEM_TYPE),
          I16(info, JX_INFO_ITEM_DIMENSION), I16(info, JX_INFO_COMPOSITE),
          info[JX_INFO_KEY_KIND], reinterpret_cast<const char*>(info) + JX_INFO_ITEM_NAME};
}

// Component `component` of the composite key that is item `index`; the
// return code of the call in *code.
ItemInfo DescribeComponent(Db& db, const std::string& file, int16_t index, int16_t component,
                           int16_t* code) {
  unsigned char info[JX_INFO_BLOCK_SIZE] = {};
  std::strncpy(reinterpret_cast<char*>(info), file.c_str(), JX_NAME_MAX_LENGTH);
  SetI16(info, JX_INFO_ITEM_INDEX, index);
  SetI16(info, JX_INFO_COMPONENT, component);
  std::strcpy(reinterpret_cast<char*>(info) + JX_INFO_ITEM_NAME, "STALE");
  *code = XZK_GETINFOSJXD(db.handle, JX_INFO_DESCRIBE_COMPONENT, info);
  return {I16(info, JX_INFO_ITEM_SIZE),
          I16(info, JX_INFO_ITEM_TYPE),
          I16(info, JX_INFO_ITEM_DIMENSION),
          I16(info, JX_INFO_COMPOSITE),
          info[JX_INFO_KEY_KIND],
          reinterpret_cast<const char*>(info) + JX_INFO_ITEM_NAME};
}

using DictionaryTest = EngineTest;

TEST_F(DictionaryTest, EveryItemTypeRoundTrips) {
  Db db(dir.path());
  ASSERT_GT(db.handle, 0);
  struct Expect {
    Column column;
    int16_t type, size;
  };
  const std::vector<Expect> expected = {
      {{"d8", 'A', 0}, 98, 9},   {{"d6", 'A', 6}, 98, 7},   {{"l", 'L', 0}, 5, 4},
      {{"h", 'H', 0}, 99, 4},    {{"e", 'E', 0}, 3, 2},     {{"s", 'S', 0}, 7, 4},
      {{"d", 'D', 0}, 9, 8},     {{"t", 'T', 10}, 15, 11},  {{"c", 'C', 0}, 1, 1},
      {{"b", 'B', 0}, 2, 1},     {{"w", 'W', 0}, 4, 2},     {{"u", 'U', 0}, 6, 4},
      {{"n", 'N', 0}, 10, 10},   {{"m", 'M', 0}, 12, 4},    {{"g", 'G', 0}, 22, 4},
      {{"f", 'F', 5}, 13, 5},    {{"p", 'P', 5}, 14, 6},    {{"r", 'R', 3}, 0, 3},
      {{"q", 'Q', 2}, 8, 2},     {{"v", 'v', 2}, 11, 2},    {{"y", 'Y', 2}, 16, 2},
      {{"z", 'Z', 2}, 17, 2},    {{"arr", 'L', 0, 0, 3}, 5, 4},
      {{"pk", 'L', 0, 1}, 5, 4}, {{"dup", 'T', 4, 2}, 15, 5}};
  std::vector<Column> columns;
  for (const Expect& e : expected) columns.push_back(e.column);
  ASSERT_EQ(db.MakeFile("everything", columns), 0) << db.message;

  int16_t recordSize = 0;
  ASSERT_EQ(DescribeFile(db, "Everything", &recordSize), int16_t(expected.size()));
  int expectedSize = 1;
  for (size_t i = 0; i < expected.size(); ++i) {
    ItemInfo item = DescribeItem(db, "EVERYTHING", int16_t(i));
    const Expect& e = expected[i];
    std::string upper = e.column.name;
    for (char& ch : upper) ch = char(toupper(ch));
    EXPECT_EQ(item.name, upper);
    EXPECT_EQ(item.type, e.type) << upper;
    EXPECT_EQ(item.size, e.size) << upper;
    int dimension = e.column.dimension > 1 ? e.column.dimension : 1;
    EXPECT_EQ(item.dimension, dimension) << upper;
    EXPECT_EQ(item.keyKind, e.column.key) << upper;
    EXPECT_EQ(item.composite, 0);
    expectedSize += e.size * dimension;
  }
  EXPECT_EQ(recordSize, expectedSize);
  // Past the last item: an empty name.
  EXPECT_EQ(DescribeItem(db, "EVERYTHING", int16_t(expected.size())).name, "");

  // The description persists across a reopen.
  Db again(dir.path());
  EXPECT_EQ(DescribeFile(again, "everything", nullptr), int16_t(expected.size()));
}

TEST_F(DictionaryTest, UnknownFilesAndBadArgumentsAreReportedNotCrashed) {
  Db db(dir.path());
  EXPECT_EQ(DescribeFile(db, "nosuch", nullptr), 0);
  EXPECT_EQ(DescribeFile(db, std::string(40, 'X'), nullptr), 0);
  EXPECT_NE(XZK_GETINFOSJXD(db.handle, 0, nullptr), 0);
  unsigned char info[JX_INFO_BLOCK_SIZE] = {};
  std::memset(info, 'A', JX_NAME_FIELD_SIZE);  // no terminator in the name field
  EXPECT_NE(XZK_GETINFOSJXD(db.handle, 0, info), 0);
  EXPECT_EQ(XZK_GETINFOSJXD(12345, 0, info), JX_ERR_BAD_HANDLE);
  EXPECT_EQ(XZK_Termine(12345), JX_ERR_BAD_HANDLE);
  EXPECT_NE(XZK_DECRITFICHIER(db.handle, 0, nullptr), 0);
  EXPECT_LE(XZK_nInit(nullptr, 1), 0);
  EXPECT_LE(XZK_nInit(dir.Sub("missing").c_str(), 0), 0);  // no create flag
  EXPECT_EQ(XZK_nAppel(db.handle), JX_NOT_SUPPORTED);
}

TEST_F(DictionaryTest, RefusalsCarryAStatusAndAFrenchMessage) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("T", {{"A", 'L'}}), 0);
  EXPECT_GT(db.MakeFile("t", {{"A", 'L'}}), 0);
  EXPECT_NE(db.message.find("existe"), std::string::npos) << db.message;
  EXPECT_GT(db.MakeFile("U", {{"A", 'X'}}), 0);
  EXPECT_NE(db.message.find("inconnu"), std::string::npos) << db.message;
  EXPECT_GT(db.MakeFile("U", {{"A", 'T', 0}}), 0);
  EXPECT_NE(db.message.find("Taille"), std::string::npos) << db.message;
  EXPECT_GT(db.MakeFile(std::string(JX_NAME_MAX_LENGTH + 1, 'N'), {{"A", 'L'}}), 0);
  EXPECT_GT(db.MakeFile("U", {{std::string(JX_NAME_MAX_LENGTH + 1, 'C'), 'L'}}), 0);
  EXPECT_GT(db.MakeFile("U", {{"A", 'L'}, {"a", 'D'}}), 0);
  EXPECT_NE(db.message.find("existe"), std::string::npos) << db.message;
  EXPECT_GT(db.MakeFile("U", {{"M", 'M', 0, 1}}), 0);  // a memo cannot be a key
  EXPECT_GT(db.MakeFile("U", {{"K", 'T', 300, 1}}), 0);  // key over 255 bytes
  EXPECT_GT(db.MakeFile("U", {{"A", 'R', 30000}, {"B", 'R', 30000}}), 0);  // record too long
  EXPECT_GT(db.MakeFile("U", {}), 0);
  // None of the refused files exists.
  EXPECT_EQ(DescribeFile(db, "U", nullptr), 0);

  EXPECT_GT(db.CreateIndex("NOSUCH", "I", "A", false), 0);
  EXPECT_GT(db.CreateIndex("T", "I", "NOSUCH", false), 0);
  EXPECT_NE(db.message.find("NOSUCH"), std::string::npos) << db.message;
  EXPECT_GT(db.CreateIndex("T", "I", "", false), 0);
  ASSERT_EQ(db.CreateIndex("T", "I", "A", false), 0) << db.message;
  EXPECT_GT(db.CreateIndex("T", "J", "A", false), 0);  // already a key

  unsigned char fd[JX_FD_SIZE_BYTES] = {};
  XZK_DECRITFICHIER(db.handle, JX_DESCRIBE_COMPLETE, fd);  // nothing described
  EXPECT_GT(I16(fd, JX_FD_STATUS), 0);
  XZK_DECRITFICHIER(db.handle, 9, fd);
  EXPECT_GT(I16(fd, JX_FD_STATUS), 0);
}

TEST_F(DictionaryTest, IndexesOverExistingRecords) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("P", {{"A", 'L'}, {"B", 'T', 5}}), 0);
  const int32_t as[] = {3, 1, 2, 1};
  const char* bs[] = {"x", "y", "x", "z"};
  for (int i = 0; i < 4; ++i)
    ASSERT_EQ(db.Write("P", 0, Image(11).I32At(1, as[i]).TextAt(5, bs[i]).bytes), 0);

  // A unique index over duplicate values is refused and leaves no key.
  EXPECT_GT(db.CreateIndex("P", "UA", "A", true), 0);
  EXPECT_NE(db.message.find("double"), std::string::npos) << db.message;
  EXPECT_EQ(DescribeItem(db, "P", 0).keyKind, 0);

  ASSERT_EQ(db.CreateIndex("P", "IA", "A", false), 0) << db.message;
  EXPECT_EQ(DescribeItem(db, "P", 0).keyKind, 2);
  EXPECT_EQ(db.Browse("P", "A"), (std::vector<int32_t>{2, 4, 3, 1}));

  // A composite index: an item of size 0 named after the index.
  ASSERT_EQ(db.CreateIndex("P", "AB", "B, A", true), 0) << db.message;
  EXPECT_EQ(DescribeFile(db, "P", nullptr), 3);
  ItemInfo composite = DescribeItem(db, "P", 2);
  EXPECT_EQ(composite.name, "AB");
  EXPECT_EQ(composite.size, 0);
  EXPECT_NE(composite.composite, 0);
  EXPECT_EQ(composite.keyKind, 1);
  EXPECT_EQ(db.Browse("P", "AB"), (std::vector<int32_t>{3, 1, 2, 4}));
  // Its columns, in the index's order, described like items.
  int16_t code = -1;
  ItemInfo first = DescribeComponent(db, "p", 2, 0, &code);
  EXPECT_EQ(code, JX_OK);
  EXPECT_EQ(first.name, "B");
  EXPECT_EQ(first.type, 15);
  EXPECT_EQ(first.size, 6);
  EXPECT_EQ(first.composite, 0);
  ItemInfo second = DescribeComponent(db, "P", 2, 1, &code);
  EXPECT_EQ(code, JX_OK);
  EXPECT_EQ(second.name, "A");
  EXPECT_EQ(second.keyKind, 2);
  // Past the last component, or on an item that is no composite key: an
  // empty name and JX_ERR_UNKNOWN_ITEM.
  EXPECT_EQ(DescribeComponent(db, "P", 2, 2, &code).name, "");
  EXPECT_EQ(code, JX_ERR_UNKNOWN_ITEM);
  EXPECT_EQ(DescribeComponent(db, "P", 0, 0, &code).name, "");
  EXPECT_EQ(code, JX_ERR_UNKNOWN_ITEM);
  DescribeComponent(db, "P", 2, -1, &code);
  EXPECT_EQ(code, JX_ERR_UNKNOWN_ITEM);
  // The composite key is enforced from now on.
  EXPECT_EQ(db.Write("P", 0, Image(11).I32At(1, 2).TextAt(5, "x").bytes), JX_ERR_DUPLICATE);
  EXPECT_EQ(db.Duplicate(), 1);
}

TEST_F(DictionaryTest, CatalogueListsFilesInNameOrder) {
  Db db(dir.path());
  ASSERT_EQ(db.MakeFile("zeta", {{"A", 'L'}}), 0);
  ASSERT_EQ(db.MakeFile("alpha", {{"A", 'L'}}), 0);
  char name[JX_NAME_FIELD_SIZE];
  ASSERT_EQ(XZK_GetFileName(db.handle, 0, name), 0);
  EXPECT_STREQ(name, "ALPHA");
  ASSERT_EQ(XZK_GetFileName(db.handle, 1, name), 0);
  EXPECT_STREQ(name, "ZETA");
  EXPECT_NE(XZK_GetFileName(db.handle, 2, name), 0);
  EXPECT_NE(XZK_GetFileName(db.handle, 0, nullptr), 0);
  EXPECT_NE(XZK_GetFileName(-1, 0, name), 0);
}

}  // namespace
}  // namespace jxtest
