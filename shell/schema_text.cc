// Statements are written from the storage type codes of the catalogue.
#include "schema_text.h"

#include "jxengine.h"

namespace zkshell {

using namespace zkhost;

namespace {

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
    case kDate: return "6-character date";
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
    case kDate: return item.size == kFullDateSize ? "DATE" : "";
    case kTime: return "TIME";
    default: return "";
  }
}

namespace {

bool HasMemoColumns(const FileInfo& file) {
  for (const ItemInfo& item : file.items) {
    if (!item.composite && IsMemoType(item.type)) return true;
  }
  return false;
}

// The type a column is made with: a memo only in a `.create` line, which
// memos make the form of the whole file. Empty when neither form makes it.
std::string ColumnType(const ItemInfo& item, bool memos) {
  if (memos && item.type == kTextMemo) return "MEMO";
  if (memos && item.type == kBinaryMemo) return "BINARY MEMO";
  return SqlTypeOf(item);
}

}  // namespace

std::vector<const ItemInfo*> MadeColumns(const FileInfo& file) {
  bool memos = HasMemoColumns(file);
  std::vector<const ItemInfo*> columns;
  for (const ItemInfo& item : file.items) {
    if (!item.composite && !ColumnType(item, memos).empty()) columns.push_back(&item);
  }
  return columns;
}

std::string SchemaText(const FileInfo& file) {
  bool memos = HasMemoColumns(file);
  std::string columns, notes, indexes;
  for (const ItemInfo& item : file.items) {
    std::string unique = item.keyKind == 1 ? "UNIQUE " : "";
    if (item.composite) {
      if (item.components.empty()) {
        notes += "-- " + file.name + "." + item.name + ": composite " +
                 (item.keyKind == 1 ? "unique " : "") + "key (its columns are not known)\n";
        continue;
      }
      std::string list;
      for (const std::string& c : item.components) list += (list.empty() ? "" : ", ") + c;
      indexes +=
          "CREATE " + unique + "INDEX " + item.name + " ON " + file.name + " (" + list + ");\n";
      continue;
    }
    std::string type = ColumnType(item, memos);
    if (type.empty()) {
      notes += "-- " + file.name + "." + item.name + ": " + EngineTypeName(item.type) + " of " +
               std::to_string(item.size) + " bytes, no SQL type\n";
      continue;
    }
    if (item.dimension > 1) {
      notes += "-- " + file.name + "." + item.name + ": " + std::to_string(item.dimension) +
               " elements, described as one\n";
    }
    if (!columns.empty()) columns += memos ? ", " : ",\n";
    columns += (memos ? "" : "  ") + item.name + " " + type;
    if (item.keyKind == 1 || item.keyKind == 2) {
      // The engine keeps no name for a single-column index: one is made up,
      // cut to the length a name may have.
      std::string index = (file.name + "_" + item.name).substr(0, JX_NAME_MAX_LENGTH);
      indexes +=
          "CREATE " + unique + "INDEX " + index + " ON " + file.name + " (" + item.name + ");\n";
    }
  }
  std::string out = notes;
  if (memos) {
    // A dot-command stands on one line.
    out += ".create " + file.name + " (" + columns + ")\n";
  } else {
    out += "CREATE TABLE " + file.name + " (\n" + columns + "\n);\n";
  }
  out += indexes;
  return out;
}

}  // namespace zkshell
