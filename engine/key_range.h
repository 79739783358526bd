// key_range.h - the value range of an installed filter, in key form.
//
// XZK_FILTRE gives bounds as int32, real or text whatever the key's own
// type, and they must compare with keys by value. Numeric bounds become the
// same 8-byte real form numeric keys have, so an int bound 5 on a real key
// is 5.0 and a real bound 2.5 on an int key lets 3 in and keeps 2 out. Text
// bounds compare byte-wise with the extracted text of text, date and time
// keys; a high text ending with 0xAD is a prefix bound ("begins with the
// bytes before it, or sorts below them") so that accented letters after the
// prefix stay inside. A bound the key cannot be compared with yields no
// range at all: the browse is then unfiltered, never narrower.
#ifndef JXENGINE_KEY_RANGE_H_
#define JXENGINE_KEY_RANGE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "dictionary.h"

namespace jx {

class KeyRange {
 public:
  // Builds the range of key item `key`; false when the bounds cannot be
  // compared with it (other class of value, composite or dimensioned key).
  static bool Make(const Item& key, const void* low, const void* high, int16_t size,
                   uint8_t typeCode, KeyRange* out);

  // The key form to position on: every key in range sorts at or after it.
  const std::string& Start() const { return low_; }
  // True when a key (its form, without index prefix and record number)
  // lies above the high bound. Ranges are closed downward in key order, so
  // the first key above ends the browse.
  bool AboveHigh(const unsigned char* form, size_t length) const;

  std::string column;  // key item name, upper case
  uint32_t indexId = 0;

 private:
  bool numeric_ = true;
  bool prefixHigh_ = false;
  std::string low_;
  std::string high_;
};

}  // namespace jx

#endif  // JXENGINE_KEY_RANGE_H_
