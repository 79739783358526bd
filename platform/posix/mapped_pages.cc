// Mapped pages: dropping a read-only file mapping's pages from the
// resident set once a long walk has read them.
#include <stdint.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform.h"

extern "C" {

void ZkReleaseMappedPages(const void* address, size_t length) {
  if (address == nullptr || length == 0) return;
  static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  uintptr_t from = reinterpret_cast<uintptr_t>(address) & ~(page - 1);
  uintptr_t to = (reinterpret_cast<uintptr_t>(address) + length + page - 1) & ~(page - 1);
  // On a shared file mapping this only unmaps the pages from the process:
  // the file cache keeps them, and a failure leaves them resident.
  (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

}  // extern "C"
