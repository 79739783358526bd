// Memo values as the library hands them to a host: a global memory block
// (see zkglobal.h) that the host reads and then releases.
#ifndef ZKHOST_MEMO_DATA_H
#define ZKHOST_MEMO_DATA_H

#include <string>

namespace zkhost {

// The data of a memo block handed out by the library; the block is freed.
// A NULL block gives no data.
std::string TakeMemoData(void* block);

// Bytes as upper-case hexadecimal, two digits a byte: how binary memos
// read as text.
std::string Hex(const std::string& bytes);

}  // namespace zkhost

#endif
