#include "base/ptr_array.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zksql {
namespace {

// An element that counts its deletions and matches its own name.
class Named : public BaseObject {
 public:
  Named(const char* name, int* deleted) : name_(name), deleted_(deleted) {}
  ~Named() override {
    if (deleted_ != nullptr) ++*deleted_;
  }
  int16_t Compare(const SearchKey& key) const override {
    return key.name != nullptr && strcmp(key.name, name_) == 0 ? 0 : 1;
  }

 private:
  const char* name_;
  int* deleted_;
};

TEST(PtrArrayTest, GetOutsideTheUsedSlotsIsNull) {
  int deleted = 0;  // outlives the array, whose destructor counts into it
  PtrArray a(0, 4);
  EXPECT_EQ(a.Get(0), nullptr);
  EXPECT_EQ(a.Find(0, SearchKey{"X"}), -1);
  a.Add(new Named("A", &deleted));
  EXPECT_EQ(a.Get(-1), nullptr);
  EXPECT_EQ(a.Get(1), nullptr);
  EXPECT_NE(a.Get(0), nullptr);
  EXPECT_EQ(a.Find(1, SearchKey{"A"}), -1);
}

TEST(PtrArrayTest, GrowsByItsStepKeepingEarlierElements) {
  int deleted = 0;
  PtrArray a(0, 4);
  BaseObject* first[4];
  for (int i = 0; i < 4; ++i) {
    first[i] = new Named("A", &deleted);
    EXPECT_EQ(a.Add(first[i]), i);
  }
  EXPECT_EQ(a.capacity(), 4);
  EXPECT_EQ(a.Add(new Named("B", &deleted)), 4);
  EXPECT_EQ(a.capacity(), 8);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a.Get(static_cast<int16_t>(i)), first[i]);
  EXPECT_EQ(a.Find(0, SearchKey{"B"}), 4);
}

TEST(PtrArrayTest, DestructorDeletesOwnedElementsButNotClearedOnes) {
  int deleted = 0;
  Named* kept = new Named("K", &deleted);
  {
    PtrArray a;
    a.Add(new Named("A", &deleted));
    a.Add(new Named("B", &deleted));
  }
  EXPECT_EQ(deleted, 2);
  {
    PtrArray a;
    a.Add(kept);
    a.ClearAll(true);
    EXPECT_EQ(a.last(), -1);
  }
  EXPECT_EQ(deleted, 2);
  delete kept;
}

TEST(PtrArrayTest, BaseCompareMatchesEveryKey) {
  PtrArray a;
  a.Add(new BaseObject);
  a.Add(new BaseObject);
  EXPECT_EQ(a.Find(0, SearchKey{"anything"}), 0);
  EXPECT_EQ(a.Find(1, SearchKey{}), 1);
}

TEST(PtrArrayTest, RefusesToPassTheSixteenBitLimit) {
  PtrArray a(0, 4);
  EXPECT_TRUE(a.Grow(PtrArray::kMaxSlots));
  EXPECT_FALSE(a.Grow(1));
  EXPECT_EQ(a.capacity(), PtrArray::kMaxSlots);
}

}  // namespace
}  // namespace zksql
