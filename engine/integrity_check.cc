// integrity_check.cc - the consistency walk behind XZK_CheckDatabase.
//
// First the pages of every tree are read from the file and their structure
// checked (the page audit below), so that LMDB never walks a tree whose
// pages it could not read without aborting or faulting. Then the walk reads
// each sound table once with a cursor and looks the other side of every
// relation up with mdb_get: an index entry's record, a record's index
// entries and memos. So its memory stays that of the dictionary, one set of
// memo references and one bit per page, whatever the number of records.
// Each walk stops where a tree's keys stop ascending: a damaged page may
// send a cursor back over keys it has already given, and the check must end
// on any file.
//
// Messages are Windows-1252 (hence the \x escapes for accented letters).
#include "integrity_check.h"

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

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

// ---- Page audit: the trees' pages read from the file ----
//
// LMDB trusts its pages: a page of another kind where a tree expects a
// leaf, or a node whose offset or size lies outside its page, aborts the
// process on an assertion or faults it as soon as a cursor meets it, and
// the check must end on any file. So before LMDB walks a tree, the check
// reads the tree's pages itself, from the data file (never through the map,
// so that nothing it reads can fault), with every bound held: each page's
// number and kind, its node offsets, each node's key and data within the
// page, child and overflow page numbers within the file, every leaf at the
// tree's depth and no page reached twice. A tree found broken is reported
// page by page and LMDB does not walk it. Having seen every page, the audit
// also counts the pages that are in no tree and not free.
//
// The layout is LMDB's (format version 1) for this build's word size W: a
// page header of W + 8 bytes (number, padding, flags, then the bounds of
// the free space, or an overflow run's page count); nodes of 8 bytes (data
// size or child page number, flags, key size) then the key and the data; a
// tree's description of 8 + 5 W bytes (padding, flags, depth, branch, leaf
// and overflow page counts, entries, root); the meta's trees follow its
// magic, version, map address and size, and its last page and transaction
// id follow them.
//
// A read snapshot's pages stay as they are while it is held, so the file
// shows them as the map does. A write transaction's own pages are not in
// the file yet: the audit does not run there, nor when a later commit has
// written over the snapshot's meta, and the walks go as they did.
class PageAudit {
 public:
  // The names under which the audit knows the main table and the free list.
  static constexpr const char* kMain = "\1main";
  static constexpr const char* kFreeList = "\1free";

  PageAudit(MDB_txn* txn, std::function<void(const std::string&)> problem)
      : problem_(std::move(problem)) {
    MDB_env* env = mdb_txn_env(txn);
    MDB_envinfo info;
    MDB_stat stat;
    const char* folder = nullptr;
    if (mdb_env_info(env, &info) != MDB_SUCCESS || mdb_env_stat(env, &stat) != MDB_SUCCESS ||
        mdb_env_get_path(env, &folder) != MDB_SUCCESS || folder == nullptr)
      return;
    if (mdb_txn_id(txn) > info.me_last_txnid) return;  // a write transaction
    pageSize_ = stat.ms_psize;
    file_.open(std::string(folder) + "/data.mdb", std::ios::binary);
    std::vector<unsigned char> meta;
    if (!file_ || !Read(mdb_txn_id(txn) & 1, 1, &meta)) return;
    const unsigned char* trees = meta.data() + kHeader + 8 + 2 * kWord;
    if (Word(trees + 2 * kTreeSize + kWord) != mdb_txn_id(txn)) return;
    last_ = Word(trees + 2 * kTreeSize);
    main_ = ReadTree(trees + kTreeSize);
    free_ = ReadTree(trees);
    ran_ = last_ >= 1 && last_ <= info.me_last_pgno;
  }

  // Whether the snapshot's pages were read.
  bool ran() const { return ran_; }
  size_t lastPage() const { return last_; }

  void Run() {
    if (!ran_) return;
    owned_.assign(last_ + 1, false);
    owned_[0] = owned_[1] = true;  // the meta pages
    // The trees first, then the free list: a page both in a tree and listed
    // free is the free list's fault, and the tree can still be walked.
    std::vector<std::pair<std::string, TreeRecord>> named;
    Audit(kMain, main_, 0, &named);
    for (const auto& tree : named) Audit(tree.first, tree.second, 0);
    Audit(kFreeList, free_, kIntegerKeys);
    if (listedWrong_ > 0)
      problem_("liste des pages libres : " + Counted(listedWrong_, "page", "pages") +
               " hors du fichier ou d\xE9j\xE0 prise" + (listedWrong_ > 1 ? "s" : "") +
               " (la premi\xE8re : " + Num(firstListedWrong_) + ")");
    if (!broken_.empty()) return;
    size_t lost = 0, first = 0;
    for (size_t p = last_; p >= 2; --p)
      if (!owned_[p]) ++lost, first = p;
    if (lost > 0)
      problem_("pages : " + Counted(lost, "page", "pages") + " ni dans un arbre ni libre" +
               (lost > 1 ? "s" : "") + " (la premi\xE8re : " + Num(first) + ")");
  }

  // Whether the tree `name` (kMain, kFreeList or a table's name) has a page
  // LMDB must not read.
  bool Broken(const std::string& name) const { return broken_.count(name) > 0; }
  bool AnyBroken() const { return !broken_.empty(); }

 private:
  static constexpr size_t kWord = sizeof(size_t);
  static constexpr size_t kHeader = kWord + 8;
  static constexpr size_t kNode = 8;
  static constexpr size_t kTreeSize = 8 + 5 * kWord;
  static constexpr size_t kNoPage = ~size_t(0);
  static constexpr unsigned kMaxDepth = 32;  // LMDB's cursors go no deeper
  // Page kinds (branch, leaf, overflow, meta, two kinds of sorted
  // duplicates), node flags, and the free list's tree flag.
  static constexpr uint16_t kBranch = 0x01, kLeaf = 0x02, kOverflow = 0x04;
  static constexpr uint16_t kKinds = 0x01 | 0x02 | 0x04 | 0x08 | 0x20 | 0x40;
  static constexpr uint16_t kBigData = 0x01, kSubData = 0x02, kDupData = 0x04;
  static constexpr uint16_t kIntegerKeys = 0x08;

  struct TreeRecord {
    uint16_t flags = 0, depth = 0;
    size_t branch = 0, leaf = 0, overflow = 0, entries = 0, root = kNoPage;
  };
  // What the walk of one tree found.
  struct Tally {
    size_t branch = 0, leaf = 0, overflow = 0, entries = 0;
  };

  static size_t Word(const unsigned char* p) {
    size_t v;
    std::memcpy(&v, p, kWord);
    return v;
  }
  static uint16_t Half(const unsigned char* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  static TreeRecord ReadTree(const unsigned char* p) {
    TreeRecord t;
    t.flags = Half(p + 4);
    t.depth = Half(p + 6);
    t.branch = Word(p + 8);
    t.leaf = Word(p + 8 + kWord);
    t.overflow = Word(p + 8 + 2 * kWord);
    t.entries = Word(p + 8 + 3 * kWord);
    t.root = Word(p + 8 + 4 * kWord);
    return t;
  }
  // Pages n to n + count - 1; false when the file does not hold them all.
  bool Read(size_t n, size_t count, std::vector<unsigned char>* out) {
    out->resize(count * pageSize_);
    file_.clear();
    file_.seekg(std::streamoff(n * pageSize_));
    file_.read(reinterpret_cast<char*>(out->data()), std::streamsize(out->size()));
    return size_t(file_.gcount()) == out->size();
  }

  static std::string TableName(const std::string& name) {
    if (name == kFreeList) return "liste des pages libres";
    if (name == kMain) return "table principale";
    if (name == "catalog") return "table du catalogue";
    if (name == "meta") return "table des compteurs";
    if (name == "records") return "table des enregistrements";
    if (name == "indexes") return "table des index";
    if (name == "memos") return "table des m\xE9mos";
    return "table '" + Shown(name) + "'";
  }

  void Bad(const std::string& name, size_t page, const std::string& what) {
    broken_.insert(name);
    problem_(TableName(name) + ", page " + Num(page) + " : " + what);
  }

  // Takes page n for the tree; false (reported) when it is outside the
  // file or already taken.
  bool Take(const std::string& name, size_t n) {
    if (n < 2 || n > last_) {
      Bad(name, n, "hors du fichier (pages 2 \xE0 " + Num(last_) + ")");
      return false;
    }
    if (owned_[n]) {
      Bad(name, n, "d\xE9j\xE0 atteinte par ailleurs");
      return false;
    }
    owned_[n] = true;
    return true;
  }

  void Audit(const std::string& name, const TreeRecord& tree, uint16_t flags,
             std::vector<std::pair<std::string, TreeRecord>>* named = nullptr) {
    if (tree.flags != flags ||
        (tree.root != kNoPage && (tree.depth < 1 || tree.depth > kMaxDepth))) {
      broken_.insert(name);
      problem_(TableName(name) + " : drapeaux " + Num(tree.flags) + " et profondeur " +
               Num(tree.depth) + " impossibles");
      return;
    }
    Tally tally;
    if (tree.root != kNoPage) Descend(name, tree, tree.root, 1, &tally, named);
    if (Broken(name)) return;
    if (tally.branch != tree.branch || tally.leaf != tree.leaf || tally.overflow != tree.overflow ||
        tally.entries != tree.entries)
      problem_(TableName(name) + " : " + Num(tally.branch) + " branches, " + Num(tally.leaf) +
               " feuilles, " + Num(tally.overflow) + " pages de d\xE9passement et " +
               Num(tally.entries) + " " + kEntries + ", alors que sa description en annonce " +
               Num(tree.branch) + ", " + Num(tree.leaf) + ", " + Num(tree.overflow) + " et " +
               Num(tree.entries));
  }

  void Descend(const std::string& name, const TreeRecord& tree, size_t n, unsigned depth,
               Tally* tally, std::vector<std::pair<std::string, TreeRecord>>* named) {
    if (!Take(name, n)) return;
    std::vector<unsigned char> buffer;
    if (!Read(n, 1, &buffer)) {
      Bad(name, n, "illisible");
      return;
    }
    const unsigned char* page = buffer.data();
    const uint16_t kind = Half(page + kWord + 2) & kKinds;
    const uint16_t lower = Half(page + kWord + 4), upper = Half(page + kWord + 6);
    const bool leaf = depth == tree.depth;
    if (Word(page) != n) {
      Bad(name, n, "porte le num\xE9ro " + Num(Word(page)));
      return;
    }
    if (kind != (leaf ? kLeaf : kBranch)) {
      Bad(name, n,
          "page de type " + Num(kind) + " au niveau " + Num(depth) + " sur " + Num(tree.depth) +
              (leaf ? " (une feuille y est attendue)" : " (une branche y est attendue)"));
      return;
    }
    if (lower < kHeader || (lower - kHeader) % 2 != 0 || upper < lower || upper > pageSize_ ||
        (!leaf && lower == kHeader)) {
      Bad(name, n, "bornes incoh\xE9rentes (" + Num(lower) + ", " + Num(upper) + ")");
      return;
    }
    leaf ? ++tally->leaf : ++tally->branch;
    std::vector<size_t> children;
    for (size_t i = 0, keys = (lower - kHeader) / 2; i < keys; ++i) {
      const size_t at = Half(page + kHeader + 2 * i);
      const unsigned char* node = page + at;
      const std::string where = "n\x9Cud " + Num(i);
      if (at < upper || at + kNode > pageSize_ || at + kNode + Half(node + 6) > pageSize_) {
        Bad(name, n, where + " hors de la page");
        return;
      }
      const size_t keySize = Half(node + 6);
      const uint16_t nodeFlags = Half(node + 4);
      const size_t size = Half(node) | size_t(Half(node + 2)) << 16;
      if (!leaf) {
        // A child's number spreads over the size and, past 32 bits, the flags.
        size_t child = size;
        if (kWord > 4) child |= size_t(nodeFlags) << 16 << 16;
        children.push_back(child);
        continue;
      }
      ++tally->entries;
      const unsigned char* data = node + kNode + keySize;
      const bool subTree = nodeFlags & kSubData;
      if ((nodeFlags & kDupData) || (subTree && (!named || (nodeFlags & kBigData)))) {
        Bad(name, n, where + " de type " + Num(nodeFlags) + " inattendu");
        return;
      }
      std::vector<unsigned char> overflow;
      if (nodeFlags & kBigData) {
        if (at + kNode + keySize + kWord > pageSize_) {
          Bad(name, n, where + " hors de la page");
          return;
        }
        if (!Overflow(name, n, Word(data), size, tally, name == kFreeList ? &overflow : nullptr))
          return;
        // Only the free list's overflow pages are read in; any other big
        // value's data is not looked at (nothing to point into then).
        data = overflow.empty() ? nullptr : overflow.data() + kHeader;
      } else if (at + kNode + keySize + size > pageSize_) {
        Bad(name, n, "donn\351es du " + where + " hors de la page");
        return;
      }
      if (name == kFreeList) {
        if (keySize != kWord) {
          Bad(name, n, where + " : cl\xE9 de " + Num(keySize) + " octets");
          return;
        }
        if (!FreePages(n, data, size)) return;
      } else if (subTree) {
        if (size != kTreeSize) {
          Bad(name, n, "description de table de " + Num(size) + " octets");
          return;
        }
        named->emplace_back(std::string(reinterpret_cast<const char*>(node + kNode), keySize),
                            ReadTree(data));
      }
    }
    for (size_t child : children) Descend(name, tree, child, depth + 1, tally, named);
  }

  // A run of overflow pages from page `first` holding `size` bytes, read
  // into *data when it is asked for.
  bool Overflow(const std::string& name, size_t at, size_t first, size_t size, Tally* tally,
                std::vector<unsigned char>* data) {
    std::vector<unsigned char> head;
    if (first < 2 || first > last_ || !Read(first, 1, &head)) {
      Bad(name, at, "page de d\xE9passement " + Num(first) + " hors du fichier");
      return false;
    }
    uint32_t count;
    std::memcpy(&count, head.data() + kWord + 4, 4);
    if (Word(head.data()) != first || (Half(head.data() + kWord + 2) & kKinds) != kOverflow ||
        count < 1 || count > last_ - first + 1 || size > size_t(count) * pageSize_ - kHeader) {
      Bad(name, first, "suite de pages de d\xE9passement incoh\xE9rente");
      return false;
    }
    for (size_t p = first; p < first + count; ++p)
      if (!Take(name, p)) return false;
    tally->overflow += count;
    if (data && !Read(first, count, data)) {
      Bad(name, first, "illisible");
      return false;
    }
    return true;
  }

  // An entry of the free list: a count, then as many page numbers. Pages
  // it names wrongly are counted, not walked: they break no tree.
  bool FreePages(size_t at, const unsigned char* data, size_t size) {
    const size_t count = size >= kWord ? Word(data) : 0;
    if (size < kWord || count > size / kWord - 1) {
      Bad(kFreeList, at,
          std::string(kEntry) + " de " + Num(size) + " octets qui en annonce " + Num(count));
      return false;
    }
    for (size_t i = 1; i <= count; ++i) {
      const size_t page = Word(data + i * kWord);
      if (page >= 2 && page <= last_ && !owned_[page]) {
        owned_[page] = true;
      } else if (listedWrong_++ == 0) {
        firstListedWrong_ = page;
      }
    }
    return true;
  }

  std::function<void(const std::string&)> problem_;
  std::ifstream file_;
  size_t pageSize_ = 0;
  size_t last_ = 0;
  TreeRecord main_, free_;
  bool ran_ = false;
  std::vector<bool> owned_;  // pages seen, one bit each
  std::set<std::string> broken_;
  size_t listedWrong_ = 0, firstListedWrong_ = 0;  // free list entries naming no free page
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
    PageAudit audit(txn_, [this](const std::string& line) { Problem(line); });
    audit.Run();
    // What LMDB may walk: nothing when the main table is broken (every
    // table is found through it), and no stage that reads a broken table.
    auto sound = [&](std::initializer_list<const char*> tables) {
      if (audit.Broken(PageAudit::kMain)) return false;
      for (const char* table : tables)
        if (audit.Broken(table)) return false;
      return true;
    };
    const bool catalogue = sound({"catalog"});
    const bool records = catalogue && sound({"records", "indexes", "memos"});
    if (catalogue) CheckCatalogue();
    if (catalogue && sound({"meta"})) CheckCounters();
    if (catalogue && sound({"records", "indexes"})) CheckIndexes();
    if (records) CheckRecords();
    if (records) CheckMemos();
    if (!audit.ran()) {
      CheckPages();
    } else if (sound({})) {
      // The audit saw every page: it counted them, and told lost ones.
      MDB_dbi main;
      Check(mdb_dbi_open(txn_, nullptr, 0, &main));
      CheckMainTable(main);
      if (!audit.AnyBroken()) {
        pages_ = audit.lastPage() + 1;
        pagesCounted_ = true;
      }
    }
    if (audit.AnyBroken()) pageNote_ = "tables endommag\351es non parcourues";
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
