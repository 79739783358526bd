// Names are matched without regard to ASCII case, as the library reads
// them; keywords are offered in the case the word was begun in, names as
// the catalogue spells them.
#include "completion.h"

#include <algorithm>
#include <set>

#include "commands.h"
#include "help_text.h"
#include "sql_keywords.h"

namespace zkshell {
namespace {

char Fold(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

std::string Folded(std::string text) {
  for (char& c : text) c = Fold(c);
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Fold(text[i]) != Fold(prefix[i])) return false;
  }
  return true;
}

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The words of a statement's text, folded, outside string literals.
std::set<std::string> NamesIn(const std::string& text) {
  std::set<std::string> names;
  std::string current;
  char quote = 0;
  for (char c : text + " ") {
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (IsNameChar(c)) {
      current += Fold(c);
      continue;
    }
    if (!current.empty()) names.insert(current);
    current.clear();
    if (c == '\'' || c == '"') quote = c;
  }
  return names;
}

// What the argument at position index (from 1) of a dot-command names.
enum class Argument { kNothing, kFile, kTable, kColumn, kCommand, kOnOff };

Argument ArgumentKind(const std::string& command, size_t index) {
  if (command == ".help" && index == 1) return Argument::kCommand;
  if (command == ".schema" || command == ".tables" || command == ".dump")
    return index == 1 ? Argument::kTable : Argument::kNothing;
  if (command == ".read" || command == ".output" || command == ".once") return Argument::kFile;
  if (command == ".import") return index == 1 ? Argument::kFile : Argument::kTable;
  if (command == ".export") return index == 1 ? Argument::kTable : Argument::kFile;
  if (command == ".memo") {
    return index == 1 ? Argument::kTable : index == 2 ? Argument::kColumn : Argument::kFile;
  }
  if (command == ".bail" || command == ".echo" || command == ".headers" || command == ".header" ||
      command == ".timer" || command == ".changes") {
    return Argument::kOnOff;
  }
  return Argument::kNothing;
}

void AddMatching(const std::vector<std::string>& from, const std::string& word,
                 std::set<std::string>* into) {
  for (const std::string& candidate : from) {
    if (StartsWith(candidate, word)) into->insert(candidate);
  }
}

}  // namespace

const std::vector<std::string>& Completer::Tables() {
  if (!tables_) tables_ = reader_.tables ? reader_.tables() : std::vector<std::string>();
  return *tables_;
}

const std::vector<std::string>& Completer::Columns(const std::string& table) {
  auto found = columns_.find(table);
  if (found == columns_.end()) {
    found =
        columns_
            .emplace(table, reader_.columns ? reader_.columns(table) : std::vector<std::string>())
            .first;
  }
  return found->second;
}

void Completer::Forget() {
  tables_.reset();
  columns_.clear();
}

bool Completer::MayChangeCatalogue(const std::string& line) {
  std::set<std::string> words = NamesIn(line);
  if (words.count("CREATE") != 0 || words.count("DROP") != 0) return true;
  std::vector<std::string> command = SplitCommandLine(line);
  return !command.empty() &&
         (command[0] == ".create" || command[0] == ".import" || command[0] == ".read");
}

std::optional<std::vector<std::string>> Completer::Complete(const std::string& before,
                                                            const std::string& word) {
  std::set<std::string> found;
  size_t start = before.find_first_not_of(" \t\r\n");
  bool first = start == std::string::npos;
  if (first && !word.empty() && word[0] == '.') {
    AddMatching(CommandNames(), word, &found);
    return std::vector<std::string>(found.begin(), found.end());
  }
  if (!first && before[start] == '.') {
    std::vector<std::string> words = SplitCommandLine(before);
    switch (ArgumentKind(words[0], words.size())) {
      case Argument::kFile:
        return std::nullopt;
      case Argument::kTable:
        AddMatching(Tables(), word, &found);
        break;
      case Argument::kColumn:
        AddMatching(Columns(Folded(words[1])), word, &found);
        break;
      case Argument::kCommand:
        for (const std::string& name : CommandNames()) {
          // .help takes a name with or without its dot.
          const std::string& shown = !word.empty() && word[0] == '.' ? name : name.substr(1);
          if (StartsWith(shown, word)) found.insert(shown);
        }
        break;
      case Argument::kOnOff:
        AddMatching({"on", "off"}, word, &found);
        break;
      case Argument::kNothing:
        break;
    }
    return std::vector<std::string>(found.begin(), found.end());
  }

  // SQL. "TABLE.col": the columns of that table, qualified.
  size_t dot = word.rfind('.');
  if (dot != std::string::npos) {
    std::string table = word.substr(0, dot);
    for (const std::string& name : Tables()) {
      if (Folded(name) != Folded(table)) continue;
      for (const std::string& column : Columns(name)) {
        if (StartsWith(column, word.substr(dot + 1))) found.insert(table + "." + column);
      }
    }
    return std::vector<std::string>(found.begin(), found.end());
  }
  // Right after these words only a table name can come.
  std::string last;
  size_t end = before.find_last_not_of(" \t\r\n");
  if (end != std::string::npos) {
    size_t from = end;
    while (from > 0 && IsNameChar(before[from - 1])) --from;
    last = Folded(before.substr(from, end + 1 - from));
  }
  if (last == "FROM" || last == "INTO" || last == "UPDATE" || last == "TABLE" || last == "ON") {
    AddMatching(Tables(), word, &found);
    return std::vector<std::string>(found.begin(), found.end());
  }
  bool lower = !word.empty() && word[0] >= 'a' && word[0] <= 'z';
  for (const char* keyword : SqlKeywords()) {
    if (!StartsWith(keyword, word)) continue;
    std::string shown = keyword;
    if (lower) {
      for (char& c : shown) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    found.insert(shown);
  }
  const std::vector<std::string>& tables = Tables();
  AddMatching(tables, word, &found);
  std::set<std::string> named = NamesIn(before);
  bool any = std::any_of(tables.begin(), tables.end(),
                         [&named](const std::string& t) { return named.count(Folded(t)) != 0; });
  for (const std::string& table : tables) {
    if (!any || named.count(Folded(table)) != 0) AddMatching(Columns(table), word, &found);
  }
  return std::vector<std::string>(found.begin(), found.end());
}

}  // namespace zkshell
