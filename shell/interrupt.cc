// The handler touches only lock-free flags, write(2), _exit and the
// library's ZKSQLInterrupt, which the library allows from a signal handler.
#include "interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "zksql.h"

namespace zkshell {
namespace {

volatile sig_atomic_t g_working = 0;  // nesting of the work running (.read)
volatile sig_atomic_t g_pending = 0;  // Ctrl-C came during the current work
volatile sig_atomic_t g_seen = 0;     // Ctrl-C came since TakeInterrupt
bool g_terminal = false;              // standard error is a terminal

void Say(const char* text) {
  ssize_t ignored = write(STDERR_FILENO, text, strlen(text));
  (void)ignored;
}

void OnInterrupt(int) {
  int saved = errno;
  g_seen = 1;
  if (g_working) {
    if (g_pending) {
      Say("\nzksql: interrupted again; leaving (an open transaction is rolled back)\n");
      _exit(kInterruptedStatus);
    }
    g_pending = 1;
    // The terminal echoed "^C": the statement's message goes below it.
    if (g_terminal) Say("\n");
    ZKSQLInterrupt();
  }
  errno = saved;
}

}  // namespace

void InstallInterruptHandler(bool interactive) {
  g_terminal = isatty(STDERR_FILENO) != 0;
  // A script run in the background of a shell without job control starts
  // with Ctrl-C ignored, so that the terminal's Ctrl-C leaves it alone.
  struct sigaction before;
  if (!interactive && sigaction(SIGINT, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) {
    return;
  }
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Reads of a script go on after the handler; the prompt learns of the
  // interrupt from the line editor's own handling.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

// Work nests (.read runs statements): an interrupt stays pending until the
// outermost work ends, so that .read stops after the statement it stopped.
InterruptibleWork::InterruptibleWork() {
  if (g_working == 0) g_pending = 0;
  g_working = g_working + 1;
}

InterruptibleWork::~InterruptibleWork() {
  g_working = g_working - 1;
  if (g_working == 0) g_pending = 0;
}

bool InterruptPending() {
  return g_pending != 0;
}

bool InterruptSeen() {
  return g_seen != 0;
}

bool TakeInterrupt() {
  if (!g_seen) return false;
  g_seen = 0;
  return true;
}

}  // namespace zkshell
