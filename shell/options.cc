// Parsed with getopt_long_only, so that the long options take one dash or
// two (-csv, --csv) and -h and -v stay short forms of --help and
// --version. Options may come before or after DIR (getopt moves them
// ahead of the other arguments); "--" ends them, so a statement that
// begins with "-" can still be given.
#include "options.h"

#include <getopt.h>

namespace zkshell {
namespace {

enum LongOnly { kCreate = 256, kReadOnly, kBail, kCsv, kHeader, kCmd };

const struct option kOptions[] = {
    {"create", no_argument, nullptr, kCreate}, {"readonly", no_argument, nullptr, kReadOnly},
    {"bail", no_argument, nullptr, kBail},     {"csv", no_argument, nullptr, kCsv},
    {"header", no_argument, nullptr, kHeader}, {"headers", no_argument, nullptr, kHeader},
    {"cmd", required_argument, nullptr, kCmd}, {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},    {nullptr, 0, nullptr, 0},
};

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error) {
  // getopt reorders the argument pointers it is given: a copy of them.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) args.push_back(const_cast<char*>(argv[i]));
  args.push_back(nullptr);
  // The shell words its own messages; optind 0 starts a fresh scan.
  opterr = 0;
  optind = 0;
  int c;
  // The leading ":" tells a missing value (':') from an unknown option ('?').
  while ((c = getopt_long_only(argc, args.data(), ":hv", kOptions, nullptr)) != -1) {
    switch (c) {
      case kCreate:
        options->create = true;
        break;
      case kReadOnly:
        options->readOnly = true;
        break;
      case kBail:
        options->bail = true;
        break;
      case kCsv:
        options->csv = true;
        break;
      case kHeader:
        options->header = true;
        break;
      case kCmd:
        options->commands.push_back(optarg);
        break;
      case 'h':
        options->help = true;
        break;
      case 'v':
        options->version = true;
        break;
      case ':':
        *error = "--cmd needs a command";
        return false;
      default:
        *error = "unknown option: " + std::string(args[optind - 1]);
        return false;
    }
  }
  for (int i = optind; i < argc; ++i) {
    if (options->directory.empty()) {
      options->directory = args[i];
    } else {
      options->sql.push_back(args[i]);
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
         "  -v, --version print the version and exit\n"
         "  -h, --help    print this help and exit\n"
         "\n"
         "Exit status: 0 when everything ran, 1 when anything failed, 130 when\n"
         "Ctrl-C stopped a script or left the shell.\n";
}

std::string VersionText() {
  return std::string("zksql ") + ZKSQL_VERSION + "\n";
}

}  // namespace zkshell
