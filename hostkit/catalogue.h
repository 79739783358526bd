// The engine's catalogue as hosts read it: the names of a database's files
// and, for one file, its items (columns and keys) with their storage types,
// sizes and key kinds. The shell writes them back as statements (.schema);
// the ODBC driver serves them as catalogue result sets.
#ifndef ZKHOST_CATALOGUE_H
#define ZKHOST_CATALOGUE_H

#include <stdint.h>

#include <string>
#include <vector>

namespace zkhost {

// Storage type codes of the engine's items, as jxengine.h lists them with
// their letters.
enum ItemType {
  kInt8 = 1, kUInt8 = 2, kInt16 = 3, kUInt16 = 4, kInt32 = 5, kUInt32 = 6,
  kFloat = 7, kReal = 9, kDecimal = 10, kTextMemo = 12, kFixedText = 13,
  kCountedText = 14, kText = 15, kBinaryMemo = 22, kDate = 98, kTime = 99
};

// A full date item: eight characters and their terminator (a shorter one
// holds six-character dates).
constexpr int kFullDateSize = 9;

// One item of a file, as XZK_GETINFOSJXD describes it.
struct ItemInfo {
  std::string name;
  int type = 0;       // the engine's storage type code
  int size = 0;       // bytes per element
  int dimension = 1;
  int keyKind = 0;    // 0 none, 1 unique, 2 duplicates
  bool composite = false;
  std::vector<std::string> components;  // a composite key's columns, in order
};

struct FileInfo {
  std::string name;
  std::vector<ItemInfo> items;
};

// True for the two memo types (text 12, binary 22).
inline bool IsMemoType(int type) {
  return type == kTextMemo || type == kBinaryMemo;
}

// True for the numeric storage types, whose values go out unquoted.
inline bool IsNumericType(int type) {
  switch (type) {
    case kInt8: case kUInt8: case kInt16: case kUInt16: case kInt32: case kUInt32:
    case kFloat: case kReal: case kDecimal:
      return true;
    default:
      return false;
  }
}

// The file names of the database open on handle, in name order; empty when
// the engine cannot be bound or the handle is not open.
std::vector<std::string> FileNames(int32_t handle);

// A file's items; false when the engine knows no such file. Names are
// Windows-1252, as the engine keeps them.
bool DescribeFile(int32_t handle, const std::string& name, FileInfo* file);

}  // namespace zkhost

#endif
