// OwnedText: the owner of a heap text made with malloc (or calloc), which
// it releases with free(). For the texts the library's C-style interfaces
// hand out, held while a function still works on them.
#ifndef ZKSQL_BASE_OWNED_TEXT_H_
#define ZKSQL_BASE_OWNED_TEXT_H_

#include <cstdlib>
#include <memory>

namespace zksql {

struct FreeDeleter {
  void operator()(void* block) const { std::free(block); }
};

using OwnedText = std::unique_ptr<char, FreeDeleter>;

}  // namespace zksql

#endif  // ZKSQL_BASE_OWNED_TEXT_H_
