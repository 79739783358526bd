#include "error_caret.h"

#include <algorithm>
#include <cstdlib>

#include "charset.h"

namespace zkshell {
namespace {

// Characters of a long line shown on each side of the caret.
constexpr size_t kContext = 60;

bool IsBlankByte(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

int MessagePosition(const std::string& message) {
  static const char kLabel[] = "Position : ";
  size_t at = message.rfind(kLabel);
  if (at == std::string::npos) return -1;
  const char* digits = message.c_str() + at + sizeof kLabel - 1;
  if (*digits < '0' || *digits > '9') return -1;
  char* end = nullptr;
  long value = strtol(digits, &end, 10);
  // Only a number that ends its line is the position.
  if (*end != '\0' && *end != '\r' && *end != '\n' && *end != ' ') return -1;
  return value > 0 && value < 1000000 ? static_cast<int>(value) : -1;
}

std::string CaretLines(const std::string& statement, int position) {
  if (position < 1) return "";
  size_t at = std::min(static_cast<size_t>(position - 1), statement.size());
  while (at < statement.size() && IsBlankByte(statement[at])) ++at;
  // Nothing but blanks to the end: the caret goes just after the last
  // character, on its line.
  if (at == statement.size()) {
    while (at > 0 && IsBlankByte(statement[at - 1])) --at;
  }
  size_t start = at == 0 ? std::string::npos : statement.rfind('\n', at - 1);
  start = start == std::string::npos ? 0 : start + 1;
  size_t end = statement.find('\n', at);
  if (end == std::string::npos) end = statement.size();
  while (end > start && statement[end - 1] == '\r') --end;
  if (at > end) at = end;

  size_t from = start, to = end;
  bool cutBefore = false, cutAfter = false;
  if (at - start > kContext) {
    from = at - kContext;
    cutBefore = true;
  }
  if (to - at > kContext) {
    to = at + kContext;
    cutAfter = true;
  }
  std::string shown = statement.substr(from, to - from);
  std::string pad;
  for (size_t i = from; i < at; ++i) pad += statement[i] == '\t' ? '\t' : ' ';
  // Other control characters would move the terminal's cursor: a blank
  // keeps their column.
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') c = ' ';
  }
  std::string text = "  ";
  if (cutBefore) text += "...";
  text += zkhost::Cp1252ToUtf8(shown);
  if (cutAfter) text += "...";
  text += "\n  ";
  if (cutBefore) text += "   ";
  text += pad + "^\n";
  return text;
}

}  // namespace zkshell
