// text_format.cc - the engine's messages go through the platform's bounded
// formatter, which behaves alike on every system the engine is built for.
#include "text_format.h"

#include <cstdarg>

#include "platform.h"

namespace jx {

std::string FormatText(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  ZkFormatV(text, sizeof text, format, args);
  va_end(args);
  return text;
}

}  // namespace jx
