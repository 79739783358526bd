// The file is opened without blocking (a FIFO put in place of a checked
// file must not hang the shell) and checked again through its descriptor,
// so what is read is what was checked; reading stops at the size checked.
#include "memo_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zkshell {
namespace {

bool Fits(const std::string& path, const struct stat& info, uint64_t limit, std::string* error) {
  if (!S_ISREG(info.st_mode)) {
    *error = "memo file \"" + path + "\" is not a regular file";
    return false;
  }
  if (static_cast<uint64_t>(info.st_size) > limit) {
    *error = "memo file \"" + path + "\" holds " + std::to_string(info.st_size) +
             " bytes, more than the " + std::to_string(limit) + " a memo may hold";
    return false;
  }
  return true;
}

}  // namespace

bool ReadMemoFile(const std::string& path, uint64_t limit, std::string* bytes, std::string* error) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    *error = "memo file: cannot open \"" + path + "\": " + strerror(errno);
    return false;
  }
  if (!Fits(path, info, limit, error)) return false;
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = "memo file: cannot open \"" + path + "\": " + strerror(errno);
    return false;
  }
  bool ok = false;
  if (fstat(fd, &info) != 0) {
    *error = "memo file: cannot read \"" + path + "\": " + strerror(errno);
  } else if (Fits(path, info, limit, error)) {
    bytes->assign(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    ssize_t n = 0;
    while (done < bytes->size()) {
      n = read(fd, &(*bytes)[done], bytes->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    // A file shortened while being read gives what it holds now.
    bytes->resize(done);
    ok = n >= 0;
    if (!ok) *error = "memo file: cannot read \"" + path + "\": " + strerror(errno);
  }
  close(fd);
  return ok;
}

}  // namespace zkshell
