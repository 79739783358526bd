// Keys are matched without regard to case; a value in braces may hold
// semicolons, and "}}" inside braces is one brace.
#include "connection_string.h"

#include <odbcinst.h>

#include <cctype>
#include <vector>

namespace zkodbc {
namespace {

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

}  // namespace

std::map<std::string, std::string> ParseConnectionString(const std::string& text) {
  std::map<std::string, std::string> pairs;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    if (eq == std::string::npos) break;
    std::string key = Trim(text.substr(i, eq - i));
    for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    size_t j = eq + 1;
    while (j < text.size() && text[j] == ' ') ++j;
    std::string value;
    if (j < text.size() && text[j] == '{') {
      ++j;
      while (j < text.size()) {
        if (text[j] == '}') {
          if (j + 1 < text.size() && text[j + 1] == '}') {
            value += '}';
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        value += text[j++];
      }
      size_t semi = text.find(';', j);
      i = semi == std::string::npos ? text.size() : semi + 1;
    } else {
      size_t semi = text.find(';', j);
      value = Trim(text.substr(j, semi == std::string::npos ? std::string::npos : semi - j));
      i = semi == std::string::npos ? text.size() : semi + 1;
    }
    if (!key.empty()) pairs[key] = value;
  }
  return pairs;
}

std::string DataSourceFolder(const std::string& dsn) {
  std::vector<char> folder(4096, '\0');
  int n = SQLGetPrivateProfileString(dsn.c_str(), "Database", "", folder.data(),
                                     static_cast<int>(folder.size()), "odbc.ini");
  if (n <= 0) return std::string();
  return std::string(folder.data());
}

}  // namespace zkodbc
