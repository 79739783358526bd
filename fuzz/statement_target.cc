// The whole statement path, as a host drives it: an input is cut at its
// zero bytes into statements (at most kMaxStatements), each run through
// ZKSQLExecReq in a buffer exactly as long as its text, every row fetched
// and written with ZKSQLValLineN, every column asked for its memo, the
// error read, the request ended. The statements of one input share one
// engine transaction, rolled back at the end, so that the database stays
// the small one StatementSetUp made: a few tables with keys, indexes,
// memos, every column type, and a few rows each.
#include <ftw.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_targets.h"
#include "jxengine.h"
#include "zkglobal.h"
#include "zksql.h"

namespace zksql_fuzz {
namespace {

constexpr int kMaxStatements = 8;
// Host memo values: one table entry per memo marker a statement can carry.
constexpr int kMemoEntries = 256;
constexpr int16_t kMemoHeader = 56;

struct Database {
  std::string dir;
  int32_t handle = 0;
  void* instance = nullptr;
  std::vector<HGLOBAL> memoBlocks;
  // Laid out as ZKSQLMemoTable, with room for every marker.
  struct {
    int16_t reserved = 0;
    const void* blocks[kMemoEntries] = {};
  } memoTable;
};

Database* g_db = nullptr;

const ZKSQLMemoTable* MemoTable() {
  return reinterpret_cast<const ZKSQLMemoTable*>(&g_db->memoTable);
}

// A host memo block holding `data`, locked for the whole run as hosts hand
// them over.
const void* MakeMemoBlock(const std::string& data) {
  HGLOBAL block = GlobalAlloc(GHND, kMemoHeader + data.size());
  if (block == nullptr) return nullptr;
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  int16_t header = kMemoHeader;
  int32_t length = static_cast<int32_t>(data.size());
  memcpy(bytes + 3, &header, 2);
  memcpy(bytes + 52, &length, 4);
  memcpy(bytes + kMemoHeader, data.data(), data.size());
  g_db->memoBlocks.push_back(block);
  return bytes;
}

// Runs one set-up statement; false when it failed.
bool Run(const char* statement) {
  std::string text = statement;
  void* request = nullptr;
  ZKSQLResultInfo info = {};
  int16_t status = ZKSQLExecReq(&request, &text[0], &info, g_db->handle, MemoTable());
  if (status != 0) {
    char message[256] = "";
    ZKSQLErreur(request, message, nullptr);
    fprintf(stderr, "fuzz set-up: %s:%s\n", statement, message);
  }
  if (request != nullptr) ZKSQLFinRequete(request);
  return status == 0;
}

// A file the dialect cannot declare (memos, decimals, fixed and prefixed
// texts, short dates, unsigned numbers), made through the engine.
bool MakeEngineFile() {
  struct Item {
    const char* name;
    char letter;
    int16_t size;
    int16_t key;
  };
  const Item items[] = {{"N", 'L', 4, 1}, {"M", 'M', 4, 0}, {"G", 'G', 4, 0},    {"B", 'B', 1, 0},
                        {"W", 'W', 2, 0}, {"U", 'U', 4, 0}, {"DEC", 'N', 10, 0}, {"FX", 'F', 6, 0},
                        {"P", 'P', 6, 0}, {"D6", 'A', 6, 2}};
  unsigned char fd[JX_FD_SIZE_BYTES] = {};
  auto describe = [&fd](int16_t command) {
    XZK_DECRITFICHIER(g_db->handle, command, fd);
    int16_t status;
    memcpy(&status, fd + JX_FD_STATUS, 2);
    return status <= 0;
  };
  strcpy(reinterpret_cast<char*>(fd + JX_FD_TABLE), "F");
  memcpy(fd + JX_FD_SEPARATOR, "__", 2);
  if (!describe(JX_DESCRIBE_BEGIN_FILE)) return false;
  for (const Item& item : items) {
    memset(fd + JX_FD_NAME, 0, 31);
    strcpy(reinterpret_cast<char*>(fd + JX_FD_NAME), item.name);
    fd[JX_FD_TYPE] = static_cast<unsigned char>(item.letter);
    memcpy(fd + JX_FD_SIZE, &item.size, 2);
    memcpy(fd + JX_FD_UNIQUE, &item.key, 2);
    if (!describe(JX_DESCRIBE_ADD_COLUMN)) return false;
  }
  return describe(JX_DESCRIBE_COMPLETE);
}

const char* const kSchema[] = {
    "CREATE TABLE CLI (CNUM INTEGER PRIMARY KEY, CNOM CHAR(10), VILLE VARCHAR(12), NAISS DATE)",
    "CREATE INDEX CLI_VILLE ON CLI (VILLE)",
    "CREATE TABLE CMD (ONUM INTEGER, OCLI INTEGER, OPROD INTEGER, QTE SMALLINT, PRIX DOUBLE, "
    "JOUR DATE, HEURE TIME)",
    "CREATE UNIQUE INDEX CMD_ONUM ON CMD (ONUM)",
    "CREATE INDEX CMD_CLI_PROD ON CMD (OCLI, OPROD)",
    "CREATE TABLE PRD (PNUM INTEGER PRIMARY KEY, PNOM CHAR(10), POIDS REAL)",
    "CREATE TABLE N (I INTEGER, S SMALLINT, TI TINYINT, BI BIGINT, R REAL, D DOUBLE, C CHAR(8), "
    "V VARCHAR(12), DT DATE, TM TIME)",
    "CREATE INDEX N_C ON N (C)",
    "CREATE TABLE VIDE (X INTEGER)",
    "INSERT INTO CLI VALUES (1, 'Ana', 'Paris', '19800102')",
    "INSERT INTO CLI VALUES (2, 'Bob', 'Lyon', '1975-12-31')",
    "INSERT INTO CLI VALUES (3, 'L''H\xF4te', 'Paris', '20000229')",
    "INSERT INTO CLI (CNUM, CNOM) VALUES (4, 'Zo\xE9')",
    "INSERT INTO CMD VALUES (10, 1, 100, 2, 9.5, '20240101', '0830')",
    "INSERT INTO CMD VALUES (11, 1, 200, 1, 12.25, '2024-02-29', '23:59')",
    "INSERT INTO CMD VALUES (12, 2, 100, 5, -3, '20231231', '0000')",
    "INSERT INTO CMD VALUES (13, 5, 300, 0, 1E10, '19991231', '1200')",
    "INSERT INTO PRD VALUES (100, 'vis', 0.5)",
    "INSERT INTO PRD VALUES (200, 'clou', 0.25)",
    "INSERT INTO PRD VALUES (300, 'colle', 1.5)",
    "INSERT INTO N VALUES (1, 2, 3, 4, 5.5, 6.25, 'c', 'v', '20240101', '1200')",
    "INSERT INTO N VALUES (-1, -2, -3, -4, -5.5, -6.25, 'ABC', 'xyz', '19000101', '0001')",
    "INSERT INTO N (I) VALUES (0)",
    "INSERT INTO F (N, M, G, B, W, U, D6) VALUES (1, 'Premier m\xE9mo', {JXMemoBinaire('a.bin')}, "
    "1, 2, 3, '19991231')",
    "INSERT INTO F (N, M) VALUES (2, {JXMemoBinaire('b.txt')})",
    "INSERT INTO F (N, FX, P, D6) VALUES (3, 'fixe', 'pre', '20000101')",
};

void RemoveTree(const std::string& dir) {
  nftw(
      dir.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 8,
      FTW_DEPTH | FTW_PHYS);
}

// Everything a request hands out, read as a host reads it.
void ReadRequest(void* request, int16_t status, const ZKSQLResultInfo& info) {
  char text[256];
  char state[6];
  memset(text, 'x', sizeof text);
  memset(state, 'x', sizeof state);
  ZK_FUZZ_CHECK(ZKSQLErreur(request, text, state) == 0);
  ZK_FUZZ_CHECK(memchr(text, '\0', 255) != nullptr);
  ZK_FUZZ_CHECK(state[5] == '\0' && strlen(state) == 5);
  // A failed statement says why; one that ran has no error.
  if (status == 0) {
    ZK_FUZZ_CHECK(text[0] == '\0' && strcmp(state, "00000") == 0);
  } else {
    ZK_FUZZ_CHECK(text[0] != '\0' && strcmp(state, "00000") != 0);
  }
  ZK_FUZZ_CHECK(info.columnText != nullptr);
  size_t described = strlen(info.columnText);
  if (status != 0) {
    ZK_FUZZ_CHECK(info.columnCount == 0 && info.rowCount == 0);
  } else {
    // A select list without a column ("SELECT 1 FROM T") still gives one
    // empty row per record.
    ZK_FUZZ_CHECK((described > 0) == (info.columnCount > 0));
    ZK_FUZZ_CHECK(info.rowCount >= 0);
  }

  int32_t rows = 0;
  std::vector<char> line(1 << 16);
  char cut[9];
  while (ZKSQLFetchNext(request) == 0) {
    ++rows;
    ZK_FUZZ_CHECK(rows <= info.rowCount);
    int16_t whole = ZKSQLValLineN(request, "|", line.data(), static_cast<int32_t>(line.size()));
    ZK_FUZZ_CHECK(whole == 0);
    // A small buffer receives the start of the same text.
    int16_t part = ZKSQLValLineN(request, "|", cut, sizeof cut);
    ZK_FUZZ_CHECK(strncmp(cut, line.data(), sizeof cut - 1) == 0);
    ZK_FUZZ_CHECK((part == 0) == (strlen(line.data()) < sizeof cut));
    for (int column = 0; column <= info.columnCount + 1; ++column) {
      void* memo = reinterpret_cast<void*>(1);
      int16_t got = ZKSQLGetLongData(request, static_cast<int16_t>(column), &memo);
      if (column < 1 || column > info.columnCount) ZK_FUZZ_CHECK(got == -1);
      if (got != 0) {
        ZK_FUZZ_CHECK(memo == nullptr && (got == -1 || got == 100));
        continue;
      }
      ZK_FUZZ_CHECK(memo != nullptr);
      const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memo));
      ZK_FUZZ_CHECK(bytes != nullptr);
      if (bytes != nullptr) {
        int16_t header;
        int32_t length;
        memcpy(&header, bytes + 3, 2);
        memcpy(&length, bytes + 52, 4);
        ZK_FUZZ_CHECK(header >= kMemoHeader && length >= 0 &&
                      static_cast<size_t>(header) + length <= GlobalSize(memo));
        GlobalUnlock(memo);
      }
      GlobalFree(memo);
    }
    if (rows > 100000) break;
  }
  ZK_FUZZ_CHECK(rows == info.rowCount);
  // Past the last row every fetch keeps failing.
  ZK_FUZZ_CHECK(ZKSQLFetchNext(request) == -1);
}

}  // namespace

bool StatementSetUp(const char** why) {
  if (g_db != nullptr) return true;
  g_db = new Database;
  const char* tmp = getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zksql-fuzz-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    *why = "no temporary folder";
    return false;
  }
  g_db->dir = pattern;
  g_db->handle = XZK_nInit(g_db->dir.c_str(), JX_INIT_CREATE);
  if (g_db->handle <= 0) {
    *why = "the engine did not open the database";
    return false;
  }
#ifdef JXENGINE_PATH
  // The library binds the very engine library this program is linked with,
  // so that the handle above is one of its own.
  setenv("JXENGINE_LIBRARY", JXENGINE_PATH, 1);
#endif
  if (JX4InitInstance(&g_db->instance, 0) != 1) {
    *why = "no instance";
    return false;
  }
  // Memo values: a text, an empty one, bytes with zeros and high bytes, a
  // long text; repeated over the whole table.
  std::string bytes("\x00\x01\xFF\x7F'{}", 7);
  const void* values[] = {MakeMemoBlock("Texte venu de l'h\xF4te"), MakeMemoBlock(""),
                          MakeMemoBlock(bytes), MakeMemoBlock(std::string(3000, 'm'))};
  for (int i = 0; i < kMemoEntries; ++i) g_db->memoTable.blocks[i] = values[i % 4];
  for (const void* v : values) {
    if (v == nullptr) {
      *why = "no memo block";
      return false;
    }
  }
  if (!MakeEngineFile()) {
    *why = "the engine refused the memo file";
    return false;
  }
  for (const char* statement : kSchema) {
    if (!Run(statement)) {
      *why = "a set-up statement failed";
      return false;
    }
  }
  return true;
}

void StatementTearDown() {
  if (g_db == nullptr) return;
  if (g_db->instance != nullptr) JXSQLFinInstance(g_db->instance);
  if (g_db->handle > 0) XZK_Termine(g_db->handle);
  for (HGLOBAL block : g_db->memoBlocks) GlobalFree(block);
  if (!g_db->dir.empty()) RemoveTree(g_db->dir);
  delete g_db;
  g_db = nullptr;
}

int32_t StatementEngineHandle() {
  return g_db != nullptr ? g_db->handle : 0;
}

const ZKSQLMemoTable* StatementMemoTable() {
  return g_db != nullptr ? MemoTable() : nullptr;
}

int StatementInput(const uint8_t* data, size_t size) {
  if (g_db == nullptr || g_db->handle <= 0) return 0;
  ZK_FUZZ_CHECK(XZK_BeginTransaction(g_db->handle) == JX_OK);
  const char* p = reinterpret_cast<const char*>(data);
  const char* end = p + size;
  for (int n = 0; n < kMaxStatements && p <= end; ++n) {
    const char* zero = static_cast<const char*>(memchr(p, '\0', static_cast<size_t>(end - p)));
    size_t length = static_cast<size_t>((zero != nullptr ? zero : end) - p);
    // Exactly the text and its terminator: the library may rewrite the
    // text in place but never lengthen it.
    char* sql = static_cast<char*>(malloc(length + 1));
    memcpy(sql, p, length);
    sql[length] = '\0';
    void* request = nullptr;
    ZKSQLResultInfo info;
    memset(&info, 0xA5, sizeof info);
    int16_t status = ZKSQLExecReq(&request, sql, &info, g_db->handle, MemoTable());
    ZK_FUZZ_CHECK(strlen(sql) <= length);
    free(sql);
    ZK_FUZZ_CHECK(status == 0 || status == -1);
    // With a statement, a result record and no shortage of memory, a
    // request always comes back.
    ZK_FUZZ_CHECK(request != nullptr);
    if (request == nullptr) break;
    ReadRequest(request, status, info);
    ZK_FUZZ_CHECK(ZKSQLFinRequete(request) == 0);
    // An ended request is refused, not followed.
    ZK_FUZZ_CHECK(ZKSQLFinRequete(request) == -1);
    if (zero == nullptr) break;
    p = zero + 1;
  }
  int16_t rolledBack = XZK_RollbackTransaction(g_db->handle);
  ZK_FUZZ_CHECK(rolledBack == JX_OK);
  return 0;
}

}  // namespace zksql_fuzz
