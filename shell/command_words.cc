// Words of a dot-command line and the .tables pattern match: pure text
// routines, kept out of commands.cc so they are tested without a database.
#include "commands.h"

namespace zkshell {

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '\'' || line[i] == '"') {
      char quote = line[i++];
      while (i < line.size() && line[i] != quote) word += line[i++];
      ++i;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') word += line[i++];
    }
    words.push_back(word);
  }
  return words;
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // Iterative match with one backtrack point for the last "%".
  size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  auto same = [](char a, char b) {
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    return a == b;
  };
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '_' || same(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

}  // namespace zkshell
