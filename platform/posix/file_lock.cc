// File locks with flock(): the lock belongs to the open file description,
// so each ZkFileLockTry opens the file anew (a child forked while the
// parent held no lock shares nothing with it), and the kernel drops the
// lock when the last descriptor closes, however the process ends.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <new>

#include "platform.h"

struct ZkFileLock {
  int fd;
};

extern "C" {

ZkFileLock* ZkFileLockTry(const char* path, int* busy) {
  if (busy != nullptr) *busy = 0;
  if (path == nullptr) return nullptr;
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0664);
  if (fd < 0) return nullptr;
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    if (busy != nullptr) *busy = errno == EWOULDBLOCK ? 1 : 0;
    close(fd);
    return nullptr;
  }
  ZkFileLock* lock = new (std::nothrow) ZkFileLock{fd};
  if (lock == nullptr) close(fd);
  return lock;
}

void ZkFileLockRelease(ZkFileLock* lock) {
  if (lock == nullptr) return;
  close(lock->fd);  // closing the only descriptor releases the lock
  delete lock;
}

void ZkSleepMilliseconds(unsigned milliseconds) {
  struct timespec wait = {static_cast<time_t>(milliseconds / 1000),
                          static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

}  // extern "C"
