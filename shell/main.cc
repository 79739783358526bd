// zksql: the command-line shell. Parses the arguments, opens the database,
// runs --cmd commands, then the SQL arguments, or else standard input: a
// terminal interactively, a pipe or a file as a script. Exits 1 when
// anything failed.
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "line_source.h"
#include "options.h"
#include "session.h"
#include "shell.h"

using namespace zkshell;

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    fprintf(stderr, "zksql: %s\n%s", error.c_str(), UsageText().c_str());
    return 1;
  }
  if (options.help) {
    fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    fputs(VersionText().c_str(), stdout);
    return 0;
  }

  Session session;
  if (!session.Open(options.directory, options.create, options.readOnly, &error)) {
    fprintf(stderr, "zksql: %s\n", error.c_str());
    return 1;
  }
  bool terminal = isatty(STDIN_FILENO) != 0 && isatty(STDOUT_FILENO) != 0;
  bool interactive = terminal && options.sql.empty();
  Shell shell(&session);
  shell.bail = options.bail;
  FormatSettings& format = shell.format();
  format.mode = terminal ? OutputMode::kTable : OutputMode::kList;
  if (options.csv) format.mode = OutputMode::kCsv;
  format.headers = options.header;

  bool going = true;
  for (const std::string& command : options.commands) {
    if (!(going = shell.RunArgument(command))) break;
  }
  if (going && !options.sql.empty()) {
    for (const std::string& sql : options.sql) {
      if (!shell.RunArgument(sql)) break;
    }
  } else if (going && interactive) {
    printf("zksql %s: database %s. Statements end with \";\"; .help for help.\n", ZKSQL_VERSION,
           options.directory.c_str());
    TerminalLineSource source;
    shell.Run(&source, "");
  } else if (going) {
    StreamLineSource source(stdin);
    shell.Run(&source, "");
  }
  if (session.InTransaction()) {
    fputs("zksql: the open transaction was rolled back (.commit makes changes durable)\n", stderr);
  }
  fflush(stdout);
  session.Close();
  return shell.AnyFailure() ? 1 : 0;
}
