// The dot-commands' help: one entry per command, so that .help shows them
// all and .help NAME shows one, and so that completion knows every
// command's name. Adding a command means adding its entry here.
#ifndef ZKSHELL_HELP_TEXT_H
#define ZKSHELL_HELP_TEXT_H

#include <string>
#include <vector>

namespace zkshell {

struct CommandHelp {
  const char* name;     // with its dot: ".import"
  const char* aliases;  // other names, blank-separated (".header"), or ""
  const char* text;     // the lines shown, starting with the usage
};

// Every entry, in the order .help shows them.
const std::vector<CommandHelp>& CommandHelps();

// The whole help: every entry, then the notes on statements, Ctrl-C,
// history and completion.
std::string HelpText();

// The entry of a command named with or without its dot, or by an alias;
// nullptr when there is none.
const CommandHelp* FindCommandHelp(const std::string& name);

// Every name a dot-command answers to (aliases included), sorted.
std::vector<std::string> CommandNames();

}  // namespace zkshell

#endif
