// type_letters.cc - the letter table documented in jxengine.h.
#include "type_letters.h"

#include <cctype>

namespace jx {
namespace {

struct Letter {
  char letter;
  uint16_t type;
  int16_t size;  // fixed size, or -1: declared length, -2: declared length + 1
};

constexpr int kDeclared = -1;
constexpr int kDeclaredPlusOne = -2;

constexpr Letter kLetters[] = {
    {'A', 98, 9},  {'L', 5, 4},   {'H', 99, 4},  {'E', 3, 2},
    {'S', 7, 4},   {'D', 9, 8},   {'T', 15, kDeclaredPlusOne},
    {'C', 1, 1},   {'B', 2, 1},   {'W', 4, 2},   {'U', 6, 4},
    {'N', 10, 10}, {'M', 12, 4},  {'G', 22, 4},  {'F', 13, kDeclared},
    {'P', 14, kDeclaredPlusOne},  {'R', 0, kDeclared}, {'Q', 8, kDeclared},
    {'V', 11, kDeclared},         {'Y', 16, kDeclared}, {'Z', 17, kDeclared},
};

// The largest item a record can hold after its reserved byte.
constexpr int kMaxItemSize = 32766;

}  // namespace

LetterResult TypeFromLetter(char letter, int declaredSize, ItemType* out) {
  char upper = char(std::toupper(static_cast<unsigned char>(letter)));
  for (const Letter& l : kLetters) {
    if (l.letter != upper) continue;
    out->type = l.type;
    if (l.size > 0) {
      // A date declared with 6 characters keeps the century-less form.
      out->size = (l.type == 98 && declaredSize == 6) ? 7 : uint16_t(l.size);
      return LetterResult::kOk;
    }
    int size = l.size == kDeclared ? declaredSize : declaredSize + 1;
    if (declaredSize < 1 || size > kMaxItemSize) return LetterResult::kBadSize;
    out->size = uint16_t(size);
    return LetterResult::kOk;
  }
  return LetterResult::kUnknownLetter;
}

}  // namespace jx
