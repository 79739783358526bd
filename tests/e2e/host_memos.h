// Host memo values for one statement, as a host hands them to ZKSQLExecReq:
// one global memory block per text (a header of 56 bytes, the header size
// at offset 3 and the data length at offset 52, then the bytes) and the
// table that lists them, laid out as ZKSQLMemoTable, where memo block i + 1
// holds the i-th text. The table holds the blocks' addresses, so the blocks
// stay locked while the object lives; they are unlocked and freed with it.
#ifndef ZKSQL_TESTS_E2E_HOST_MEMOS_H_
#define ZKSQL_TESTS_E2E_HOST_MEMOS_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "zkglobal.h"
#include "zksql.h"

namespace zksql_e2e {

class HostMemos {
 public:
  // Texts past the 64th are left out: no statement of the tests needs more.
  explicit HostMemos(const std::vector<std::string>& texts) {
    for (size_t i = 0; i < texts.size() && i < kMax; ++i) {
      HGLOBAL block = GlobalAlloc(GHND, kHeader + texts[i].size());
      auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
      int16_t header = kHeader;
      int32_t length = static_cast<int32_t>(texts[i].size());
      memcpy(bytes + 3, &header, 2);
      memcpy(bytes + 52, &length, 4);
      memcpy(bytes + kHeader, texts[i].data(), texts[i].size());
      blocks_.push_back(block);
      table_.blocks[i] = bytes;
    }
  }
  ~HostMemos() {
    for (HGLOBAL b : blocks_) {
      GlobalUnlock(b);
      GlobalFree(b);
    }
  }
  HostMemos(const HostMemos&) = delete;
  HostMemos& operator=(const HostMemos&) = delete;

  // The table to hand over, or null when there is no text (a statement
  // without memo values).
  const ZKSQLMemoTable* table() const {
    return blocks_.empty() ? nullptr : reinterpret_cast<const ZKSQLMemoTable*>(&table_);
  }

 private:
  static constexpr size_t kMax = 64;
  static constexpr int16_t kHeader = 56;
  struct Table {
    int16_t reserved = 0;
    const void* blocks[kMax] = {};
  } table_;
  std::vector<HGLOBAL> blocks_;
};

}  // namespace zksql_e2e

#endif  // ZKSQL_TESTS_E2E_HOST_MEMOS_H_
