// Integrity check: a database made through the entry points (several files,
// unique, duplicate and composite keys, memos, rewrites, deletes, host
// transactions kept and undone) checks clean; each kind of damage, made in
// LMDB directly on a copy of it, is found as exactly one problem whose line
// names its place, and jxtool's check command answers with the status.
#include <lmdb.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "block_fields.h"
#include "dictionary.h"
#include "engine_fixture.h"
#include "key_codec.h"

#ifdef JXTOOL_PATH
#include <sys/wait.h>
#endif

namespace jxtest {
namespace {

// CLIENTS: NUM unique int (1), NOM text 20 with duplicates (5), VILLE text
// 15 (26), NOTE memo (42), then the composite key NOMVILLE (NOM, VILLE).
std::vector<unsigned char> Client(int32_t num, int nom, const std::string& ville) {
  return Image(46).I32At(1, num).TextAt(5, "Nom" + std::to_string(nom)).TextAt(26, ville).bytes;
}
// COMMANDES: CLIENT int with duplicates (1), REF unique text 10 (5), M real (16).
std::vector<unsigned char> Order(int32_t client, int ref) {
  return Image(24).I32At(1, client).TextAt(5, "R" + std::to_string(ref)).RealAt(16, ref).bytes;
}

int16_t WriteMemo(Db& db, const std::string& text) {
  SetI16(db.rec, JX_REC_MEMO_NUMBER, 1);
  SetPtr(db.rec, JX_REC_MEMO_DATA, text.data());
  return XZK_ECRIREMEMO(db.handle, int32_t(text.size()), db.rec);
}

int16_t Remove(Db& db, const std::string& file, int32_t n) {
  return db.Read(file, 'L', n).valid == 1 ? db.Delete(file) : -1;
}

// Ids come in creation order: index 5 is NOMVILLE. Memo references: 1-10
// to clients 3, 6 ... 30, then 2 (client 6) cleared, 3 and 10 deleted with
// their records, 11-13 from the kept transaction. JOURNAL holds 1-5.
void BuildConsistent(const std::string& path) {
  Db db(path);
  ASSERT_EQ(
      db.MakeFile("CLIENTS",
                  {{"NUM", 'L', 0, 1}, {"NOM", 'T', 20, 2}, {"VILLE", 'T', 15}, {"NOTE", 'M'}}),
      0);
  ASSERT_EQ(db.MakeFile("COMMANDES", {{"CLIENT", 'L', 0, 2}, {"REF", 'T', 10, 1}, {"M", 'D'}}), 0);
  ASSERT_EQ(db.MakeFile("JOURNAL", {{"K", 'L'}, {"TXT", 'T', 30}}), 0);
  for (int i = 1; i <= 30; ++i) {
    ASSERT_EQ(db.Write("CLIENTS", 0, Client(100 + i, i % 5, "Ville" + std::to_string(i % 3))), 0);
    ASSERT_EQ(i % 3 == 0 ? WriteMemo(db, "note " + std::to_string(i)) : 0, 0);
  }
  for (int i = 1; i <= 12; ++i) ASSERT_EQ(db.Write("COMMANDES", 0, Order(100 + i % 4, 100 + i)), 0);
  for (int i = 1; i <= 5; ++i) ASSERT_EQ(db.Write("JOURNAL", 0, Image(36).I32At(1, i).bytes), 0);
  // Rewrites moving keys, a memo replaced and one cleared, deletes (of the
  // last records too, so that numbers stop short of the counters).
  ASSERT_EQ(db.Write("CLIENTS", 7, Client(207, 9, "Ailleurs")), 0);
  ASSERT_EQ(db.Write("COMMANDES", 2, Order(109, 999)), 0);
  ASSERT_EQ(db.Write("CLIENTS", 3, Client(103, 3, "Ville0")), 0);
  ASSERT_EQ(WriteMemo(db, "note remplac\351e"), 0);
  ASSERT_EQ(db.Write("CLIENTS", 6, Client(106, 1, "Ville0")), 0);
  ASSERT_EQ(WriteMemo(db, ""), 0);
  for (int n : {9, 30}) ASSERT_EQ(Remove(db, "CLIENTS", n), 0);
  ASSERT_EQ(Remove(db, "COMMANDES", 12), 0);
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  for (int i = 31; i <= 33; ++i) {
    ASSERT_EQ(db.Write("CLIENTS", 0, Client(100 + i, i % 5, "V")), 0);
    ASSERT_EQ(WriteMemo(db, "en transaction"), 0);
  }
  ASSERT_EQ(XZK_CommitTransaction(db.handle), 0);
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  ASSERT_EQ(db.Write("CLIENTS", 0, Client(500, 0, "V")), 0);
  ASSERT_EQ(WriteMemo(db, "annul\351"), 0);
  ASSERT_EQ(Remove(db, "CLIENTS", 1), 0);
  // Inside a transaction the check reads its writes, but not the pages: the
  // free list is written at commit.
  char report[4096];
  EXPECT_EQ(XZK_CheckDatabase(db.handle, report, sizeof report), 0) << report;
  EXPECT_NE(std::strstr(report, "sans les pages (transaction en cours)"), nullptr) << report;
  ASSERT_EQ(XZK_RollbackTransaction(db.handle), 0);
  ASSERT_EQ(db.CreateIndex("CLIENTS", "NOMVILLE", "NOM,VILLE", false), 0) << db.message;
}

MDB_val Val(const std::string& s) {
  return MDB_val{s.size(), const_cast<char*>(s.data())};
}

std::string BE(uint32_t v) {
  std::string out;
  jx::PutBE32(out, v);
  return out;
}

// The database's own LMDB environment, opened by the test alone once every
// handle is closed, and damaged in one write transaction.
class Raw {
 public:
  explicit Raw(const std::string& dir) {
    mdb_env_create(&env_);
    mdb_env_set_maxdbs(env_, 8);
    EXPECT_EQ(mdb_env_open(env_, dir.c_str(), 0, 0664), 0);
    EXPECT_EQ(mdb_txn_begin(env_, nullptr, 0, &txn_), 0);
    for (jx::FileDef* file : {&clients, &orders, &journal}) {
      std::string name = file->name, blob = Get("catalog", name);
      EXPECT_TRUE(jx::FileDef::Deserialize(name, blob.data(), blob.size(), file));
    }
  }
  ~Raw() {
    EXPECT_EQ(mdb_txn_commit(txn_), 0);
    mdb_env_close(env_);
  }
  std::string Get(const char* table, const std::string& key) {
    MDB_val k = Val(key), v;
    EXPECT_EQ(mdb_get(txn_, Table(table), &k, &v), 0);
    return std::string(static_cast<const char*>(v.mv_data), v.mv_size);
  }
  void Put(const char* table, const std::string& key, const std::string& value) {
    MDB_val k = Val(key), v = Val(value);
    EXPECT_EQ(mdb_put(txn_, Table(table), &k, &v, 0), 0);
  }
  void Del(const char* table, const std::string& key) {
    MDB_val k = Val(key);
    EXPECT_EQ(mdb_del(txn_, Table(table), &k, nullptr), 0);
  }
  std::string Record(const jx::FileDef& file, uint32_t n) { return Get("records", Key(file, n)); }
  // Rewrites a record as it is, one transaction each, until the last
  // commit's id is a multiple of 256: the free list then holds pages under
  // ids ending in FF and 00, whose order as numbers is not their order as
  // (little-endian) bytes.
  void CommitUntilIdsCrossAByte() {
    mdb_env_set_flags(env_, MDB_NOSYNC, 1);  // only this process reads it back
    const std::string key = Key(clients, 2), image = Record(clients, 2);
    for (;;) {
      Put("records", key, image);
      if (mdb_txn_id(txn_) % 256 == 0) return;  // the destructor commits it
      EXPECT_EQ(mdb_txn_commit(txn_), 0);
      EXPECT_EQ(mdb_txn_begin(env_, nullptr, 0, &txn_), 0);
    }
  }
  static std::string Key(const jx::FileDef& file, uint32_t n) { return BE(file.id) + BE(n); }
  // Record n's entry in the index of `item`, as the engine makes it from
  // `image` (by default the record's own).
  std::string Entry(const jx::FileDef& file, const char* item, uint32_t n, std::string image = "") {
    if (image.empty()) image = Record(file, n);
    const jx::Item* key = file.FindItem(item);
    std::string form;
    jx::EncodeKey(file, *key, reinterpret_cast<const unsigned char*>(image.data()), form);
    return BE(key->indexId) + form + BE(n);
  }

  jx::FileDef clients = Named("CLIENTS"), orders = Named("COMMANDES"), journal = Named("JOURNAL");

 private:
  static jx::FileDef Named(const char* name) {
    jx::FileDef file;
    file.name = name;
    return file;
  }
  MDB_dbi Table(const char* name) {
    MDB_dbi dbi = 0;
    EXPECT_EQ(mdb_dbi_open(txn_, name, 0, &dbi), 0);
    return dbi;
  }
  MDB_env* env_ = nullptr;
  MDB_txn* txn_ = nullptr;
};

// `jxtool DIR check`'s exit status; -1 where the tool is not built here.
int JxtoolCheck(const std::string& dir) {
#ifdef JXTOOL_PATH
  int status = std::system((JXTOOL_PATH " '" + dir + "' check > /dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
  return (void)dir, -1;
#endif
}

// One kind of damage, made by `make`, and the text its report must hold.
struct Damage {
  const char* what;
  int problems;
  const char* line;
  std::function<void(Raw&)> make;
};

using IntegrityCheckTest = EngineTest;

TEST_F(IntegrityCheckTest, ConsistentDatabaseAndEachKindOfDamage) {
  namespace fs = std::filesystem;
  const std::string base = dir.Sub("base");
  ASSERT_NO_FATAL_FAILURE(BuildConsistent(base));
  const Damage damages[] = {
      {"consistent", 0, " ; 0 probl\350me\n", [](Raw&) {}},
      {"consistent, free list under ids crossing a byte", 0, " ; 0 probl\350me\n",
       [](Raw& r) { r.CommitUntilIdsCrossAByte(); }},
      {"index entry removed", 1,
       "fichier CLIENTS, enregistrement 4 : entr\351e manquante dans l'index de NOM\n",
       [](Raw& r) { r.Del("indexes", r.Entry(r.clients, "NOM", 4)); }},
      {"index entry without its record", 1,
       "fichier CLIENTS, enregistrement 99 : entr\351e de l'index de NOM sans enregistrement\n",
       [](Raw& r) { r.Put("indexes", r.Entry(r.clients, "NOM", 99, r.Record(r.clients, 4)), ""); }},
      {"index entry under another key", 1,
       "fichier CLIENTS, enregistrement 4 : l'entr\351e de l'index de NOM porte une autre cl\351",
       [](Raw& r) {
         r.Put("indexes", r.Entry(r.clients, "NOM", 4, r.Record(r.clients, 8)), "");
         r.Del("indexes", r.Entry(r.clients, "NOM", 4));
       }},
      {"image of the wrong size", 1,
       "fichier CLIENTS, enregistrement 2 : image de 45 octets au lieu de 46\n",
       [](Raw& r) { r.Put("records", r.Key(r.clients, 2), r.Record(r.clients, 2).substr(1)); }},
      {"record past the last number", 1,
       "fichier JOURNAL, enregistrement 8 : num\351ro hors de 1 \340 5,",
       [](Raw& r) { r.Put("records", r.Key(r.journal, 8), r.Record(r.journal, 1)); }},
      {"memo reference to no memo", 1,
       "fichier CLIENTS, enregistrement 12 : le m\351mo 4 de NOTE n'existe pas\n",
       [](Raw& r) { r.Del("memos", BE(4)); }},
      {"orphan memo", 1, "m\351mo 2 : orphelin", [](Raw& r) { r.Put("memos", BE(2), "perdu"); }},
      {"duplicate in a unique key", 1,
       "fichier COMMANDES, enregistrement 5 : m\352me valeur de la cl\351 unique REF que "
       "l'enregistrement 3\n",
       [](Raw& r) {
         std::string copy = r.Record(r.orders, 5).replace(5, 11, r.Record(r.orders, 3), 5, 11);
         r.Del("indexes", r.Entry(r.orders, "REF", 5));
         r.Put("indexes", r.Entry(r.orders, "REF", 5, copy), "");
         r.Put("records", r.Key(r.orders, 5), copy);
       }},
      {"counter below an id in use", 1,
       "compteur next-index (1) inf\351rieur \340 l'index 5 (fichier CLIENTS, cl\351 NOMVILLE)",
       [](Raw& r) { r.Put("meta", "next-index", std::string("\1\0\0\0\0\0\0\0", 8)); }},
      {"more problems than the report lists", 1005,
       "\n... et 5 autres probl\350mes\nV\351rifi\351 : 3 fichiers, ",
       [](Raw& r) {
         for (uint32_t n = 1000; n < 2005; ++n)
           r.Put("indexes", r.Entry(r.clients, "NOM", n, r.Record(r.clients, 4)), "");
       }},
  };
  std::vector<char> report(1 << 20);
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    const std::string copy = dir.Sub(damage.what);
    ASSERT_TRUE(fs::create_directory(copy));
    fs::copy_file(fs::path(base) / "data.mdb", fs::path(copy) / "data.mdb");
    {
      Raw raw(copy);
      damage.make(raw);
    }
    {
      Db db(copy, 0);
      EXPECT_EQ(XZK_CheckDatabase(db.handle, report.data(), int32_t(report.size())),
                damage.problems);
      std::string text = report.data();
      EXPECT_NE(text.find(damage.line), std::string::npos) << text;
      // A line per problem (1000 at most, then their count), then the summary.
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
                std::min(damage.problems, 1000) + (damage.problems > 1000) + 1)
          << text;
    }
    int status = JxtoolCheck(copy);
    EXPECT_TRUE(status == -1 || status == (damage.problems == 0 ? 0 : 1)) << status;
  }
  EXPECT_EQ(XZK_CheckDatabase(12345, report.data(), 100), -JX_ERR_BAD_HANDLE);
  int status = JxtoolCheck(dir.Sub("nothing"));
  EXPECT_TRUE(status == -1 || status == 2) << status;
}

// An append takes the number after the file's counter as a new key. Where
// a damaged counter makes it an existing record's, the write still keeps
// that record's image, so that undoing the statement brings it back.
TEST_F(IntegrityCheckTest, AnAppendOverARecordPastTheCounterIsUndoneToThatRecord) {
  const std::string path = dir.Sub("counter");
  ASSERT_NO_FATAL_FAILURE(BuildConsistent(path));
  std::string stray;
  {
    Raw raw(path);
    stray = raw.Record(raw.journal, 1);
    raw.Put("records", raw.Key(raw.journal, 6), stray);
  }
  Db db(path);
  // A statement inside a host transaction is undone by its savepoint.
  ASSERT_EQ(XZK_BeginTransaction(db.handle), 0);
  ASSERT_EQ(XZK_BeginStatement(db.handle, JX_STATEMENT_WRITE), 0);
  ASSERT_EQ(db.Write("JOURNAL", 0, Image(36).I32At(1, 77).bytes), 0);
  EXPECT_EQ(db.Read("JOURNAL", 'L', 6).bytes, Image(36).I32At(1, 77).bytes);
  ASSERT_EQ(XZK_EndStatement(db.handle, JX_STATEMENT_UNDO), 0);
  ReadResult back = db.Read("JOURNAL", 'L', 6);
  ASSERT_EQ(back.valid, 1);
  EXPECT_EQ(std::string(back.bytes.begin(), back.bytes.end()), stray);
  ASSERT_EQ(XZK_RollbackTransaction(db.handle), 0);
}

}  // namespace
}  // namespace jxtest
