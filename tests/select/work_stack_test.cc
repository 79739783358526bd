// WorkStack keeps its first entries inline and moves to the heap beyond
// them: every entry must come back, last in first out, across that move.
#include "select/work_stack.h"

#include <gtest/gtest.h>

namespace zksql {
namespace {

TEST(WorkStackTest, EntriesComeBackInReverseAcrossTheMoveToTheHeap) {
  for (int32_t n : {0, 1, WorkStack<int32_t>::kInline, WorkStack<int32_t>::kInline + 1, 5000}) {
    WorkStack<int32_t> stack;
    for (int32_t i = 0; i < n; ++i) ASSERT_TRUE(stack.Push(i * 7 + 1)) << n;
    ASSERT_EQ(stack.Count(), n);
    if (n > 0) {
      EXPECT_EQ(stack.At(0), 1) << n;
    }
    int32_t value = 0;
    for (int32_t i = n - 1; i >= 0; --i) {
      ASSERT_TRUE(stack.Pop(&value)) << n;
      ASSERT_EQ(value, i * 7 + 1) << n;
    }
    EXPECT_TRUE(stack.Empty());
    EXPECT_FALSE(stack.Pop(&value));
  }
}

}  // namespace
}  // namespace zksql
