// Noted shortages of memory, kept in the statement under way.
#include "base/out_of_memory.h"

namespace zksql {
namespace {

thread_local StatementContext* t_watched = nullptr;

}  // namespace

void NoteOutOfMemory() {
  if (t_watched != nullptr) t_watched->outOfMemory = true;
}

ShortageWatch::ShortageWatch(StatementContext* context) : previous_(t_watched) {
  t_watched = context;
}

ShortageWatch::~ShortageWatch() { t_watched = previous_; }

bool TakeOutOfMemory(StatementContext* context) {
  if (context == nullptr) return false;
  bool noted = context->outOfMemory;
  context->outOfMemory = false;
  return noted;
}

}  // namespace zksql
