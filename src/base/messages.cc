// Message loading from the library's string resources.
#include "base/messages.h"

#include <cstdarg>


namespace zksql {
namespace {

HINSTANCE g_module = nullptr;
bool g_module_set = false;

}  // namespace

void SetMessageModule(HINSTANCE module) {
  g_module = module;
  g_module_set = true;
}

void LoadMessage(int32_t id, char* buffer, int32_t size) {
  if (buffer == nullptr || size < 1) return;
  buffer[0] = '\0';
  if (LoadStringA(g_module_set ? g_module : nullptr, static_cast<UINT>(id), buffer, size) > 0) {
    return;
  }
  if (size >= 12) {
    ZkFormat(buffer, size, "(msg %04d)", id);
  } else {
    ZkFormat(buffer, size, "(?)");
  }
}

void FormatMessage(char* buffer, int32_t size, int32_t id, ...) {
  if (buffer == nullptr || size < 1) return;
  char format[kMessageBufferSize];
  LoadMessage(id, format, sizeof format);
  va_list args;
  va_start(args, id);
  ZkFormatV(buffer, size, format, args);
  va_end(args);
}

}  // namespace zksql
