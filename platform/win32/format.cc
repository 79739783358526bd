// Bounded formatting for Windows. Everything else the system calls comes
// from the system DLLs (kernel32, user32): wsprintfA is user32's own.
//
// The C99 behaviour is needed whatever the C runtime does: the result is
// always terminated, and the return value is the length the whole text
// would have had (the classic msvcrt formatter returns -1 on truncation and
// leaves the buffer unterminated).
#define __USE_MINGW_ANSI_STDIO 1
#include <stdio.h>

#include "platform.h"

extern "C" {

int ZkFormatV(char* buffer, int size, const char* format, va_list args) {
  if (format == nullptr) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  if (buffer == nullptr || size < 1) {
    return vsnprintf(nullptr, 0, format, args);
  }
  int n = vsnprintf(buffer, static_cast<size_t>(size), format, args);
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[size - 1] = '\0';
  return n;
}

int ZkFormat(char* buffer, int size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = ZkFormatV(buffer, size, format, args);
  va_end(args);
  return n;
}

}  // extern "C"
