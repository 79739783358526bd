// Result tables: growth steps, reads past the end, duplicate rows.
#include <gtest/gtest.h>

#include <cstring>

#include "storage/file_table.h"
#include "storage/result_table.h"

namespace zksql {
namespace {

TEST(MemoryTableTest, GrowsByAMillionThenAHundredThousandBytesOfRows) {
  ResultTable t(nullptr);
  ASSERT_TRUE(t.SetRowSize(40, true));
  EXPECT_EQ(t.Write(0), kWriteDone);
  EXPECT_EQ(t.rowCapacity(), 1000000 / 40);
  for (int i = 1; i < 1000000 / 40; ++i) ASSERT_EQ(t.Write(0), kWriteDone);
  EXPECT_EQ(t.rowCapacity(), 25000);
  EXPECT_EQ(t.Write(0), kWriteDone);
  EXPECT_EQ(t.rowCapacity(), 25000 + 100000 / 40);
  EXPECT_EQ(t.rowCount(), 25001);
}

TEST(MemoryTableTest, WritingPastTheEndLeavesZeroRowsBetween) {
  ResultTable t(nullptr);
  t.SetRowSize(4, true);
  memcpy(t.rowBuffer(), "ABCD", 4);
  EXPECT_EQ(t.Write(5), kWriteDone);
  EXPECT_EQ(t.rowCount(), 5);
  EXPECT_EQ(t.ReadByNumber(2), 2);
  EXPECT_EQ(memcmp(t.rowBuffer(), "\0\0\0\0", 4), 0);
  EXPECT_EQ(t.ReadByNumber(5), 5);
  EXPECT_EQ(memcmp(t.rowBuffer(), "ABCD", 4), 0);
  EXPECT_EQ(t.ReadByNumber(6), 0);
  EXPECT_EQ(t.currentRow(), 5);  // unchanged by a read past the end
  EXPECT_EQ(t.ReadByNumber(0), 0);
}

TEST(MemoryTableTest, ContainsRowComparesWholeRows) {
  ResultTable t(nullptr);
  t.SetRowSize(3, true);
  memcpy(t.rowBuffer(), "ABC", 3);
  EXPECT_EQ(t.ContainsRow(), 0);
  t.Write(0);
  EXPECT_EQ(t.ContainsRow(), 1);
  memcpy(t.rowBuffer(), "ABD", 3);
  EXPECT_EQ(t.ContainsRow(), 0);
}

TEST(MemoryTableTest, AZeroRowSizeIsRefused) {
  ResultTable t(nullptr);
  EXPECT_NE(t.Write(0), kWriteDone);
  EXPECT_STRNE(t.errorText(), "");
  EXPECT_EQ(t.rowCount(), 0);
}

TEST(TableCompareTest, ReferencedOnlySearchesSkipUnnamedTables) {
  FileTable t(nullptr, "CLIENTS");
  EXPECT_EQ(t.Compare(SearchKey{"clients", nullptr, 0}), 0);
  EXPECT_NE(t.Compare(SearchKey{"clients", nullptr, 1}), 0);
  t.set_referenced(true);
  EXPECT_EQ(t.Compare(SearchKey{"clients", nullptr, 1}), 0);
  ResultTable memory(nullptr);
  EXPECT_NE(memory.Compare(SearchKey{"", nullptr, 0}), 0);
}

}  // namespace
}  // namespace zksql
