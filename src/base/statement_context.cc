// The statement context's error sink.
#include "base/statement_context.h"

#include <cstdarg>
#include <cstring>

#include "base/messages.h"
#include "platform.h"

namespace zksql {
namespace {

// Copies at most size - 1 bytes and terminates; the text may be the
// destination's own (a caller re-recording it with another SQLSTATE).
void CopyCut(char* destination, const char* source, size_t size) {
  size_t n = 0;
  while (n + 1 < size && source[n] != '\0') ++n;
  memmove(destination, source, n);
  destination[n] = '\0';
}

}  // namespace

const char* RecordError(StatementContext* context, const char* text, const char* sqlState) {
  if (context == nullptr) return nullptr;
  if (text != nullptr && !context->interrupted) {
    CopyCut(context->errorText, text, sizeof context->errorText);
    if (sqlState != nullptr) {
      CopyCut(context->sqlState, sqlState, sizeof context->sqlState);
    } else {
      ZkFormat(context->sqlState, sizeof context->sqlState, "%05i",
               context->errorText[0] != '\0' ? 123 : 0);
    }
  }
  return context->errorText[0] != '\0' ? context->errorText : nullptr;
}

void RecordMessage(StatementContext* context, const char* sqlState, int32_t id, ...) {
  char format[kMessageBufferSize];
  char text[kMessageBufferSize];
  LoadMessage(id, format, sizeof format);
  va_list args;
  va_start(args, id);
  ZkFormatV(text, sizeof text, format, args);
  va_end(args);
  RecordError(context, text, sqlState);
}

}  // namespace zksql
