// key_codec.h - keys in an order-preserving byte form.
//
// LMDB orders keys with memcmp, and the SQL library compares key values the
// way it extracts them: numbers by value as 64-bit reals, texts as unsigned
// bytes up to their first zero without trailing blanks, 6-character dates as
// 19yymmdd, 32-bit floats as the real of their 7-significant-digit display.
// So every numeric element is encoded as its real in the IEEE order
// transform (8 bytes, whatever the stored width: an int key and a real bound
// then compare by value), every text element as its extracted bytes and a
// 0x00 terminator (texts hold no zero, so "AB" < "ABC" and the code is
// prefix-free), and raw bytes as they are (fixed width). Composite keys and
// dimensioned items are the concatenation of their elements' forms.
#ifndef JXENGINE_KEY_CODEC_H_
#define JXENGINE_KEY_CODEC_H_

#include <cstdint>
#include <string>

#include "dictionary.h"

namespace jx {

enum class KeyClass { kNumeric, kText, kRaw, kNone };

KeyClass ClassOfType(uint16_t type);

// The value the SQL library extracts from one numeric element.
double NumericValue(uint16_t type, const unsigned char* element);
// The text the SQL library extracts from one text, date or time element.
std::string TextValue(uint16_t type, uint16_t size, const unsigned char* element);

// Appends the 8-byte order-preserving form of a real.
void AppendOrderedReal(std::string& out, double value);

// Appends the encoded key of `item` (composite or not) for record image
// `record` of `file`. The record must be file.recordSize bytes long.
void EncodeKey(const FileDef& file, const Item& item, const unsigned char* record,
               std::string& out);

// The largest encoded form `item` can take; keys over JX_KEY_MAX_ENCODED
// are refused at creation so that every index key fits LMDB's key limit.
size_t MaxEncodedLength(const FileDef& file, const Item& item);
// Raw bytes of the key item (summed over components), for the 255 limit.
size_t KeyBytes(const FileDef& file, const Item& item);

}  // namespace jx

#endif  // JXENGINE_KEY_CODEC_H_
