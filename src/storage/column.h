// Column: one item of a table's record — its storage type code, size and
// byte offset in the row — and the conversions between the stored bytes and
// the two value forms the rest of the library works with: a 64-bit real for
// numeric items and a zero-terminated text for everything else (raw items
// yield their bytes). It also gives the letter, host type number and width
// shown in the column description, and reads memos through the engine.
//
// A column belongs to its table's column array (or, for the dictionary's
// qualified columns, to the dictionary) and is deleted with it. Its value
// buffer holds the last extracted value until the next extraction.
#ifndef ZKSQL_STORAGE_COLUMN_H_
#define ZKSQL_STORAGE_COLUMN_H_

#include <cstddef>
#include <cstdint>

#include "base/base_object.h"
#include "base/dyn_string.h"

namespace zksql {

class Table;

// Storage type codes of items.
enum ItemType : uint16_t {
  kTypeRaw = 0,
  kTypeInt8 = 1,
  kTypeUInt8 = 2,
  kTypeInt16 = 3,
  kTypeUInt16 = 4,
  kTypeInt32 = 5,
  kTypeUInt32 = 6,
  kTypeFloat = 7,
  kTypeRaw8 = 8,
  kTypeReal = 9,
  kTypeDecimal = 10,
  kTypeRaw11 = 11,
  kTypeTextMemo = 12,
  kTypeFixedText = 13,
  kTypeCountedText = 14,
  kTypeText = 15,
  kTypeRaw16 = 16,
  kTypeRaw17 = 17,
  kTypeBinaryMemo = 22,
  kTypeDate = 98,
  kTypeTime = 99,
};

// Value kinds.
enum ValueKind : int16_t {
  kKindOther = 0,
  kKindNumber = 1,
  kKindText = 2,
  kKindDate = 3,
  kKindTime = 4,
};

// Key kind byte of a composite key, which has no value of its own.
constexpr uint8_t kCompositeKey = 0xFF;
// First byte of a memo marker: the statement's memo parameter n is written
// as this byte followed by the decimal number n.
constexpr char kMemoMarker = '\x7F';
// Longest memo text extracted as a value.
constexpr int32_t kMemoValueLimit = 4096;
// Longest text memo written with a record.
constexpr int32_t kMemoWriteLimit = 32000;

class Column : public BaseObject {
 public:
  Column(const char* name, uint16_t type, uint16_t size, uint8_t keyKind, uint16_t offset,
         Table* table, const char* tableName);
  ~Column() override;

  // Matches key.name case-insensitively when key.owner is null or this
  // column's table; with key.flag set, also "TABLE.ITEM" against the
  // table name and item name.
  int16_t Compare(const SearchKey& key) const override;

  int16_t Kind() const;
  char Letter() const;
  uint16_t HostType() const;
  uint16_t Width() const;
  uint16_t ValueBufferSize() const;
  // The value type of a constant made from this column's value.
  int16_t ValueType() const;

  // Extracts the value from `row` (a record image), or from the table's row
  // buffer when row is null, into the value buffer and returns it: a double
  // for numbers, a zero-terminated text otherwise, the bytes for raw items.
  // Null for a composite key or when the buffer cannot be allocated.
  void* GetValue(const unsigned char* row = nullptr);
  // Length in bytes of the last extracted value: 8 for a number, the text's
  // length + 1 for a text, the size for raw bytes.
  int32_t ValueLength() const;
  // Stores a value into the table's row buffer: source points to a double
  // for numeric kinds, to a text otherwise (raw items copy `size` bytes).
  void SetValue(const void* source);
  // Copies this column's bytes from `other`'s position in its table's row.
  void CopyValue(const Column& other);
  // Address of the item in the table's row buffer (null without one).
  unsigned char* FieldAddress() const;
  // Whether the column stores whole numbers (the signed and unsigned
  // integer types of 1, 2 and 4 bytes), which GetValue gives exactly.
  bool HoldsWholeNumbers() const;
  // For such a column, the integer of the table's current row into *out;
  // false (nothing read) for another type or without a row buffer.
  bool CurrentWholeNumber(int64_t* out) const;
  // The engine's memo block (a global memory handle the caller frees) for
  // the memo of the current row; null when there is none.
  void* MemoHandle() const;

  // Whether the statement being executed assigned this memo column, and
  // with what: a host memo number (>= 1) or, when 0, the memo copy.
  bool memoAssigned() const { return memoAssigned_; }
  int32_t hostMemoNumber() const { return hostMemoNumber_; }
  void ClearMemoAssignment() { memoAssigned_ = false; hostMemoNumber_ = 0; }
  const char* memoCopy() const { return memoCopy_; }

  const char* name() const { return name_.Get(); }
  uint16_t type() const { return type_; }
  uint16_t size() const { return size_; }
  uint8_t keyKind() const { return keyKind_; }
  uint16_t offset() const { return offset_; }
  const char* tableName() const { return tableName_; }
  Table* table() const { return table_; }
  bool IsComposite() const { return keyKind_ == kCompositeKey; }
  bool IsMemo() const { return type_ == kTypeTextMemo || type_ == kTypeBinaryMemo; }

 private:
  int32_t MemoReference(const unsigned char* item) const;
  int32_t EngineHandle() const;
  void ExtractTextMemo(const unsigned char* item, char* out);
  void ExtractBinaryMemo(const unsigned char* item, char* out);

  DynString name_;
  uint16_t type_;
  uint16_t size_;
  uint8_t keyKind_;
  uint16_t offset_;
  char tableName_[256];
  char* memoCopy_ = nullptr;
  Table* table_;
  unsigned char* value_ = nullptr;
  // The value of a number, date, time or short text is made here rather
  // than in a block of its own: every column of every statement makes one.
  static constexpr size_t kInlineValue = 32;
  unsigned char valueInline_[kInlineValue];
  int32_t valueLength_ = 0;
  bool memoAssigned_ = false;
  int32_t hostMemoNumber_ = 0;
};

}  // namespace zksql

#endif  // ZKSQL_STORAGE_COLUMN_H_
