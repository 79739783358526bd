// The CREATE TABLE and CREATE INDEX statements that would make a file, from
// what the engine's catalogue says of it. `.schema` prints them, and run on
// an empty database they make the same dictionary again. A file with memo
// columns, which CREATE TABLE cannot make, is written as the shell's
// `.create` command instead.
#ifndef ZKSHELL_SCHEMA_TEXT_H
#define ZKSHELL_SCHEMA_TEXT_H

#include <string>
#include <vector>

#include "catalogue.h"

namespace zkshell {

using zkhost::FileInfo;
using zkhost::ItemInfo;

// The column type of an item in the SQL dialect ("INTEGER", "CHAR(20)"...);
// empty when the dialect has no type for it (memos, unsigned and raw items,
// decimals, 6-character dates), which the shell then names in a comment.
std::string SqlTypeOf(const ItemInfo& item);

// The statements of one file, each ending with ";\n" (a `.create` line
// with "\n"). Single-column keys become indexes named FILE_COLUMN,
// composite keys indexes of their own name over their columns. Items that
// neither form can make are described in "--" comments, as is a composite
// key whose columns are not known.
std::string SchemaText(const FileInfo& file);

// The items SchemaText makes as columns, in the file's order: those a
// dump fills again. Pointers into file.
std::vector<const ItemInfo*> MadeColumns(const FileInfo& file);

}  // namespace zkshell

#endif
