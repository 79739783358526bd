// The CREATE TABLE and CREATE INDEX statements that would make a file, from
// what the engine's catalogue says of it. `.schema` prints them, and run on
// an empty database they make the same dictionary again. A file with memo
// columns, which CREATE TABLE cannot make, is written as the shell's
// `.create` command instead.
#ifndef ZKSHELL_SCHEMA_TEXT_H
#define ZKSHELL_SCHEMA_TEXT_H

#include <string>
#include <vector>

namespace zkshell {

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

// The column type of an item in the SQL dialect ("INTEGER", "CHAR(20)"...);
// empty when the dialect has no type for it (memos, unsigned and raw items,
// decimals, 6-character dates), which the shell then names in a comment.
std::string SqlTypeOf(const ItemInfo& item);

// True for the two memo types (text 12, binary 22).
bool IsMemoType(int type);

// True for the numeric storage types, whose values go out unquoted.
bool IsNumericType(int type);

// The statements of one file, each ending with ";\n" (a `.create` line
// with "\n"). Single-column keys become indexes named FILE_COLUMN,
// composite keys indexes of their own name over their columns. Items that
// neither form can make are described in "--" comments, as is a composite
// key whose columns are not known.
std::string SchemaText(const FileInfo& file);

}  // namespace zkshell

#endif
