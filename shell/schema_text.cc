// Storage type codes, as jxengine.h lists them with their letters.
#include "schema_text.h"

namespace zkshell {
namespace {

constexpr int kInt8 = 1, kUInt8 = 2, kInt16 = 3, kUInt16 = 4, kInt32 = 5, kUInt32 = 6,
              kFloat = 7, kReal = 9, kDecimal = 10, kTextMemo = 12, kFixedText = 13,
              kCountedText = 14, kText = 15, kBinaryMemo = 22, kDate = 98, kTime = 99;

const char* EngineTypeName(int type) {
  switch (type) {
    case kUInt8: return "unsigned 8-bit integer";
    case kUInt16: return "unsigned 16-bit integer";
    case kUInt32: return "unsigned 32-bit integer";
    case kDecimal: return "decimal";
    case kTextMemo: return "text memo";
    case kBinaryMemo: return "binary memo";
    case kFixedText: return "fixed text";
    case kCountedText: return "counted text";
    default: return "raw bytes";
  }
}

}  // namespace

std::string SqlTypeOf(const ItemInfo& item) {
  switch (item.type) {
    case kInt8: return "TINYINT";
    case kInt16: return "SMALLINT";
    case kInt32: return "INTEGER";
    case kFloat: return "REAL";
    case kReal: return "DOUBLE PRECISION";
    case kText: return "CHAR(" + std::to_string(item.size > 1 ? item.size - 1 : 1) + ")";
    case kDate: return "DATE";
    case kTime: return "TIME";
    default: return "";
  }
}

bool IsNumericType(int type) {
  switch (type) {
    case kInt8: case kUInt8: case kInt16: case kUInt16: case kInt32: case kUInt32:
    case kFloat: case kReal: case kDecimal:
      return true;
    default:
      return false;
  }
}

std::string SchemaText(const FileInfo& file) {
  std::string columns, notes, indexes;
  for (const ItemInfo& item : file.items) {
    if (item.composite) {
      notes += "-- " + file.name + "." + item.name + ": composite " +
               (item.keyKind == 1 ? "unique " : "") + "key (its columns are not listed)\n";
      continue;
    }
    std::string type = SqlTypeOf(item);
    if (type.empty()) {
      notes += "-- " + file.name + "." + item.name + ": " + EngineTypeName(item.type) + " of " +
               std::to_string(item.size) + " bytes, no SQL type\n";
      continue;
    }
    if (item.dimension > 1) {
      notes += "-- " + file.name + "." + item.name + ": " + std::to_string(item.dimension) +
               " elements, described as one\n";
    }
    if (!columns.empty()) columns += ",\n";
    columns += "  " + item.name + " " + type;
    if (item.keyKind == 1 || item.keyKind == 2) {
      // The engine keeps no name for a single-column index: one is made up,
      // cut to the 30 characters a name may have.
      std::string index = (file.name + "_" + item.name).substr(0, 30);
      indexes += std::string("CREATE ") + (item.keyKind == 1 ? "UNIQUE " : "") + "INDEX " +
                 index + " ON " + file.name + " (" + item.name + ");\n";
    }
  }
  std::string out = notes;
  out += "CREATE TABLE " + file.name + " (\n" + columns + "\n);\n";
  out += indexes;
  return out;
}

}  // namespace zkshell
