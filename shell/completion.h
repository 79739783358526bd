// What Tab offers at the prompt: dot-command names at the start of a
// line, their arguments where they name a table or a command, and in SQL
// the keywords, the table names and the column names (those of the
// tables the statement names, or of every table when it names none;
// after "TABLE." those of that table). Names come from a catalogue reader
// and are kept until Forget, which the line source calls when an entered
// line may have made or dropped a table.
#ifndef ZKSHELL_COMPLETION_H
#define ZKSHELL_COMPLETION_H

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zkshell {

// Reads the catalogue (UTF-8 names): the tables, and one table's columns.
struct CatalogueReader {
  std::function<std::vector<std::string>()> tables;
  std::function<std::vector<std::string>(const std::string& table)> columns;
};

class Completer {
 public:
  explicit Completer(CatalogueReader reader) : reader_(std::move(reader)) {}

  // The candidates for word, the text being completed. before is the
  // statement's text before word: earlier lines of an unfinished
  // statement, then the current line up to word. nullopt when the word is
  // a file name, which the line editor completes itself.
  std::optional<std::vector<std::string>> Complete(const std::string& before,
                                                   const std::string& word);

  // The catalogue may have changed: names are read again when next needed.
  void Forget();

  // True when an entered line may change the catalogue (CREATE, DROP,
  // .create, .import, .read).
  static bool MayChangeCatalogue(const std::string& line);

 private:
  const std::vector<std::string>& Tables();
  const std::vector<std::string>& Columns(const std::string& table);

  CatalogueReader reader_;
  std::optional<std::vector<std::string>> tables_;
  std::map<std::string, std::vector<std::string>> columns_;
};

}  // namespace zkshell

#endif
