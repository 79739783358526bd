// names.h - file and item names as the dictionary keeps them.
//
// Names are at most JX_NAME_MAX_LENGTH characters, compared case-insensitively and stored
// upper-case. Texts are Windows-1252: the accented lower-case letters of the
// upper half (0xE0-0xFE, but not the division sign 0xF7) have upper-case
// forms 0x20 below them, so "été" and "ÉTÉ" name the same file.
#ifndef JXENGINE_NAMES_H_
#define JXENGINE_NAMES_H_

#include <cstring>
#include <string>

#include "jxengine.h"

namespace jx {

constexpr size_t kMaxNameLength = JX_NAME_MAX_LENGTH;

inline std::string UpperName(const std::string& name) {
  std::string out(name);
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) c = char(u - 0x20);
  }
  return out;
}

// Names may hold any bytes but must not be empty, too long, or blank.
inline bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  return name.find_first_not_of(' ') != std::string::npos;
}

// Trailing blanks carry no meaning in a name (the SQL library strips them).
inline std::string TrimName(const std::string& name) {
  size_t end = name.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

// A name argument of an entry point: its length once trimmed (of its first
// bytes, up to one more than a name may have), or 0 when it names nothing
// (null, empty, blank or too long). The same test as ValidName(TrimName()),
// without building a string on every call.
inline size_t NameLength(const char* name) {
  if (!name) return 0;
  size_t n = strnlen(name, kMaxNameLength + 2);
  while (n > 0 && name[n - 1] == ' ') --n;
  return n <= kMaxNameLength ? n : 0;
}

}  // namespace jx

#endif  // JXENGINE_NAMES_H_
