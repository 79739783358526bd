// file_builder.h - XZK_DECRITFICHIER: creating files and indexes.
//
// The SQL executor describes a new file column by column (commands 0, 1,
// then 3) and an index in one step (command 2, then 3). The builder keeps
// the description in progress per handle, checks each step as it comes so
// the refusal names the faulty column, and at completion writes the file or
// builds the index over the records already there in one write operation.
// Refusals set the FileDescription's status above 0 with a French message.
#ifndef JXENGINE_FILE_BUILDER_H_
#define JXENGINE_FILE_BUILDER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary.h"

namespace jx {

class Session;

class FileBuilder {
 public:
  // Runs one command on `description` (JX_FD_SIZE_BYTES bytes).
  int Command(Session& session, int16_t command, unsigned char* description);

 private:
  enum class Pending { kNone, kFile, kIndex };

  int BeginFile(Session& session, unsigned char* fd);
  int AddColumn(unsigned char* fd);
  int DescribeIndex(Session& session, unsigned char* fd);
  int Complete(Session& session, unsigned char* fd);
  int CreateFile(Session& session, unsigned char* fd);
  int CreateIndex(Session& session, unsigned char* fd);

  Pending pending_ = Pending::kNone;
  FileDef file_;                     // the file being described
  std::string indexFile_;            // the indexed file
  std::string indexName_;
  std::vector<std::string> columns_;  // indexed items, upper case
  uint8_t indexKind_ = 0;
};

}  // namespace jx

#endif  // JXENGINE_FILE_BUILDER_H_
