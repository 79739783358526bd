// Command-line parsing: every option in its one-dash and two-dash forms,
// the short -h and -v, options after DIR, "--", and the refusals with the
// messages the shell prints.
#include "options.h"

#include <gtest/gtest.h>

namespace zkshell {
namespace {

// A summary of what was parsed, or "error: MESSAGE".
std::string Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "zksql");
  Options o;
  std::string error;
  if (!ParseOptions(static_cast<int>(args.size()), args.data(), &o, &error)) {
    return "error: " + error;
  }
  std::string text = "dir=" + o.directory;
  if (o.create) text += " create";
  if (o.readOnly) text += " readonly";
  if (o.bail) text += " bail";
  if (o.csv) text += " csv";
  if (o.header) text += " header";
  if (o.help) text += " help";
  if (o.version) text += " version";
  for (const std::string& c : o.commands) text += " cmd[" + c + "]";
  for (const std::string& s : o.sql) text += " sql[" + s + "]";
  return text;
}

TEST(Options, ParsedAsTheUsageSays) {
  struct Case {
    std::vector<const char*> args;
    const char* parsed;
  } cases[] = {
      {{"db"}, "dir=db"},
      {{"--create", "--readonly", "--bail", "--csv", "--header", "db"},
       "dir=db create readonly bail csv header"},
      {{"-create", "-csv", "-headers", "db"}, "dir=db create csv header"},
      {{"db", "--bail", "SELECT 1", "--csv"}, "dir=db bail csv sql[SELECT 1]"},
      {{"--cmd", ".mode csv", "-cmd", "SELECT 2", "db"}, "dir=db cmd[.mode csv] cmd[SELECT 2]"},
      {{"--cmd=.timer on", "db"}, "dir=db cmd[.timer on]"},
      {{"db", "--", "-- not an option", "--csv"}, "dir=db sql[-- not an option] sql[--csv]"},
      {{"-h"}, "dir= help"},
      {{"--help"}, "dir= help"},
      {{"-v"}, "dir= version"},
      {{"-version"}, "dir= version"},
      {{"db", "-"}, "dir=db sql[-]"},
      {{"--frobnicate", "db"}, "error: unknown option: --frobnicate"},
      {{"db", "-x"}, "error: unknown option: -x"},
      {{"db", "--cmd"}, "error: --cmd needs a command"},
      {{"--csv"}, "error: no database folder given"},
      {{}, "error: no database folder given"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const char* a : c.args) joined += std::string(a) + " ";
    EXPECT_EQ(Parse(c.args), c.parsed) << joined;
  }
}

}  // namespace
}  // namespace zkshell
