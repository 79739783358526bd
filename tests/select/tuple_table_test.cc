// TupleTable tests: the 1024-slot growth, tuples in by position, lookup
// by name, projection, and the refusals that keep every column
// array the same length.
#include "select/tuple_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "sql/parse_node.h"

namespace zksql {
namespace {

// A tuple list from (table, record) pairs.
std::unique_ptr<ParseNode> TupleList(std::initializer_list<std::pair<const char*, int32_t>> items) {
  ParseNode* head = nullptr;
  for (const auto& item : items) {
    ParseNode* node = ParseNode::Create(item.first, item.second, 0);
    if (head == nullptr) {
      head = node;
    } else {
      head->AppendSibling(node, 0);
    }
  }
  return std::unique_ptr<ParseNode>(head);
}

std::string Describe(const ParseNode* list) {
  std::string out;
  for (const ParseNode* node = list; node != nullptr; node = node->next) {
    out += std::string(node->text) + "=" + std::to_string(node->code) + " ";
  }
  return out;
}

TEST(TupleTable, FirstColumnOpensTheArraysAndIndexZeroStaysUnused) {
  TupleTable table;
  EXPECT_EQ(table.count, 0);
  EXPECT_EQ(table.capacity, 0);
  EXPECT_EQ(table.TupleCount(), 0);
  ASSERT_TRUE(table.AddTupleColumn("T1"));
  EXPECT_EQ(table.count, 1);
  EXPECT_EQ(table.capacity, TupleTable::kFirstCapacity);
  ASSERT_TRUE(table.AddTupleColumn("T2"));
  EXPECT_EQ(table.count, 1);

  int32_t tuple[] = {7, 9};
  ASSERT_TRUE(table.AppendTuple(tuple, 2));
  EXPECT_EQ(table.count, 2);
  EXPECT_EQ(table.TupleCount(), 1);
  EXPECT_EQ(table.At(1, 0), 7);
  EXPECT_EQ(table.At(1, 1), 9);
  // Tuple 0 does not exist, nor does the one after the last.
  EXPECT_EQ(table.At(0, 0), -1);
  EXPECT_EQ(table.At(2, 0), -1);
}

TEST(TupleTable, GrowsEveryColumnBy1024ThenByHalfWhenCountReachesCapacity) {
  TupleTable table;
  ASSERT_TRUE(table.AddTupleColumn("T1"));
  ASSERT_TRUE(table.AddTupleColumn("T2"));
  for (int32_t k = 1; k <= 1022; ++k) {
    int32_t tuple[] = {k, -k};
    ASSERT_TRUE(table.AppendTuple(tuple, 2));
  }
  EXPECT_EQ(table.count, 1023);
  EXPECT_EQ(table.capacity, 1024);
  // The 1023rd tuple brings count to 1024: both arrays grow to 2048.
  int32_t tuple[] = {1023, -1023};
  ASSERT_TRUE(table.AppendTuple(tuple, 2));
  EXPECT_EQ(table.count, 1024);
  EXPECT_EQ(table.capacity, 2048);
  for (int32_t k = 1024; k <= 2046; ++k) {
    int32_t more[] = {k, -k};
    ASSERT_TRUE(table.AppendTuple(more, 2));
  }
  EXPECT_EQ(table.capacity, 2048);
  int32_t next[] = {2047, -2047};
  ASSERT_TRUE(table.AppendTuple(next, 2));
  EXPECT_EQ(table.count, 2048);
  EXPECT_EQ(table.capacity, 3072);
  for (int32_t k = 2048; k <= 3071; ++k) {
    int32_t more[] = {k, -k};
    ASSERT_TRUE(table.AppendTuple(more, 2));
  }
  EXPECT_EQ(table.capacity, 3072 + 1536);
  // Nothing was lost across the reallocations, in either column.
  for (int32_t k = 1; k <= table.TupleCount(); ++k) {
    ASSERT_EQ(table.At(k, 0), k);
    ASSERT_EQ(table.At(k, 1), -k);
  }
}

TEST(TupleTable, RefusesWhatWouldLeaveColumnsUnequal) {
  TupleTable empty;
  int32_t one[] = {1};
  EXPECT_FALSE(empty.AppendTuple(one, 1)) << "a tuple needs a column";
  EXPECT_EQ(empty.count, 0);

  TupleTable table;
  ASSERT_TRUE(table.AddTupleColumn("T1"));
  ASSERT_TRUE(table.AddTupleColumn("T2"));
  int32_t three[] = {1, 2, 3};
  EXPECT_FALSE(table.AppendTuple(three, 1));
  EXPECT_FALSE(table.AppendTuple(three, 3));
  ASSERT_TRUE(table.AppendTuple(three, 2));
  // A column added now would have no value for the stored tuple.
  EXPECT_FALSE(table.AddTupleColumn("T3"));
  EXPECT_EQ(table.ColumnCount(), 2);
  EXPECT_EQ(table.TupleCount(), 1);
}

TEST(TupleTable, ValueOfFindsTheColumnByNameInAnyCase) {
  TupleTable table;
  ASSERT_TRUE(table.AddTupleColumn("T1"));
  ASSERT_TRUE(table.AddTupleColumn("T2"));
  int32_t tuple[] = {10, 20};
  ASSERT_TRUE(table.AppendTuple(tuple, 2));
  EXPECT_EQ(table.ValueOf(1, "T2"), 20);
  EXPECT_EQ(table.ValueOf(1, "t2"), 20);
  EXPECT_EQ(table.ValueOf(1, "T3"), -1);
  EXPECT_EQ(table.ValueOf(2, "T1"), -1);
}

TEST(TupleTable, ContainsComparesProjectedOrByPosition) {
  TupleTable table;
  ASSERT_TRUE(table.AddTupleColumn("T1"));
  ASSERT_TRUE(table.AddTupleColumn("T2"));
  int32_t tuple[] = {1, 2};
  ASSERT_TRUE(table.AppendTuple(tuple, 2));

  EXPECT_TRUE(table.Contains(TupleList({{"T2", 2}, {"T1", 1}}).get(), 0));
  EXPECT_FALSE(table.Contains(TupleList({{"T2", 2}, {"T1", 1}}).get(), 1));
  EXPECT_TRUE(table.Contains(TupleList({{"T1", 1}, {"T2", 2}}).get(), 1));
  EXPECT_FALSE(table.Contains(TupleList({{"T1", 1}, {"T2", 3}}).get(), 0));
  // Over the list's length: a prefix matches; a longer list never does.
  EXPECT_TRUE(table.Contains(TupleList({{"T1", 1}}).get(), 1));
  EXPECT_FALSE(table.Contains(TupleList({{"T1", 1}, {"T2", 2}, {"T3", 3}}).get(), 1));
  EXPECT_FALSE(table.Contains(nullptr, 1));
  // A list that cannot be projected matches nothing.
  EXPECT_FALSE(table.Contains(TupleList({{"T1", 1}}).get(), 0));
}

TEST(TupleTable, ProjectFollowsColumnOrderAndNeverMakesUpAValue) {
  TupleTable table;
  ASSERT_TRUE(table.AddTupleColumn("T2"));
  ASSERT_TRUE(table.AddTupleColumn("T1"));
  std::unique_ptr<ParseNode> projected(table.Project(TupleList({{"T1", 1}, {"T3", 3}, {"T2", 2}}).get()));
  EXPECT_EQ(Describe(projected.get()), "T2=2 T1=1 ");
  EXPECT_EQ(table.Project(TupleList({{"T1", 1}}).get()), nullptr);

  TupleTable single;
  ASSERT_TRUE(single.AddTupleColumn("T1"));
  // A single node is only taken for the column of its own name.
  EXPECT_EQ(single.Project(TupleList({{"T9", 5}}).get()), nullptr);
  std::unique_ptr<ParseNode> one(single.Project(TupleList({{"T1", 5}}).get()));
  EXPECT_EQ(Describe(one.get()), "T1=5 ");
}

TEST(TupleTable, CopyIsDeepAndKeepsOrderAndCapacity) {
  TupleTable table;
  ASSERT_TRUE(table.AddTupleColumn("T1"));
  ASSERT_TRUE(table.AddTupleColumn("T2"));
  for (int32_t k = 1; k <= 1500; ++k) {
    int32_t tuple[] = {k, 2 * k};
    ASSERT_TRUE(table.AppendTuple(tuple, 2));
  }
  std::unique_ptr<TupleTable> copy(table.Copy());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->count, table.count);
  EXPECT_EQ(copy->capacity, table.capacity);
  ASSERT_EQ(copy->ColumnCount(), 2);
  EXPECT_STREQ(copy->ColumnName(1), "T2");
  for (int32_t k = 1; k <= 1500; ++k) ASSERT_EQ(copy->ValueOf(k, "T2"), 2 * k);
  int32_t extra[] = {0, 0};
  ASSERT_TRUE(copy->AppendTuple(extra, 2));
  EXPECT_EQ(table.TupleCount(), 1500) << "the copy has arrays of its own";

  TupleTable empty;
  std::unique_ptr<TupleTable> emptyCopy(empty.Copy());
  ASSERT_NE(emptyCopy, nullptr);
  EXPECT_EQ(emptyCopy->count, 0);
  EXPECT_EQ(emptyCopy->capacity, 0);
}

}  // namespace
}  // namespace zksql
