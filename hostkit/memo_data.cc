// Memo block layout: int16 header size at offset 3, int32 data length at
// offset 52, the data after the header. A block is read through its lock
// and freed whatever it holds.
#include "memo_data.h"

#include <cstdint>
#include <cstring>

#include "zkglobal.h"

namespace zkhost {
namespace {

constexpr size_t kHeaderSizeOffset = 3;
constexpr size_t kDataLengthOffset = 52;

}  // namespace

std::string TakeMemoData(void* block) {
  std::string data;
  if (block == nullptr) return data;
  size_t size = GlobalSize(block);
  const unsigned char* p = static_cast<const unsigned char*>(GlobalLock(block));
  if (p != nullptr && size >= kDataLengthOffset + 4) {
    int16_t header = 0;
    int32_t length = 0;
    memcpy(&header, p + kHeaderSizeOffset, sizeof header);
    memcpy(&length, p + kDataLengthOffset, sizeof length);
    // A length the block cannot hold is cut to what it holds.
    if (header >= 0 && static_cast<size_t>(header) <= size && length > 0) {
      size_t n = static_cast<size_t>(length);
      if (n > size - static_cast<size_t>(header)) n = size - static_cast<size_t>(header);
      data.assign(reinterpret_cast<const char*>(p + header), n);
    }
    GlobalUnlock(block);
  }
  GlobalFree(block);
  return data;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

}  // namespace zkhost
