// block_fields.h - typed access to the fixed-layout blocks.
//
// The SQL library talks to the engine through byte arrays whose fields sit
// at documented offsets (InfoBlock, RecordBlock, FileDescription, memo
// blocks). Those offsets are odd and unaligned, so every field goes through
// memcpy; integers are little-endian like the platforms we run on.
#ifndef JXENGINE_BLOCK_FIELDS_H_
#define JXENGINE_BLOCK_FIELDS_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace jx {

inline int16_t GetI16(const void* block, size_t offset) {
  int16_t v;
  std::memcpy(&v, static_cast<const char*>(block) + offset, sizeof v);
  return v;
}
inline void SetI16(void* block, size_t offset, int16_t v) {
  std::memcpy(static_cast<char*>(block) + offset, &v, sizeof v);
}
inline int32_t GetI32(const void* block, size_t offset) {
  int32_t v;
  std::memcpy(&v, static_cast<const char*>(block) + offset, sizeof v);
  return v;
}
inline void SetI32(void* block, size_t offset, int32_t v) {
  std::memcpy(static_cast<char*>(block) + offset, &v, sizeof v);
}
inline void* GetPtr(const void* block, size_t offset) {
  void* v;
  std::memcpy(&v, static_cast<const char*>(block) + offset, sizeof v);
  return v;
}
inline void SetPtr(void* block, size_t offset, const void* v) {
  std::memcpy(static_cast<char*>(block) + offset, &v, sizeof v);
}

// A zero-terminated text field of `width` bytes; a field without terminator
// yields its `width` bytes, so an unterminated name is read as too long.
inline std::string GetText(const void* block, size_t offset, size_t width) {
  const char* p = static_cast<const char*>(block) + offset;
  size_t n = 0;
  while (n < width && p[n] != '\0') ++n;
  return std::string(p, n);
}
// Writes text cut to width - 1 bytes and terminated, zero-filling the rest.
inline void SetText(void* block, size_t offset, size_t width, const std::string& text) {
  char* p = static_cast<char*>(block) + offset;
  size_t n = text.size() < width - 1 ? text.size() : width - 1;
  std::memset(p, 0, width);
  std::memcpy(p, text.data(), n);
}

// Big-endian integers: the byte order that makes LMDB's memcmp order equal
// to numeric order in our keys.
inline void PutBE32(std::string& out, uint32_t v) {
  char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  out.append(b, 4);
}
inline void WriteBE32(void* p, uint32_t v) {
  unsigned char* b = static_cast<unsigned char*>(p);
  b[0] = static_cast<unsigned char>(v >> 24);
  b[1] = static_cast<unsigned char>(v >> 16);
  b[2] = static_cast<unsigned char>(v >> 8);
  b[3] = static_cast<unsigned char>(v);
}
inline uint32_t ReadBE32(const void* p) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
}

}  // namespace jx

#endif  // JXENGINE_BLOCK_FIELDS_H_
