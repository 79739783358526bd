// Each entry's text is laid out as the full help shows it: the usage in a
// column of 24 characters, the description beside it and under it.
#include "help_text.h"

#include <algorithm>

namespace zkshell {

const std::vector<CommandHelp>& CommandHelps() {
  static const std::vector<CommandHelp> helps = {
      {".bail", "", ".bail on|off            stop at the first error (scripts)\n"},
      {".begin", "", ".begin                  start a transaction grouping the next statements\n"},
      {".changes", "",
       ".changes on|off         after each INSERT, UPDATE or DELETE, show the rows\n"
       "                        it changed and the total changed so far\n"},
      {".check", "", ".check                  check that the database holds together\n"},
      {".commit", "", ".commit                 make the open transaction's changes durable\n"},
      {".create", "",
       ".create TABLE (COLUMN TYPE, ...)\n"
       "                        make a table with the types of CREATE TABLE\n"
       "                        and also MEMO and BINARY MEMO\n"},
      {".dump", "",
       ".dump [TABLE]           write statements that make every table, or one,\n"
       "                        again with its rows (memos go to files beside)\n"},
      {".echo", "", ".echo on|off            show each command before running it\n"},
      {".exit", "", ".exit                   leave the shell (as .quit)\n"},
      {".export", "", ".export TABLE FILE      write TABLE to FILE as CSV with a header row\n"},
      {".headers", ".header",
       ".headers on|off         show column names (list, csv, tabs modes)\n"},
      {".help", "", ".help [COMMAND]         show this text, or the entry of COMMAND alone\n"},
      {".import", "",
       ".import [OPTIONS] FILE TABLE\n"
       "                        read CSV FILE into TABLE, all or nothing, making\n"
       "                        TABLE when missing (a column is numeric when all\n"
       "                        its values read back unchanged, so 08747 stays\n"
       "                        text). --separator SEP (\\t a tab), --skip N lines\n"
       "                        first, --no-header (columns C1, C2...),\n"
       "                        --decimal-comma (12,50 a number), --csv, --header\n"},
      {".memo", "",
       ".memo TABLE COLUMN ROW FILE\n"
       "                        write the memo of COLUMN in row ROW (from 1) of\n"
       "                        TABLE to FILE, byte for byte\n"},
      {".mode", "",
       ".mode MODE              output mode: table, box, markdown, list, csv, tabs,\n"
       "                        line, json\n"},
      {".once", "", ".once FILE              send the next result to FILE\n"},
      {".output", "", ".output [FILE]          send results to FILE, or back to the screen\n"},
      {".print", "", ".print TEXT             write TEXT (to the current output)\n"},
      {".quit", "", ".quit                   leave the shell\n"},
      {".read", "", ".read FILE              run the statements and commands of FILE\n"},
      {".rollback", "", ".rollback               undo the open transaction's changes\n"},
      {".schema", "",
       ".schema [TABLE]         show the CREATE statements of every table, or one\n"},
      {".separator", "",
       ".separator SEP [ROWSEP] column (and line) separator of list mode; \\t, \\n,\n"
       "                        \\r and \\\\ stand for tab, line break, CR, backslash\n"},
      {".tables", "", ".tables [PATTERN]       list the tables, or those matching PATTERN\n"},
      {".timeout", "",
       ".timeout [MS]           how long a write waits for another connection's\n"
       "                        transaction, in milliseconds; alone, show it\n"},
      {".timer", "", ".timer on|off           show how long each statement took\n"},
  };
  return helps;
}

std::string HelpText() {
  std::string text;
  for (const CommandHelp& help : CommandHelps()) text += help.text;
  text +=
      "\n"
      "Statements end with \";\" and may span lines. A memo value is read from a\n"
      "file with {JXMemoBinaire('FILE')} where the value goes.\n"
      "At the prompt, Ctrl-C clears the line (and a statement begun on earlier\n"
      "lines); while a statement runs, it stops the statement, whose changes are\n"
      "undone, and an open transaction stays open. A second Ctrl-C before the\n"
      "statement has stopped leaves the shell. Tab completes commands, keywords,\n"
      "table and column names; the history keeps each statement as one entry.\n";
  return text;
}

const CommandHelp* FindCommandHelp(const std::string& name) {
  std::string wanted = !name.empty() && name[0] == '.' ? name : "." + name;
  for (const CommandHelp& help : CommandHelps()) {
    if (wanted == help.name) return &help;
    // Aliases are whole blank-separated words.
    std::string aliases = std::string(" ") + help.aliases + " ";
    if (aliases.find(" " + wanted + " ") != std::string::npos) return &help;
  }
  return nullptr;
}

std::vector<std::string> CommandNames() {
  std::vector<std::string> names;
  for (const CommandHelp& help : CommandHelps()) {
    names.push_back(help.name);
    std::string aliases = help.aliases;
    size_t start = 0;
    while ((start = aliases.find_first_not_of(' ', start)) != std::string::npos) {
      size_t end = aliases.find(' ', start);
      if (end == std::string::npos) end = aliases.size();
      names.push_back(aliases.substr(start, end - start));
      start = end;
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace zkshell
