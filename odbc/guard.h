// How every entry point runs: under the driver's lock (the library works
// on one request at a time), with its handle checked against the live
// handles, its diagnostics cleared, and every failure caught and filed as
// a diagnostic answered by SQL_ERROR, so that nothing is thrown past the C
// boundary.
#ifndef ZKODBC_GUARD_H
#define ZKODBC_GUARD_H

#include <mutex>
#include <new>

#include "handles.h"

namespace zkodbc {

std::recursive_mutex& DriverLock();

template <typename H, typename F>
SQLRETURN Guarded(SQLHANDLE handle, SQLSMALLINT type, F&& body, bool clear = true) {
  std::lock_guard<std::recursive_mutex> lock(DriverLock());
  Handle* h = Lookup(handle, type);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  if (clear) h->diag.Clear();
  try {
    return body(static_cast<H*>(h));
  } catch (const DriverError& e) {
    h->diag.Add(e.sqlState(), e.what(), e.native());
  } catch (const std::bad_alloc&) {
    h->diag.Add("HY001", DriverMessage("memory allocation error"));
  } catch (...) {
    h->diag.Add("HY000", DriverMessage("unexpected failure in the driver"));
  }
  return SQL_ERROR;
}

}  // namespace zkodbc

#endif
