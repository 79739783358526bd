// Column: value extraction and storage by item type.
//
// Every read and write of an item is bounded by the item's size and by the
// row it lives in, whatever the value handed in: a text longer than its
// item is cut, a record shorter than the row leaves the rest untouched, and
// an item that does not lie inside the row is neither read nor written.
#include "storage/column.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/statement_context.h"
#include "base/out_of_memory.h"
#include "storage/block_field.h"
#include "storage/engine.h"
#include "storage/table.h"
#include "values/text_utils.h"
#include "values/value_converter.h"

namespace zksql {
namespace {

// A real truncated toward zero, held within 64 bits (NaN reads as 0), so
// that storing it into an integer item keeps its low bytes without
// undefined behaviour.
int64_t Truncated(double real) {
  if (std::isnan(real)) return 0;
  if (real >= 9223372036854775807.0) return INT64_MAX;
  if (real <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(real);
}

template <class T>
T Load(const unsigned char* at) {
  return ReadField<T>(at, 0);
}

template <class T>
void Store(unsigned char* at, T v) {
  WriteField<T>(at, 0, v);
}

// The smallest memo block that holds both header fields.
constexpr int kMemoMinimumHeader = JX_MEMO_DATA_LENGTH + 4;

}  // namespace

Column::Column(const char* name, uint16_t type, uint16_t size, uint8_t keyKind, uint16_t offset,
               Table* table, const char* tableName)
    : type_(type), size_(size), keyKind_(keyKind), offset_(offset), table_(table) {
  name_.Assign(name);
  // A longer table name is cut to the field.
  (void)BoundedCopy(tableName_, tableName != nullptr ? tableName : "", sizeof tableName_);
}

Column::~Column() {
  if (value_ != valueInline_) free(value_);
  free(memoCopy_);
}

int16_t Column::Compare(const SearchKey& key) const {
  if (key.name == nullptr) return 1;
  if (CompareNoCase(key.name, name_.Get()) == 0 &&
      (key.owner == nullptr || key.owner == static_cast<const void*>(table_))) {
    return 0;
  }
  if (!key.flag) return 1;
  char tablePart[256];
  char itemPart[128];
  if (FieldOf(1, key.name, ".", tablePart, sizeof tablePart, true) <= 0) return 1;
  if (FieldOf(2, key.name, ".", itemPart, sizeof itemPart, true) <= 0) return 1;
  return CompareNoCase(tablePart, tableName_) == 0 && CompareNoCase(itemPart, name_.Get()) == 0
             ? 0
             : 1;
}

int16_t Column::Kind() const {
  switch (type_) {
    case kTypeRaw: case kTypeRaw8: case kTypeRaw11: case kTypeRaw16: case kTypeRaw17:
      return kKindOther;
    case kTypeInt8: case kTypeUInt8: case kTypeInt16: case kTypeUInt16: case kTypeInt32:
    case kTypeUInt32: case kTypeFloat: case kTypeReal: case kTypeDecimal:
      return kKindNumber;
    case kTypeTextMemo: case kTypeFixedText: case kTypeCountedText: case kTypeText:
    case kTypeBinaryMemo:
      return kKindText;
    case kTypeDate:
      return kKindDate;
    case kTypeTime:
      return kKindTime;
    default:
      return kKindOther;
  }
}

char Column::Letter() const {
  int16_t kind = Kind();
  return kind == kKindOther || kind == kKindNumber ? 'N' : 'T';
}

uint16_t Column::HostType() const {
  switch (type_) {
    case kTypeInt8: return 2;
    case kTypeUInt8: case kTypeInt16: case kTypeUInt16: return 12;
    case kTypeInt32: case kTypeUInt32: return 3;
    case kTypeFloat: return 15;
    case kTypeReal: return 14;
    case kTypeDecimal: return 16;
    case kTypeTextMemo: case kTypeFixedText: case kTypeCountedText: case kTypeText: return 9;
    case kTypeDate: return 17;
    case kTypeTime: return 18;
    default: return 0;
  }
}

uint16_t Column::Width() const {
  switch (type_) {
    case kTypeRaw: case kTypeRaw8: case kTypeRaw11: case kTypeRaw16: case kTypeRaw17:
    case kTypeTextMemo: case kTypeFixedText: case kTypeBinaryMemo:
      return size_;
    case kTypeInt8: case kTypeUInt8: return 1;
    case kTypeInt16: case kTypeUInt16: return 2;
    case kTypeInt32: case kTypeUInt32: case kTypeFloat: return 4;
    case kTypeReal: return 8;
    case kTypeDecimal: return 10;
    case kTypeCountedText: case kTypeText: case kTypeDate:
      return size_ > 0 ? static_cast<uint16_t>(size_ - 1) : 0;
    case kTypeTime: return 4;
    default: return 0;
  }
}

uint16_t Column::ValueBufferSize() const {
  switch (type_) {
    case kTypeRaw: case kTypeRaw8: case kTypeRaw11: case kTypeRaw16: case kTypeRaw17:
    case kTypeCountedText: case kTypeText:
      return size_;
    case kTypeInt8: case kTypeUInt8: case kTypeInt16: case kTypeUInt16: case kTypeInt32:
    case kTypeUInt32: case kTypeFloat: case kTypeReal: case kTypeDecimal:
      return 8;
    case kTypeTextMemo: case kTypeBinaryMemo: return kMemoValueLimit + 1;
    case kTypeFixedText: return static_cast<uint16_t>(size_ + 1);
    case kTypeDate: return 9;
    case kTypeTime: return 5;
    default: return 0;
  }
}

int16_t Column::ValueType() const {
  switch (Kind()) {
    case kKindNumber: return 7;
    case kKindText: return 8;
    case kKindDate: return 9;
    case kKindTime: return 10;
    default: return 12;
  }
}

unsigned char* Column::FieldAddress() const {
  if (table_ == nullptr || table_->rowBuffer() == nullptr) return nullptr;
  if (static_cast<uint32_t>(offset_) + size_ > table_->rowSize()) return nullptr;
  return table_->rowBuffer() + offset_;
}

bool Column::HoldsWholeNumbers() const {
  switch (type_) {
    case kTypeInt8: case kTypeUInt8: return size_ >= 1;
    case kTypeInt16: case kTypeUInt16: return size_ >= 2;
    case kTypeInt32: case kTypeUInt32: return size_ >= 4;
    default: return false;
  }
}

bool Column::CurrentWholeNumber(int64_t* out) const {
  if (!HoldsWholeNumbers()) return false;
  const unsigned char* item = FieldAddress();
  if (item == nullptr) return false;
  switch (type_) {
    case kTypeInt8: *out = Load<int8_t>(item); break;
    case kTypeUInt8: *out = Load<uint8_t>(item); break;
    case kTypeInt16: *out = Load<int16_t>(item); break;
    case kTypeUInt16: *out = Load<uint16_t>(item); break;
    case kTypeInt32: *out = Load<int32_t>(item); break;
    default: *out = Load<uint32_t>(item); break;
  }
  return true;
}

int32_t Column::EngineHandle() const {
  return table_ != nullptr && table_->request() != nullptr ? table_->request()->engineHandle : 0;
}

int32_t Column::MemoReference(const unsigned char* item) const {
  return size_ >= 4 ? Load<int32_t>(item) : 0;
}

void Column::ExtractTextMemo(const unsigned char* item, char* out) {
  out[0] = '\0';
  int32_t reference = MemoReference(item);
  const EngineEntryPoints* engine = BoundEngine();
  if (reference == 0 || engine == nullptr) return;
  void* memo = nullptr;
  if (engine->getMemo(EngineHandle(), tableName_, reference, JX_MEMO_TEXT, &memo) != 0 ||
      memo == nullptr) {
    return;
  }
  const unsigned char* text = static_cast<const unsigned char*>(memo);
  int32_t length = Load<int16_t>(text);
  if (length < 0) length = 0;
  if (length > kMemoValueLimit) length = kMemoValueLimit;
  memcpy(out, text + 2, static_cast<size_t>(length));
  out[length] = '\0';
}

void Column::ExtractBinaryMemo(const unsigned char* item, char* out) {
  out[0] = '\0';
  int32_t reference = MemoReference(item);
  const EngineEntryPoints* engine = BoundEngine();
  if (reference == 0 || engine == nullptr) return;
  void* handle = nullptr;
  if (engine->getMemo(EngineHandle(), tableName_, reference, JX_MEMO_BLOCK, &handle) != 0 ||
      handle == nullptr) {
    return;
  }
  size_t blockSize = GlobalSize(handle);
  const unsigned char* block = static_cast<const unsigned char*>(GlobalLock(handle));
  if (block != nullptr && blockSize >= kMemoMinimumHeader) {
    int32_t header = Load<int16_t>(block + JX_MEMO_HEADER_SIZE);
    int32_t length = Load<int32_t>(block + JX_MEMO_DATA_LENGTH);
    // Only what the block really holds is read.
    if (header >= 0 && static_cast<size_t>(header) <= blockSize && length > 0) {
      size_t available = blockSize - static_cast<size_t>(header);
      size_t n = static_cast<size_t>(length) < available ? static_cast<size_t>(length) : available;
      if (n > static_cast<size_t>(kMemoValueLimit)) n = kMemoValueLimit;
      memcpy(out, block + header, n);
      // The text shows the first half of the bytes read, two digits each,
      // so that it never passes the digits a value may hold.
      HexInPlace(out, static_cast<int32_t>(n / 2));
    }
  }
  if (block != nullptr) GlobalUnlock(handle);
  // The block was made for this read: it is ours to release.
  GlobalFree(handle);
}

void* Column::GetValue(const unsigned char* row) {
  if (IsComposite()) return nullptr;
  if (value_ == nullptr) {
    size_t n = Width() > ValueBufferSize() ? Width() : ValueBufferSize();
    if (n <= 65500) n += 16;
    if (n <= kInlineValue) {
      memset(valueInline_, 0, sizeof valueInline_);
      value_ = valueInline_;
    } else {
      value_ = static_cast<unsigned char*>(calloc(1, n));
      if (value_ == nullptr) {
        NoteOutOfMemory();
        return nullptr;
      }
    }
  }
  const unsigned char* item = nullptr;
  if (row != nullptr) {
    item = row + offset_;
  } else {
    item = FieldAddress();
  }
  char* text = reinterpret_cast<char*>(value_);
  valueLength_ = 0;
  if (item == nullptr) {
    // No row to read: an empty value of the column's kind.
    memset(value_, 0, 8);
    valueLength_ = Kind() == kKindNumber ? 8 : 1;
    return value_;
  }
  double real = 0;
  switch (type_) {
    case kTypeInt8: real = Load<int8_t>(item); break;
    case kTypeUInt8: real = Load<uint8_t>(item); break;
    case kTypeInt16: real = Load<int16_t>(item); break;
    case kTypeUInt16: real = Load<uint16_t>(item); break;
    case kTypeInt32: real = Load<int32_t>(item); break;
    case kTypeUInt32: real = Load<uint32_t>(item); break;
    case kTypeFloat: {
      // The real carries exactly the digits a 7-digit display shows, so
      // that 0.1 stored as a float compares equal to 0.1.
      char digits[64];
      Converter().NumberText(Load<float>(item), 7, digits, sizeof digits);
      real = Converter().ParseNumber(digits);
      break;
    }
    case kTypeReal: real = Load<double>(item); break;
    case kTypeDecimal: real = Converter().DecimalToReal(item); break;
    case kTypeTextMemo: ExtractTextMemo(item, text); break;
    case kTypeFixedText:
      memcpy(text, item, size_);
      text[size_] = '\0';
      break;
    case kTypeCountedText: {
      size_t n = size_ > 0 ? item[0] : 0;
      if (n > static_cast<size_t>(size_ > 0 ? size_ - 1 : 0)) n = size_ > 0 ? size_ - 1 : 0;
      memcpy(text, item + 1, n);
      text[n] = '\0';
      break;
    }
    case kTypeText: {
      size_t n = size_ > 0 ? strnlen(reinterpret_cast<const char*>(item), size_ - 1) : 0;
      memcpy(text, item, n);
      text[n] = '\0';
      break;
    }
    case kTypeBinaryMemo: ExtractBinaryMemo(item, text); break;
    case kTypeDate: {
      size_t stored = size_ > 0 ? strnlen(reinterpret_cast<const char*>(item), size_ - 1) : 0;
      if (stored == 6) {
        memcpy(text, "19", 2);
        memcpy(text + 2, item, 6);
        text[8] = '\0';
      } else {
        if (stored > 8) stored = 8;
        memcpy(text, item, stored);
        text[stored] = '\0';
      }
      break;
    }
    case kTypeTime: {
      size_t n = size_ < 4 ? size_ : 4;
      memcpy(text, item, n);
      text[n] = '\0';
      break;
    }
    case kTypeRaw: case kTypeRaw8: case kTypeRaw11: case kTypeRaw16: case kTypeRaw17:
      memcpy(value_, item, size_);
      valueLength_ = size_;
      return value_;
    default:
      value_[0] = 0;
      valueLength_ = 0;
      return value_;
  }
  if (Kind() == kKindNumber) {
    memcpy(value_, &real, sizeof real);
    valueLength_ = 8;
    return value_;
  }
  if (type_ == kTypeTextMemo || type_ == kTypeFixedText || type_ == kTypeCountedText ||
      type_ == kTypeText || type_ == kTypeBinaryMemo) {
    TrimRight(text);
  }
  valueLength_ = static_cast<int32_t>(strlen(text)) + 1;
  return value_;
}

int32_t Column::ValueLength() const { return valueLength_; }

void Column::SetValue(const void* source) {
  if (IsComposite() || source == nullptr) return;
  unsigned char* item = FieldAddress();
  if (item == nullptr) return;
  const char* text = static_cast<const char*>(source);
  if (type_ >= kTypeTextMemo && type_ <= kTypeText) memset(item, ' ', size_);

  if (Kind() == kKindNumber) {
    double real;
    memcpy(&real, source, sizeof real);
    int64_t whole = Truncated(real);
    switch (type_) {
      case kTypeInt8: case kTypeUInt8:
        item[0] = static_cast<unsigned char>(static_cast<uint64_t>(whole));
        break;
      case kTypeInt16: case kTypeUInt16:
        Store<uint16_t>(item, static_cast<uint16_t>(static_cast<uint64_t>(whole)));
        break;
      case kTypeInt32: case kTypeUInt32:
        Store<uint32_t>(item, static_cast<uint32_t>(static_cast<uint64_t>(whole)));
        break;
      case kTypeFloat: {
        // Beyond the float range the value is an infinity, never a cast
        // whose result is undefined.
        float f;
        if (std::isnan(real)) f = NAN;
        else if (real > FLT_MAX) f = INFINITY;
        else if (real < -FLT_MAX) f = -INFINITY;
        else f = static_cast<float>(real);
        Store<float>(item, f);
        break;
      }
      case kTypeReal: Store<double>(item, real); break;
      // A real the decimal cannot hold stores as zero.
      case kTypeDecimal: (void)Converter().RealToDecimal(real, item); break;
      default: break;
    }
    return;
  }

  size_t length = strlen(text);
  switch (type_) {
    case kTypeTextMemo:
    case kTypeBinaryMemo: {
      free(memoCopy_);
      memoCopy_ = nullptr;
      if (size_ >= 4) Store<int32_t>(item, 0);
      memoAssigned_ = true;
      hostMemoNumber_ = 0;
      if (text[0] == kMemoMarker) {
        // A memo marker names the statement's memo parameter n.
        int64_t n = 0;
        for (const char* p = text + 1; *p >= '0' && *p <= '9' && n <= INT32_MAX; ++p) {
          n = n * 10 + (*p - '0');
        }
        hostMemoNumber_ = n > INT32_MAX ? 0 : static_cast<int32_t>(n);
        if (size_ >= 4) Store<int32_t>(item, hostMemoNumber_);
      } else {
        memoCopy_ = DuplicateText(text);
      }
      break;
    }
    case kTypeFixedText:
    case kTypeTime:
      memcpy(item, text, length < size_ ? length : size_);
      break;
    case kTypeCountedText: {
      if (size_ == 0) break;
      size_t room = size_ - 1u;
      item[0] = static_cast<unsigned char>(room > 255 ? 255 : room);
      memcpy(item + 1, text, length < room ? length : room);
      break;
    }
    case kTypeText: {
      if (size_ == 0) break;
      size_t room = size_ - 1u;
      memcpy(item, text, length < room ? length : room);
      item[size_ - 1] = '\0';
      break;
    }
    case kTypeDate: {
      if (size_ == 0) break;
      size_t room = size_ - 1u;
      // A six-character item drops the century of an eight-character
      // date; a date already written with six characters is kept whole.
      const char* from = room == 6 && length == 8 ? text + 2 : text;
      size_t n = strlen(from);
      memset(item, 0, size_);
      memcpy(item, from, n < room ? n : room);
      break;
    }
    case kTypeRaw: case kTypeRaw8: case kTypeRaw11: case kTypeRaw16: case kTypeRaw17:
      memcpy(item, source, size_);
      break;
    default:
      break;
  }
}

void Column::CopyValue(const Column& other) {
  if (other.IsComposite()) return;
  unsigned char* to = FieldAddress();
  const unsigned char* from = other.FieldAddress();
  if (to == nullptr || from == nullptr) return;
  size_t n = size_ < other.size_ ? size_ : other.size_;
  memmove(to, from, n);
  if (n < size_) memset(to + n, 0, size_ - n);
}

void* Column::MemoHandle() const {
  if (!IsMemo()) return nullptr;
  const unsigned char* item = FieldAddress();
  const EngineEntryPoints* engine = BoundEngine();
  if (item == nullptr || engine == nullptr) return nullptr;
  int32_t reference = MemoReference(item);
  if (reference == 0) return nullptr;
  void* handle = nullptr;
  if (engine->getMemo(EngineHandle(), tableName_, reference, JX_MEMO_BLOCK, &handle) != 0) {
    return nullptr;
  }
  return handle;
}

}  // namespace zksql
