// ORDER BY over in-memory tables.
#include "storage/row_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/fast_paths.h"
#include "sql/parse_node.h"
#include "storage/column.h"
#include "storage/result_table.h"

namespace zksql {
namespace {

// An in-memory table of two 32-bit integer columns A and B and a text T.
class RowSortTest : public ::testing::Test {
 protected:
  RowSortTest() : table_(nullptr) {
    EXPECT_TRUE(table_.SetRowSize(1 + 4 + 4 + 8, true));
    a_ = new Column("A", kTypeInt32, 4, 0, 1, &table_, "R");
    b_ = new Column("B", kTypeInt32, 4, 0, 5, &table_, "R");
    t_ = new Column("T", kTypeText, 8, 0, 9, &table_, "R");
    table_.AddColumn(a_);
    table_.AddColumn(b_);
    table_.AddColumn(t_);
  }
  void Add(double a, double b, const char* t = "") {
    a_->SetValue(&a);
    b_->SetValue(&b);
    t_->SetValue(t);
    ASSERT_EQ(table_.Write(0), kWriteDone);
  }
  std::string Rows() {
    std::string out;
    for (int32_t i = 1; table_.ReadByNumber(i) > 0; ++i) {
      double a, b;
      memcpy(&a, a_->GetValue(), 8);
      memcpy(&b, b_->GetValue(), 8);
      out += "(" + std::to_string(static_cast<int>(a)) + "," + std::to_string(static_cast<int>(b)) +
             static_cast<const char*>(t_->GetValue()) + ")";
    }
    return out;
  }

  ResultTable table_;
  Column* a_;
  Column* b_;
  Column* t_;
};

TEST_F(RowSortTest, DescendingThenAscendingKeys) {
  Add(1, 2);
  Add(1, 1);
  Add(2, 0);
  ParseNode order("A", 0, 1);
  order.AppendNewSibling("B", 0, 0, 0);
  EXPECT_TRUE(table_.Sort(&order));
  EXPECT_EQ(Rows(), "(2,0)(1,1)(1,2)");
}

TEST_F(RowSortTest, NothingToSortSucceeds) {
  ParseNode order("A", 0, 0);
  EXPECT_TRUE(table_.Sort(&order));
  Add(5, 5);
  EXPECT_TRUE(table_.Sort(&order));
  EXPECT_EQ(Rows(), "(5,5)");
  EXPECT_TRUE(table_.Sort(nullptr));
}

TEST_F(RowSortTest, AnUnknownNameEndsTheComparison) {
  Add(2, 1);
  Add(1, 9);
  Add(1, 3);
  ParseNode order("A", 0, 0);
  order.AppendNewSibling("NOSUCH", 0, 0, 0);
  order.AppendNewSibling("B", 0, 0, 0);
  EXPECT_TRUE(table_.Sort(&order));
  EXPECT_EQ(Rows().substr(Rows().size() - 5), "(2,1)");
}

TEST_F(RowSortTest, TextsCompareAsUnsignedBytes) {
  Add(1, 0, "a");
  Add(2, 0, "\xE9");
  Add(3, 0, "B");
  Add(4, 0, "z");
  ParseNode order("R.T", 0, 0);  // qualified names are accepted
  EXPECT_TRUE(table_.Sort(&order));
  EXPECT_EQ(Rows(), "(3,0B)(1,0a)(4,0z)(2,0\xE9)");
}

TEST_F(RowSortTest, LargeInputsMatchAReferenceSort) {
  std::mt19937 random(42);
  std::vector<std::pair<int, int>> expected;
  for (int i = 0; i < 5000; ++i) {
    int a = static_cast<int>(random() % 50), b = static_cast<int>(random() % 1000);
    Add(a, b);
    expected.emplace_back(a, b);
  }
  // Many equal keys and an already sorted run both stress the partition.
  for (int i = 0; i < 2000; ++i) {
    Add(7, i);
    expected.emplace_back(7, i);
  }
  std::sort(expected.begin(), expected.end(), [](auto& x, auto& y) {
    return x.first != y.first ? x.first > y.first : x.second < y.second;
  });
  ParseNode order("A", 0, 1);
  order.AppendNewSibling("B", 0, 0, 0);
  ASSERT_TRUE(table_.Sort(&order));
  std::string want;
  for (auto& p : expected)
    want += "(" + std::to_string(p.first) + "," + std::to_string(p.second) + ")";
  EXPECT_EQ(Rows(), want);
}

// Columns kept past the visible ones for the sort alone: the keys name
// them by column (two share the name A), DISTINCT compares only the bytes
// before them, with or without the index of rows, and they are dropped
// after the sort while the rows stay.
TEST(RowSortKeysTest, SortsByColumnsAndHidesTheTail) {
  for (int fast = 0; fast < 2; ++fast) {
    ResultTable table(nullptr);
    ASSERT_TRUE(table.SetRowSize(1 + 4 + 4, true));
    auto* shown = new Column("A", kTypeInt32, 4, 0, 1, &table, "R");
    auto* hidden = new Column("A", kTypeInt32, 4, 0, 5, &table, "S");
    ASSERT_TRUE(table.AddColumn(shown) && table.AddColumn(hidden));
    table.SetDistinctBytes(5);
    std::unique_ptr<FastPathsOff> off(fast == 0 ? new FastPathsOff : nullptr);
    const double rows[][2] = {{1, 3}, {2, 1}, {1, 9}, {3, 2}, {2, 0}};
    int written = 0;
    for (const auto& row : rows) {
      shown->SetValue(&row[0]);
      hidden->SetValue(&row[1]);
      if (table.ContainsRow()) continue;
      ASSERT_EQ(table.Write(0), kWriteDone);
      ++written;
    }
    EXPECT_EQ(written, 3);  // the first row of each shown value
    ASSERT_TRUE(table.Sort({SortKey{hidden, true}, SortKey{nullptr, false}, SortKey{shown, true}}));
    ASSERT_TRUE(table.DropColumnsFrom(1));
    ASSERT_EQ(table.ColumnCount(), 1);
    std::string order;
    for (int32_t i = 1; table.ReadByNumber(i) > 0; ++i) {
      double a;
      memcpy(&a, table.ColumnAt(0)->GetValue(), 8);
      order += std::to_string(static_cast<int>(a));
    }
    EXPECT_EQ(order, "132") << (fast ? "fast" : "plain");
  }
}

// IndexSort over a plain vector of ints, against std::sort: every size
// around the insertion-sort threshold and far above it, on random values,
// on few distinct values, and on input already sorted either way.
// Sorting by keys compared through their prefixes first gives the rows in
// exactly the order of the plain comparison, ties included: reals at -0,
// NaN and the infinities, texts alike in their first eight bytes or
// shorter than eight, both directions, with a row number to show ties.
TEST(RowSortPrefixTest, OrdersAsThePlainComparison) {
  const double kReals[] = {0.0,
                           -0.0,
                           1.5,
                           -2,
                           1e-7,
                           -1e-7,
                           3,
                           3,
                           std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
  const char* const kTexts[] = {"",    "abcdefgh",  "abcdefgh1", "abcdefgh0", "abcdefg",
                                "abc", "\xE9t\xE9", "b",         "abcdefgh1", "z"};
  const char* const kOrders[][2] = {{"R", nullptr}, {"T", nullptr}, {"T", "R"}, {"R", "T"}};
  std::mt19937 random(11);
  for (const auto& keys : kOrders) {
    for (int descending = 0; descending < 2; ++descending) {
      std::string sorted[2];
      const uint32_t seed = static_cast<uint32_t>(random());
      for (int fast = 0; fast < 2; ++fast) {
        ResultTable table(nullptr);
        ASSERT_TRUE(table.SetRowSize(1 + 8 + 12 + 4, true));
        auto* r = new Column("R", kTypeReal, 8, 0, 1, &table, "X");
        auto* t = new Column("T", kTypeText, 12, 0, 9, &table, "X");
        auto* n = new Column("N", kTypeInt32, 4, 0, 21, &table, "X");
        ASSERT_TRUE(table.AddColumn(r) && table.AddColumn(t) && table.AddColumn(n));
        std::mt19937 rows(seed);
        for (int i = 0; i < 400; ++i) {
          double real = kReals[rows() % (sizeof kReals / sizeof kReals[0])];
          double number = i;
          r->SetValue(&real);
          t->SetValue(kTexts[rows() % (sizeof kTexts / sizeof kTexts[0])]);
          n->SetValue(&number);
          ASSERT_EQ(table.Write(0), kWriteDone);
        }
        ParseNode order(keys[0], 0, descending);
        if (keys[1] != nullptr) order.AppendNewSibling(keys[1], 0, 0, 1 - descending);
        if (fast == 0) {
          FastPathsOff off;
          ASSERT_TRUE(table.Sort(&order));
        } else {
          ASSERT_TRUE(table.Sort(&order));
        }
        for (int32_t i = 1; table.ReadByNumber(i) > 0; ++i) {
          sorted[fast].append(reinterpret_cast<const char*>(table.rowBuffer()), table.rowSize());
        }
      }
      EXPECT_TRUE(sorted[0] == sorted[1]) << keys[0] << (descending ? " DESC" : "");
    }
  }
}

TEST(IndexSortTest, MatchesTheStandardSortOnEveryShapeOfInput) {
  struct Vec {
    static int Compare(void* c, int32_t i, const void* p) {
      int a = (*static_cast<std::vector<int>*>(c))[static_cast<size_t>(i)];
      int b = *static_cast<const int*>(p);
      return a < b ? -1 : a > b ? 1 : 0;
    }
    static void Swap(void* c, int32_t i, int32_t j) {
      auto& v = *static_cast<std::vector<int>*>(c);
      std::swap(v[static_cast<size_t>(i)], v[static_cast<size_t>(j)]);
    }
    static const void* Address(void* c, int32_t i) {
      return &(*static_cast<std::vector<int>*>(c))[static_cast<size_t>(i)];
    }
  };
  std::mt19937 random(7);
  for (int n : {0, 1, 2, 3, 5, 8, 9, 10, 11, 15, 16, 17, 31, 64, 100, 1000, 20000}) {
    for (int shape = 0; shape < 4; ++shape) {
      std::vector<int> v(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) {
        switch (shape) {
          case 0:
            v[static_cast<size_t>(i)] = static_cast<int>(random() % 100000);
            break;
          case 1:
            v[static_cast<size_t>(i)] = static_cast<int>(random() % 3);
            break;
          case 2:
            v[static_cast<size_t>(i)] = i;
            break;
          default:
            v[static_cast<size_t>(i)] = n - i;
            break;
        }
      }
      std::vector<int> expected = v;
      std::sort(expected.begin(), expected.end());
      ASSERT_TRUE(IndexSort(&v, n, Vec::Compare, Vec::Swap, Vec::Address));
      EXPECT_EQ(v, expected) << "n=" << n << " shape=" << shape;
    }
  }
}

TEST(IndexSortTest, RefusesMissingCallbacks) {
  EXPECT_FALSE(IndexSort(nullptr, 3, nullptr, nullptr, nullptr));
}

}  // namespace
}  // namespace zksql
