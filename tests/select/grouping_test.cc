// Grouping against a plain model: random rows whose keys sit on and beside
// the six-decimal equality (neighbours a few ten-millionths apart, -0 and
// 0) must fall into the groups, in the order, and with the aggregates that
// rounding every key to six decimals gives.
#include "select/grouping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "api/request.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "storage/result_table.h"

namespace zksql {
namespace {

struct Model {
  double first = 0;
  int64_t count = 0;
  double sum = 0, min = 0, max = 0;
  std::map<long long, bool> distinct;  // argument values at six decimals
};

long long SixDecimals(double x) {
  long long k = std::llround(x * 1e6);
  return k == 0 ? 0 : k;  // -0 rounds to 0
}

TEST(GroupingTest, GroupsAndAggregatesAgreeWithSixDecimalRounding) {
  Request* req = CreateRequest(nullptr, 0, nullptr);
  ASSERT_NE(req, nullptr);
  {
    ResultTable table(req, "T");
    auto* key = new Column("K", kTypeReal, 8, 0, 1, &table, "T");
    auto* value = new Column("V", kTypeReal, 8, 0, 9, &table, "T");
    ASSERT_TRUE(table.AddColumn(key) && table.AddColumn(value));
    ASSERT_TRUE(table.SetRowSize(17, true));
    const double keys[] = {2.0000001, 2.0000004, -0.0, 0.0, 1.5, 1.4999999, -3.25, 7.000001};
    std::mt19937 random(21);
    for (int seed = 0; seed < 20; ++seed) {
      std::vector<AggregateSpec> specs(5);
      const int32_t functions[] = {LEX_COUNT_ETOILE, LEX_SUM, LEX_MIN, LEX_MAX, LEX_SUM};
      for (size_t a = 0; a < specs.size(); ++a) {
        specs[a].function = functions[a];
        specs[a].argument = a == 0 ? nullptr : value;
        specs[a].node = reinterpret_cast<const ParseNode*>(&specs[a]);  // any distinct address
      }
      specs[4].distinct = true;
      PtrArray tables(0, 4);
      tables.Add(&table);
      Grouping grouping({key}, &specs, &tables);
      std::map<long long, size_t> order;
      std::vector<Model> model;
      const int rows = 1 + static_cast<int>(random() % 40);
      for (int r = 0; r < rows; ++r) {
        double k = keys[random() % 8];
        double v = static_cast<double>(static_cast<int>(random() % 7) - 3) / 4;
        key->SetValue(&k);
        value->SetValue(&v);
        ASSERT_TRUE(grouping.Take());
        auto found = order.emplace(SixDecimals(k), model.size());
        if (found.second) model.push_back(Model{k, 0, 0, v, v, {}});
        Model& m = model[found.first->second];
        ++m.count;
        m.sum += v;
        m.min = std::min(m.min, v);
        m.max = std::max(m.max, v);
        m.distinct[SixDecimals(v)] = true;
      }
      ASSERT_TRUE(grouping.Finish());
      ASSERT_EQ(grouping.GroupCount(), model.size()) << "seed " << seed;
      for (size_t g = 0; g < model.size(); ++g) {
        double shown = 0;
        std::memcpy(&shown, grouping.KeyField(g, 0).data(), sizeof shown);
        EXPECT_EQ(shown, model[g].first) << "the first row's key shows";
        EXPECT_EQ(grouping.Aggregate(g, 0).count(), model[g].count);
        EXPECT_DOUBLE_EQ(grouping.Aggregate(g, 1).sum(), model[g].sum);
        double distinctSum = 0;
        for (const auto& d : model[g].distinct) distinctSum += static_cast<double>(d.first) / 1e6;
        EXPECT_NEAR(grouping.Aggregate(g, 4).sum(), distinctSum, 1e-9);
        const double extremes[] = {model[g].min, model[g].max};
        for (int e = 0; e < 2; ++e) {
          OwnedValue kept;
          ASSERT_TRUE(grouping.Aggregate(g, 2 + static_cast<size_t>(e)).Value(&kept));
          double x = 0;
          ASSERT_TRUE(ReadNumber(kept->type, kept->bytes, &x));
          EXPECT_EQ(x, extremes[e]) << (e == 0 ? "MIN" : "MAX");
        }
      }
      tables.ClearAll();  // the table is not the array's
    }
  }
  DestroyRequest(req);
}

}  // namespace
}  // namespace zksql
