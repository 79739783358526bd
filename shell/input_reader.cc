// Splitting is a small state machine over the characters: inside a string
// literal only the same quote character matters (a doubled quote closes
// and reopens, which leaves the state as it was); outside, ";" ends the
// statement and "--" drops the rest of the line.
#include "input_reader.h"

namespace zkshell {

void StatementSplitter::AddLine(const std::string& line, int lineNumber) {
  if (!current_.empty()) current_ += '\n';
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quote_ != 0) {
      current_ += c;
      if (c == quote_) quote_ = 0;
      continue;
    }
    if (c == '-' && i + 1 < line.size() && line[i + 1] == '-') {
      size_t end = current_.find_last_not_of(" \t");
      current_.resize(end == std::string::npos ? 0 : end + 1);
      break;
    }
    if (c == ';') {
      Finish();
      continue;
    }
    if (IsBlank(current_) && (c == ' ' || c == '\t' || c == '\r')) {
      current_.clear();
      continue;
    }
    if (IsBlank(current_)) {
      current_.clear();
      currentLine_ = lineNumber;
    }
    if (c == '\'' || c == '"') quote_ = c;
    current_ += c;
  }
  if (IsBlank(current_) && quote_ == 0) current_.clear();
}

void StatementSplitter::Finish() {
  if (!IsBlank(current_)) {
    // Blanks at the end say nothing; the library ends the text itself.
    size_t end = current_.find_last_not_of(" \t\r\n");
    ready_.push_back(Statement{current_.substr(0, end + 1), currentLine_});
  }
  current_.clear();
}

bool StatementSplitter::Next(Statement* statement) {
  if (ready_.empty()) return false;
  *statement = ready_.front();
  ready_.pop_front();
  return true;
}

bool StatementSplitter::Pending() const {
  return !current_.empty();
}

Statement StatementSplitter::TakePending() {
  Statement s;
  size_t end = current_.find_last_not_of(" \t\r\n");
  s.text = end == std::string::npos ? std::string() : current_.substr(0, end + 1);
  s.line = currentLine_;
  current_.clear();
  quote_ = 0;
  return s;
}

void StatementSplitter::Reset() {
  ready_.clear();
  current_.clear();
  quote_ = 0;
  currentLine_ = 0;
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

bool IsDotCommand(const std::string& line) {
  size_t at = line.find_first_not_of(" \t");
  return at != std::string::npos && line[at] == '.';
}

std::string HistoryEntry(const std::vector<std::string>& lines) {
  std::string entry;
  char quote = 0;
  for (const std::string& line : lines) {
    size_t i = 0;
    if (quote != 0) {
      entry += '\n';
    } else {
      // A continued line's leading blanks are indentation.
      i = line.find_first_not_of(" \t");
      if (i == std::string::npos) continue;
      size_t end = entry.find_last_not_of(" \t");
      entry.resize(end == std::string::npos ? 0 : end + 1);
      if (!entry.empty()) entry += ' ';
    }
    for (; i < line.size(); ++i) {
      char c = line[i];
      if (quote == 0 && c == '-' && i + 1 < line.size() && line[i + 1] == '-') break;
      if (quote == 0 && (c == '\'' || c == '"')) {
        quote = c;
      } else if (c == quote) {
        quote = 0;
      }
      entry += c;
    }
  }
  size_t end = entry.find_last_not_of(" \t\r");
  return end == std::string::npos ? std::string() : entry.substr(0, end + 1);
}

}  // namespace zkshell
