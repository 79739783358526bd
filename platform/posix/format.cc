// Formatting: wsprintfA's 1024-character limit, and the bounded ZkFormat
// that the system uses wherever a caller knows its buffer's size.
#include <stdio.h>

#include "platform.h"

extern "C" {

int ZkFormatV(char* buffer, int size, const char* format, va_list args) {
  if (format == nullptr) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  if (buffer == nullptr || size < 1) {
    char none[1];
    return vsnprintf(none, 0, format, args);
  }
  int n = vsnprintf(buffer, static_cast<size_t>(size), format, args);
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return n;
}

int ZkFormat(char* buffer, int size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = ZkFormatV(buffer, size, format, args);
  va_end(args);
  return n;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  if (buffer == nullptr) return 0;
  va_list args;
  va_start(args, format);
  int n = ZkFormatV(buffer, 1025, format, args);
  va_end(args);
  return n > 1024 ? 1024 : n;
}

}  // extern "C"
