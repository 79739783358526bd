// Result tables: growth steps, reads past the end, duplicate rows. Name
// searches and column look-ups of the three roles a table plays.
#include <gtest/gtest.h>

#include <cstring>

#include "base/fast_paths.h"
#include "sql/parse_node.h"
#include "storage/column.h"
#include "storage/file_table.h"
#include "storage/result_table.h"

namespace zksql {
namespace {

TEST(MemoryTableTest, Grows1KiBOfRowsDoubledToAMillionBytesThenByHalfItsSize) {
  ResultTable t(nullptr);
  ASSERT_TRUE(t.SetRowSize(40, true));
  EXPECT_EQ(t.Write(0), kWriteDone);
  EXPECT_EQ(t.rowCapacity(), 1024 / 40);
  for (int i = 1; i < 1024 / 40 + 1; ++i) ASSERT_EQ(t.Write(0), kWriteDone);
  EXPECT_EQ(t.rowCapacity(), 2 * (1024 / 40));
  for (int i = 1024 / 40 + 1; i < 1000000 / 40; ++i) ASSERT_EQ(t.Write(0), kWriteDone);
  EXPECT_EQ(t.rowCapacity(), 25000);
  EXPECT_EQ(t.Write(0), kWriteDone);
  EXPECT_EQ(t.rowCapacity(), 25000 + 12500);
  EXPECT_EQ(t.rowCount(), 25001);
}

TEST(MemoryTableTest, WritingPastTheEndLeavesZeroRowsBetween) {
  ResultTable t(nullptr);
  ASSERT_TRUE(t.SetRowSize(4, true));
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
  // A browse goes by number from the first row.
  EXPECT_EQ(t.ReadFirst(nullptr), 1);
  EXPECT_EQ(t.ReadNext(nullptr), 2);
  EXPECT_EQ(t.Write(-1), kWriteEngineFailure);
}

TEST(MemoryTableTest, RowsSurviveTheBlockGrowing) {
  ResultTable t(nullptr);
  ASSERT_TRUE(t.SetRowSize(50000, true));
  for (int i = 1; i <= 25; ++i) {
    memset(t.rowBuffer(), 'a' + i, 50000);
    ASSERT_EQ(t.Write(0), kWriteDone);
  }
  EXPECT_EQ(t.rowCapacity(), 20 + 10);  // 1, 2, 4, 8, 16, 20, then by half
  for (int i = 1; i <= 25; ++i) {
    ASSERT_EQ(t.ReadByNumber(i), i);
    EXPECT_EQ(t.rowBuffer()[0], 'a' + i);
    EXPECT_EQ(t.rowBuffer()[49999], 'a' + i);
  }
}

TEST(MemoryTableTest, ContainsRowComparesWholeRows) {
  ResultTable t(nullptr);
  ASSERT_TRUE(t.SetRowSize(3, true));
  memcpy(t.rowBuffer(), "ABC", 3);
  EXPECT_FALSE(t.ContainsRow());
  t.Write(0);
  EXPECT_TRUE(t.ContainsRow());
  memcpy(t.rowBuffer(), "ABD", 3);
  EXPECT_FALSE(t.ContainsRow());
}

// The indexed look-up against the linear one, over appends with many
// duplicates, rewritten rows, rows skipped by writing past the end, and a
// sort: every question gets the same answer.
TEST(MemoryTableTest, ContainsRowAnswersAsTheLinearSearchDoes) {
  ResultTable t(nullptr);
  ASSERT_TRUE(t.SetRowSize(2, true));
  ASSERT_TRUE(t.AddColumn(new Column("K", kTypeText, 2, 0, 0, &t, "R")));
  ParseNode order("K", 0, 0);
  uint32_t seed = 7;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int step = 0; step < 3000; ++step) {
    t.rowBuffer()[0] = static_cast<unsigned char>('a' + next() % 7);
    t.rowBuffer()[1] = static_cast<unsigned char>('a' + next() % 5);
    bool fast = t.ContainsRow();
    bool plain;
    {
      FastPathsOff off;
      plain = t.ContainsRow();
    }
    ASSERT_EQ(fast, plain) << "step " << step;
    uint32_t what = next() % 100;
    if (what < 60) {
      ASSERT_EQ(t.Write(0), kWriteDone);
    } else if (what < 75 && t.rowCount() > 0) {
      ASSERT_EQ(t.Write(1 + static_cast<int32_t>(next() % t.rowCount())), kWriteDone);
    } else if (what < 77) {
      ASSERT_EQ(t.Write(t.rowCount() + 3), kWriteDone);
    } else if (what < 79) {
      ASSERT_TRUE(t.Sort(&order));
    }
  }
}

TEST(MemoryTableTest, AZeroRowSizeIsRefused) {
  ResultTable t(nullptr);
  EXPECT_NE(t.Write(0), kWriteDone);
  EXPECT_STRNE(t.errorText(), "");
  EXPECT_EQ(t.rowCount(), 0);
}

// A file matches its name, and a referenced-only search only once the
// statement names it; an alias matches its own name and reads under its
// base's file, whose columns it finds while it has none of its own; a
// table held in memory is never one the statement names.
TEST(TableRolesTest, NameSearchesAndColumnLookUps) {
  FileTable file(nullptr, "CLIENTS");
  FileTable alias(nullptr, "C");
  alias.set_base(&file);
  ResultTable result(nullptr);
  ResultTable named(nullptr, "MEMORY");
  Column* a = new Column("A", kTypeInt32, 4, 0, 1, &file, "CLIENTS");
  ASSERT_TRUE(file.AddColumn(a));

  struct Case {
    const Table* table;
    const char* name;
    int16_t referencedOnly;
    int16_t expected;
  } cases[] = {
      {&file, "clients", 0, 0}, {&file, "clients", 1, 1},  {&file, "C", 0, 1},
      {&alias, "c", 0, 0},      {&alias, "CLIENTS", 0, 1}, {&result, "", 0, 1},
      {&named, "memory", 0, 0}, {&named, "memory", 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.table->Compare(SearchKey{c.name, nullptr, c.referencedOnly}) == 0 ? 0 : 1,
              c.expected)
        << c.table->fileName() << " / " << c.name << " / " << c.referencedOnly;
  }
  file.set_referenced(true);
  EXPECT_EQ(file.Compare(SearchKey{"clients", nullptr, 1}), 0);

  EXPECT_STREQ(alias.EngineFileName(), "CLIENTS");
  EXPECT_STREQ(file.EngineFileName(), "CLIENTS");
  EXPECT_EQ(alias.FindColumn("A"), a);
  EXPECT_EQ(alias.FindColumnQualified("CLIENTS.A"), a);
  Column* own = new Column("B", kTypeInt32, 4, 0, 1, &alias, "C");
  ASSERT_TRUE(alias.AddColumn(own));
  EXPECT_EQ(alias.FindColumn("A"), nullptr);
  EXPECT_EQ(alias.FindColumn("b"), own);
  EXPECT_EQ(result.FindColumn("A"), nullptr);
}

}  // namespace
}  // namespace zksql
