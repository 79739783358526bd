// data_file_check.cc - the meta pages of an LMDB data file, read directly.
//
// The layout is LMDB's (format version 1) for this build's word size W:
// a page header of W + 8 bytes (page number, padding, flags, bounds), then
// the meta: magic, version, map address, map size, the free-page and main
// trees (each: page size or padding, flags, depth, branch, leaf and
// overflow page counts, entries, root), the last used page and the
// transaction id. Files are not portable across word sizes, so this build's
// W is the right one for every file it can open.
//
// Messages are Windows-1252; an accented letter followed by a letter that
// is a hex digit is written in octal ("donn\351es"), since a hex escape
// would swallow the letter.
#include "data_file_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform.h"
#include "text_format.h"

namespace jx {
namespace {

constexpr size_t kWord = sizeof(size_t);
constexpr size_t kPageHeader = kWord + 8;
constexpr uint16_t kMetaPageFlag = 0x08;
constexpr uint32_t kMagic = 0xBEEFC0DE;
constexpr size_t kTreeSize = 8 + 5 * kWord;
constexpr size_t kMetaSize = 8 + 2 * kWord + 2 * kTreeSize + 2 * kWord;
constexpr size_t kInvalidPage = ~size_t(0);
constexpr unsigned kMaxDepth = 32;  // deeper than any tree LMDB can walk

struct Tree {
  uint32_t pad;
  uint16_t flags;
  uint16_t depth;
  size_t pages;  // branch + leaf + overflow
  size_t root;
};

// The flags each tree may carry: the free list's keys are integers, and
// the engine opens the main table (which holds its named tables) with none.
// Any other flag would make LMDB read the tree's pages as another kind.
constexpr uint16_t kIntegerKeys = 0x08;
constexpr uint16_t kTreeFlags[2] = {kIntegerKeys, 0};

struct Meta {
  bool valid = false;
  uint32_t pageSize = 0;
  Tree trees[2];
  size_t lastPage = 0;
  size_t txnid = 0;
};

size_t Word(const unsigned char* p) {
  size_t v;
  std::memcpy(&v, p, kWord);
  return v;
}

Meta Parse(const unsigned char* page) {
  Meta m;
  uint16_t flags;
  uint32_t magic;
  std::memcpy(&flags, page + kWord + 2, 2);
  const unsigned char* meta = page + kPageHeader;
  std::memcpy(&magic, meta, 4);
  if (!(flags & kMetaPageFlag) || magic != kMagic) return m;
  const unsigned char* tree = meta + 8 + 2 * kWord;
  for (Tree& t : m.trees) {
    std::memcpy(&t.pad, tree, 4);
    std::memcpy(&t.flags, tree + 4, 2);
    std::memcpy(&t.depth, tree + 6, 2);
    t.pages = Word(tree + 8) + Word(tree + 8 + kWord) + Word(tree + 8 + 2 * kWord);
    t.root = Word(tree + 8 + 4 * kWord);
    tree += kTreeSize;
  }
  m.pageSize = m.trees[0].pad;  // LMDB keeps the page size in the free tree's padding
  m.lastPage = Word(tree);
  m.txnid = Word(tree + kWord);
  m.valid = true;
  return m;
}

// Whether meta page `which` fits a file of `length` bytes of `pageSize`
// pages: LMDB reads the second meta at the first one's page size, then
// takes its page size from the newer one.
bool Fits(const Meta& meta, int which, uint32_t pageSize, unsigned long long length,
          std::string* why) {
  if (meta.pageSize != pageSize) {
    *why = FormatText("taille de page %u dans la page de m\xE9ta-donn\351es %d, %u dans l'autre",
                      unsigned(meta.pageSize), which, unsigned(pageSize));
    return false;
  }
  unsigned long long pages = length / pageSize;
  if (meta.lastPage < 1 || meta.lastPage == kInvalidPage) {
    *why = FormatText("derni\xE8re page %llu impossible", (unsigned long long)meta.lastPage);
    return false;
  }
  if (meta.lastPage >= pages) {
    *why = FormatText("%llu octets, alors que ses pages utilis\351es en demandent %llu", length,
                      (unsigned long long)(meta.lastPage + 1) * pageSize);
    return false;
  }
  for (int t = 0; t < 2; ++t) {
    const Tree& tree = meta.trees[t];
    bool empty = tree.root == kInvalidPage;
    if ((!empty && (tree.root < 2 || tree.root > meta.lastPage)) || tree.depth > kMaxDepth ||
        tree.pages > meta.lastPage + 1 || tree.flags != kTreeFlags[t]) {
      *why = FormatText(
          "page de m\xE9ta-donn\351es %d incoh\xE9rente (racine %llu, derni\xE8re page %llu)",
          which, empty ? 0ull : (unsigned long long)tree.root, (unsigned long long)meta.lastPage);
      return false;
    }
  }
  return true;
}

// One reading of the metas, then of the length: LMDB writes the pages a
// meta names before that meta, so a length read after the meta covers it.
bool CheckOnce(const std::string& path, std::string* why, bool* missing) {
  std::ifstream in(path, std::ios::binary);
  *missing = !in;
  if (!in) return true;
  // LMDB starts an empty data file anew, as a new database, whether LMDB
  // never wrote it or it lost everything. The engine's write lock file
  // beside it tells the two apart: the first write makes it, long after
  // LMDB wrote its meta pages.
  if (in.peek() == std::ifstream::traits_type::eof()) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(path).parent_path() / "jxwrite.lock", error))
      return true;
    *why = "fichier vide, alors que la base a d\xE9j\xE0 servi";
    return false;
  }
  std::vector<unsigned char> first(kPageHeader + kMetaSize, 0);
  in.read(reinterpret_cast<char*>(first.data()), std::streamsize(first.size()));
  if (size_t(in.gcount()) < first.size()) return true;  // LMDB refuses it cleanly itself
  Meta metas[2] = {Parse(first.data()), Meta()};
  if (!metas[0].valid) return true;  // likewise: no meta page at all
  uint32_t pageSize = metas[0].pageSize;
  if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0) {
    *why = FormatText("taille de page %u impossible", unsigned(pageSize));
    return false;
  }
  std::vector<unsigned char> second(first.size(), 0);
  in.clear();
  in.seekg(std::streamoff(pageSize));
  in.read(reinterpret_cast<char*>(second.data()), std::streamsize(second.size()));
  if (size_t(in.gcount()) == second.size()) metas[1] = Parse(second.data());
  in.close();

  std::ifstream sized(path, std::ios::binary | std::ios::ate);
  unsigned long long length = sized ? (unsigned long long)(sized.tellg()) : 0;
  // A second meta that cannot be read is LMDB's to refuse; the first one
  // still tells whether the file was cut.
  if (!metas[1].valid) return Fits(metas[0], 0, pageSize, length, why);
  // LMDB takes the meta of the larger transaction id as the newer, but each
  // transaction then reads the meta the id's parity names: commits
  // alternate between the two pages, so in a sound file that is the same
  // one, and the older one is never read. A damaged id would send every
  // transaction to the older meta instead.
  int newer = metas[1].txnid > metas[0].txnid ? 1 : 0;
  if (int(metas[newer].txnid & 1) != newer) {
    *why = FormatText("transaction %llu dans la page de m\xE9ta-donn\351es %d, qui ne la porte pas",
                      (unsigned long long)metas[newer].txnid, newer);
    return false;
  }
  return Fits(metas[newer], newer, pageSize, length, why);
}

}  // namespace

bool CheckDataFile(const std::string& path, std::string* why) {
  // A meta page read while another process writes it may come out torn:
  // only a failure seen on every reading is believed.
  std::string reason;
  for (int attempt = 0; attempt < 3; ++attempt) {
    bool missing = false;
    if (CheckOnce(path, &reason, &missing)) return true;
    ZkSleepMilliseconds(20);
  }
  *why = "Fichier de donn\351es endommag\xE9 (" + path + ") : " + reason;
  return false;
}

}  // namespace jx
