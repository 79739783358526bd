// String resources and the lstr* text helpers for POSIX.
#include <dlfcn.h>
#include <string.h>

#include "platform.h"

extern "C" {

int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  buffer[0] = '\0';
  void* scope = module != nullptr ? module : RTLD_DEFAULT;
  const ZkStringResource* table =
      static_cast<const ZkStringResource*>(dlsym(scope, "ZkStringTable"));
  if (table == nullptr) return 0;
  for (; table->id != 0; ++table) {
    if (table->id != id) continue;
    if (table->text == nullptr) return 0;
    size_t n = strlen(table->text);
    if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
    memcpy(buffer, table->text, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
  }
  return 0;
}

LPSTR lstrcpyA(LPSTR destination, LPCSTR source) {
  if (destination == nullptr || source == nullptr) return nullptr;
  return strcpy(destination, source);
}

LPSTR lstrcpynA(LPSTR destination, LPCSTR source, int size) {
  if (destination == nullptr || source == nullptr) return nullptr;
  if (size < 1) return destination;
  size_t n = strnlen(source, static_cast<size_t>(size - 1));
  memmove(destination, source, n);
  destination[n] = '\0';
  return destination;
}

LPSTR lstrcatA(LPSTR destination, LPCSTR source) {
  if (destination == nullptr || source == nullptr) return nullptr;
  return strcat(destination, source);
}

int lstrlenA(LPCSTR text) { return text == nullptr ? 0 : static_cast<int>(strlen(text)); }

}  // extern "C"
