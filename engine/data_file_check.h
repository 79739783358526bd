// data_file_check.h - is a data file whole before LMDB maps it?
//
// LMDB reads a database through a memory map: a page past the end of a
// truncated file faults the process (SIGBUS) on its first read instead of
// failing a call. So before the environment is opened, the data file's two
// meta pages are read and the one LMDB will use (the newer, which must sit
// in the page its transaction id names) is checked against the file: its
// page size, its last used page, its tree roots and page counts must fit
// the file's length, and its trees carry only the flags the engine uses.
#ifndef JXENGINE_DATA_FILE_CHECK_H_
#define JXENGINE_DATA_FILE_CHECK_H_

#include <string>

namespace jx {

// True when the data file at `path` is missing (a new database) or holds
// together; false with a French explanation in *why otherwise.
bool CheckDataFile(const std::string& path, std::string* why);

}  // namespace jx

#endif  // JXENGINE_DATA_FILE_CHECK_H_
