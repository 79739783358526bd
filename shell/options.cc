// Options may come before or after DIR; "--" ends them, so a statement
// that begins with "-" can still be given.
#include "options.h"

namespace zkshell {

bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error) {
  bool positionalOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (!positionalOnly && a.size() > 1 && a[0] == '-') {
      if (a.compare(0, 2, "--") == 0 && a.size() > 2) a = a.substr(1);  // --x is -x
      if (a == "--") {
        positionalOnly = true;
      } else if (a == "-create") {
        options->create = true;
      } else if (a == "-readonly") {
        options->readOnly = true;
      } else if (a == "-bail") {
        options->bail = true;
      } else if (a == "-csv") {
        options->csv = true;
      } else if (a == "-header" || a == "-headers") {
        options->header = true;
      } else if (a == "-cmd") {
        if (i + 1 >= argc) {
          *error = "--cmd needs a command";
          return false;
        }
        options->commands.push_back(argv[++i]);
      } else if (a == "-help" || a == "-h") {
        options->help = true;
      } else if (a == "-version") {
        options->version = true;
      } else {
        *error = "unknown option: " + std::string(argv[i]);
        return false;
      }
      continue;
    }
    if (options->directory.empty()) {
      options->directory = a;
    } else {
      options->sql.push_back(a);
    }
  }
  if (options->directory.empty() && !options->help && !options->version) {
    *error = "no database folder given";
    return false;
  }
  return true;
}

std::string UsageText() {
  return "Usage: zksql [OPTIONS] DIR [SQL...]\n"
         "Opens the zksql database in folder DIR and runs SQL statements: those\n"
         "given as arguments, in order; else those typed at the prompt (a terminal)\n"
         "or read from standard input (a pipe or a file). Type .help for the\n"
         "dot-commands.\n"
         "\n"
         "Options:\n"
         "  --create      create the database when DIR holds none\n"
         "  --readonly    open the database for reading only\n"
         "  --bail        stop at the first error\n"
         "  --csv         start in csv output mode\n"
         "  --header      start with column headers on\n"
         "  --cmd COMMAND run COMMAND (SQL or a dot-command) before the rest\n"
         "  --version     print the version and exit\n"
         "  --help        print this help and exit\n"
         "\n"
         "Exit status: 0 when everything ran, 1 when anything failed.\n";
}

std::string VersionText() {
  return std::string("zksql ") + ZKSQL_VERSION + "\n";
}

}  // namespace zkshell
