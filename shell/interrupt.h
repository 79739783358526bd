// Ctrl-C (SIGINT). While a statement or a dot-command runs, the first
// Ctrl-C asks the library to stop the running statement (which fails with
// its "operation cancelled" message, its writes undone, an open transaction
// kept); a second one before the shell is back at its prompt ends the
// process at once with status 130, for a statement that does not stop.
// The history is written after every entry, so nothing of it is lost then.
// At the prompt, the line source sees the Ctrl-C (TakeInterrupt) and
// clears the line being typed.
#ifndef ZKSHELL_INTERRUPT_H
#define ZKSHELL_INTERRUPT_H

namespace zkshell {

// Exit status of a shell that Ctrl-C ended: 128 + SIGINT, as shells report
// a command killed by it.
constexpr int kInterruptedStatus = 130;

// Installs the handler (once, at start). A shell that is not interactive
// and was started with Ctrl-C ignored keeps ignoring it.
void InstallInterruptHandler(bool interactive);

// Brackets work that Ctrl-C should stop: a statement, a dot-command.
// Leaving the work forgets an interrupt it did not use.
class InterruptibleWork {
 public:
  InterruptibleWork();
  ~InterruptibleWork();
  InterruptibleWork(const InterruptibleWork&) = delete;
  InterruptibleWork& operator=(const InterruptibleWork&) = delete;
};

// True while an interrupt asked during the current work is pending: long
// loops of the shell's own (fetching rows) stop on it.
bool InterruptPending();

// True when Ctrl-C came since the last TakeInterrupt: a script stops.
bool InterruptSeen();

// True, once, when Ctrl-C came since the last call: at the prompt, or
// during work that has ended since.
bool TakeInterrupt();

}  // namespace zkshell

#endif
