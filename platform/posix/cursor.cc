// The wait cursor has nothing to show outside a window system: the calls
// keep track of which cursor is current, so that callers can restore it.
#include "platform.h"

namespace {
int g_arrow, g_wait;
HCURSOR g_current = &g_arrow;
}  // namespace

extern "C" {

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
  return name == IDC_WAIT ? static_cast<HCURSOR>(&g_wait) : static_cast<HCURSOR>(&g_arrow);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = g_current;
  g_current = cursor;
  return previous;
}

}  // extern "C"
