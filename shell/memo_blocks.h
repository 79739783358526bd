// Memo values on their way in and out. A statement's memo constructs
// ({JXMemoBinaire('FILE')}) name files: the shell reads each into a memo
// block (a global memory block laid out as zkglobal.h describes) and hands
// the blocks to the library in the host memo table, which holds the
// blocks' addresses (locked while the statement runs), not their handles.
// Memos read back from a result arrive as the same kind of block.
#ifndef ZKSHELL_MEMO_BLOCKS_H
#define ZKSHELL_MEMO_BLOCKS_H

#include <string>
#include <vector>

#include "memo_data.h"
#include "zksql.h"

namespace zkshell {

using zkhost::TakeMemoData;

// The memo blocks of one statement, released with it.
class MemoBlocks {
 public:
  MemoBlocks() = default;
  MemoBlocks(const MemoBlocks&) = delete;
  MemoBlocks& operator=(const MemoBlocks&) = delete;
  ~MemoBlocks();

  // Makes a memo block holding bytes; false when memory is short.
  bool Add(const std::string& bytes);
  size_t Count() const { return blocks_.size(); }
  // The host memo table for ZKSQLExecReq; nullptr without blocks.
  const ZKSQLMemoTable* Table();

 private:
  std::vector<void*> blocks_;     // handles, freed with the set
  std::vector<void*> addresses_;  // their locked bytes, as the table lists them
  std::vector<unsigned char> table_;
};

// Finds the memo constructs of a statement (Windows-1252) with the
// library's scanner and reads the file each one names into blocks, in
// order. False, with *error naming the file, when one cannot be read or is
// no regular file a memo can hold.
bool LoadStatementMemos(const std::string& sql, MemoBlocks* blocks, std::string* error);

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

}  // namespace zkshell

#endif
