// sqlite_compare - the same data and the same statements through zksql and
// through SQLite, timed side by side, to show where zksql stands and how its
// costs grow with the size of the data.
//
// Every workload runs in a child process of its own, forked from a parent
// that never opens a database: the child measures its CPU time (user +
// system, getrusage around the workload alone, fetching every row as text
// included), a CPU limit (RLIMIT_CPU) stops a workload that would take too
// long, and the child's peak resident size is its own. Children write the
// rows they fetched, normalised, to files that the parent compares, so a
// disagreement between the engines is printed beside the figures.
//
// A timed workload runs in several children (--runs, five by default), the
// engines taking turns, and its figure is the median of their times: a
// workload of a few milliseconds moves by a fifth from one child to the
// next on a busy machine, and one child would make its ratio a draw.
//
//   sqlite_compare [--rows N,...] [--join-rows M,...] [--limit SECONDS] [--runs N]
//                  [--only W,...]
#include <dirent.h>
#include <errno.h>
#include <ftw.h>
#include <malloc.h>
#include <signal.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jxengine.h"
#include "zksql.h"

namespace {

// Joins the columns of a row: no value of the data holds it.
constexpr char kSeparator = '\x1F';

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
  interrupted = 1;
}

double CpuSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakKilobytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// zksql's messages are Windows-1252; the terminal speaks UTF-8.
std::string Cp1252ToUtf8(const std::string& text) {
  static const uint16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x2026, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (unsigned char c : text) {
    unsigned code = c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

// ---- The engines, behind one small interface ----

// One connection to one database folder. Run hands back every result row
// as one text, its columns joined by kSeparator, appended to *rows with a
// line end (rows may be NULL: the rows are fetched and dropped).
class Engine {
 public:
  virtual ~Engine() = default;
  virtual bool Open(const std::string& folder, std::string* error) = 0;
  // The number of rows fetched, or -1 with *error set.
  virtual long Run(const std::string& sql, std::string* rows, std::string* error) = 0;
  virtual bool Begin(std::string* error) = 0;
  virtual bool Commit(std::string* error) = 0;
};

class Zksql : public Engine {
 public:
  ~Zksql() override {
    if (instance_ != nullptr) JXSQLFinInstance(instance_);
    if (handle_ > 0) XZK_Termine(handle_);
  }

  bool Open(const std::string& folder, std::string* error) override {
    handle_ = XZK_nInit(folder.c_str(), JX_INIT_CREATE);
    if (handle_ <= 0) {
      *error = "cannot open " + folder + " (engine code " + std::to_string(-handle_) + ")";
      return false;
    }
    if (JX4InitInstance(&instance_, 0) != 1 || instance_ == nullptr) {
      *error = "no zksql instance";
      return false;
    }
    return true;
  }

  long Run(const std::string& sql, std::string* rows, std::string* error) override {
    // The library rewrites date escapes in place: it needs a buffer of its own.
    statement_.assign(sql.begin(), sql.end());
    statement_.push_back('\0');
    void* request = nullptr;
    ZKSQLResultInfo info = {};
    if (ZKSQLExecReq(&request, statement_.data(), &info, handle_, nullptr) != 0) {
      char text[256] = "";
      char state[6] = "";
      if (request != nullptr) ZKSQLErreur(request, text, state);
      *error = "[" + std::string(state) + "] " + Cp1252ToUtf8(text) + " in: " + sql;
      if (request != nullptr) ZKSQLFinRequete(request);
      return -1;
    }
    const char separator[2] = {kSeparator, '\0'};
    long count = 0;
    while (ZKSQLFetchNext(request) == 0) {
      while (ZKSQLValLineN(request, separator, line_.data(), static_cast<int32_t>(line_.size())) !=
             0) {
        // A row cut at the buffer's end fills it; anything shorter is a refusal.
        if (strlen(line_.data()) + 1 < line_.size()) {
          *error = "row " + std::to_string(count + 1) + " refused in: " + sql;
          ZKSQLFinRequete(request);
          return -1;
        }
        line_.resize(line_.size() * 2);
      }
      if (rows != nullptr) {
        rows->append(line_.data());
        rows->push_back('\n');
      }
      ++count;
    }
    ZKSQLFinRequete(request);
    return count;
  }

  bool Begin(std::string* error) override { return Transaction(XZK_BeginTransaction, error); }
  bool Commit(std::string* error) override { return Transaction(XZK_CommitTransaction, error); }

 private:
  bool Transaction(int16_t (*call)(int32_t), std::string* error) {
    int16_t code = call(handle_);
    if (code == JX_OK) return true;
    char text[512] = "";
    XZK_GetLastError(handle_, text, sizeof text);
    *error = "engine transaction: code " + std::to_string(code) + " " + Cp1252ToUtf8(text);
    return false;
  }

  int32_t handle_ = 0;
  void* instance_ = nullptr;
  std::vector<char> statement_;
  std::vector<char> line_ = std::vector<char>(1024);
};

class Sqlite : public Engine {
 public:
  ~Sqlite() override { sqlite3_close(db_); }

  bool Open(const std::string& folder, std::string* error) override {
    if (sqlite3_open((folder + "/bench.db").c_str(), &db_) == SQLITE_OK) return true;
    *error = "cannot open " + folder + ": " + sqlite3_errmsg(db_);
    return false;
  }

  long Run(const std::string& sql, std::string* rows, std::string* error) override {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      *error = std::string(sqlite3_errmsg(db_)) + " in: " + sql;
      return -1;
    }
    int columns = sqlite3_column_count(statement);
    long count = 0;
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
      line_.clear();
      for (int c = 0; c < columns; ++c) {
        if (c > 0) line_ += kSeparator;
        const unsigned char* text = sqlite3_column_text(statement, c);
        if (text != nullptr) {
          line_.append(reinterpret_cast<const char*>(text), sqlite3_column_bytes(statement, c));
        }
      }
      if (rows != nullptr) {
        rows->append(line_);
        rows->push_back('\n');
      }
      ++count;
    }
    sqlite3_finalize(statement);
    if (status != SQLITE_DONE) {
      *error = std::string(sqlite3_errmsg(db_)) + " in: " + sql;
      return -1;
    }
    return count;
  }

  bool Begin(std::string* error) override { return Run("BEGIN", nullptr, error) >= 0; }
  bool Commit(std::string* error) override { return Run("COMMIT", nullptr, error) >= 0; }

 private:
  sqlite3* db_ = nullptr;
  std::string line_;
};

enum EngineKind { kZksql, kSqlite, kEngineCount };
const char* const kEngineNames[kEngineCount] = {"zksql", "sqlite3"};

std::unique_ptr<Engine> MakeEngine(EngineKind kind) {
  if (kind == kZksql) return std::unique_ptr<Engine>(new Zksql);
  return std::unique_ptr<Engine>(new Sqlite);
}

// ---- The data: the same statements for both engines ----

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352du;
  x ^= x >> 15;
  x *= 0x846ca68bu;
  x ^= x >> 16;
  return x;
}

// 1..count in a scrambled order, as real data rarely arrives sorted by key:
// a step that is prime and does not divide count visits every key once.
int64_t ScrambledKey(int64_t i, int64_t count) {
  const int64_t step = count % 1000003 != 0 ? 1000003 : 999983;
  return 1 + (i * step) % count;
}

const char kCreateT[] = "CREATE TABLE T (K INTEGER PRIMARY KEY, V INTEGER, S CHAR(20))";
const char kCreateA[] = "CREATE TABLE A (ID INTEGER PRIMARY KEY, X INTEGER)";
const char kCreateB[] = "CREATE TABLE B (ID INTEGER PRIMARY KEY, Y INTEGER, AID INTEGER)";

// T: V spreads over 0..999, so V < 10 selects 1 %; S is unique (it ends
// with the key), at most 20 characters, and sorts unlike K.
std::vector<std::string> InsertsOfT(int64_t rows) {
  std::vector<std::string> out;
  out.reserve(rows);
  char text[128];
  for (int64_t i = 0; i < rows; ++i) {
    auto k = static_cast<uint32_t>(ScrambledKey(i, rows));
    snprintf(text, sizeof text, "INSERT INTO T VALUES (%u, %u, 's%08x-%u')", k, Mix(k) % 1000,
             Mix(k ^ 0x5bd1e995u), k);
    out.push_back(text);
  }
  return out;
}

// A and B: B.AID names a row of A; A.X and B.Y spread over 0..rows-1, so
// the Y of B's first 99 rows match about 99 rows of A.
std::vector<std::string> InsertsOfAB(int64_t rows) {
  std::vector<std::string> out;
  out.reserve(2 * rows);
  char text[128];
  auto m = static_cast<uint32_t>(rows);
  for (int64_t i = 0; i < rows; ++i) {
    auto id = static_cast<uint32_t>(ScrambledKey(i, rows));
    snprintf(text, sizeof text, "INSERT INTO A VALUES (%u, %u)", id, Mix(3 * id + 1) % m);
    out.push_back(text);
    snprintf(text, sizeof text, "INSERT INTO B VALUES (%u, %u, %u)", id, Mix(5 * id + 2) % m,
             1 + Mix(7 * id + 3) % m);
    out.push_back(text);
  }
  return out;
}

// ---- The workloads ----

enum WorkloadKind { kQuery, kLookups, kLoad, kMemory, kShellMemory };

struct Workload {
  const char* label;
  WorkloadKind kind;
  const char* sql;    // the statement; for kLookups, all of it but the key
  bool ordered;       // rows compared in the order fetched, not sorted
  const char* shown;  // how the legend shows it, when not sql itself
};

constexpr int kLookupCount = 1000;

const Workload kWorkloads[] = {
    {"1. V < 10 (1 % of T)", kQuery, "SELECT K, V, S FROM T WHERE V < 10", false, nullptr},
    {"2. all rows of T", kQuery, "SELECT K, V, S FROM T", false, nullptr},
    {"3. DISTINCT V", kQuery, "SELECT DISTINCT V FROM T", false, nullptr},
    {"4. ORDER BY S", kQuery, "SELECT K, S FROM T ORDER BY S", true, nullptr},
    {"5. 1,000 lookups K = n", kLookups, "SELECT V, S FROM T WHERE K = ", true,
     "SELECT V, S FROM T WHERE K = n, 1,000 statements, n spread over T"},
    {"6. IN (sub-select)", kQuery,
     "SELECT A.ID FROM A WHERE A.X IN (SELECT Y FROM B WHERE B.ID < 100)", false, nullptr},
    {"7. join B, A", kQuery, "SELECT A.X, B.Y FROM B, A WHERE A.ID = B.AID", false, nullptr},
    {"8. load T, one transaction", kLoad, nullptr, false,
     "INSERT INTO T VALUES (K, V, 'S'), one statement a row, keys in scrambled order"},
    {"9. peak memory, all of T", kMemory, "SELECT K, V, S FROM T", false, nullptr},
    {"10. shell peak, all of T", kShellMemory, "SELECT K, V, S FROM T;", false,
     "SELECT K, V, S FROM T; through the zksql and sqlite3 shells, whole process"},
    // B.AID has no index: each engine must find the matching rows of B for
    // each row of A some other way than by a key.
    {"11. correlated EXISTS", kQuery,
     "SELECT A.ID FROM A WHERE EXISTS (SELECT B.ID FROM B WHERE B.AID = A.ID)", false, nullptr},
};

// Rows as the engines agree on them: trailing blanks dropped and numbers
// compared as numbers (engines print them differently); sorted unless the
// statement fixes the order.
std::string Normalised(const std::string& rows, bool ordered) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < rows.size()) {
    size_t end = rows.find('\n', start);
    std::string line;
    size_t field = start;
    while (true) {
      size_t stop = std::min(rows.find(kSeparator, field), end);
      std::string value = rows.substr(field, stop - field);
      while (!value.empty() && value.back() == ' ') value.pop_back();
      char* rest = nullptr;
      double number = strtod(value.c_str(), &rest);
      if (!value.empty() && *rest == '\0') {
        char text[32];
        snprintf(text, sizeof text, "%.15g", number);
        value = text;
      }
      line += value;
      if (stop == end) break;
      line += '|';
      field = stop + 1;
    }
    lines.push_back(line);
    start = end + 1;
  }
  if (!ordered) std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& line : lines) out += line + '\n';
  return out;
}

// What a child reports through its pipe.
struct Report {
  bool ok = false;
  double seconds = 0;  // CPU time of the workload
  long peakKb = 0;     // ru_maxrss when it ended
  long rows = 0;
  std::string message;  // the failure, or a note
};

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

// The bytes of the files in folder (a database folder holds no others).
long long FolderBytes(const std::string& folder) {
  long long total = 0;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  while (struct dirent* entry = readdir(dir)) {
    struct stat info;
    std::string path = folder + "/" + entry->d_name;
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) total += info.st_size;
  }
  closedir(dir);
  return total;
}

// Builds T, A and B (each in one transaction) in a new database, untimed;
// its size goes to the report's message.
Report BuildDatabase(EngineKind kind, const std::string& folder, int64_t rows, int64_t joinRows) {
  Report report;
  std::unique_ptr<Engine> engine = MakeEngine(kind);
  if (!engine->Open(folder, &report.message)) return report;
  std::vector<std::vector<std::string>> batches = {InsertsOfT(rows), InsertsOfAB(joinRows)};
  for (const char* create : {kCreateT, kCreateA, kCreateB}) {
    if (engine->Run(create, nullptr, &report.message) < 0) return report;
  }
  for (const std::vector<std::string>& batch : batches) {
    if (!engine->Begin(&report.message)) return report;
    for (const std::string& insert : batch) {
      if (engine->Run(insert, nullptr, &report.message) < 0) return report;
    }
    if (!engine->Commit(&report.message)) return report;
  }
  engine.reset();
  report.message = std::to_string(FolderBytes(folder));
  report.ok = true;
  return report;
}

// SQLite's settings on a new database in folder, as "name value, ...": the
// comparison leaves them at their defaults.
Report SqliteSettings(const std::string& folder) {
  Report report;
  Sqlite engine;
  if (!engine.Open(folder, &report.message)) return report;
  std::string settings;
  for (const char* pragma : {"journal_mode", "synchronous", "cache_size"}) {
    std::string value;
    if (engine.Run(std::string("PRAGMA ") + pragma, &value, &report.message) < 0) return report;
    if (!value.empty()) value.pop_back();
    if (strcmp(pragma, "synchronous") == 0) {
      static const char* const kLevels[] = {"off", "normal", "full", "extra"};
      int level = atoi(value.c_str());
      if (level >= 0 && level <= 3) value = kLevels[level];
    }
    settings += std::string(settings.empty() ? "" : ", ") + pragma + " " + value;
  }
  report.message = settings;
  report.ok = true;
  return report;
}

// Runs one workload on the database in folder (the load makes its own in
// loadFolder); the rows it fetched go, normalised, to rowsFile.
// The shell of an engine, as a user runs it: zksql's beside this program
// (the same build), sqlite3's from the PATH (Debian's sqlite3 package).
std::vector<std::string> ShellCommand(EngineKind kind, const std::string& folder) {
  if (kind == kSqlite) return {"sqlite3", folder + "/bench.db"};
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir = n > 0 ? std::string(self, size_t(n)) : std::string("./sqlite_compare");
  dir = dir.substr(0, dir.rfind('/') + 1);
  return {dir + "zksql", folder};
}

// Runs a shell on `statement` read from its standard input, its output
// dropped, and reports its peak resident size, the whole process counted:
// what a user of the shell sees.
Report RunShell(EngineKind kind, const std::string& folder, const std::string& statement) {
  Report report;
  std::string input = folder + "/shell-input.sql";
  if (!WriteFile(input, statement + "\n")) {
    report.message = "cannot write " + input;
    return report;
  }
  std::vector<std::string> command = ShellCommand(kind, folder);
  pid_t pid = fork();
  if (pid == 0) {
    FILE* in = freopen(input.c_str(), "r", stdin);
    FILE* out = freopen("/dev/null", "w", stdout);
    if (in == nullptr || out == nullptr) _exit(126);
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
    report.message = "cannot run " + command[0];
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    report.message = command[0] + (WIFEXITED(status) && WEXITSTATUS(status) == 127
                                       ? std::string(" not found")
                                       : " failed");
  } else {
    report.peakKb = usage.ru_maxrss;
    report.ok = true;
  }
  remove(input.c_str());
  return report;
}

Report RunWorkload(EngineKind kind, const Workload& workload, const std::string& folder,
                   const std::string& loadFolder, int64_t rows, const std::string& rowsFile) {
  Report report;
  std::unique_ptr<Engine> engine = MakeEngine(kind);
  std::string fetched;
  bool ordered = workload.ordered;
  switch (workload.kind) {
    case kQuery: {
      if (!engine->Open(folder, &report.message)) return report;
      double start = CpuSeconds();
      report.rows = engine->Run(workload.sql, &fetched, &report.message);
      report.seconds = CpuSeconds() - start;
      if (report.rows < 0) return report;
      break;
    }
    case kLookups: {
      if (!engine->Open(folder, &report.message)) return report;
      std::vector<std::string> statements;
      for (int i = 0; i < kLookupCount; ++i) {
        statements.push_back(workload.sql + std::to_string(1 + (int64_t{i} * 7919) % rows));
      }
      double start = CpuSeconds();
      for (const std::string& statement : statements) {
        long found = engine->Run(statement, &fetched, &report.message);
        if (found < 0) return report;
        report.rows += found;
      }
      report.seconds = CpuSeconds() - start;
      break;
    }
    case kLoad: {
      if (mkdir(loadFolder.c_str(), 0700) != 0 || !engine->Open(loadFolder, &report.message) ||
          engine->Run(kCreateT, nullptr, &report.message) < 0) {
        if (report.message.empty()) report.message = "cannot create " + loadFolder;
        return report;
      }
      std::vector<std::string> inserts = InsertsOfT(rows);
      double start = CpuSeconds();
      if (!engine->Begin(&report.message)) return report;
      for (const std::string& insert : inserts) {
        if (engine->Run(insert, nullptr, &report.message) < 0) return report;
      }
      if (!engine->Commit(&report.message)) return report;
      report.seconds = CpuSeconds() - start;
      // What was loaded, read back untimed, is what the engines compare.
      report.rows = engine->Run("SELECT K, V, S FROM T", &fetched, &report.message);
      if (report.rows < 0) return report;
      ordered = false;
      break;
    }
    case kShellMemory:
      return RunShell(kind, folder, workload.sql);
    case kMemory: {
      // Rows are fetched and dropped: only the engine's own memory counts.
      if (!engine->Open(folder, &report.message)) return report;
      if (workload.sql != nullptr) {
        report.rows = engine->Run(workload.sql, nullptr, &report.message);
        if (report.rows < 0) return report;
      }
      report.peakKb = PeakKilobytes();
      report.ok = true;
      return report;
    }
  }
  report.peakKb = PeakKilobytes();
  if (!WriteFile(rowsFile, Normalised(fetched, ordered))) {
    report.message = "cannot write " + rowsFile;
    return report;
  }
  report.ok = true;
  return report;
}

// ---- Children ----

struct Outcome {
  enum Status { kDone, kStopped, kFailed } status = kFailed;
  Report report;
};

// Runs body in a forked child with a CPU limit (0: none) and hands back what
// it reported; a child killed for its CPU time is kStopped.
Outcome InChild(int cpuLimit, const std::function<Report()>& body) {
  Outcome outcome;
  int channel[2];
  if (pipe(channel) != 0) {
    outcome.report.message = std::string("pipe: ") + strerror(errno);
    return outcome;
  }
  fflush(stdout);
  fflush(stderr);
#ifdef __GLIBC__
  // Heap the parent freed (rows it compared) would stay resident in the
  // child, where its allocations could reuse it without the peak growing.
  malloc_trim(0);
#endif
  pid_t child = fork();
  if (child < 0) {
    outcome.report.message = std::string("fork: ") + strerror(errno);
    close(channel[0]);
    close(channel[1]);
    return outcome;
  }
  if (child == 0) {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    close(channel[0]);
    if (cpuLimit > 0) {
      // SIGXCPU at the limit; SIGKILL two seconds later should it be caught.
      struct rlimit limit = {static_cast<rlim_t>(cpuLimit), static_cast<rlim_t>(cpuLimit + 2)};
      setrlimit(RLIMIT_CPU, &limit);
      // A workload that waits instead of computing is stopped as well.
      alarm(static_cast<unsigned>(cpuLimit) * 4 + 30);
    }
    Report report = body();
    char head[128];
    snprintf(head, sizeof head, "%d %.6f %ld %ld\n", report.ok ? 1 : 0, report.seconds,
             report.peakKb, report.rows);
    std::string text = head + report.message;
    for (size_t done = 0; done < text.size();) {
      ssize_t n = write(channel[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    // Leave without running the parent's exit handlers or flushing its buffers twice.
    _exit(0);
  }
  close(channel[1]);
  std::string text;
  char buffer[4096];
  while (true) {
    ssize_t n = read(channel[0], buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    } else if (interrupted) {
      kill(child, SIGKILL);
    }
  }
  close(channel[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) {
    int sig = WTERMSIG(status);
    if (cpuLimit > 0 && (sig == SIGXCPU || sig == SIGKILL || sig == SIGALRM) && !interrupted) {
      outcome.status = Outcome::kStopped;
      if (sig == SIGALRM) outcome.report.message = "stopped by the wall-clock limit";
    } else {
      outcome.report.message =
          "killed by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
    }
    return outcome;
  }
  int ok = 0;
  Report& report = outcome.report;
  int consumed = 0;
  if (sscanf(text.c_str(), "%d %lf %ld %ld\n%n", &ok, &report.seconds, &report.peakKb, &report.rows,
             &consumed) < 4) {
    report.message = "the child ended without a report (exit status " +
                     std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
    return outcome;
  }
  report.ok = ok != 0;
  report.message = text.substr(static_cast<size_t>(consumed));
  outcome.status = report.ok ? Outcome::kDone : Outcome::kFailed;
  return outcome;
}

// ---- Comparing and printing ----

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string Shown(const std::string& row) {
  return row.size() > 60 ? "\"" + row.substr(0, 57) + "...\"" : "\"" + row + "\"";
}

// The agreement of two finished runs, and when they disagree a note saying how.
std::string Agreement(const Workload& workload, const Outcome (&runs)[kEngineCount],
                      const std::string (&files)[kEngineCount], std::string* note) {
  for (int e = 0; e < kEngineCount; ++e) {
    if (runs[e].status == Outcome::kStopped) {
      return std::string("not compared: ") + kEngineNames[e] + " stopped";
    }
    if (runs[e].status != Outcome::kDone) return "not compared";
  }
  long zkRows = runs[kZksql].report.rows, liteRows = runs[kSqlite].report.rows;
  std::string counts = std::to_string(zkRows) + " vs " + std::to_string(liteRows) + " rows";
  if (workload.kind == kShellMemory) return "output not compared";
  if (workload.kind == kMemory) {
    return zkRows == liteRows ? "same count, " + std::to_string(zkRows) + " rows"
                              : "DIFFER: " + counts;
  }
  std::vector<std::string> zk = Lines(files[kZksql]), lite = Lines(files[kSqlite]);
  size_t at = 0;
  while (at < zk.size() && at < lite.size() && zk[at] == lite[at]) ++at;
  if (at == zk.size() && at == lite.size() && zkRows == liteRows) {
    return "same " + std::to_string(zkRows) + " rows";
  }
  *note = std::string(workload.label) + ": " + counts + "; first difference at " +
          (workload.ordered ? "row " : "sorted row ") + std::to_string(at + 1) + ": zksql " +
          (at < zk.size() ? Shown(zk[at]) : "(none)") + ", sqlite3 " +
          (at < lite.size() ? Shown(lite[at]) : "(none)");
  return zkRows == liteRows ? "DIFFER: other rows, " + std::to_string(zkRows) + " each"
                            : "DIFFER: " + counts;
}

std::string Grouped(int64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// Three significant digits, trailing zeros kept so the column reads evenly.
std::string Figure(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.*f", value < 10 ? 2 : value < 100 ? 1 : 0, value);
  return text;
}

std::string Duration(double seconds) {
  return seconds < 1 ? Figure(seconds * 1000) + " ms" : Figure(seconds) + " s";
}

std::string Ratio(double zk, double lite, bool atLeast) {
  if (lite <= 0) return "-";
  return (atLeast ? "> " : "") + Figure(zk / lite);
}

std::string MachineLine() {
  struct utsname name;
  std::string machine = uname(&name) == 0 ? name.machine : "unknown";
  std::string model = "unknown CPU";
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    // x86 names it "model name"; some ARM kernels only "Hardware" or "Processor".
    for (const char* key : {"model name", "Hardware", "Processor"}) {
      if (line.compare(0, strlen(key), key) == 0 && line.find(':') != std::string::npos) {
        model = line.substr(line.find(':') + 2);
      }
    }
    if (line.compare(0, 10, "model name") == 0) break;
  }
  return machine + ", " + model + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores";
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

void RemoveTree(const std::string& folder) {
  nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

bool ParseCounts(const char* text, std::vector<int64_t>* out) {
  out->clear();
  const char* at = text;
  while (true) {
    char* end = nullptr;
    errno = 0;
    long long value = strtoll(at, &end, 10);
    if (end == at || errno != 0 || value < 1 || value > 100000000) return false;
    out->push_back(value);
    if (*end == '\0') return true;
    if (*end != ',') return false;
    at = end + 1;
  }
}

void Usage(FILE* to) {
  fprintf(to,
          "usage: sqlite_compare [--rows N,...] [--join-rows M,...] [--limit SECONDS]\n"
          "                      [--runs N] [--only W,...]\n"
          "  --rows       rows of T, one table per size (default 10000,100000)\n"
          "  --join-rows  rows of A and of B for each size (default 1000,10000; one value\n"
          "               serves every size)\n"
          "  --limit      CPU seconds a workload may take before it is stopped (default 60)\n"
          "  --runs       children per engine for a timed workload, its figure their\n"
          "               median (default 5; a workload stopped at the limit runs once)\n"
          "  --only       the workloads to run, by number (default all; for profiling)\n");
}

struct Size {
  int64_t rows;
  int64_t joinRows;
};

// Runs every workload on both engines at one size and prints its table.
// The workloads to run (their numbers); empty: all of them.
std::vector<int64_t> onlyWorkloads;

bool Selected(size_t index) {
  if (onlyWorkloads.empty()) return true;
  for (int64_t n : onlyWorkloads) {
    if (n == static_cast<int64_t>(index) + 1) return true;
  }
  return false;
}

void RunSize(const Size& size, const std::string& root, int limit, int repeats) {
  printf("\nT: %s rows; A and B: %s rows each\n", Grouped(size.rows).c_str(),
         Grouped(size.joinRows).c_str());
  fflush(stdout);
  std::string folders[kEngineCount];
  bool built[kEngineCount];
  long long databaseBytes[kEngineCount] = {0, 0};
  std::string notes;
  for (int e = 0; e < kEngineCount; ++e) {
    auto kind = static_cast<EngineKind>(e);
    folders[e] = root + "/" + kEngineNames[e] + "-" + std::to_string(size.rows);
    mkdir(folders[e].c_str(), 0700);
    Outcome setup =
        InChild(0, [&] { return BuildDatabase(kind, folders[e], size.rows, size.joinRows); });
    built[e] = setup.status == Outcome::kDone;
    if (built[e]) databaseBytes[e] = atoll(setup.report.message.c_str());
    if (!built[e]) {
      notes += std::string(kEngineNames[e]) +
               ": building the database failed: " + setup.report.message + "\n";
    }
  }
  Outcome baseline[kEngineCount];
  const Workload opening = {"open only", kMemory, nullptr, false, nullptr};
  printf("%-28s %12s %12s %13s  %s\n", "workload", "zksql", "sqlite3", "zksql/sqlite3", "outputs");
  for (const Workload& workload : kWorkloads) {
    if (interrupted) return;
    if (!Selected(static_cast<size_t>(&workload - kWorkloads))) continue;
    Outcome runs[kEngineCount];
    std::string files[kEngineCount];
    std::string cells[kEngineCount];
    double values[kEngineCount] = {0, 0};
    // Timed workloads run `repeats` times per engine, the engines in turn, so
    // that a slow moment of the machine falls on both.
    const bool timed = workload.kind == kQuery || workload.kind == kLookups ||
                       workload.kind == kLoad;
    std::vector<double> times[kEngineCount];
    for (int round = 0; round < (timed ? repeats : 1); ++round) {
      for (int e = 0; e < kEngineCount; ++e) {
        auto kind = static_cast<EngineKind>(e);
        std::string tag = std::string(kEngineNames[e]) + "-" + std::to_string(size.rows) + "-" +
                          std::to_string(&workload - kWorkloads);
        files[e] = root + "/rows-" + tag;
        if (!built[e] || (round > 0 && runs[e].status != Outcome::kDone)) continue;
        std::string loadFolder = root + "/load-" + tag;
        if (workload.kind == kMemory) {
          // Forked just before the measuring child, from the same parent, so
          // that what both inherit from it cancels out.
          baseline[e] = InChild(
              limit, [&] { return RunWorkload(kind, opening, folders[e], "", size.rows, ""); });
          if (baseline[e].status != Outcome::kDone) continue;
        }
        Outcome outcome = InChild(limit, [&] {
          return RunWorkload(kind, workload, folders[e], loadFolder, size.rows, files[e]);
        });
        RemoveTree(loadFolder);
        if (round == 0 || outcome.status != Outcome::kDone) runs[e] = outcome;
        if (outcome.status == Outcome::kDone) times[e].push_back(outcome.report.seconds);
      }
    }
    for (int e = 0; e < kEngineCount; ++e) {
      if (!built[e]) {
        cells[e] = "no database";
        continue;
      }
      if (workload.kind == kMemory && baseline[e].status != Outcome::kDone) {
        cells[e] = "failed";
        notes +=
            std::string(kEngineNames[e]) + ": opening only: " + baseline[e].report.message + "\n";
        continue;
      }
      if (runs[e].status == Outcome::kDone && !times[e].empty()) {
        std::sort(times[e].begin(), times[e].end());
        runs[e].report.seconds = times[e][times[e].size() / 2];
      }
      const Report& report = runs[e].report;
      if (runs[e].status == Outcome::kStopped) {
        cells[e] = "> " + std::to_string(limit) + " s";
        values[e] = limit;
        if (!report.message.empty())
          notes +=
              std::string(kEngineNames[e]) + ": " + workload.label + ": " + report.message + "\n";
      } else if (runs[e].status == Outcome::kFailed) {
        cells[e] = "failed";
        notes +=
            std::string(kEngineNames[e]) + ": " + workload.label + ": " + report.message + "\n";
      } else if (workload.kind == kShellMemory) {
        values[e] = report.peakKb / 1024.0;
        char text[32];
        snprintf(text, sizeof text, "%.1f MiB", values[e]);
        cells[e] = text;
      } else if (workload.kind == kMemory) {
        values[e] = (report.peakKb - baseline[e].report.peakKb) / 1024.0;
        char text[32];
        snprintf(text, sizeof text, "%+.1f MiB", values[e]);
        cells[e] = text;
      } else {
        values[e] = report.seconds;
        cells[e] = Duration(report.seconds);
      }
    }
    std::string note;
    std::string agreement = Agreement(workload, runs, files, &note);
    if (!note.empty()) notes += note + "\n";
    std::string ratio = "-";
    if (runs[kSqlite].status == Outcome::kDone &&
        (runs[kZksql].status == Outcome::kDone || runs[kZksql].status == Outcome::kStopped)) {
      ratio = Ratio(values[kZksql], values[kSqlite], runs[kZksql].status == Outcome::kStopped);
    }
    printf("%-28s %12s %12s %13s  %s\n", workload.label, cells[kZksql].c_str(),
           cells[kSqlite].c_str(), ratio.c_str(), agreement.c_str());
    fflush(stdout);
    for (const std::string& file : files) remove(file.c_str());
  }
  if (baseline[kZksql].status == Outcome::kDone && baseline[kSqlite].status == Outcome::kDone) {
    printf(
        "memory baseline (a child that only opens the database): zksql %.1f MiB, "
        "sqlite3 %.1f MiB\n",
        baseline[kZksql].report.peakKb / 1024.0, baseline[kSqlite].report.peakKb / 1024.0);
  }
  if (built[kZksql] && built[kSqlite]) {
    printf("database files: zksql %.1f MiB, sqlite3 %.1f MiB\n", databaseBytes[kZksql] / 1048576.0,
           databaseBytes[kSqlite] / 1048576.0);
  }
  if (!notes.empty()) printf("%s", notes.c_str());
  for (const std::string& folder : folders) RemoveTree(folder);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int64_t> rows = {10000, 100000}, joinRows = {1000, 10000};
  int limit = 60;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      Usage(stdout);
      return 0;
    }
    bool valid = i + 1 < argc;
    if (valid && option == "--rows") {
      valid = ParseCounts(argv[++i], &rows);
    } else if (valid && option == "--join-rows") {
      valid = ParseCounts(argv[++i], &joinRows);
    } else if (valid && option == "--only") {
      valid = ParseCounts(argv[++i], &onlyWorkloads);
    } else if (valid && option == "--runs") {
      char* end = nullptr;
      long value = strtol(argv[++i], &end, 10);
      valid = *end == '\0' && value >= 1 && value <= 99;
      runs = static_cast<int>(value);
    } else if (valid && option == "--limit") {
      char* end = nullptr;
      long value = strtol(argv[++i], &end, 10);
      valid = *end == '\0' && value >= 1 && value <= 86400;
      limit = static_cast<int>(value);
    } else {
      valid = false;
    }
    if (!valid) {
      fprintf(stderr, "sqlite_compare: bad option or value: %s\n", option.c_str());
      Usage(stderr);
      return 2;
    }
  }
  if (joinRows.size() != 1 && joinRows.size() != rows.size()) {
    fprintf(stderr, "sqlite_compare: --join-rows takes one value or one per --rows value\n");
    return 2;
  }

  const char* tmp = getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zksql-sqlite-compare-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    fprintf(stderr, "sqlite_compare: cannot make a folder %s: %s\n", pattern.c_str(),
            strerror(errno));
    return 1;
  }
  std::string root = buffer.data();
  // An interrupt ends the running child and still removes the databases.
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  printf("machine: %s\n", MachineLine().c_str());
  std::string settingsFolder = root + "/settings";
  mkdir(settingsFolder.c_str(), 0700);
  Outcome settings = InChild(limit, [&] { return SqliteSettings(settingsFolder); });
  RemoveTree(settingsFolder);
  printf("sqlite3 %s with its defaults (%s); each engine loads in one transaction\n",
         sqlite3_libversion(),
         settings.status == Outcome::kDone ? settings.report.message.c_str() : "not read");
  printf(
      "figures: CPU time (user + system) of the workload, fetching every row as text;\n"
      "memory: peak resident size (ru_maxrss) of a child that fetches every row of T\n"
      "without keeping them, minus that of a child that only opens the database;\n"
      "shell peak: ru_maxrss of each engine's shell printing every row of T to /dev/null;\n"
      "each workload runs in its own child, stopped after %d s of CPU; a timed\n"
      "workload's figure is the median of %d children per engine\n",
      limit, runs);
  printf("statements:\n");
  for (const Workload& workload : kWorkloads) {
    printf("  %-28s %s\n", workload.label,
           workload.shown != nullptr ? workload.shown : workload.sql);
  }
  for (size_t i = 0; i < rows.size() && !interrupted; ++i) {
    RunSize({rows[i], joinRows.size() == 1 ? joinRows[0] : joinRows[i]}, root, limit, runs);
  }
  RemoveTree(root);
  if (interrupted) {
    fprintf(stderr, "sqlite_compare: interrupted\n");
    return 130;
  }
  return 0;
}
