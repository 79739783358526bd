// Value extraction and storage by item type, on a table's row buffer.
#include "storage/column.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "storage/result_table.h"

namespace zksql {
namespace {

// A table with one row buffer of 64 bytes and the column under test at
// offset 1, as the dictionary lays items out.
class ColumnTest : public ::testing::Test {
 protected:
  ColumnTest() : table_(nullptr) { EXPECT_TRUE(table_.SetRowSize(64, true)); }

  Column* Make(uint16_t type, uint16_t size, uint16_t offset = 1) {
    Column* c = new Column("C", type, size, 0, offset, &table_, "T");
    table_.AddColumn(c);
    return c;
  }
  double Number(Column* c) {
    double real;
    memcpy(&real, c->GetValue(), sizeof real);
    return real;
  }
  std::string Text(Column* c) { return static_cast<const char*>(c->GetValue()); }
  unsigned char* Row() { return table_.rowBuffer(); }

  ResultTable table_;
};

TEST_F(ColumnTest, EightBitItemsKeepTheirSign) {
  Column* s = Make(kTypeInt8, 1, 1);
  Column* u = Make(kTypeUInt8, 1, 2);
  Row()[1] = 0xFF;
  Row()[2] = 0xFF;
  EXPECT_EQ(Number(s), -1);
  EXPECT_EQ(Number(u), 255);
}

struct IntegerCase {
  uint16_t type;
  uint16_t size;
  double assigned;
  double extracted;
};

class IntegerStoreTest : public ColumnTest, public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(IntegerStoreTest, TruncatesTowardZeroAndKeepsLowBytes) {
  const IntegerCase& c = GetParam();
  Column* column = Make(c.type, c.size);
  column->SetValue(&c.assigned);
  EXPECT_EQ(Number(column), c.extracted);
}

INSTANTIATE_TEST_SUITE_P(
    Types, IntegerStoreTest,
    ::testing::Values(IntegerCase{kTypeInt32, 4, 2.9, 2}, IntegerCase{kTypeInt32, 4, -2.9, -2},
                      IntegerCase{kTypeInt16, 2, 70000, 70000 - 65536},
                      IntegerCase{kTypeUInt16, 2, -1, 65535}, IntegerCase{kTypeInt8, 1, 300, 44},
                      IntegerCase{kTypeUInt32, 4, 4294967295.0, 4294967295.0},
                      // Far out of range: defined, low bytes of the clamped value.
                      IntegerCase{kTypeInt32, 4, 1e300, -1}, IntegerCase{kTypeReal, 8, 2.5, 2.5}));

TEST_F(ColumnTest, FloatsShowTheDigitsTheyCarry) {
  Column* c = Make(kTypeFloat, 4);
  double tenth = 0.1;
  c->SetValue(&tenth);
  EXPECT_EQ(Number(c), 0.1);
  double huge = 1e300;
  c->SetValue(&huge);  // beyond the float range: an infinity, not undefined
  float stored;
  memcpy(&stored, Row() + 1, sizeof stored);
  EXPECT_TRUE(std::isinf(stored));
}

TEST_F(ColumnTest, DecimalItemsRoundTripThroughReals) {
  Column* c = Make(kTypeDecimal, 10);
  double v = -1234.5;
  c->SetValue(&v);
  EXPECT_DOUBLE_EQ(Number(c), -1234.5);
}

TEST_F(ColumnTest, TheThreeTextFormsAreBoundedByTheirItem) {
  Column* zero = Make(kTypeText, 5, 1);
  zero->SetValue("ABCDEFG");
  EXPECT_EQ(Text(zero), "ABCD");
  EXPECT_EQ(Row()[5], 0);

  Column* fixed = Make(kTypeFixedText, 5, 10);
  fixed->SetValue("AB");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(Row() + 10), 5), "AB   ");
  EXPECT_EQ(Text(fixed), "AB");
  Row()[15] = 'Z';
  fixed->SetValue("ABCDEFGHIJ");  // never past the item
  EXPECT_EQ(Row()[15], 'Z');
  EXPECT_EQ(Text(fixed), "ABCDE");

  Column* counted = Make(kTypeCountedText, 6, 20);
  counted->SetValue("AB");
  EXPECT_EQ(Row()[20], 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(Row() + 21), 5), "AB   ");
  EXPECT_EQ(Text(counted), "AB");
  Row()[20] = 200;  // a corrupt length byte never reads past the item
  EXPECT_EQ(Text(counted).size(), 2u);
}

TEST_F(ColumnTest, SixCharacterDatesTakeTheCentury) {
  Column* c = Make(kTypeDate, 7);
  memcpy(Row() + 1, "990315", 7);
  EXPECT_EQ(Text(c), "19990315");
  c->SetValue("20240229");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(Row() + 1)), "240229");
  c->SetValue("240229");  // already six characters: kept whole
  EXPECT_EQ(std::string(reinterpret_cast<char*>(Row() + 1)), "240229");
  Column* eight = Make(kTypeDate, 9, 20);
  eight->SetValue("20240229");
  EXPECT_EQ(Text(eight), "20240229");
}

TEST_F(ColumnTest, MemoMarkersNameHostMemoNumbers) {
  Column* c = Make(kTypeTextMemo, 4);
  c->SetValue("\x7F" "12");
  EXPECT_TRUE(c->memoAssigned());
  EXPECT_EQ(c->hostMemoNumber(), 12);
  EXPECT_EQ(c->memoCopy(), nullptr);
  c->SetValue("\x7F");
  EXPECT_EQ(c->hostMemoNumber(), 0);
  c->SetValue("plain text");
  EXPECT_STREQ(c->memoCopy(), "plain text");
  int32_t reference;
  memcpy(&reference, Row() + 1, sizeof reference);
  EXPECT_EQ(reference, 0);
  // Without an engine a memo reads as empty.
  EXPECT_EQ(Text(c), "");
}

TEST_F(ColumnTest, DescriptionByType) {
  struct Case {
    uint16_t type, size;
    char letter;
    uint16_t host, width;
    int16_t kind;
  } cases[] = {{kTypeRaw, 6, 'N', 0, 6, kKindOther},   {kTypeInt8, 1, 'N', 2, 1, kKindNumber},
               {kTypeInt16, 2, 'N', 12, 2, kKindNumber}, {kTypeInt32, 4, 'N', 3, 4, kKindNumber},
               {kTypeFloat, 4, 'N', 15, 4, kKindNumber}, {kTypeReal, 8, 'N', 14, 8, kKindNumber},
               {kTypeDecimal, 10, 'N', 16, 10, kKindNumber},
               {kTypeTextMemo, 4, 'T', 9, 4, kKindText}, {kTypeCountedText, 6, 'T', 9, 5, kKindText},
               {kTypeText, 21, 'T', 9, 20, kKindText},   {kTypeBinaryMemo, 4, 'T', 0, 4, kKindText},
               {kTypeDate, 9, 'T', 17, 8, kKindDate},    {kTypeTime, 4, 'T', 18, 4, kKindTime},
               {50, 4, 'N', 0, 0, kKindOther}};
  for (const Case& c : cases) {
    Column column("C", c.type, c.size, 0, 1, nullptr, "T");
    EXPECT_EQ(column.Letter(), c.letter) << c.type;
    EXPECT_EQ(column.HostType(), c.host) << c.type;
    EXPECT_EQ(column.Width(), c.width) << c.type;
    EXPECT_EQ(column.Kind(), c.kind) << c.type;
  }
}

TEST_F(ColumnTest, CompositeKeysHaveNoValue) {
  Column c("K", kTypeRaw, 0, kCompositeKey, 1, &table_, "T");
  EXPECT_EQ(c.GetValue(), nullptr);
  c.SetValue("X");  // ignored
}

TEST(ColumnCompareTest, QualifiedNamesMatchTableAndItem) {
  Column c("NOM", kTypeText, 10, 0, 1, nullptr, "CLIENTS");
  EXPECT_EQ(c.Compare(SearchKey{"nom", nullptr, 0}), 0);
  EXPECT_NE(c.Compare(SearchKey{"CLIENTS.NOM", nullptr, 0}), 0);
  EXPECT_EQ(c.Compare(SearchKey{"clients.nom", nullptr, 1}), 0);
  EXPECT_EQ(c.Compare(SearchKey{"CLIENTS..NOM", nullptr, 1}), 0);
  EXPECT_NE(c.Compare(SearchKey{"AUTRE.NOM", nullptr, 1}), 0);
  EXPECT_NE(c.Compare(SearchKey{".NOM", nullptr, 1}), 0);
  int other = 0;
  EXPECT_NE(c.Compare(SearchKey{"NOM", &other, 0}), 0);
}

}  // namespace
}  // namespace zksql
