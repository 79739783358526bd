// integrity_check.cc - the consistency walk behind XZK_CheckDatabase.
//
// The walk reads each table once with a cursor and looks the other side of
// every relation up with mdb_get: an index entry's record, a record's index
// entries and memos. So its memory stays that of the dictionary plus one
// set of memo references, whatever the number of records. Each walk stops
// where a tree's keys stop ascending: a damaged page may send a cursor back
// over keys it has already given, and the check must end on any file.
//
// Messages are Windows-1252 (hence the \x escapes for accented letters).
#include "integrity_check.h"

#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "block_fields.h"
#include "dictionary.h"
#include "key_codec.h"
#include "lmdb_cursor.h"
#include "memo_store.h"
#include "meta.h"
#include "names.h"
#include "record_store.h"

namespace jx {
namespace {

// Past this many lines the report only counts: a database damaged all over
// would otherwise yield a report as large as itself.
constexpr unsigned long long kMaxProblemLines = 1000;
// Index entries found under another key than their record's: remembered so
// that the record walk does not report the same fault a second time as a
// missing entry. Bounded; past it both sides are reported.
constexpr size_t kMaxMisplaced = 1 << 16;
// "entr\xE9e" and its plural in octal: a hex escape would swallow the
// "e" that follows, and clang-format splits the usual "\xE9" "e" pair.
constexpr char kEntry[] = "entr\351e";
constexpr char kEntries[] = "entr\351es";
// LMDB's two meta pages, at the head of the data file.
constexpr unsigned long long kMetaPages = 2;

// A name from the database as it may go into a line: control bytes of a
// damaged catalogue entry shown as '?', and never longer than a name can be.
std::string Shown(const std::string& name) {
  std::string out = name.substr(0, kMaxNameLength);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  return out;
}

template <class N>
std::string Num(N n) {
  return std::to_string(n);
}

// "fichier CLIENTS, enregistrement 12 : ", the head of a record's lines.
std::string Where(const FileDef& file, uint32_t n) {
  return "fichier " + Shown(file.name) + ", enregistrement " + Num(n) + " : ";
}

std::string Counted(unsigned long long n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n > 1 ? many : one);
}

// A table walked in key order that refuses to go backwards. LMDB orders
// keys as unsigned bytes, a shorter key first on a tie; the free list's
// keys are native integers (transaction ids) and compare as such. A key out
// of order, or a key or value running past the file's end, ends the walk
// (broken() tells why); the transaction stays usable for the next walk.
class Walk {
 public:
  Walk(MDB_txn* txn, MDB_dbi dbi, bool integerKeys = false) : cursor_(txn, dbi, integerKeys) {}

  // The next entry; false at the end, or when the cursor refused what it
  // read (then broken() is set and the walk is over).
  bool Next(MDB_val* k, MDB_val* v) {
    if (broken()) return false;
    try {
      bool found = started_ ? cursor_.Next(k, v) : cursor_.First(k, v);
      started_ = true;
      if (!found) return false;
    } catch (const LmdbError&) {
      if (!broken()) throw;
      return false;
    }
    ++count_;
    return true;
  }
  bool broken() const { return cursor_.refusal() != Cursor::Refusal::kNone; }
  bool outOfOrder() const { return cursor_.refusal() == Cursor::Refusal::kOutOfOrder; }
  unsigned long long count() const { return count_; }

 private:
  Cursor cursor_;
  bool started_ = false;
  unsigned long long count_ = 0;
};

struct KeyRef {
  const FileDef* file;
  const Item* item;
};

struct MemoOwner {
  uint32_t fileId;
  uint32_t record;
};

class Checker {
 public:
  Checker(MDB_txn* txn, const Tables& tables) : txn_(txn), t_(tables) {}

  int Run(std::string* report) {
    report_ = report;
    CheckCatalogue();
    CheckCounters();
    CheckIndexes();
    CheckRecords();
    CheckMemos();
    CheckPages();
    if (problems_ > kMaxProblemLines)
      Append("... et " +
             Counted(problems_ - kMaxProblemLines, "autre probl\xE8me", "autres probl\xE8mes"));
    std::string pages =
        pagesCounted_ ? Counted(pages_, "page", "pages") : "sans les pages (" + pageNote_ + ")";
    Append("V\xE9rifi\xE9 : " + Counted(files_.size(), "fichier", "fichiers") + ", " +
           Counted(records_, "enregistrement", "enregistrements") + ", " +
           Counted(entries_, kEntry + std::string(" d'index"), kEntries + std::string(" d'index")) +
           ", " + Counted(memos_, "m\xE9mo", "m\xE9mos") + ", " + pages + " ; " +
           Counted(problems_, "probl\xE8me", "probl\xE8mes"));
    return problems_ > 0x7FFFFFFF ? 0x7FFFFFFF : int(problems_);
  }

 private:
  void Append(const std::string& line) {
    report_->append(line);
    report_->push_back('\n');
  }

  void Problem(const std::string& line) {
    if (++problems_ <= kMaxProblemLines) Append(line);
  }

  void Interrupted(const Walk& walk, const std::string& table) {
    if (!walk.broken()) return;
    std::string what =
        walk.outOfOrder() ? "cl\xE9s dans le d\xE9sordre" : std::string("cl\xE9 trop longue");
    Problem(table + " : " + what + " apr\xE8s " + Num(walk.count()) + " " + kEntries +
            ", parcours interrompu");
  }

  // Reads a counter of the meta table; a value that is not 8 bytes is a
  // problem (the engine would read it as 0 and hand out ids again).
  uint64_t Counter(const std::string& name, const std::string& shown) {
    MDB_val key{name.size(), const_cast<char*>(name.data())}, value;
    int rc = mdb_get(txn_, t_.meta, &key, &value);
    if (rc == MDB_NOTFOUND) return 0;
    Check(rc);
    if (value.mv_size != 8) {
      Problem("compteur " + shown + " illisible (" + Num(value.mv_size) + " octets au lieu de 8)");
      return 0;
    }
    uint64_t v;
    std::memcpy(&v, value.mv_data, 8);
    return v;
  }

  bool Exists(MDB_dbi dbi, const std::string& key, MDB_val* value) {
    MDB_val k{key.size(), const_cast<char*>(key.data())};
    int rc = mdb_get(txn_, dbi, &k, value);
    if (rc == MDB_NOTFOUND) return false;
    Check(rc);
    return true;
  }

  // A record's image can be read item by item only when the file's layout
  // holds together; Layout() sums in 32 bits, so it is summed again here.
  static bool SaneLayout(const FileDef& file) {
    uint64_t size = 1;
    for (const Item& item : file.items) size += uint64_t(item.size) * item.dimension;
    return size <= kMaxRecordSize && size == file.recordSize;
  }

  // ---- Catalogue: the descriptions, their file ids and index ids ----
  void CheckCatalogue() {
    Walk walk(txn_, t_.catalog);
    MDB_val k, v;
    while (walk.Next(&k, &v)) {
      std::string name(static_cast<const char*>(k.mv_data), k.mv_size);
      FileDef file;
      if (!FileDef::Deserialize(name, v.mv_data, v.mv_size, &file)) {
        Problem("catalogue : description illisible pour le fichier " + Shown(name));
        continue;
      }
      if (file.id == 0) {
        Problem("catalogue : fichier " + Shown(name) + " sans identifiant");
        continue;
      }
      auto taken = files_.find(file.id);
      if (taken != files_.end()) {
        Problem("catalogue : les fichiers " + Shown(taken->second.name) + " et " + Shown(name) +
                " ont le m\xEAme identifiant " + Num(file.id));
        continue;
      }
      if (!SaneLayout(file)) {
        Problem("catalogue : description incoh\xE9rente du fichier " + Shown(name) +
                " (enregistrement de plus de " + Num(kMaxRecordSize) + " octets)");
        unreadable_.insert(file.id);
      }
      files_.emplace(file.id, std::move(file));
    }
    Interrupted(walk, "table du catalogue");
    // Index ids once every file is in place: the map points into files_.
    for (const auto& entry : files_) {
      const FileDef& file = entry.second;
      for (const Item& item : file.items) {
        if (item.keyKind == kNotKey) continue;
        if (item.indexId == 0) {
          Problem("catalogue : fichier " + Shown(file.name) + ", cl\xE9 " + Shown(item.name) +
                  " sans index");
          continue;
        }
        auto inserted = keys_.emplace(item.indexId, KeyRef{&file, &item});
        if (!inserted.second) {
          const KeyRef& other = inserted.first->second;
          Problem("catalogue : index " + Num(item.indexId) + " partag\xE9 par la cl\xE9 " +
                  Shown(other.item->name) + " du fichier " + Shown(other.file->name) +
                  " et la cl\xE9 " + Shown(item.name) + " du fichier " + Shown(file.name));
        }
      }
    }
  }

  // ---- Counters: the next ids handed out must not be ids in use ----
  // A counter holds the last id given (the next one is the counter + 1),
  // so every id in use must be at or below its counter.
  void CheckCounters() {
    uint64_t nextFile = Counter(kNextFileId, kNextFileId);
    if (!files_.empty() && files_.rbegin()->first > nextFile)
      Problem(std::string("compteur ") + kNextFileId + " (" + Num(nextFile) +
              ") inf\xE9rieur \xE0 l'identifiant " + Num(files_.rbegin()->first) + " du fichier " +
              Shown(files_.rbegin()->second.name));
    uint64_t nextIndex = Counter(kNextIndexId, kNextIndexId);
    if (!keys_.empty() && keys_.rbegin()->first > nextIndex) {
      const KeyRef& key = keys_.rbegin()->second;
      Problem(std::string("compteur ") + kNextIndexId + " (" + Num(nextIndex) +
              ") inf\xE9rieur \xE0 l'index " + Num(keys_.rbegin()->first) + " (fichier " +
              Shown(key.file->name) + ", cl\xE9 " + Shown(key.item->name) + ")");
    }
    nextMemo_ = Counter(kNextMemo, kNextMemo);
    for (const auto& entry : files_)
      lastRecord_[entry.first] =
          Counter(LastRecordKey(entry.first), "last-record du fichier " + Shown(entry.second.name));
  }

  // ---- Indexes: every entry leads to its record, under its record's key ----
  void CheckIndexes() {
    Walk walk(txn_, t_.indexes);
    MDB_val k, v, image;
    uint32_t unknownId = 0;
    unsigned long long unknownCount = 0;
    auto flushUnknown = [&] {
      if (unknownCount > 0)
        Problem("index " + Num(unknownId) + " : " + Counted(unknownCount, kEntry, kEntries) +
                " d'un index inconnu du catalogue");
      unknownCount = 0;
    };
    // The previous entry of the same index, for duplicates in unique keys.
    uint32_t previousId = 0, previousRecord = 0;
    std::string previousForm, form;
    while (walk.Next(&k, &v)) {
      ++entries_;
      const char* bytes = static_cast<const char*>(k.mv_data);
      if (k.mv_size < 8) {
        Problem("table des index : cl\xE9 de " + Num(k.mv_size) + " octets (8 au moins)");
        continue;
      }
      uint32_t indexId = ReadBE32(bytes);
      auto key = keys_.find(indexId);
      if (key == keys_.end()) {
        if (indexId != unknownId) flushUnknown();
        unknownId = indexId;
        ++unknownCount;
        continue;
      }
      const FileDef& file = *key->second.file;
      const Item& item = *key->second.item;
      uint32_t n = ReadBE32(bytes + k.mv_size - 4);
      std::string stored(bytes + 4, k.mv_size - 8);
      if (item.keyKind == kUniqueKey && indexId == previousId && stored == previousForm)
        Problem(Where(file, n) + "m\xEAme valeur de la cl\xE9 unique " + Shown(item.name) +
                " que l'enregistrement " + Num(previousRecord));
      previousId = indexId;
      previousRecord = n;
      previousForm = stored;
      if (unreadable_.count(file.id)) continue;
      if (!Exists(t_.records, RecordStore::RecordKey(file.id, int32_t(n)), &image)) {
        Problem(Where(file, n) + kEntry + " de l'index de " + Shown(item.name) +
                " sans enregistrement");
        continue;
      }
      // An image of the wrong size is the record walk's to report.
      if (image.mv_size != file.recordSize) continue;
      form.clear();
      EncodeKey(file, item, static_cast<const unsigned char*>(image.mv_data), form);
      if (form == stored) continue;
      MDB_val ignored;
      if (Exists(t_.indexes, RecordStore::IndexKey(indexId, form, int32_t(n)), &ignored)) {
        Problem(Where(file, n) + kEntry + " en trop dans l'index de " + Shown(item.name) +
                " (sa cl\xE9 n'est pas celle de l'enregistrement)");
      } else {
        Problem(Where(file, n) + "l'" + kEntry + " de l'index de " + Shown(item.name) +
                " porte une autre cl\xE9 que celle de l'enregistrement");
        if (misplaced_.size() < kMaxMisplaced) misplaced_.insert(uint64_t(indexId) << 32 | n);
      }
    }
    flushUnknown();
    Interrupted(walk, "table des index");
  }

  // ---- Records: numbers, sizes, their index entries and memos ----
  void CheckRecords() {
    Walk walk(txn_, t_.records);
    MDB_val k, v, found;
    uint32_t unknownId = 0;
    unsigned long long unknownCount = 0;
    auto flushUnknown = [&] {
      if (unknownCount > 0)
        Problem(Counted(unknownCount, "enregistrement", "enregistrements") +
                " d'un fichier inconnu (identifiant " + Num(unknownId) + ")");
      unknownCount = 0;
    };
    std::string form;
    while (walk.Next(&k, &v)) {
      ++records_;
      if (k.mv_size != 8) {
        Problem("table des enregistrements : cl\xE9 de " + Num(k.mv_size) + " octets au lieu de 8");
        continue;
      }
      uint32_t fileId = ReadBE32(k.mv_data);
      uint32_t n = ReadBE32(static_cast<const char*>(k.mv_data) + 4);
      auto entry = files_.find(fileId);
      if (entry == files_.end()) {
        if (fileId != unknownId) flushUnknown();
        unknownId = fileId;
        ++unknownCount;
        continue;
      }
      const FileDef& file = entry->second;
      uint64_t last = lastRecord_[fileId];
      if (n == 0 || n > last)
        Problem(Where(file, n) + "num\xE9ro hors de 1 \xE0 " + Num(last) +
                ", le dernier attribu\xE9");
      if (unreadable_.count(fileId)) continue;
      // Items cannot be read from an image of another size: its keys go
      // unchecked and its memos, unread, show as orphans.
      if (v.mv_size != file.recordSize) {
        Problem(Where(file, n) + "image de " + Num(v.mv_size) + " octets au lieu de " +
                Num(file.recordSize));
        continue;
      }
      const unsigned char* image = static_cast<const unsigned char*>(v.mv_data);
      for (const Item& item : file.items) {
        if (item.keyKind != kNotKey && item.indexId != 0) {
          form.clear();
          EncodeKey(file, item, image, form);
          if (!Exists(t_.indexes, RecordStore::IndexKey(item.indexId, form, int32_t(n)), &found) &&
              !misplaced_.count(uint64_t(item.indexId) << 32 | n))
            Problem(Where(file, n) + kEntry + " manquante dans l'index de " + Shown(item.name));
        }
        if (item.IsMemo() && !item.composite) CheckMemoReference(file, item, n, image);
      }
    }
    flushUnknown();
    Interrupted(walk, "table des enregistrements");
  }

  void CheckMemoReference(const FileDef& file, const Item& item, uint32_t n,
                          const unsigned char* image) {
    uint32_t reference = MemoReference(image, item.offset);
    if (reference == 0) return;
    if (reference > highestReference_) highestReference_ = reference;
    auto owner = memoOwners_.emplace(reference, MemoOwner{file.id, n});
    if (!owner.second) {
      const MemoOwner& other = owner.first->second;
      Problem(Where(file, n) + "le m\xE9mo " + Num(reference) + " de " + Shown(item.name) +
              " est aussi celui du fichier " + Shown(files_.at(other.fileId).name) +
              ", enregistrement " + Num(other.record));
      return;
    }
    std::string key;
    PutBE32(key, reference);
    MDB_val data;
    if (!Exists(t_.memos, key, &data))
      Problem(Where(file, n) + "le m\xE9mo " + Num(reference) + " de " + Shown(item.name) +
              " n'existe pas");
  }

  // ---- Memos: every stored memo has its one record ----
  void CheckMemos() {
    Walk walk(txn_, t_.memos);
    MDB_val k, v;
    while (walk.Next(&k, &v)) {
      ++memos_;
      if (k.mv_size != 4) {
        Problem("table des m\xE9mos : cl\xE9 de " + Num(k.mv_size) + " octets au lieu de 4");
        continue;
      }
      uint32_t reference = ReadBE32(k.mv_data);
      if (reference > highestReference_) highestReference_ = reference;
      if (!memoOwners_.count(reference))
        Problem("m\xE9mo " + Num(reference) + " : orphelin, aucun enregistrement ne le d\xE9signe");
    }
    Interrupted(walk, "table des m\xE9mos");
    if (highestReference_ > nextMemo_)
      Problem(std::string("compteur ") + kNextMemo + " (" + Num(nextMemo_) +
              ") inf\xE9rieur au m\xE9mo " + Num(highestReference_) + " en usage");
  }

  // ---- Pages: the trees and the free list make up the whole file ----
  //
  // Every page below the last one used is a meta page, a page of one of the
  // trees (the main table, which holds the named tables' roots, the named
  // tables, and the free list's own tree), or a page listed in the free
  // list. LMDB writes the pages a transaction frees into the free list in
  // the same commit, under that transaction's id, whether or not a reader
  // still holds them; pages taken back from the free list and left unused
  // go back into it too. So after any commit the sum is exact, as LMDB's
  // own audit of a commit expects, and a difference is a lost or doubly
  // owned page. The sum is only meaningful on the last committed state: a
  // write transaction (a host transaction's own reads) has not written its
  // free list yet and may not read it, and a commit made after the read
  // snapshot began has moved the file's end.
  void CheckPages() {
    MDB_env* env = mdb_txn_env(txn_);
    MDB_envinfo info;
    Check(mdb_env_info(env, &info));
    if (mdb_txn_id(txn_) != info.me_last_txnid) {
      pageNote_ = mdb_txn_id(txn_) > info.me_last_txnid ? "transaction en cours"
                                                        : "la base a chang\xE9 entre-temps";
      return;
    }
    MDB_dbi main;
    Check(mdb_dbi_open(txn_, nullptr, 0, &main));
    CheckMainTable(main);
    unsigned long long treePages = 0;
    const MDB_dbi trees[] = {0, main, t_.catalog, t_.meta, t_.records, t_.indexes, t_.memos};
    for (MDB_dbi dbi : trees) {
      MDB_stat stat;
      Check(mdb_stat(txn_, dbi, &stat));
      treePages += stat.ms_branch_pages + stat.ms_leaf_pages + stat.ms_overflow_pages;
    }
    unsigned long long freePages = FreePages(info.me_last_pgno);
    pages_ = info.me_last_pgno + 1;
    pagesCounted_ = true;
    unsigned long long counted = kMetaPages + treePages + freePages;
    if (counted != pages_)
      Problem("pages : le compte en donne " + Num(counted) + " (" + Num(kMetaPages) + " m\xE9ta, " +
              Num(treePages) + " dans les arbres, " + Num(freePages) + " libres) pour " +
              Num(pages_) + " dans le fichier");
  }

  // The main table holds the named tables and nothing else: the pages of
  // any other tree would go uncounted.
  void CheckMainTable(MDB_dbi main) {
    static const char* const kNames[] = {"catalog", "meta", "records", "indexes", "memos"};
    Walk walk(txn_, main);
    MDB_val k, v;
    while (walk.Next(&k, &v)) {
      std::string name(static_cast<const char*>(k.mv_data), k.mv_size);
      bool known = false;
      for (const char* expected : kNames) known = known || name == expected;
      if (!known) Problem("base : table inconnue '" + Shown(name) + "'");
    }
    Interrupted(walk, "table principale");
  }

  // Sums the free list: each value is an array of page numbers whose first
  // element is their count.
  unsigned long long FreePages(size_t lastPage) {
    Walk walk(txn_, 0, true);
    MDB_val k, v;
    unsigned long long total = 0;
    while (walk.Next(&k, &v)) {
      size_t count = 0;
      if (v.mv_size >= sizeof(size_t)) std::memcpy(&count, v.mv_data, sizeof count);
      if (v.mv_size < sizeof(size_t) || count > v.mv_size / sizeof(size_t) - 1) {
        Problem("liste des pages libres : " + std::string(kEntry) + " de " + Num(v.mv_size) +
                " octets qui en annonce " + Num(count));
        continue;
      }
      total += count;
      const char* pages = static_cast<const char*>(v.mv_data) + sizeof(size_t);
      for (size_t i = 0; i < count; ++i) {
        size_t page;
        std::memcpy(&page, pages + i * sizeof page, sizeof page);
        if (page < kMetaPages || page > lastPage) {
          Problem("liste des pages libres : page " + Num(page) + " hors du fichier (pages " +
                  Num(kMetaPages) + " \xE0 " + Num(lastPage) + ")");
          break;
        }
      }
    }
    Interrupted(walk, "liste des pages libres");
    return total;
  }

  MDB_txn* txn_;
  const Tables& t_;
  std::string* report_ = nullptr;
  unsigned long long problems_ = 0;

  std::map<uint32_t, FileDef> files_;        // by file id
  std::map<uint32_t, KeyRef> keys_;          // by index id
  std::unordered_set<uint32_t> unreadable_;  // files whose layout is not sane
  std::map<uint32_t, uint64_t> lastRecord_;  // file id -> last record given
  uint64_t nextMemo_ = 0;
  uint32_t highestReference_ = 0;
  std::unordered_set<uint64_t> misplaced_;  // index id << 32 | record
  std::unordered_map<uint32_t, MemoOwner> memoOwners_;

  unsigned long long records_ = 0, entries_ = 0, memos_ = 0, pages_ = 0;
  bool pagesCounted_ = false;
  std::string pageNote_;
};

}  // namespace

int CheckDatabase(MDB_txn* txn, const Tables& tables, std::string* report) {
  return Checker(txn, tables).Run(report);
}

}  // namespace jx
