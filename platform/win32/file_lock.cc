// File locks with LockFileEx on the first byte: Windows releases them when
// the handle closes or the process ends. Each ZkFileLockTry opens the file
// anew, so every lock has its own handle.
#include <windows.h>

#include <new>

#include "platform.h"

struct ZkFileLock {
  HANDLE file;
};

extern "C" {

ZkFileLock* ZkFileLockTry(const char* path, int* busy) {
  if (busy != nullptr) *busy = 0;
  if (path == nullptr) return nullptr;
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  OVERLAPPED at = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    if (busy != nullptr) *busy = GetLastError() == ERROR_LOCK_VIOLATION ? 1 : 0;
    CloseHandle(file);
    return nullptr;
  }
  ZkFileLock* lock = new (std::nothrow) ZkFileLock{file};
  if (lock == nullptr) CloseHandle(file);
  return lock;
}

void ZkFileLockRelease(ZkFileLock* lock) {
  if (lock == nullptr) return;
  CloseHandle(lock->file);  // closing the handle releases the lock
  delete lock;
}

void ZkSleepMilliseconds(unsigned milliseconds) {
  Sleep(milliseconds);
}

}  // extern "C"
