// Mapped pages: dropping a read-only file mapping's pages from the working
// set once a long walk has read them.
#include <windows.h>

#include "platform.h"

extern "C" {

void ZkReleaseMappedPages(const void* address, size_t length) {
  if (address == nullptr || length == 0) return;
  // Unlocking pages that were never locked takes them out of the working
  // set; the system keeps them in its file cache. The call then reports
  // "not locked", which is what it is asked for here.
  (void)VirtualUnlock(const_cast<void*>(address), length);
}

}  // extern "C"
