// Memo block layout: int16 header size at offset 3, int32 data length at
// offset 52, the data after the header. The shell makes 64-byte headers,
// as the engine does.
#include "memo_blocks.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

#include "charset.h"
#include "jxengine.h"
#include "memo_file.h"
#include "zkglobal.h"

namespace zkshell {
namespace {

constexpr int16_t kHeaderSize = 64;
constexpr size_t kHeaderSizeOffset = 3;
constexpr size_t kDataLengthOffset = 52;

}  // namespace

MemoBlocks::~MemoBlocks() {
  for (void* block : blocks_) {
    GlobalUnlock(block);
    GlobalFree(block);
  }
}

bool MemoBlocks::Add(const std::string& bytes) {
  HGLOBAL block = GlobalAlloc(GHND, kHeaderSize + bytes.size());
  if (block == nullptr) return false;
  unsigned char* p = static_cast<unsigned char*>(GlobalLock(block));
  if (p == nullptr) {
    GlobalFree(block);
    return false;
  }
  int16_t header = kHeaderSize;
  int32_t length = static_cast<int32_t>(bytes.size());
  memcpy(p + kHeaderSizeOffset, &header, sizeof header);
  memcpy(p + kDataLengthOffset, &length, sizeof length);
  if (!bytes.empty()) memcpy(p + kHeaderSize, bytes.data(), bytes.size());
  // Stays locked until the set is released: the library reads the block
  // through the address the table gives.
  blocks_.push_back(block);
  addresses_.push_back(p);
  return true;
}

const ZKSQLMemoTable* MemoBlocks::Table() {
  if (blocks_.empty()) return nullptr;
  table_.assign(offsetof(ZKSQLMemoTable, blocks) + addresses_.size() * sizeof(void*), 0);
  memcpy(table_.data() + offsetof(ZKSQLMemoTable, blocks), addresses_.data(),
         addresses_.size() * sizeof(void*));
  return reinterpret_cast<const ZKSQLMemoTable*>(table_.data());
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) {
    *error = "cannot open \"" + path + "\": " + strerror(errno);
    return false;
  }
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  bool failed = ferror(f) != 0;
  fclose(f);
  if (failed) *error = "cannot read \"" + path + "\"";
  return !failed;
}

bool LoadStatementMemos(const std::string& sql, MemoBlocks* blocks, std::string* error) {
  // Cheap test first: most statements carry no memo.
  if (sql.find('{') == std::string::npos) return true;
  void* set = ZKSQL_JXMS_Alloc();
  if (set == nullptr) {
    *error = "out of memory";
    return false;
  }
  int32_t count = ZKSQL_JXMS_Scan(set, sql.c_str());
  bool ok = true;
  for (int32_t i = 0; i < count && ok; ++i) {
    char name[1024] = "";
    int32_t kind = 0;
    ZKSQL_JXMS_GetMemoInfo(set, i, name, static_cast<int32_t>(sizeof name), &kind);
    // The construct's text is Windows-1252 like the whole statement; the
    // file system wants it back in UTF-8.
    std::string path = zkhost::Cp1252ToUtf8(name);
    std::string bytes;
    try {
      if (!ReadMemoFile(path, JX_MEMO_MAX_BYTES, &bytes, error)) {
        ok = false;
      } else if (!blocks->Add(bytes)) {
        *error = "out of memory for the memo \"" + path + "\"";
        ok = false;
      }
    } catch (const std::bad_alloc&) {
      *error = "out of memory for the memo \"" + path + "\"";
      ok = false;
    }
  }
  ZKSQL_JXMS_Free(set);
  return ok;
}


}  // namespace zkshell
