// type_letters.h - item types named by the letters of XZK_DECRITFICHIER.
//
// The SQL executor describes a CREATE TABLE column by one letter and a size;
// hosts use further letters for the item types SQL cannot declare (memos,
// unsigned integers, the decimal, other text forms, raw bytes). This maps a
// letter and declared size to the stored type code and item size.
#ifndef JXENGINE_TYPE_LETTERS_H_
#define JXENGINE_TYPE_LETTERS_H_

#include <cstdint>

namespace jx {

struct ItemType {
  uint16_t type = 0;
  uint16_t size = 0;
};

enum class LetterResult { kOk, kUnknownLetter, kBadSize };

// Resolves letter + declared size (sizes of fixed-width types are ignored).
LetterResult TypeFromLetter(char letter, int declaredSize, ItemType* out);

}  // namespace jx

#endif  // JXENGINE_TYPE_LETTERS_H_
