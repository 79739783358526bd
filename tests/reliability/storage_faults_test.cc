// Storage failures under the library: when the engine cannot write (its map
// is full and may not grow, or the file system refuses to let the data file
// grow), the statement fails whole with the engine's explanation (SQLSTATE
// HY000, or 25S03 when a host transaction went with it), and every row
// committed before is still there once the database is closed and opened
// again.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <string>

#include "reliability_host.h"

namespace zksql_reliability {
namespace {

// True when `text` holds `part`.
bool Says(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A statement refused by a map that may not grow, and undone whole.
void ExpectFullMap(const Outcome& o, const char* lost = "l'instruction a \xE9t\xE9 annul\xE9" "e") {
  EXPECT_EQ(o.status, -1);
  EXPECT_TRUE(Says(o.error, "Base pleine") && Says(o.error, "JXENGINE_MAP_LIMIT") &&
              Says(o.error, lost))
      << o.error;
}

std::string Payload(int k) {
  return std::string(1500, char('a' + k % 26)) + std::to_string(k);
}

std::string Insert(int k) {
  return "INSERT INTO T VALUES (" + std::to_string(k) + ", 'w" + std::to_string(k) + "', '" +
         Payload(k) + "')";
}

// Every row of T, as "K|payload", in the order a full read gives them.
std::set<std::string> Rows(const Host& host) {
  Outcome o = host.Run("SELECT K, V FROM T");
  EXPECT_EQ(o.status, 0) << o.error;
  return std::set<std::string>(o.rows.begin(), o.rows.end());
}

std::string Row(int k) {
  return std::to_string(k) + "|" + Payload(k);
}

class StorageFaultTest : public ::testing::Test {
 protected:
  // Fills T until a write fails, at most `limit` rows; returns the rows
  // whose INSERT succeeded and checks the failure's report.
  std::set<std::string> FillUntilFailure(Host& host, int limit, Outcome* failure) {
    std::set<std::string> committed;
    for (int k = 1; k <= limit; ++k) {
      Outcome o = host.Run(Insert(k));
      if (o.status != 0) {
        *failure = o;
        return committed;
      }
      committed.insert(Row(k));
    }
    return committed;
  }

  ScratchDir dir_;
};

TEST_F(StorageFaultTest, AFullMapFailsTheWriteAndKeepsWhatWasCommitted) {
  // A 256 KiB map that may not grow: a few dozen rows of 1.5 KB fill it.
  setenv("JXENGINE_MAP_SIZE", "262144", 1);
  setenv("JXENGINE_MAP_LIMIT", "262144", 1);
  std::set<std::string> committed;
  {
    Host host(dir_.path());
    unsetenv("JXENGINE_MAP_SIZE");
    unsetenv("JXENGINE_MAP_LIMIT");
    ASSERT_TRUE(host.ok());
    ASSERT_EQ(host.Run("CREATE TABLE T (K INTEGER PRIMARY KEY, W CHAR(12), V CHAR(1600))").status,
              0);
    Outcome failure;
    committed = FillUntilFailure(host, 1000, &failure);
    ASSERT_LT(committed.size(), 1000u) << "the map never filled";
    ASSERT_GT(committed.size(), 5u);
    EXPECT_TRUE(failure.requestHandedBack);
    ExpectFullMap(failure);
    EXPECT_EQ(failure.sqlState, "HY000");

    EXPECT_TRUE(Rows(host) == committed) << "rows changed by the failed INSERT";

    // Still full: other writes fail the same way, or find room freed by
    // LMDB's page reuse; either way the rows stay whole.
    Outcome update = host.Run("UPDATE T SET V = ('" + Payload(0) + "') WHERE K = 1");
    if (update.status == 0) {
      committed.erase(Row(1));
      committed.insert("1|" + Payload(0));
    } else {
      ExpectFullMap(update);
    }
    EXPECT_TRUE(Rows(host) == committed) << "rows changed by the UPDATE";
  }
  // Reopened with the ordinary map: every committed row is there and the
  // database grows again.
  Host host(dir_.path());
  ASSERT_TRUE(host.ok());
  std::set<std::string> after = Rows(host);
  EXPECT_EQ(after.size(), committed.size());
  EXPECT_TRUE(after == committed) << "rows lost or changed across the reopening";
  EXPECT_EQ(host.Run(Insert(5000)).status, 0);
  EXPECT_EQ(host.Run("SELECT K FROM T WHERE K = 5000").rows, (std::vector<std::string>{"5000"}));
}

// A full map met inside a host transaction undoes that transaction only:
// the rows committed before it stay, none of its own is left.
TEST_F(StorageFaultTest, AFullMapInsideAHostTransactionUndoesOnlyThatTransaction) {
  setenv("JXENGINE_MAP_SIZE", "262144", 1);
  setenv("JXENGINE_MAP_LIMIT", "262144", 1);
  std::set<std::string> committed;
  {
    Host host(dir_.path());
    unsetenv("JXENGINE_MAP_SIZE");
    unsetenv("JXENGINE_MAP_LIMIT");
    ASSERT_TRUE(host.ok());
    ASSERT_EQ(host.Run("CREATE TABLE T (K INTEGER PRIMARY KEY, W CHAR(12), V CHAR(1600))").status,
              0);
    for (int k = 1; k <= 3; ++k) {
      ASSERT_EQ(host.Run(Insert(k)).status, 0);
      committed.insert(Row(k));
    }
    ASSERT_EQ(XZK_BeginTransaction(host.handle()), JX_OK);
    Outcome failure;
    int k = 4;
    for (; k < 1000; ++k) {
      failure = host.Run(Insert(k));
      if (failure.status != 0) break;
    }
    ASSERT_LT(k, 1000) << "the map never filled";
    ExpectFullMap(failure, "la transaction enti\xE8re a \xE9t\xE9 annul\xE9" "e");
    EXPECT_EQ(failure.sqlState, "25S03");
    // The spoiled transaction takes no more statements, reads included,
    // and does not commit; it says why until the host ends it.
    for (const std::string& sql : {Insert(2000), std::string("SELECT K FROM T")}) {
      Outcome later = host.Run(sql);
      EXPECT_EQ(later.status, -1);
      EXPECT_EQ(later.sqlState, "25S03");
      EXPECT_TRUE(Says(later.error, "Base pleine")) << later.error;
    }
    EXPECT_EQ(XZK_CommitTransaction(host.handle()), JX_ERR_ROLLED_BACK);
    EXPECT_TRUE(Rows(host) == committed) << "the failed transaction left rows";
  }
  Host host(dir_.path());
  ASSERT_TRUE(host.ok());
  EXPECT_TRUE(Rows(host) == committed) << "rows lost or left across the reopening";
  EXPECT_EQ(host.Run(Insert(4)).status, 0);
}

// Statements over many rows cut short by a full map change nothing: every
// row is as it was, and its keys agree with it.
TEST_F(StorageFaultTest, StatementsCutShortByAFullMapLeaveEveryRowAsItWas) {
  setenv("JXENGINE_MAP_SIZE", "262144", 1);
  setenv("JXENGINE_MAP_LIMIT", "262144", 1);
  Host host(dir_.path());
  unsetenv("JXENGINE_MAP_SIZE");
  unsetenv("JXENGINE_MAP_LIMIT");
  ASSERT_TRUE(host.ok());
  // W is wide but short in every row: an UPDATE that fills it makes every
  // entry of its index longer, and needs pages the full map does not have.
  ASSERT_EQ(host.Run("CREATE TABLE T (K INTEGER PRIMARY KEY, W CHAR(250), V CHAR(1600))").status,
            0);
  ASSERT_EQ(host.Run("CREATE INDEX TW ON T (W)").status, 0);
  Outcome failure;
  std::set<std::string> committed = FillUntilFailure(host, 1000, &failure);
  ASSERT_LT(committed.size(), 1000u);
  const int rows = static_cast<int>(committed.size());
  const std::string wide(250, 'x');
  int failedStatements = 0;
  for (const std::string& sql :
       {"UPDATE T SET W = ('" + wide + "')", std::string("DELETE FROM T WHERE K > 2")}) {
    std::set<std::string> before = Rows(host);
    Outcome o = host.Run(sql);
    if (o.status != 0) {
      ++failedStatements;
      ExpectFullMap(o);
      host.Reopen();
      EXPECT_TRUE(Rows(host) == before) << sql << ": a failed statement changed rows";
    }
    host.Reopen();
    // Whole rows: every row left has its own key and payload.
    Outcome scan = host.Run("SELECT K, W, V FROM T");
    ASSERT_EQ(scan.status, 0) << scan.error;
    std::set<int> keys;
    for (const std::string& row : scan.rows) {
      int k = std::stoi(row);
      EXPECT_TRUE(keys.insert(k).second) << "key " << k << " twice";
      std::string w = row.substr(row.find('|') + 1);
      w = w.substr(0, w.find('|'));
      EXPECT_TRUE(w == "w" + std::to_string(k) || w == wide) << row.substr(0, 40);
      EXPECT_EQ(row.substr(row.rfind('|') + 1), Payload(k)) << k;
      // Both keys find the row.
      EXPECT_EQ(host.Run("SELECT K FROM T WHERE K = " + std::to_string(k)).rows.size(), 1u) << k;
      Outcome byW = host.Run("SELECT K FROM T WHERE W = '" + w + "'");
      EXPECT_EQ(std::count(byW.rows.begin(), byW.rows.end(), std::to_string(k)), 1) << k;
    }
    // No key entry without its row.
    EXPECT_EQ(host.Run("SELECT K FROM T WHERE W = '" + wide + "'").rows.size() +
                  host.Run("SELECT K FROM T WHERE W LIKE 'w%'").rows.size(),
              scan.rows.size());
    EXPECT_LE(scan.rows.size(), static_cast<size_t>(rows));
    EXPECT_GE(keys.count(1) + keys.count(2), 2u) << "a row outside the DELETE was lost";
  }
  EXPECT_GE(failedStatements, 1) << "no statement met the full map";
  RecordProperty("statements_cut_short", failedStatements);
}

// The data file may not grow past a size limit (RLIMIT_FSIZE, as a full
// disk or a quota would refuse it): LMDB's page writes fail at commit and
// the engine reports a storage failure.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    set_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    signal(SIGXFSZ, previousHandler_);
  }
  bool set() const { return set_; }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
  bool set_ = false;
};

off_t DataFileSize(const std::string& dir) {
  struct stat st;
  return stat((dir + "/data.mdb").c_str(), &st) == 0 ? st.st_size : -1;
}

TEST_F(StorageFaultTest, AFailedPageWriteFailsTheStatementAndKeepsWhatWasCommitted) {
  std::set<std::string> committed;
  {
    Host host(dir_.path());
    ASSERT_TRUE(host.ok());
    ASSERT_EQ(host.Run("CREATE TABLE T (K INTEGER PRIMARY KEY, W CHAR(12), V CHAR(1600))").status,
              0);
    ASSERT_EQ(host.Run("CREATE INDEX TW ON T (W)").status, 0);
    for (int k = 1; k <= 5; ++k) {
      ASSERT_EQ(host.Run(Insert(k)).status, 0);
      committed.insert(Row(k));
    }
    off_t size = DataFileSize(dir_.path());
    ASSERT_GT(size, 0);
    Outcome failure;
    int more = 0;
    {
      FileSizeLimit limit(static_cast<rlim_t>(size) + 64 * 1024);
      ASSERT_TRUE(limit.set());
      for (int k = 6; k < 500; ++k) {
        Outcome o = host.Run(Insert(k));
        if (o.status != 0) {
          failure = o;
          break;
        }
        committed.insert(Row(k));
        ++more;
      }
    }
    ASSERT_LT(more, 494) << "the data file never reached its limit";
    EXPECT_EQ(failure.status, -1);
    EXPECT_TRUE(Says(failure.error, "Erreur du moteur de stockage") &&
                Says(failure.error, "l'instruction a \xE9t\xE9 annul\xE9" "e"))
        << failure.error;
    EXPECT_EQ(failure.sqlState, "HY000");
  }
  Host host(dir_.path());
  ASSERT_TRUE(host.ok());
  std::set<std::string> after = Rows(host);
  EXPECT_EQ(after.size(), committed.size());
  EXPECT_TRUE(after == committed) << "rows lost or changed across the reopening";
  // Each committed row is found through both keys as well.
  for (int k = 1; k <= static_cast<int>(committed.size()); ++k) {
    EXPECT_EQ(host.Run("SELECT K FROM T WHERE K = " + std::to_string(k)).rows.size(), 1u) << k;
    EXPECT_EQ(host.Run("SELECT K FROM T WHERE W = 'w" + std::to_string(k) + "'").rows,
              (std::vector<std::string>{std::to_string(k)}))
        << k;
  }
  EXPECT_EQ(host.Run(Insert(9999)).status, 0);
}

}  // namespace
}  // namespace zksql_reliability
