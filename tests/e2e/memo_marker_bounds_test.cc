// Host memo values are reached only through the memo markers a statement
// carried: a text that looks like a marker (the byte 0x7F and a number)
// but that no memo construct of the statement produced never reads the
// host's memo table, whatever the table holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_session.h"

namespace zksql_e2e {
namespace {

using Rows = std::vector<std::string>;

class MemoMarkerBoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.ok());
    ASSERT_TRUE(session_.MakeFile("F", {{"N", 'L', 0}, {"M", 'M', 0}, {"G", 'G', 0}}));
  }

  HostSession session_{JXENGINE_PATH};
  // Host memo values that no statement below may use unless it carries
  // the marker for them.
  HostMemos memos_{{"HOTE-1", "HOTE-2", "HOTE-3"}};
};

TEST_F(MemoMarkerBoundsTest, AMarkerWrittenByHandIsNoHostMemo) {
  Outcome o = session_.Run(
      "INSERT INTO F (N, M) VALUES (1, '\x7F"
      "1')",
      memos_.table());
  ASSERT_EQ(o.status, 0) << o.error;
  o = session_.Run(
      "INSERT INTO F (N, M, G) VALUES (2, '\x7F"
      "3', '\x7F"
      "2')",
      memos_.table());
  ASSERT_EQ(o.status, 0) << o.error;
  o = session_.Run("SELECT N, M, G FROM F");
  EXPECT_EQ(o.rows, (Rows{"1||", "2||"}));
}

TEST_F(MemoMarkerBoundsTest, OnlyTheMarkersTheStatementCarriedReachTheHostTable) {
  // One construct: marker 1 is the statement's; a hand-written marker 2
  // is beyond what it carried.
  Outcome o = session_.Run(
      "INSERT INTO F VALUES (1, {JXMemoBinaire('a.txt')}, '\x7F"
      "2')",
      memos_.table());
  ASSERT_EQ(o.status, 0) << o.error;
  o = session_.Run("SELECT N, M, G FROM F");
  EXPECT_EQ(o.rows, (Rows{"1|HOTE-1|"}));
}

TEST_F(MemoMarkerBoundsTest, MarkerNumbersOutOfAnyRangeAreNoHostMemo) {
  for (const char* sql : {"INSERT INTO F (N, M) VALUES (1, '\x7F"
                          "99999999999999999999')",
                          "INSERT INTO F (N, M) VALUES (2, '\x7F"
                          "0')",
                          "INSERT INTO F (N, M) VALUES (3, '\x7F"
                          "')",
                          "INSERT INTO F (N, M) VALUES (4, '\x7F"
                          "-1')"}) {
    Outcome o = session_.Run(sql, memos_.table());
    EXPECT_EQ(o.status, 0) << sql << ": " << o.error;
  }
  Outcome o = session_.Run("SELECT N, M FROM F");
  ASSERT_EQ(o.rows.size(), 4u);
  for (const std::string& row : o.rows) EXPECT_EQ(row.find("HOTE"), std::string::npos) << row;
}

TEST_F(MemoMarkerBoundsTest, WithoutAHostTableAStatementsOwnMarkerWritesNoMemo) {
  Outcome o = session_.Run("INSERT INTO F (N, M) VALUES (1, {JXMemoBinaire('a.txt')})", nullptr);
  EXPECT_EQ(o.status, 0) << o.error;
  o = session_.Run("SELECT N, M FROM F");
  EXPECT_EQ(o.rows, (Rows{"1|"}));
}

}  // namespace
}  // namespace zksql_e2e
