// The file a memo construct ({JXMemoBinaire('FILE')}) names. Only a
// regular file no longer than a memo may be is read: a device, a FIFO or a
// directory would read forever, block, or fail halfway, and a larger file
// would be refused by the engine only after filling memory.
#ifndef ZKSHELL_MEMO_FILE_H
#define ZKSHELL_MEMO_FILE_H

#include <cstdint>
#include <string>

namespace zkshell {

// Reads the whole file at path into *bytes when it is a regular file of at
// most limit bytes. False otherwise, with *error naming the file and saying
// why, before anything is read.
bool ReadMemoFile(const std::string& path, uint64_t limit, std::string* bytes, std::string* error);

}  // namespace zkshell

#endif
