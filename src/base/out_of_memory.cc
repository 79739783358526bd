// The noted shortage of memory: one flag for the process.
#include "base/out_of_memory.h"

namespace zksql {
namespace {

bool g_outOfMemory = false;

}  // namespace

void NoteOutOfMemory() {
  g_outOfMemory = true;
}

bool TakeOutOfMemory() {
  bool noted = g_outOfMemory;
  g_outOfMemory = false;
  return noted;
}

}  // namespace zksql
