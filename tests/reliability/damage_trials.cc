// Damage trials, run by hand: what the library and the engine do with a
// database whose data file was damaged on disk.
//
// A realistic database is built once through the exports (three tables
// with keys and indexes, a few thousand rows, text memos, deletes and
// updates so that the free list is in use). Each trial copies its folder,
// damages the copy's data.mdb in one of six ways drawn from the seed, and
// hands it to a child process that opens it, runs a fixed set of
// statements and the integrity check, under an alarm and an address-space
// limit. The parent classifies how each child ended and prints a table per
// kind of damage. Being refused at open, or running with errors reported,
// is a clean end; a signal, a hang or memory exhausted is not.
//
//   zksql_damage_trials [TRIALS [SEED]] [--trial I] [--keep] [--inline]
//
// --trial I runs trial I of the seed alone and prints what each statement
// answered; --keep leaves its damaged copy on disk; --inline runs it in
// this process, without fork, alarm or limit (for a debugger).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "reliability_host.h"

namespace fs = std::filesystem;
using zksql_reliability::Outcome;

namespace {

constexpr int kAlarmSeconds = 10;
constexpr rlim_t kAddressSpace = rlim_t(1) << 30;
constexpr int kChildOutOfMemory = 90;  // exit status of a child whose allocation failed

// AddressSanitizer's shadow memory takes far more address space than the
// limit: under it, growth without bound shows as a hang or its own report.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// ---- The database ----------------------------------------------------------

const char* const kCities[] = {"Paris", "Lyon",   "Nantes", "Lille", "Brest",
                               "Dijon", "Rennes", "Nice",   "Tours", "Metz"};

std::string Text(std::mt19937& random, size_t length) {
  std::string s;
  while (s.size() < length) s += "mot" + std::to_string(random() % 1000) + " ";
  s.resize(length);
  return s;
}

// Builds the database in `dir`; false (with the failing statement on
// stderr) when something was refused.
bool BuildDatabase(const std::string& dir) {
  zksql_reliability::Host host(dir);
  if (!host.ok()) return false;
  std::mt19937 random(4242);
  auto run = [&](const std::string& sql) {
    Outcome o = host.Run(sql);
    if (o.status != 0) fprintf(stderr, "refused: %s\n  %s\n", sql.c_str(), o.error.c_str());
    return o.status == 0;
  };
  if (!run("CREATE TABLE CLIENTS (ID INTEGER PRIMARY KEY, NOM CHAR(30), VILLE CHAR(20), "
           "SOLDE INTEGER)") ||
      !run("CREATE INDEX CLIENTS_VILLE ON CLIENTS (VILLE)") ||
      !run("CREATE TABLE COMMANDES (NUM INTEGER PRIMARY KEY, CLIENT INTEGER, MONTANT INTEGER, "
           "LIBELLE CHAR(60))") ||
      !run("CREATE INDEX COMMANDES_CLIENT ON COMMANDES (CLIENT)") ||
      !run("CREATE INDEX COMMANDES_MONTANT ON COMMANDES (MONTANT)") ||
      // A unique key and a text memo: CREATE TABLE has no memo type.
      !host.MakeFile("NOTES", {{"ID", 'L', 4, 1}, {"TITRE", 'T', 30, 0}, {"TEXTE", 'M', 4, 0}}))
    return false;
  // Rows are grouped in host transactions: one synced commit per row would
  // make the build take minutes.
  auto batch = [&](int from, int to, const std::function<std::string(int)>& sql) {
    if (XZK_BeginTransaction(host.handle()) != JX_OK) return false;
    for (int i = from; i <= to; ++i)
      if (!run(sql(i))) return false;
    return XZK_CommitTransaction(host.handle()) == JX_OK;
  };
  auto client = [&](int i) {
    return "INSERT INTO CLIENTS VALUES (" + std::to_string(i) + ", 'client " + std::to_string(i) +
           "', '" + kCities[random() % 10] + "', " + std::to_string(random() % 10000) + ")";
  };
  auto order = [&](int i) {
    return "INSERT INTO COMMANDES VALUES (" + std::to_string(i) + ", " +
           std::to_string(1 + random() % 1500) + ", " + std::to_string(random() % 100000) + ", '" +
           Text(random, 10 + random() % 50) + "')";
  };
  auto note = [&](int i) {
    return "INSERT INTO NOTES VALUES (" + std::to_string(i) + ", 'note " + std::to_string(i) +
           "', '" + Text(random, 100 + random() % 6000) + "')";
  };
  if (!batch(1, 1500, client) || !batch(1, 4000, order) || !batch(1, 300, note)) return false;
  // Deletes and updates, so that pages are freed and reused.
  return run("DELETE FROM COMMANDES WHERE MONTANT < 20000") &&
         run("UPDATE CLIENTS SET VILLE = ('Paris') WHERE VILLE = 'Lyon'") &&
         run("DELETE FROM NOTES WHERE ID > 250") && batch(4001, 4600, order) &&
         batch(301, 330, note) && run("UPDATE COMMANDES SET MONTANT = (5) WHERE CLIENT < 100");
}

// ---- Damage ----------------------------------------------------------------

enum Kind { kTruncateHalf, kTruncateAnywhere, kFlipBytes, kScramblePage, kZeroPage, kFlipMeta };
constexpr int kKinds = 6;
const char* const kKindNames[kKinds] = {"truncate to half", "truncate anywhere", "flip bytes",
                                        "scramble a page",  "zero a page",       "flip meta bytes"};

// LMDB's page size, kept in the first meta page (in the free tree's
// padding, after the page header and the meta's magic, version, address
// and map size).
size_t PageSize(const std::vector<unsigned char>& file) {
  const size_t offset = sizeof(size_t) + 8 + 8 + 2 * sizeof(size_t);
  uint32_t size = 4096;
  if (file.size() >= offset + 4) memcpy(&size, file.data() + offset, 4);
  return size >= 512 && size <= 65536 ? size : 4096;
}

// Damages `path` as `kind` says, drawing from `random`; returns what was
// done, in words.
std::string Damage(const std::string& path, Kind kind, std::mt19937_64& random) {
  std::vector<unsigned char> file;
  {
    std::ifstream in(path, std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const size_t page = PageSize(file);
  const size_t pages = file.size() / page;
  std::ostringstream what;
  switch (kind) {
    case kTruncateHalf:
      file.resize(file.size() / 2);
      what << "truncated to " << file.size();
      break;
    case kTruncateAnywhere:
      file.resize(1 + random() % (file.size() - 1));
      what << "truncated to " << file.size();
      break;
    case kFlipBytes: {
      int n = 1 + int(random() % 16);
      what << "flipped";
      for (int i = 0; i < n; ++i) {
        size_t at = 2 * page + random() % (file.size() - 2 * page);
        file[at] ^= static_cast<unsigned char>(1 + random() % 255);
        what << " " << at;
      }
      break;
    }
    case kScramblePage:
    case kZeroPage: {
      size_t victim = 2 + random() % (pages - 2);
      for (size_t i = 0; i < page; ++i)
        file[victim * page + i] = kind == kZeroPage ? 0 : static_cast<unsigned char>(random());
      what << (kind == kZeroPage ? "zeroed" : "scrambled") << " page " << victim;
      break;
    }
    case kFlipMeta: {
      // Within the meta itself (its first 160 bytes): the rest of the page
      // is never read.
      size_t meta = random() % 2;
      int n = 1 + int(random() % 4);
      what << "flipped meta " << meta << " at";
      for (int i = 0; i < n; ++i) {
        size_t at = meta * page + random() % 160;
        file[at] ^= static_cast<unsigned char>(1 + random() % 255);
        what << " " << at;
      }
      break;
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return what.str();
}

// ---- The child -------------------------------------------------------------

// The statements run on every damaged copy: full scans, keyed lookups, a
// join, a sort, DISTINCT, then one of each write.
const char* const kStatements[] = {
    "SELECT * FROM CLIENTS",
    "SELECT * FROM COMMANDES",
    "SELECT ID, TITRE, TEXTE FROM NOTES",
    "SELECT * FROM CLIENTS WHERE ID = 777",
    "SELECT NUM, MONTANT FROM COMMANDES WHERE CLIENT = 321",
    "SELECT ID, NOM FROM CLIENTS WHERE VILLE = 'Nantes'",
    "SELECT TEXTE FROM NOTES WHERE ID = 42",
    "SELECT C.NOM, M.NUM, M.MONTANT FROM CLIENTS C, COMMANDES M WHERE C.ID = M.CLIENT AND "
    "C.VILLE = 'Brest'",
    "SELECT NUM, CLIENT, MONTANT FROM COMMANDES ORDER BY MONTANT DESC, NUM",
    "SELECT DISTINCT VILLE FROM CLIENTS",
    "SELECT COUNT(*), MAX(MONTANT) FROM COMMANDES WHERE MONTANT > 50000",
    "UPDATE CLIENTS SET SOLDE = (0) WHERE VILLE = 'Dijon'",
    "DELETE FROM COMMANDES WHERE CLIENT = 77",
    "INSERT INTO COMMANDES VALUES (9001, 12, 345, 'commande ajoutee')",
};
constexpr int kStatementCount = sizeof kStatements / sizeof kStatements[0];
constexpr int kCheckStep = kStatementCount;  // the step after the statements

// What a child tells the parent, one line at a time on a pipe: "step N"
// before each step, "open C", "fail N", "memory N", "check C".
void Tell(int fd, const std::string& line) {
  std::string text = line + "\n";
  if (fd >= 0 && write(fd, text.data(), text.size()) < 0) _exit(3);
}

void OutOfMemory() {
  _exit(kChildOutOfMemory);
}

bool SaysOutOfMemory(const std::string& error) {
  return error.find("moire insuffisante") != std::string::npos;
}

// Opens the copy and runs the statements; `verbose` prints each answer.
void RunTrial(const std::string& dir, int report, bool verbose) {
  void* instance = nullptr;
  if (JX4InitInstance(&instance, 0) != 1) _exit(4);
  int32_t handle = XZK_nInit(dir.c_str(), 0);
  Tell(report, "open " + std::to_string(handle));
  if (handle <= 0) {
    char why[512] = "";
    XZK_GetLastError(0, why, sizeof why);
    if (verbose) printf("open: %d %s\n", handle, why);
    return;
  }
  for (int i = 0; i < kStatementCount; ++i) {
    Tell(report, "step " + std::to_string(i));
    Outcome o = zksql_reliability::Run(handle, kStatements[i]);
    if (o.status != 0)
      Tell(report, (SaysOutOfMemory(o.error) ? "memory " : "fail ") + std::to_string(i));
    if (verbose)
      printf("%-60.60s -> %d, %zu rows %s\n", kStatements[i], o.status, o.rows.size(),
             o.error.c_str());
  }
  Tell(report, "step " + std::to_string(kCheckStep));
  std::vector<char> text(1 << 16);
  int32_t problems = XZK_CheckDatabase(handle, text.data(), int32_t(text.size()));
  Tell(report, "check " + std::to_string(problems));
  if (verbose) printf("check: %d\n%.2000s\n", problems, text.data());
  XZK_Termine(handle);
  JXSQLFinInstance(instance);
}

// ---- The parent ------------------------------------------------------------

enum Result {
  kRefused,
  kErrors,
  kCheckOnly,
  kUnnoticed,
  kSegv,
  kBus,
  kAbort,
  kHang,
  kMemory,
  kOther,
  kResults
};
const char* const kResultNames[kResults] = {"refused", "errors", "check", "unhit", "SEGV",
                                            "BUS",     "ABRT",   "hang",  "OOM",   "other"};

struct Ending {
  Result result = kOther;
  int lastStep = -1;
  int checkSaid = 0;  // what the check returned (0 = consistent)
  std::string stderrTail;
};

std::string LastLines(const std::string& path) {
  std::ifstream in(path);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (all.size() > 300) all = all.substr(all.size() - 300);
  for (char& c : all)
    if (c == '\n') c = ' ';
  return all;
}

// Runs one trial in a child; the child's stderr goes to `errors`, its
// stdout to this one's when `verbose`.
Ending RunChild(const std::string& dir, const std::string& errors, bool verbose) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) dup2(err, 2);
    if (!verbose) {
      int null = open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, 1);
    }
    if (!kSanitized) {
      rlimit limit{kAddressSpace, kAddressSpace};
      setrlimit(RLIMIT_AS, &limit);
    }
    std::set_new_handler(OutOfMemory);
    alarm(kAlarmSeconds);
    RunTrial(dir, fds[1], verbose);
    fflush(stdout);
    _exit(0);
  }
  close(fds[1]);
  Ending e;
  bool refused = false, failed = false, memory = false, checked = false;
  std::string pending;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kAlarmSeconds + 10);
  bool killed = false;
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    int ready = poll(&p, 1, 200);
    if (ready > 0) {
      char buf[512];
      ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      pending.append(buf, size_t(n));
      size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        std::istringstream line(pending.substr(0, end));
        pending.erase(0, end + 1);
        std::string word;
        int value = 0;
        line >> word >> value;
        if (word == "step") e.lastStep = value;
        if (word == "open") refused = value <= 0;
        if (word == "fail") failed = true;
        if (word == "memory") memory = true;
        if (word == "check") checked = true, e.checkSaid = value;
      }
    }
    if (std::chrono::steady_clock::now() > deadline) {
      // The alarm did not end it: a child stuck where SIGALRM cannot reach.
      kill(child, SIGKILL);
      killed = true;
      break;
    }
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  e.stderrTail = LastLines(errors);
  if (killed) {
    e.result = kHang;
  } else if (WIFSIGNALED(status)) {
    switch (WTERMSIG(status)) {
      case SIGSEGV:
        e.result = kSegv;
        break;
      case SIGBUS:
        e.result = kBus;
        break;
      case SIGABRT:
        e.result = kAbort;
        break;
      case SIGALRM:
        e.result = kHang;
        break;
      default:
        e.result = kOther;
        break;
    }
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == kChildOutOfMemory) {
    e.result = kMemory;
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    e.result = kOther;
  } else if (refused) {
    e.result = kRefused;
  } else if (memory || e.checkSaid == -JX_ERR_NO_MEMORY) {
    // Memory runs out only when something grew without bound.
    e.result = kMemory;
  } else if (failed) {
    e.result = kErrors;
  } else if (checked && e.checkSaid != 0) {
    e.result = kCheckOnly;
  } else {
    e.result = kUnnoticed;
  }
  return e;
}

void CopyFolder(const std::string& from, const std::string& to) {
  fs::create_directories(to);
  for (const auto& entry : fs::directory_iterator(from))
    fs::copy_file(entry.path(), fs::path(to) / entry.path().filename(),
                  fs::copy_options::overwrite_existing);
}

int Usage() {
  fprintf(stderr, "usage: zksql_damage_trials [TRIALS [SEED]] [--trial I] [--keep] [--inline]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int trials = 240;
  unsigned long long seed = 1;
  int only = -1;
  bool keep = false, inlined = false;
  std::vector<std::string> numbers;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--trial" && i + 1 < argc)
      only = atoi(argv[++i]);
    else if (a == "--keep")
      keep = true;
    else if (a == "--inline")
      inlined = true;
    else if (!a.empty() && isdigit(static_cast<unsigned char>(a[0])))
      numbers.push_back(a);
    else
      return Usage();
  }
  if (numbers.size() > 2) return Usage();
  if (!numbers.empty()) trials = atoi(numbers[0].c_str());
  if (numbers.size() > 1) seed = strtoull(numbers[1].c_str(), nullptr, 10);
  setenv("JXENGINE_LIBRARY", JXENGINE_PATH, 1);

  zksql_reliability::ScratchDir scratch;
  const std::string original = scratch.path() + "/original";
  fs::create_directories(original);
  // Built in a child, so that this process never opened the engine before
  // it forks the trials.
  pid_t builder = fork();
  if (builder == 0) _exit(BuildDatabase(original) ? 0 : 1);
  int status = 0;
  waitpid(builder, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "the database could not be built\n");
    return 1;
  }
  printf("database: %llu bytes; seed %llu\n",
         (unsigned long long)fs::file_size(original + "/data.mdb"), seed);

  std::map<int, std::vector<int>> table;  // kind -> count per result
  std::vector<int> checkReported(kKinds, 0);
  for (int k = 0; k < kKinds; ++k) table[k].assign(kResults, 0);
  int first = only >= 0 ? only : 0;
  int last = only >= 0 ? only + 1 : trials;
  for (int t = first; t < last; ++t) {
    Kind kind = Kind(t % kKinds);
    std::mt19937_64 random(seed * 1000003ull + static_cast<unsigned long long>(t));
    const std::string copy = scratch.path() + "/trial" + std::to_string(t);
    CopyFolder(original, copy);
    std::string what = Damage(copy + "/data.mdb", kind, random);
    if (only >= 0) printf("trial %d: %s: %s\n", t, kKindNames[kind], what.c_str());
    if (inlined) {
      RunTrial(copy, -1, true);
      continue;
    }
    Ending e = RunChild(copy, scratch.path() + "/stderr" + std::to_string(t), only >= 0);
    ++table[kind][e.result];
    if (e.checkSaid != 0) ++checkReported[kind];
    if (e.result >= kSegv || only >= 0) {
      std::string step = e.lastStep < 0             ? "open"
                         : e.lastStep == kCheckStep ? "check"
                                                    : kStatements[e.lastStep];
      printf("trial %d %-17s %-5s in %.50s | %s | %s\n", t, kKindNames[kind],
             kResultNames[e.result], step.c_str(), what.c_str(), e.stderrTail.c_str());
    }
    if (keep && only >= 0) {
      std::string kept = "/tmp/zksql-damage-trial" + std::to_string(t);
      fs::remove_all(kept);
      CopyFolder(copy, kept);
      printf("kept in %s\n", kept.c_str());
    }
    fs::remove_all(copy);
  }
  if (only >= 0) return 0;

  printf("\n%-18s %6s", "damage", "trials");
  for (const char* name : kResultNames) printf(" %7s", name);
  printf(" %9s\n", "check>0");
  std::vector<int> totals(kResults + 2, 0);
  for (int k = 0; k < kKinds; ++k) {
    int n = 0;
    for (int r = 0; r < kResults; ++r) n += table[k][r];
    printf("%-18s %6d", kKindNames[k], n);
    for (int r = 0; r < kResults; ++r) printf(" %7d", table[k][r]), totals[r] += table[k][r];
    printf(" %9d\n", checkReported[k]);
    totals[kResults] += n;
    totals[kResults + 1] += checkReported[k];
  }
  printf("%-18s %6d", "all", totals[kResults]);
  for (int r = 0; r < kResults; ++r) printf(" %7d", totals[r]);
  printf(" %9d\n", totals[kResults + 1]);
  return 0;
}
