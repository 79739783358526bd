// Text routines. Bounds are checked before every write: callers hand in
// fixed buffers (lexer work buffers, 256-byte message buffers, value
// buffers) and rely on these routines never to pass them.
#include "values/text_utils.h"

#include <cstdlib>
#include <cstring>

#include "base/out_of_memory.h"

namespace zksql {
namespace {

// Does pattern[0..n) match text[0..n), "_" matching any one character?
bool MatchRun(const char* text, const char* pattern, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (pattern[i] != '_' && pattern[i] != text[i]) return false;
  }
  return true;
}

}  // namespace

int16_t Like(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return 0;
  size_t tn = strlen(text);
  size_t pn = strlen(pattern);
  bool leading = pn >= 1 && pattern[0] == '%';
  bool trailing = pn >= 2 && pattern[pn - 1] == '%';
  if (pn == 1 && leading) return 1;  // "%" alone
  if (leading && trailing) {
    size_t cn = pn - 2;
    if (cn > tn) return 0;
    for (size_t i = 0; i + cn <= tn; ++i) {
      if (MatchRun(text + i, pattern + 1, cn)) return 1;
    }
    return 0;
  }
  if (leading) {
    size_t rn = pn - 1;
    if (rn > tn) return 0;
    return MatchRun(text + tn - rn, pattern + 1, rn) ? 1 : 0;
  }
  if (pn >= 1 && pattern[pn - 1] == '%') {
    size_t rn = pn - 1;
    if (rn > tn) return 0;
    return MatchRun(text, pattern, rn) ? 1 : 0;
  }
  return tn == pn && MatchRun(text, pattern, pn) ? 1 : 0;
}

int32_t ReplaceAll(char* text, const char* find, const char* replacement, int32_t capacity) {
  return ReplaceAll(text, find, replacement, capacity, nullptr, nullptr, nullptr);
}

int32_t ReplaceAll(char* text, const char* find, const char* replacement, int32_t capacity,
                   CompareBytes compare, AcceptOccurrence accept, void* user) {
  if (text == nullptr || find == nullptr || replacement == nullptr || capacity < 1) return 0;
  size_t fn = strlen(find);
  if (fn == 0) return 0;
  if (compare == nullptr) compare = [](const char* a, const char* b, size_t n) {
      return memcmp(a, b, n);
    };
  size_t rn = strlen(replacement);
  size_t length = strlen(text);
  int32_t count = 0;
  size_t p = 0;
  while (length >= fn && p <= length - fn) {
    if (compare(text + p, find, fn) != 0 ||
        (accept != nullptr && !accept(user, text, static_cast<int32_t>(p)))) {
      ++p;
      continue;
    }
    size_t grown = length - fn + rn;
    if (grown >= static_cast<size_t>(capacity)) break;
    memmove(text + p + rn, text + p + fn, length - p - fn + 1);
    memcpy(text + p, replacement, rn);
    length = grown;
    ++count;
    p += rn;
  }
  return count;
}

int32_t FieldOf(int32_t n, const char* text, const char* separators, char* out, int32_t outSize,
                bool merge) {
  if (out != nullptr && outSize > 0) out[0] = '\0';
  if (text == nullptr || n < 1) return -1;
  if (separators == nullptr) separators = "";
  auto is_separator = [separators](char c) { return c != '\0' && strchr(separators, c) != nullptr; };
  const char* p = text;
  if (merge) {
    while (is_separator(*p)) ++p;
    // With merge a text of separators only has no field at all.
    if (*p == '\0' && p != text) return -1;
  }
  for (int32_t field = 1;; ++field) {
    const char* end = p;
    while (*end != '\0' && !is_separator(*end)) ++end;
    if (field == n) {
      size_t len = static_cast<size_t>(end - p);
      if (out == nullptr || outSize < 1) return static_cast<int32_t>(len);
      if (len > static_cast<size_t>(outSize - 1)) len = static_cast<size_t>(outSize - 1);
      memcpy(out, p, len);
      out[len] = '\0';
      return static_cast<int32_t>(len);
    }
    if (*end == '\0') return -1;
    p = end + 1;
    if (merge) {
      while (is_separator(*p)) ++p;
      if (*p == '\0') return -1;  // a trailing run opens no field
    }
  }
}

char* DuplicateText(const char* source, int32_t n) {
  if (source == nullptr) return nullptr;
  size_t len = strlen(source);
  if (n >= 1 && static_cast<size_t>(n) < len) len = static_cast<size_t>(n);
  char* copy = static_cast<char*>(malloc(len + 1));
  if (copy == nullptr) {
    NoteOutOfMemory();
    return nullptr;
  }
  memcpy(copy, source, len);
  copy[len] = '\0';
  return copy;
}

bool BoundedCopy(char* destination, const char* source, int32_t size) {
  if (destination == nullptr || size < 1) return false;
  if (source == nullptr) {
    destination[0] = '\0';
    return true;
  }
  size_t len = strnlen(source, static_cast<size_t>(size));
  bool fits = len < static_cast<size_t>(size);
  if (!fits) len = static_cast<size_t>(size - 1);
  memmove(destination, source, len);
  destination[len] = '\0';
  return fits;
}

void RemoveChar(char* text, char c) {
  if (text == nullptr) return;
  char* to = text;
  for (const char* from = text; *from != '\0'; ++from) {
    if (*from != c) *to++ = *from;
  }
  *to = '\0';
}

void HexInPlace(char* buffer, int32_t n) {
  if (buffer == nullptr || n < 0) return;
  static const char kDigits[] = "0123456789ABCDEF";
  // From the end backwards, so that no byte is overwritten before it is read.
  buffer[2 * n] = '\0';
  for (int32_t i = n - 1; i >= 0; --i) {
    unsigned char b = static_cast<unsigned char>(buffer[i]);
    buffer[2 * i + 1] = kDigits[b & 0x0F];
    buffer[2 * i] = kDigits[b >> 4];
  }
}

void TrimRight(char* text) {
  if (text == nullptr) return;
  size_t n = strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
}

void UpperCase(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}

int CompareNoCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a);
    unsigned char y = static_cast<unsigned char>(*b);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

}  // namespace zksql
