// Writers killed at random moments: a child process runs INSERT, UPDATE and
// DELETE statements through the exports, alone or grouped in host
// transactions, reporting through a pipe each statement (or group) that
// returned success; the parent kills it with SIGKILL, opens the database
// again and checks that every reported statement is there, that at most
// the one statement or whole group under way when the kill came is there
// beyond them, and that the keys agree with the records.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <string>

#include "reliability_host.h"

namespace zksql_reliability {
namespace {

constexpr int kKeys = 40;  // keys of the working set, so that rows churn

// One statement of the writer's deterministic sequence: both processes
// derive it from the same seed, so the parent knows which statement was
// under way after the last one reported.
struct Step {
  enum Kind { kInsert, kUpdate, kDelete } kind;
  int key;
  int value;
  std::string Sql() const {
    std::string k = std::to_string(key);
    std::string v = std::to_string(value);
    switch (kind) {
      case kInsert:
        return "INSERT INTO T VALUES (" + k + ", " + v + ", 'texte " + v + "')";
      case kUpdate:
        return "UPDATE T SET V = (" + v + "), TXT = ('texte " + v + "') WHERE K = " + k;
      case kDelete:
        return "DELETE FROM T WHERE K = " + k;
    }
    return "";
  }
};

// The table's content as the model keeps it: key -> value.
using Model = std::map<int, int>;

// The sequence: an INSERT for an absent key, an UPDATE or a DELETE for a
// present one, so that every statement changes exactly one row.
class Sequence {
 public:
  explicit Sequence(unsigned seed) : random_(seed) {}
  Step Next(const Model& model) {
    int key = static_cast<int>(random_() % kKeys) + 1;
    int value = static_cast<int>(random_() % 100000);
    if (model.count(key) == 0) return {Step::kInsert, key, value};
    return {random_() % 3 == 0 ? Step::kDelete : Step::kUpdate, key, value};
  }

 private:
  std::mt19937 random_;
};

void Apply(const Step& step, Model* model) {
  if (step.kind == Step::kDelete)
    model->erase(step.key);
  else
    (*model)[step.key] = step.value;
}

// How many statements the writer groups in one host transaction next:
// always 1 for a writer without groups, else 1 to 6, from the seed.
class Groups {
 public:
  Groups(unsigned seed, bool grouped) : random_(seed ^ 0x5bd1e995u), grouped_(grouped) {}
  int Next() { return grouped_ ? 1 + static_cast<int>(random_() % 6) : 1; }

 private:
  std::mt19937 random_;
  bool grouped_;
};

// The child: runs the sequence until killed, in groups of statements each
// in its own host transaction when `grouped`, and writes after each
// statement or committed group the number of statements done. Never
// returns into the test framework.
[[noreturn]] void Writer(const std::string& dir, unsigned seed, bool grouped, int out) {
  Host host(dir);
  if (!host.ok()) _exit(2);
  Sequence sequence(seed);
  Groups groups(seed, grouped);
  Model model;
  for (int32_t n = 0;;) {
    int size = groups.Next();
    if (grouped && XZK_BeginTransaction(host.handle()) != JX_OK) _exit(5);
    for (int i = 0; i < size; ++i) {
      Step step = sequence.Next(model);
      Outcome o = host.Run(step.Sql());
      if (o.status != 0) _exit(3);
      Apply(step, &model);
    }
    if (grouped && XZK_CommitTransaction(host.handle()) != JX_OK) _exit(6);
    n += size;
    if (write(out, &n, sizeof n) != sizeof n) _exit(4);
  }
}

// Reads the child's reports until `ms` have passed and at least one came
// (bounded), then kills it. Returns the last ordinal reported.
int32_t CollectThenKill(pid_t child, int fd, int ms, int* exitStatus) {
  int32_t last = 0;
  std::string pending;
  auto drain = [&](int timeout) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeout) <= 0) return false;
    char buf[4096];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    pending.append(buf, static_cast<size_t>(n));
    while (pending.size() >= sizeof last) {
      memcpy(&last, pending.data(), sizeof last);
      pending.erase(0, sizeof last);
    }
    return true;
  };
  auto now = [] { return std::chrono::steady_clock::now(); };
  auto stop = now() + std::chrono::milliseconds(ms);
  while (now() < stop) drain(5);
  auto limit = now() + std::chrono::seconds(20);
  while (last == 0 && now() < limit) drain(20);
  kill(child, SIGKILL);
  waitpid(child, exitStatus, 0);
  while (drain(0)) {
  }
  return last;
}

// Rows of a result as "K|V|TXT".
std::set<std::string> AsSet(const Outcome& o) {
  return {o.rows.begin(), o.rows.end()};
}

std::string RowText(int key, int value) {
  return std::to_string(key) + "|" + std::to_string(value) + "|texte " + std::to_string(value);
}

std::set<std::string> Expected(const Model& model) {
  std::set<std::string> rows;
  for (const auto& kv : model) rows.insert(RowText(kv.first, kv.second));
  return rows;
}

// Single statements (each its own durable engine write) or groups of them
// in host transactions (all of a group or none).
class CrashTest : public ::testing::TestWithParam<bool> {};

TEST_P(CrashTest, KilledWritersKeepEveryReportedStatementAndConsistentKeys) {
  const bool grouped = GetParam();
  const int kIterations = grouped ? 5 : 8;
  std::mt19937 timing(20261209);
  int totalReported = 0;
  for (int iteration = 0; iteration < kIterations; ++iteration) {
    SCOPED_TRACE("iteration " + std::to_string(iteration));
    ScratchDir dir;
    {
      Host host(dir.path());
      ASSERT_TRUE(host.ok());
      ASSERT_EQ(host.Run("CREATE TABLE T (K INTEGER PRIMARY KEY, V INTEGER, TXT CHAR(20))").status,
                0);
      ASSERT_EQ(host.Run("CREATE INDEX TV ON T (V)").status, 0);
    }  // closed: the child opens its own environment
    const unsigned seed = 1000u + static_cast<unsigned>(iteration);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      Writer(dir.path(), seed, grouped, fds[1]);
    }
    close(fds[1]);
    int status = 0;
    int32_t reported =
        CollectThenKill(child, fds[0], 100 + static_cast<int>(timing() % 900), &status);
    close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the writer stopped by itself, status " << status;
    ASSERT_GT(reported, 0);
    totalReported += reported;

    // The model after the reported statements, and after the statement or
    // group that was under way when the kill came (it may or may not have
    // reached disk, but whole).
    Sequence sequence(seed);
    Groups groups(seed, grouped);
    Model model;
    int32_t done = 0;
    while (done < reported) {
      int size = groups.Next();
      for (int i = 0; i < size; ++i) Apply(sequence.Next(model), &model);
      done += size;
    }
    ASSERT_EQ(done, reported) << "a report inside a group";
    Model withNext = model;
    std::string next;
    for (int i = groups.Next(); i > 0; --i) {
      Step step = sequence.Next(withNext);
      Apply(step, &withNext);
      next += step.Sql() + "; ";
    }

    Host host(dir.path());
    ASSERT_TRUE(host.ok());
    Outcome scan = host.Run("SELECT K, V, TXT FROM T");
    ASSERT_EQ(scan.status, 0) << scan.error;
    std::set<std::string> rows = AsSet(scan);
    EXPECT_EQ(rows.size(), scan.rows.size()) << "a row read twice by the full scan";
    EXPECT_TRUE(rows == Expected(model) || rows == Expected(withNext))
        << "after " << reported << " reported statements; under way: " << next;

    // The keys agree with the records: every key of the working set finds
    // through its unique key exactly the rows the scan holds for it, and
    // every row is found through the index on V.
    std::map<int, std::string> byKey;
    for (const std::string& row : rows) byKey[std::stoi(row)] = row;
    EXPECT_EQ(byKey.size(), rows.size()) << "a unique key holds a duplicate";
    for (int key = 1; key <= kKeys; ++key) {
      Outcome keyed = host.Run("SELECT K, V, TXT FROM T WHERE K = " + std::to_string(key));
      ASSERT_EQ(keyed.status, 0) << keyed.error;
      std::set<std::string> expected;
      if (byKey.count(key)) expected.insert(byKey[key]);
      EXPECT_EQ(AsSet(keyed), expected) << "key " << key;
      EXPECT_EQ(keyed.rows.size(), expected.size()) << "key " << key;
    }
    for (const auto& entry : byKey) {
      std::string value = entry.second.substr(entry.second.find('|') + 1);
      value = value.substr(0, value.find('|'));
      Outcome keyed = host.Run("SELECT K, V, TXT FROM T WHERE V = " + value);
      ASSERT_EQ(keyed.status, 0) << keyed.error;
      EXPECT_EQ(AsSet(keyed).count(entry.second), 1u) << entry.second;
      for (const std::string& row : keyed.rows) EXPECT_EQ(rows.count(row), 1u) << row;
    }
    // The database takes writes again, and its unique key still refuses
    // a duplicate.
    if (!byKey.empty()) {
      Outcome duplicate =
          host.Run("INSERT INTO T VALUES (" + std::to_string(byKey.begin()->first) + ", 1, 'x')");
      EXPECT_EQ(duplicate.status, -1);
      EXPECT_EQ(duplicate.sqlState, "23000");
    }
    EXPECT_EQ(host.Run("INSERT INTO T VALUES (" + std::to_string(kKeys + 1) + ", 1, 'x')").status,
              0);
  }
  RecordProperty("reported_statements", totalReported);
  EXPECT_GT(totalReported, kIterations);
}

INSTANTIATE_TEST_SUITE_P(Writers, CrashTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "GroupedInHostTransactions" : "SingleStatements";
                         });

}  // namespace
}  // namespace zksql_reliability
