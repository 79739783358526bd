// zksql: the command-line shell. Parses the arguments, opens the database,
// runs --cmd commands, then the SQL arguments, or else standard input: a
// terminal interactively, a pipe or a file as a script. Exits 1 when
// anything failed, 130 when Ctrl-C stopped a script or the SQL arguments.
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "charset.h"
#include "completion.h"
#include "interrupt.h"
#include "line_source.h"
#include "options.h"
#include "session.h"
#include "shell.h"

using namespace zkshell;

namespace {

// Completion reads the catalogue through the session, names in UTF-8.
CatalogueReader SessionCatalogue(Session* session) {
  CatalogueReader reader;
  reader.tables = [session] {
    std::vector<std::string> names;
    for (const std::string& name : session->FileNames()) {
      names.push_back(zkhost::Cp1252ToUtf8(name));
    }
    return names;
  };
  reader.columns = [session](const std::string& table) {
    std::vector<std::string> names;
    std::string name, problem;
    FileInfo file;
    if (!zkhost::Utf8ToCp1252(table, &name, &problem) || !session->DescribeFile(name, &file)) {
      return names;
    }
    for (const ItemInfo& item : file.items) {
      if (!item.composite) names.push_back(zkhost::Cp1252ToUtf8(item.name));
    }
    return names;
  };
  return reader;
}

}  // namespace

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
  InstallInterruptHandler(interactive);
  Shell shell(&session);
  shell.bail = options.bail;
  FormatSettings& format = shell.format();
  format.mode = terminal ? OutputMode::kTable : OutputMode::kList;
  if (options.csv) format.mode = OutputMode::kCsv;
  format.headers = options.header;

  // Outside the prompt, Ctrl-C stops the statement and then the shell:
  // later commands may count on what was stopped.
  bool going = true;
  bool stopped = false;
  for (const std::string& command : options.commands) {
    going = shell.RunArgument(command);
    if (!interactive && InterruptSeen()) stopped = true;
    if (!going || stopped) break;
  }
  if (going && !stopped && !options.sql.empty()) {
    for (const std::string& sql : options.sql) {
      going = shell.RunArgument(sql);
      if (InterruptSeen()) stopped = true;
      if (!going || stopped) break;
    }
  } else if (going && !stopped && interactive) {
    printf("zksql %s: database %s. Statements end with \";\"; .help for help.\n", ZKSQL_VERSION,
           options.directory.c_str());
    Completer completer(SessionCatalogue(&session));
    TerminalLineSource source(&completer);
    shell.Run(&source, "");
  } else if (going && !stopped) {
    StreamLineSource source(stdin);
    shell.Run(&source, "");
    stopped = shell.Interrupted();
  }
  if (session.InTransaction()) {
    fputs("zksql: the open transaction was rolled back (.commit makes changes durable)\n", stderr);
  }
  fflush(stdout);
  session.Close();
  if (stopped) return kInterruptedStatus;
  return shell.AnyFailure() ? 1 : 0;
}
