// DynString: a heap copy of a zero-terminated text.
//
// `text` is null until set. With the kEmptyIfNull flag, readers (Get) see
// a null text as "". Allocation failures leave the previous text in place
// and are reported by a false result.
#ifndef ZKSQL_BASE_DYN_STRING_H_
#define ZKSQL_BASE_DYN_STRING_H_

#include <cstddef>
#include <cstdint>

namespace zksql {

class DynString {
 public:
  static constexpr uint16_t kEmptyIfNull = 1;

  explicit DynString(uint16_t flags = 0) : flags_(flags) { inline_[0] = '\0'; }
  ~DynString() { Free(); }
  DynString(const DynString&) = delete;
  DynString& operator=(const DynString&) = delete;

  // The text: null while never set, unless kEmptyIfNull makes it "".
  const char* Get() const { return text_ == nullptr && (flags_ & kEmptyIfNull) ? "" : text_; }
  char* Data() { return text_; }
  bool IsNull() const { return text_ == nullptr; }
  uint16_t flags() const { return flags_; }
  void set_flags(uint16_t flags) { flags_ = flags; }

  // Releases the text; it reads as null again.
  void Free();
  // Stores a copy of source; a null source changes nothing.
  bool Assign(const char* source);
  // Like Assign, but a null source leaves the string null.
  bool Set(const char* source);
  // Appends source (and "\r\n" after it when withLineBreak is set); a null
  // source changes nothing, an empty one makes a null text "". The block
  // grows by doubling, so that a text built by many appends (a list of
  // names) is not copied at each one.
  bool Append(const char* source, bool withLineBreak = false);
  // Makes the text a block of n + 1 bytes, keeping what fits (zero-filled
  // when new).
  bool Reserve(int32_t n);

  // Texts this long (with their terminator) live in the object itself:
  // the names and keys a statement sets by the dozen cost no allocation.
  static constexpr uint32_t kInlineSize = 16;

 private:
  bool OnHeap() const { return text_ != nullptr && text_ != inline_; }
  // Makes the text a heap block of size bytes holding the current text
  // (`keep` bytes of it); false when memory is short.
  bool MoveToHeap(size_t size, size_t keep);

  char* text_ = nullptr;
  uint32_t capacity_ = 0;  // bytes of the block text_ points to
  uint16_t flags_ = 0;
  char inline_[kInlineSize];
};

}  // namespace zksql

#endif  // ZKSQL_BASE_DYN_STRING_H_
