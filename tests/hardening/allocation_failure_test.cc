// Running out of memory at every allocation of a statement, through the
// exports, on the real engine.
//
// Every allocation the library's own code makes in this program passes
// through the injection below: nothrow operator new (which the library uses
// for its objects) is replaced here, and the link wraps malloc, calloc,
// realloc, GlobalAlloc and GlobalReAlloc for the library's objects (see
// CMakeLists.txt), so the engine, the C++ runtime and GoogleTest are left
// alone. For each statement the Nth allocation fails, for N = 0, 1, ... until
// the statement no longer reaches an Nth allocation; once with only that
// allocation failing and once with every later one failing too. Whatever
// fails, the statement must end with message 4242 (or its own error, or
// succeed with exactly the rows and changes it makes without the failure),
// the request must be ended, and no global memory block may be left behind.
// The sanitizer build adds LeakSanitizer's check of everything else.
//
// A wrong outcome stops the loop and shows where the failed allocation was
// asked for; with ZKSQL_STARVE_ALL set in the environment the loop goes on
// and reports every wrong outcome.
#include <execinfo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/messages.h"
#include "fuzz_targets.h"
#include "jxengine.h"
#include "zkglobal.h"
#include "zksql.h"

namespace {

// Allocation number `target` fails (counted from 0 since the injection was
// armed), and with `sticky` every later one too.
struct Injection {
  bool armed = false;
  bool sticky = false;
  long target = 0;
  long seen = 0;
  bool hit = false;
  // Where allocation `target` was asked for, shown when the outcome is
  // wrong (symbolize with addr2line -f -C -e on the offsets).
  void* frames[32];
  int depth = 0;
};
Injection g_injection;

bool ShouldFail() {
  if (!g_injection.armed) return false;
  long n = g_injection.seen++;
  if (n == g_injection.target || (g_injection.sticky && n > g_injection.target)) {
    g_injection.hit = true;
    if (n == g_injection.target) g_injection.depth = backtrace(g_injection.frames, 32);
    return true;
  }
  return false;
}

// The global memory blocks the library made and has not freed.
std::unordered_set<HGLOBAL>& LiveBlocks() {
  static auto* blocks = new std::unordered_set<HGLOBAL>;
  return *blocks;
}

}  // namespace

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* pointer, size_t size);
HGLOBAL __real_GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL __real_GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags);
HGLOBAL __real_GlobalFree(HGLOBAL block);

void* __wrap_malloc(size_t size) {
  return ShouldFail() ? nullptr : __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
  return ShouldFail() ? nullptr : __real_calloc(count, size);
}
void* __wrap_realloc(void* pointer, size_t size) {
  return ShouldFail() ? nullptr : __real_realloc(pointer, size);
}
HGLOBAL __wrap_GlobalAlloc(UINT flags, SIZE_T bytes) {
  if (ShouldFail()) return nullptr;
  HGLOBAL block = __real_GlobalAlloc(flags, bytes);
  if (block != nullptr) LiveBlocks().insert(block);
  return block;
}
HGLOBAL __wrap_GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags) {
  return ShouldFail() ? nullptr : __real_GlobalReAlloc(block, bytes, flags);
}
HGLOBAL __wrap_GlobalFree(HGLOBAL block) {
  LiveBlocks().erase(block);
  return __real_GlobalFree(block);
}
}  // extern "C"

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (ShouldFail()) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (ShouldFail()) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

// Arms the injection for its lifetime.
class Starve {
 public:
  Starve(long target, bool sticky) {
    g_injection = Injection{};
    g_injection.target = target;
    g_injection.sticky = sticky;
    g_injection.armed = true;
  }
  ~Starve() { g_injection.armed = false; }
  Starve(const Starve&) = delete;
  Starve& operator=(const Starve&) = delete;
};

// What a statement did, seen as a host sees it.
struct Outcome {
  int16_t status = 0;
  bool handedBack = false;
  int16_t ended = -1;
  std::string error;
  uint16_t columns = 0;
  int32_t rowCount = 0;
  std::vector<std::string> rows;   // row texts, then each column's memo
  std::string unread;              // why the rows could not all be read
  std::vector<std::string> check;  // the rows of the check query afterwards
  bool hit = false;
  size_t liveBlocks = 0;
  void* frames[32];
  int depth = 0;
};

std::string RowsOf(void* request, const ZKSQLResultInfo& info, std::vector<std::string>* rows) {
  std::vector<char> line(1 << 16);
  while (ZKSQLFetchNext(request) == 0) {
    if (ZKSQLValLineN(request, "|", line.data(), static_cast<int32_t>(line.size())) != 0) {
      // A row read short of memory is refused rather than written wrong.
      return "(a row could not be read)";
    }
    rows->push_back(line.data());
    for (int column = 1; column <= info.columnCount; ++column) {
      void* memo = nullptr;
      int16_t status = ZKSQLGetLongData(request, static_cast<int16_t>(column), &memo);
      if (status != 0) {
        rows->push_back("memo " + std::to_string(status));
        continue;
      }
      const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memo));
      int16_t header = 0;
      int32_t length = 0;
      memcpy(&header, bytes + 3, 2);
      memcpy(&length, bytes + 52, 4);
      rows->push_back("memo " + std::string(reinterpret_cast<const char*>(bytes) + header,
                                            static_cast<size_t>(length)));
      GlobalUnlock(memo);
      GlobalFree(memo);
    }
  }
  return "";
}

// Runs `sql` in an engine transaction that is rolled back, with the
// injection armed at allocation `target` (none when target < 0) from the
// statement's submission to its end, then `check` unarmed.
Outcome RunStatement(const std::string& sql, const std::string& check, long target, bool sticky) {
  int32_t handle = zksql_fuzz::StatementEngineHandle();
  Outcome o;
  EXPECT_EQ(XZK_BeginTransaction(handle), JX_OK);
  size_t blocksBefore = LiveBlocks().size();
  {
    std::string text = sql;
    void* request = nullptr;
    ZKSQLResultInfo info = {};
    Starve starve(target < 0 ? -1 : target, sticky);
    if (target < 0) g_injection.armed = false;
    o.status = ZKSQLExecReq(&request, &text[0], &info, handle, zksql_fuzz::StatementMemoTable());
    o.handedBack = request != nullptr;
    if (request != nullptr) {
      char message[256] = "";
      ZKSQLErreur(request, message, nullptr);
      o.error = message;
      o.columns = info.columnCount;
      o.rowCount = info.rowCount;
      if (o.status == 0) o.unread = RowsOf(request, info, &o.rows);
      o.ended = ZKSQLFinRequete(request);
    }
    o.hit = g_injection.hit;
    o.depth = g_injection.depth;
    memcpy(o.frames, g_injection.frames, sizeof o.frames);
  }
  o.liveBlocks = LiveBlocks().size() - blocksBefore;
  if (!check.empty()) {
    std::string text = check;
    void* request = nullptr;
    ZKSQLResultInfo info = {};
    if (ZKSQLExecReq(&request, &text[0], &info, handle, zksql_fuzz::StatementMemoTable()) == 0) {
      RowsOf(request, info, &o.check);
    } else {
      o.check.push_back("(the check query failed)");
    }
    if (request != nullptr) ZKSQLFinRequete(request);
  }
  EXPECT_EQ(XZK_RollbackTransaction(handle), JX_OK);
  return o;
}

std::string OutOfMemoryText() {
  char text[zksql::kMessageBufferSize];
  zksql::LoadMessage(zksql::kMsgOutOfMemory, text, sizeof text);
  return text;
}

struct Case {
  const char* name;
  const char* sql;
  const char* check;  // a query whose rows show what the statement changed
};

const Case kCases[] = {
    {"CreateTable", "CREATE TABLE T (A INTEGER PRIMARY KEY, B CHAR(10), C DOUBLE, D DATE)",
     "SELECT * FROM T"},
    {"CreateIndex", "CREATE INDEX CLI_NOM ON CLI (CNOM, VILLE)",
     "SELECT CNUM FROM CLI WHERE CNOM > 'B' ORDER BY CNUM"},
    {"Insert", "INSERT INTO CLI VALUES (7, 'Gus', 'Nice', {d '1999-01-02'})",
     "SELECT * FROM CLI ORDER BY CNUM"},
    {"InsertMemos",
     "INSERT INTO F (N, M, G) VALUES (9, {JXMemoBinaire('m.txt')}, "
     "{JXMemoBinaire('g.bin','Champ')})",
     "SELECT N, M, G FROM F ORDER BY N"},
    {"SelectJoinSubSelectDistinctOrderBy",
     "SELECT DISTINCT CNOM, PNOM FROM CLI, CMD, PRD WHERE CNUM = OCLI AND OPROD = PNUM AND "
     "NOT CNUM IN (SELECT I FROM N WHERE I < 0 OR C = 'x') ORDER BY CNOM DESC, PNOM",
     ""},
    {"SelectMemos", "SELECT N, M, G FROM F WHERE N < 3 OR M LIKE '%mo'", ""},
    {"UpdateWhere",
     "UPDATE CMD SET QTE = (9), PRIX = (0.5) WHERE OCLI IN (SELECT CNUM FROM CLI WHERE "
     "VILLE = 'Paris')",
     "SELECT ONUM, QTE FROM CMD ORDER BY ONUM"},
    {"DeleteWhere", "DELETE FROM CMD WHERE ONUM > 11 AND NOT EXISTS (SELECT * FROM VIDE)",
     "SELECT ONUM FROM CMD ORDER BY ONUM"},
    {"Union",
     "SELECT CNUM, CNOM FROM CLI WHERE CNUM < 3 UNION SELECT PNUM, PNOM FROM PRD "
     "ORDER BY CNUM DESC",
     ""},
    {"ExceptIntersect", "SELECT OCLI FROM CMD EXCEPT SELECT CNUM FROM CLI WHERE CNUM = 1", ""},
    {"RefusedColumn", "SELECT NOPE FROM CLI WHERE CNUM = 1", ""},
};

class AllocationFailureTest : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    const char* why = "";
    ASSERT_TRUE(zksql_fuzz::StatementSetUp(&why)) << why;
    // backtrace() loads the unwinder on its first call: not while the
    // injection is armed.
    void* frame;
    backtrace(&frame, 1);
  }

  // Fails allocation N (and with `sticky` every later one) for N = 0, 1,
  // ... and checks each outcome against the statement's own. Returns the
  // number of allocations the statement makes.
  long Starve(bool sticky) {
    const Case& c = GetParam();
    Outcome expected = RunStatement(c.sql, c.check, -1, false);
    EXPECT_TRUE(expected.handedBack);
    EXPECT_EQ(expected.liveBlocks, 0u);
    if (std::string(c.name) != "RefusedColumn") {
      EXPECT_EQ(expected.status, 0) << expected.error;
    }
    const std::string outOfMemory = OutOfMemoryText();
    long n = 0;
    for (; n < 200000; ++n) {
      Outcome o = RunStatement(c.sql, c.check, n, sticky);
      const ::testing::TestResult* result =
          ::testing::UnitTest::GetInstance()->current_test_info()->result();
      int reportsBefore = result->total_part_count();
      std::string where = "allocation " + std::to_string(n) + (sticky ? " and later" : " alone");
      EXPECT_EQ(o.liveBlocks, 0u) << where << ": global memory blocks left behind";
      if (!o.handedBack) {
        // No request: only for want of memory, and said by the status.
        EXPECT_EQ(o.status, -1) << where;
        EXPECT_TRUE(o.hit) << where;
      } else {
        EXPECT_EQ(o.ended, 0) << where << ": the request could not be ended";
        if (o.status != 0) {
          if (o.error != expected.error) {
            EXPECT_EQ(o.error, outOfMemory) << where;
          }
        } else {
          // Success despite the failure: then exactly the statement's own
          // result and changes.
          EXPECT_EQ(expected.status, 0) << where;
          EXPECT_EQ(o.columns, expected.columns) << where;
          EXPECT_EQ(o.rowCount, expected.rowCount) << where;
          if (o.unread.empty()) {
            EXPECT_EQ(o.rows, expected.rows) << where;
          } else {
            // Only a shortage may keep a row from being read.
            EXPECT_TRUE(o.hit) << where << ": " << o.unread;
          }
          EXPECT_EQ(o.check, expected.check) << where;
        }
      }
      if (result->total_part_count() != reportsBefore) {
        fprintf(stderr, "allocation %ld was asked for at:\n", n);
        backtrace_symbols_fd(o.frames, o.depth, 2);
        if (getenv("ZKSQL_STARVE_ALL") == nullptr) break;
      }
      if (!o.hit) break;  // the statement made fewer than n + 1 allocations
    }
    return n;
  }
};

TEST_P(AllocationFailureTest, EachAllocationAlone) {
  long points = Starve(false);
  EXPECT_GT(points, 0);
  RecordProperty("allocations", std::to_string(points));
}

TEST_P(AllocationFailureTest, EachAllocationAndAllLater) {
  long points = Starve(true);
  EXPECT_GT(points, 0);
  RecordProperty("allocations", std::to_string(points));
}

INSTANTIATE_TEST_SUITE_P(Statements, AllocationFailureTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

// The instance and the memo parameter sets, short of memory at each of
// their allocations: a clean refusal, never a crash or a leftover block.
TEST(AllocationFailureExportsTest, InstanceAndMemoSets) {
  const char* why = "";
  ASSERT_TRUE(zksql_fuzz::StatementSetUp(&why)) << why;
  // An instance's end gives back the block kept from the last request: one
  // cycle first, so that the counts below see only what the runs leave.
  void* first = nullptr;
  if (JX4InitInstance(&first, 0) == 1) JXSQLFinInstance(first);
  for (long n = 0; n < 1000; ++n) {
    size_t before = LiveBlocks().size();
    bool hit;
    {
      Starve starve(n, true);
      void* instance = nullptr;
      if (JX4InitInstance(&instance, 0) == 1) JXSQLFinInstance(instance);
      void* set = ZKSQL_JXMS_Alloc();
      if (set != nullptr) {
        char text[] = "X = {JXMemoBinaire('a','Champ')} AND Y = {JXMemoBinaire('b')}";
        int32_t count = ZKSQL_JXMS_Scan(set, text);
        EXPECT_TRUE(count == 2 || count == 0) << n;
        char info[8];
        int32_t kind = 0;
        if (count == 2) {
          EXPECT_EQ(ZKSQL_JXMS_GetMemoInfo(set, 0, info, sizeof info, &kind), 1);
          EXPECT_EQ(ZKSQL_JXMS_ReplaceMemo(set, text, 1, "'?'", sizeof text), 1);
        }
        ZKSQL_JXMS_Free(set);
      }
      hit = g_injection.hit;
    }
    EXPECT_EQ(LiveBlocks().size(), before) << "allocation " << n;
    if (!hit) break;
  }
}

}  // namespace
