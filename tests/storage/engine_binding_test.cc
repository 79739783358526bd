// Binding of the storage engine library by name.
#include <gtest/gtest.h>

#include <cstdlib>

#include "storage/engine.h"

namespace zksql {
namespace {

class EngineBindingTest : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("JXENGINE_LIBRARY"); }
};

TEST_F(EngineBindingTest, BindsEveryEntryPointOfACompleteLibrary) {
  setenv("JXENGINE_LIBRARY", FAKE_ENGINE_PATH, 1);
  HMODULE module = BindEngine();
  ASSERT_NE(module, nullptr);
  const EngineEntryPoints* engine = BoundEngine();
  ASSERT_NE(engine, nullptr);
  // The addresses are those of the library's exports of the same name.
  EXPECT_EQ(reinterpret_cast<void*>(engine->getMemo),
            reinterpret_cast<void*>(GetProcAddress(module, "XZK_GETMEMO")));
  EXPECT_EQ(reinterpret_cast<void*>(engine->getInfos),
            reinterpret_cast<void*>(GetProcAddress(module, "XZK_GETINFOSJXD")));
  EXPECT_EQ(reinterpret_cast<void*>(engine->describeFile),
            reinterpret_cast<void*>(GetProcAddress(module, "XZK_DECRITFICHIER")));
  unsigned char* block = RecordBlock();
  EXPECT_EQ(engine->readRecord(1, "T", 1, block), 0);
  EXPECT_EQ(*reinterpret_cast<int16_t*>(block + JX_REC_STATUS), JX_CALL_COMPLETED);
  UnbindEngine(module);
  EXPECT_EQ(BoundEngine(), nullptr);
}

TEST_F(EngineBindingTest, EntryPointsStayWhileAnyInstanceHoldsTheLibrary) {
  setenv("JXENGINE_LIBRARY", FAKE_ENGINE_PATH, 1);
  HMODULE first = BindEngine();
  HMODULE second = BindEngine();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  UnbindEngine(first);
  EXPECT_NE(BoundEngine(), nullptr);
  UnbindEngine(second);
  EXPECT_EQ(BoundEngine(), nullptr);
}

TEST_F(EngineBindingTest, OneMissingEntryPointRefusesTheLibrary) {
  setenv("JXENGINE_LIBRARY", FAKE_ENGINE_INCOMPLETE_PATH, 1);
  EXPECT_EQ(BindEngine(), nullptr);
  EXPECT_EQ(BoundEngine(), nullptr);
}

TEST_F(EngineBindingTest, AMissingLibraryLeavesNoEngine) {
  setenv("JXENGINE_LIBRARY", "/nonexistent/libjxengine.so", 1);
  EXPECT_EQ(BindEngine(), nullptr);
  EXPECT_EQ(BoundEngine(), nullptr);
}

}  // namespace
}  // namespace zksql
