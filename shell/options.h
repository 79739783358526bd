// Command-line arguments: `zksql [OPTIONS] DIR [SQL...]`. Parsing is kept
// apart from running so that every combination is checked before a
// database is opened.
#ifndef ZKSHELL_OPTIONS_H
#define ZKSHELL_OPTIONS_H

#include <string>
#include <vector>

namespace zkshell {

struct Options {
  std::string directory;
  bool create = false;                // --create: make the database when missing
  bool readOnly = false;              // --readonly: open without writing
  bool bail = false;                  // --bail: stop at the first error
  bool csv = false;                   // --csv: start in csv mode
  bool header = false;                // --header: start with headers on
  std::vector<std::string> commands;  // --cmd: run before anything else
  std::vector<std::string> sql;       // SQL arguments, run in order
  bool help = false;
  bool version = false;
};

// Parses argv. Returns false with *error for an unknown option, an option
// without its value, or a missing DIR (unless --help or --version).
bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error);

std::string UsageText();
std::string VersionText();

}  // namespace zkshell

#endif
