// A damaged data file is refused, or its damage reported, without a signal:
// a data file cut short anywhere, or whose meta pages disagree, is refused
// at open with JX_ERR_DAMAGED and an explanation; a record whose stored
// size runs past the file's end fails the statements that read it; the
// integrity check reports a page LMDB cannot read instead of walking it. Each
// attempt runs in a forked child, so that a fault is seen as a signal
// instead of ending the test run. POSIX only (fork).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "reliability_host.h"

namespace zksql_reliability {
namespace {

namespace fs = std::filesystem;

constexpr int kRows = 300;

// LMDB's meta page layout for this word size W: a page header of W + 8
// bytes, then magic and version, map address and size, the free and main
// trees (8 + 5 W bytes each: padding, flags, depth, three page counts,
// entries, root; the free tree's padding holds the page size), the last
// used page and the transaction id.
constexpr size_t kW = sizeof(size_t);
constexpr size_t kMeta = kW + 8;
constexpr size_t kTrees = kMeta + 8 + 2 * kW;
constexpr size_t kTreeSize = 8 + 5 * kW;
constexpr size_t kLastPage = kTrees + 2 * kTreeSize;
constexpr size_t kTxnId = kLastPage + kW;

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

template <class T>
T At(const Bytes& b, size_t offset) {
  T v;
  memcpy(&v, b.data() + offset, sizeof v);
  return v;
}

template <class T>
void Set(Bytes& b, size_t offset, T v) {
  memcpy(b.data() + offset, &v, sizeof v);
}

// Runs `f` in a child under an alarm and returns what it wrote; *signal is
// the signal that ended the child, 0 when it exited.
std::string InChild(const std::function<std::string()>& f, int* signal) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe";
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    alarm(30);
    std::string said = f();
    ssize_t written = write(fds[1], said.data(), said.size());
    _exit(written == ssize_t(said.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string said;
  char buf[1024];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) said.append(buf, size_t(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  *signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return said;
}

// What XZK_nInit answers on `dir`: "<code>|<explanation>".
std::string OpenAnswer(const std::string& dir) {
  int32_t handle = XZK_nInit(dir.c_str(), 0);
  char why[1024] = "";
  if (handle <= 0) XZK_GetLastError(0, why, sizeof why);
  if (handle > 0) XZK_Termine(handle);
  return std::to_string(handle > 0 ? 1 : handle) + "|" + why;
}

class DamagedFileTest : public ::testing::Test {
 protected:
  // One database for every case: T with kRows rows of 200 characters, so
  // that the file has pages beyond its metas and trees more than one deep.
  static void SetUpTestSuite() {
    base_ = new ScratchDir;
    Host host(base_->path());
    ASSERT_TRUE(host.ok());
    ASSERT_EQ(host.Run("CREATE TABLE T (K INTEGER PRIMARY KEY, V CHAR(200))").status, 0);
    ASSERT_EQ(XZK_BeginTransaction(host.handle()), JX_OK);
    for (int k = 1; k <= kRows; ++k)
      ASSERT_EQ(host.Run("INSERT INTO T VALUES (" + std::to_string(k) + ", 'valeur " +
                         std::to_string(k) + "')")
                    .status,
                0);
    ASSERT_EQ(XZK_CommitTransaction(host.handle()), JX_OK);
  }
  static void TearDownTestSuite() {
    delete base_;
    base_ = nullptr;
  }

  // A copy of the database whose data file `damage` rewrote.
  std::string Copy(const std::function<void(Bytes&)>& damage) {
    std::string dir = scratch_.path() + "/copy" + std::to_string(++copies_);
    fs::create_directory(dir);
    for (const auto& entry : fs::directory_iterator(base_->path()))
      fs::copy_file(entry.path(), fs::path(dir) / entry.path().filename());
    Bytes file = ReadFile(dir + "/data.mdb");
    damage(file);
    WriteFile(dir + "/data.mdb", file);
    return dir;
  }

  static ScratchDir* base_;
  ScratchDir scratch_;
  int copies_ = 0;
};

ScratchDir* DamagedFileTest::base_ = nullptr;

// The meta page LMDB takes as the newer (the larger transaction id).
size_t Newer(const Bytes& file, size_t page) {
  return At<size_t>(file, page + kTxnId) > At<size_t>(file, kTxnId) ? 1 : 0;
}

TEST_F(DamagedFileTest, ACutOrInconsistentDataFileIsRefusedAtOpenWithoutASignal) {
  const Bytes intact = ReadFile(base_->path() + "/data.mdb");
  const size_t page = At<uint32_t>(intact, kTrees);
  const size_t last = At<size_t>(intact, Newer(intact, page) * page + kLastPage);
  ASSERT_GT(last, 8u) << "the database is too small for the cuts below";
  auto cut = [](size_t length) { return [length](Bytes& b) { b.resize(length); }; };
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"cut to half", cut(intact.size() / 2)},
      {"cut to nothing", cut(0)},
      {"cut inside the first meta page", cut(100)},
      {"cut inside the second meta page", cut(page + 100)},
      {"cut after the metas and one page", cut(3 * page)},
      {"cut at the start of the last used page", cut(last * page)},
      {"cut one byte short of the last used page's end", cut((last + 1) * page - 1)},
      {"cut at an odd point", cut(intact.size() * 5 / 8 + 123)},
      {"the newer meta's page size differs",
       [page](Bytes& b) { Set<uint32_t>(b, Newer(b, page) * page + kTrees, uint32_t(2 * page)); }},
      // LMDB then takes the older meta as the newer, but reads the meta its
      // id's parity names: the damaged one.
      {"the meta an id's parity names lies past the end",
       [page](Bytes& b) {
         size_t newer = Newer(b, page), older = 1 - newer;
         size_t id = At<size_t>(b, newer * page + kTxnId) + 1;
         if ((id & 1) != newer) ++id;
         Set<size_t>(b, older * page + kTxnId, id);
         Set<size_t>(b, newer * page + kLastPage, 100000);
         Set<size_t>(b, newer * page + kTrees + kTreeSize + kTreeSize - kW, 90000);
       }},
      {"a flag the engine never sets on the main tree",
       [page](Bytes& b) {
         Set<uint16_t>(b, Newer(b, page) * page + kTrees + kTreeSize + 4, uint16_t(0x04));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string dir = Copy(c.damage);
    int signal = 0;
    std::string answer = InChild([&] { return OpenAnswer(dir); }, &signal);
    EXPECT_EQ(signal, 0);
    std::string code = std::to_string(-JX_ERR_DAMAGED) + "|";
    EXPECT_EQ(answer.compare(0, code.size(), code), 0) << answer;
    EXPECT_GT(answer.size(), code.size() + 10) << "no explanation: " << answer;
  }

  // The intact file opens, and every row is read.
  std::string dir = Copy([](Bytes&) {});
  int signal = 0;
  std::string answer = InChild(
      [&] {
        Host host(dir);
        Outcome o = host.Run("SELECT K, V FROM T");
        return std::to_string(host.ok()) + "|" + std::to_string(o.status) + "|" +
               std::to_string(o.rows.size());
      },
      &signal);
  EXPECT_EQ(signal, 0);
  EXPECT_EQ(answer, "1|0|" + std::to_string(kRows));
}

TEST_F(DamagedFileTest, ARecordWhoseSizeRunsPastTheFileFailsItsStatementsWithoutASignal) {
  // The record of key 77: its image holds "valeur 77", padded with spaces,
  // after a flag byte and K (4 bytes); its LMDB node (data size, flags, key
  // size: 8 bytes) and its key (file id, number: 8 bytes) come before it.
  // Its data size becomes 16 MiB, far past the end of the file.
  std::string dir = Copy([](Bytes& b) {
    const std::string text = "valeur 77 ";
    size_t found = 0;
    for (size_t at = 0; at + 16 < b.size(); ++at) {
      if (memcmp(b.data() + at, text.data(), text.size()) != 0) continue;
      size_t image = at - 5, node = image - 16;
      if (b[image - 1] != 77 || b[image - 2] != 0) continue;  // the key's number, big-endian
      Set<uint16_t>(b, node, 0xFFFF);
      Set<uint16_t>(b, node + 2, 0x00FF);
      ++found;
    }
    ASSERT_GT(found, 0u);
  });
  int signal = 0;
  std::string answer = InChild(
      [&] {
        Host host(dir);
        std::string said;
        for (const char* sql :
             {"SELECT K, V FROM T", "SELECT V FROM T WHERE K = 77", "SELECT V FROM T WHERE K = 78"})
          said += std::to_string(host.Run(sql).status) + " ";
        return said;
      },
      &signal);
  EXPECT_EQ(signal, 0);
  // The scan and the keyed read of 77 fail; 78 is still read.
  EXPECT_EQ(answer, "-1 -1 0 ");
}

TEST_F(DamagedFileTest, TheCheckReportsAPageLmdbCannotReadAndEnds) {
  // The leaf holding record 77 (and any stale copy of it in free pages),
  // zeroed or overwritten with noise: a cursor meeting it would abort the
  // process on one of LMDB's assertions or fault.
  auto leafOf77 = [](bool zero) {
    return [zero](Bytes& b) {
      const size_t page = At<uint32_t>(b, kTrees);
      std::mt19937 noise(77);
      const std::string text = "valeur 77 ";
      for (size_t at = 2 * page; at + text.size() < b.size(); ++at) {
        if (memcmp(b.data() + at, text.data(), text.size()) != 0) continue;
        size_t start = at / page * page;
        for (size_t i = 0; i < page; ++i)
          b[start + i] = zero ? 0 : static_cast<unsigned char>(noise());
      }
    };
  };
  for (bool zero : {true, false}) {
    SCOPED_TRACE(zero ? "zeroed" : "noise");
    std::string dir = Copy(leafOf77(zero));
    int signal = 0;
    std::string answer = InChild(
        [&] {
          Host host(dir);
          std::vector<char> report(1 << 16);
          int32_t problems =
              XZK_CheckDatabase(host.handle(), report.data(), int32_t(report.size()));
          return std::to_string(problems) + "|" + report.data();
        },
        &signal);
    EXPECT_EQ(signal, 0);
    EXPECT_GT(atoi(answer.c_str()), 0) << answer;
    EXPECT_NE(answer.find("table des enregistrements, page "), std::string::npos) << answer;
  }
}

}  // namespace
}  // namespace zksql_reliability
