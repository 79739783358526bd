// The output modes. Widths count characters, not bytes: the terminal shows
// every character the library can hold in one cell.
#include "output_format.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "charset.h"

namespace zkshell {
namespace {

struct ModeName {
  OutputMode mode;
  const char* name;
};

constexpr ModeName kModes[] = {
    {OutputMode::kTable, "table"}, {OutputMode::kList, "list"},         {OutputMode::kCsv, "csv"},
    {OutputMode::kTabs, "tabs"},   {OutputMode::kLine, "line"},         {OutputMode::kJson, "json"},
    {OutputMode::kBox, "box"},     {OutputMode::kMarkdown, "markdown"},
};

// The glyphs of a framed mode. Rules are of three kinds: above the header,
// under it, and closing the frame; markdown draws the middle one only.
enum RuleKind { kTopRule, kHeaderRule, kBottomRule };

struct FrameStyle {
  const char* fill;
  const char* left[3];
  const char* join[3];
  const char* right[3];
  const char* vertical;
};

constexpr FrameStyle kAsciiFrame = {"-", {"+", "+", "+"}, {"+", "+", "+"}, {"+", "+", "+"}, "|"};
constexpr FrameStyle kBoxFrame = {"─", {"┌", "├", "└"}, {"┬", "┼", "┴"}, {"┐", "┤", "┘"}, "│"};
constexpr FrameStyle kMarkdownFrame = {"-", {"|", "|", "|"}, {"|", "|", "|"}, {"|", "|", "|"}, "|"};

const FrameStyle& StyleOf(OutputMode mode) {
  if (mode == OutputMode::kBox) return kBoxFrame;
  if (mode == OutputMode::kMarkdown) return kMarkdownFrame;
  return kAsciiFrame;
}

// Length of the line break at value[at]: "\r\n" is one break, as are a
// lone "\n" or "\r"; 0 when there is none.
size_t BreakAt(std::string_view value, size_t at) {
  if (value[at] == '\n') return 1;
  if (value[at] != '\r') return 0;
  return at + 1 < value.size() && value[at + 1] == '\n' ? 2 : 1;
}

// Splits value at its line breaks into lines (cleared first).
void SplitLines(std::string_view value, std::vector<std::string_view>* lines) {
  lines->clear();
  size_t start = 0;
  for (size_t at = 0; at < value.size();) {
    size_t br = BreakAt(value, at);
    if (br == 0) {
      ++at;
      continue;
    }
    lines->push_back(value.substr(start, at - start));
    at += br;
    start = at;
  }
  lines->push_back(value.substr(start));
}

// A markdown cell's text: "|" would end the cell and a line break the row,
// so they become "\|" and "<br>". The escapes are ASCII, the same in
// Windows-1252 and in UTF-8.
void AppendMarkdownEscaped(std::string_view value, std::string* out) {
  for (size_t at = 0; at < value.size();) {
    size_t br = BreakAt(value, at);
    if (br > 0) {
      out->append("<br>");
      at += br;
      continue;
    }
    if (value[at] == '|') out->push_back('\\');
    out->push_back(value[at++]);
  }
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t at = text.find(separator, start);
    if (at == std::string::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
}

// Text goes out in pieces of this size: few writes, little memory.
constexpr size_t kPieceSize = 64 * 1024;

void AppendText(std::string_view value, bool cp1252, std::string* out) {
  if (cp1252) {
    zkhost::AppendCp1252AsUtf8(value, out);
  } else {
    out->append(value.data(), value.size());
  }
}

// A JSON string literal; its escapes are all ASCII, the same in both
// encodings.
void AppendJsonString(std::string_view value, bool cp1252, std::string* out) {
  out->push_back('"');
  size_t run = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(value[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    AppendText(value.substr(run, i - run), cp1252, out);
    run = i + 1;
    switch (c) {
      case '"':
        out->append("\\\"");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      default: {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out->append(escaped);
      }
    }
  }
  AppendText(value.substr(run), cp1252, out);
  out->push_back('"');
}

// A numeric column's value goes out bare when it reads as a JSON number.
// Only ASCII can read as one, so the test is the same before and after
// conversion.
bool IsJsonNumber(std::string_view v) {
  if (v.empty()) return false;
  size_t i = v[0] == '-' ? 1 : 0;
  if (i >= v.size() || v[i] < '0' || v[i] > '9') return false;
  if (v.find_first_of("xXpP") != std::string_view::npos || v.back() == '.') return false;
  char small[64];
  std::string large;
  const char* text = small;
  if (v.size() < sizeof small) {
    v.copy(small, v.size());
    small[v.size()] = '\0';
  } else {
    large.assign(v.data(), v.size());
    text = large.c_str();
  }
  char* end = nullptr;
  strtod(text, &end);
  return end == text + v.size();
}

void AppendPadded(std::string_view value, bool cp1252, size_t shown, size_t width, bool right,
                  std::string* out) {
  size_t blanks = shown < width ? width - shown : 0;
  if (right) out->append(blanks, ' ');
  AppendText(value, cp1252, out);
  if (!right) out->append(blanks, ' ');
}

}  // namespace

bool ParseOutputMode(const std::string& name, OutputMode* mode) {
  for (const ModeName& m : kModes) {
    if (name == m.name) {
      *mode = m.mode;
      return true;
    }
  }
  return false;
}

const char* OutputModeName(OutputMode mode) {
  for (const ModeName& m : kModes) {
    if (m.mode == mode) return m.name;
  }
  return "?";
}

std::string UnescapeSeparator(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char next = i + 1 < text.size() ? text[i + 1] : '\0';
    const char* meaning = nullptr;
    if (text[i] == '\\') {
      meaning = next == 't'    ? "\t"
                : next == 'n'  ? "\n"
                : next == 'r'  ? "\r"
                : next == '\\' ? "\\"
                               : nullptr;
    }
    if (meaning == nullptr) {
      out += text[i];
    } else {
      out += meaning;
      ++i;
    }
  }
  return out;
}

std::vector<ResultColumn> ParseColumnText(const std::string& text) {
  std::vector<ResultColumn> columns;
  if (text.empty()) return columns;
  for (const std::string& line : Split(text, "\r\n")) {
    std::vector<std::string> fields = Split(line, "\t");
    ResultColumn column;
    column.name = fields[0];
    if (fields.size() > 1) column.numeric = fields[1] == "N";
    if (fields.size() > 2) column.hostType = atoi(fields[2].c_str());
    if (fields.size() > 3) column.width = atoi(fields[3].c_str());
    columns.push_back(column);
  }
  return columns;
}

ResultFormatter::ResultFormatter(const FormatSettings& settings, std::vector<ResultColumn> columns,
                                 TextWriter write)
    : settings_(settings), columns_(std::move(columns)), write_(std::move(write)) {
  if (settings_.mode == OutputMode::kLine) {
    size_t width = 0;
    for (const ResultColumn& c : columns_) width = std::max(width, zkhost::DisplayWidth(c.name));
    for (const ResultColumn& c : columns_) {
      std::string prefix;
      AppendPadded(c.name, false, zkhost::DisplayWidth(c.name), width, true, &prefix);
      prefixes_.push_back(prefix + " = ");
    }
  } else if (settings_.mode == OutputMode::kJson) {
    for (const ResultColumn& c : columns_) {
      std::string key;
      AppendJsonString(c.name, false, &key);
      prefixes_.push_back(key + ":");
    }
  } else if (Framed()) {
    // Names are UTF-8: their width is counted in characters, after the
    // escapes markdown adds.
    for (const ResultColumn& c : columns_) {
      std::string shown;
      if (settings_.mode == OutputMode::kMarkdown) {
        AppendMarkdownEscaped(c.name, &shown);
      } else {
        shown = c.name;
      }
      widths_.push_back(zkhost::DisplayWidth(shown));
    }
  }
}

bool ResultFormatter::Framed() const {
  return settings_.mode == OutputMode::kTable || settings_.mode == OutputMode::kBox ||
         settings_.mode == OutputMode::kMarkdown;
}

// Counts bytes: a field is Windows-1252, one byte a character.
size_t ResultFormatter::CellWidth(std::string_view value) const {
  size_t widest = 0, line = 0;
  for (size_t at = 0; at < value.size();) {
    size_t br = BreakAt(value, at);
    if (settings_.mode == OutputMode::kMarkdown) {
      line += br > 0 ? 4 : value[at] == '|' ? 2 : 1;
    } else if (br > 0) {
      widest = std::max(widest, line);
      line = 0;
    } else {
      ++line;
    }
    at += br > 0 ? br : 1;
  }
  return std::max(widest, line);
}

void ResultFormatter::StartRow() {
  // List, csv and tabs name the columns above the first row only: a result
  // without rows shows nothing.
  if (rows_ > 0 || !settings_.headers) return;
  for (size_t i = 0; i < columns_.size(); ++i) {
    switch (settings_.mode) {
      case OutputMode::kList:
        if (i > 0) text_ += settings_.separator;
        text_ += columns_[i].name;
        break;
      case OutputMode::kCsv:
        if (i > 0) text_ += ',';
        AppendCsvField(columns_[i].name, false, &text_);
        break;
      case OutputMode::kTabs:
        if (i > 0) text_ += '\t';
        text_ += columns_[i].name;
        break;
      default:
        return;
    }
  }
  text_ += settings_.mode == OutputMode::kCsv    ? "\r\n"
           : settings_.mode == OutputMode::kList ? settings_.rowSeparator
                                                 : "\n";
}

void ResultFormatter::AddRow(const std::string_view* fields, size_t count) {
  if (columns_.empty()) return;
  auto field = [&](size_t i) { return i < count ? fields[i] : std::string_view(); };
  StartRow();
  switch (settings_.mode) {
    case OutputMode::kTable:
    case OutputMode::kBox:
    case OutputMode::kMarkdown:
      for (size_t i = 0; i < columns_.size(); ++i) {
        std::string_view v = field(i);
        kept_.append(v.data(), v.size());
        keptSizes_.push_back(static_cast<uint32_t>(v.size()));
        widths_[i] = std::max(widths_[i], CellWidth(v));
      }
      break;
    case OutputMode::kList:
    case OutputMode::kTabs:
      for (size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0) {
          if (settings_.mode == OutputMode::kTabs) {
            text_ += '\t';
          } else {
            text_ += settings_.separator;
          }
        }
        zkhost::AppendCp1252AsUtf8(field(i), &text_);
      }
      if (settings_.mode == OutputMode::kTabs) {
        text_ += '\n';
      } else {
        text_ += settings_.rowSeparator;
      }
      break;
    case OutputMode::kCsv:
      for (size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0) text_ += ',';
        AppendCsvField(field(i), true, &text_);
      }
      text_ += "\r\n";
      break;
    case OutputMode::kLine:
      if (rows_ > 0) text_ += '\n';
      for (size_t i = 0; i < columns_.size(); ++i) {
        text_ += prefixes_[i];
        zkhost::AppendCp1252AsUtf8(field(i), &text_);
        text_ += '\n';
      }
      break;
    case OutputMode::kJson:
      text_ += rows_ > 0 ? ",\n{" : "[{";
      for (size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0) text_ += ',';
        text_ += prefixes_[i];
        std::string_view v = field(i);
        if (columns_[i].numeric && IsJsonNumber(v)) {
          text_.append(v.data(), v.size());
        } else {
          AppendJsonString(v, true, &text_);
        }
      }
      text_ += '}';
      break;
  }
  ++rows_;
  Spill();
}

void ResultFormatter::WriteRule(int kind) {
  const FrameStyle& style = StyleOf(settings_.mode);
  text_ += style.left[kind];
  for (size_t i = 0; i < columns_.size(); ++i) {
    // Markdown marks a right-aligned column with a colon ending its rule.
    bool colon = settings_.mode == OutputMode::kMarkdown && columns_[i].numeric;
    for (size_t n = widths_[i] + (colon ? 1 : 2); n > 0; --n) text_ += style.fill;
    if (colon) text_ += ':';
    text_ += i + 1 < columns_.size() ? style.join[kind] : style.right[kind];
  }
  text_ += '\n';
}

void ResultFormatter::WriteHeader() {
  const char* vertical = StyleOf(settings_.mode).vertical;
  text_ += vertical;
  for (size_t i = 0; i < columns_.size(); ++i) {
    std::string name;
    if (settings_.mode == OutputMode::kMarkdown) {
      AppendMarkdownEscaped(columns_[i].name, &name);
    } else {
      name = columns_[i].name;
    }
    text_ += ' ';
    AppendPadded(name, false, zkhost::DisplayWidth(name), widths_[i], false, &text_);
    text_ += ' ';
    text_ += vertical;
  }
  text_ += '\n';
}

void ResultFormatter::WriteFramedRow(const std::string_view* fields) {
  const char* vertical = StyleOf(settings_.mode).vertical;
  if (settings_.mode == OutputMode::kMarkdown) {
    text_ += vertical;
    for (size_t i = 0; i < columns_.size(); ++i) {
      escaped_.clear();
      AppendMarkdownEscaped(fields[i], &escaped_);
      text_ += ' ';
      AppendPadded(escaped_, true, escaped_.size(), widths_[i], columns_[i].numeric, &text_);
      text_ += ' ';
      text_ += vertical;
    }
    text_ += '\n';
    return;
  }
  // A row is as tall as its tallest cell; shorter cells are blank below.
  cellLines_.resize(columns_.size());
  size_t height = 1;
  for (size_t i = 0; i < columns_.size(); ++i) {
    SplitLines(fields[i], &cellLines_[i]);
    height = std::max(height, cellLines_[i].size());
  }
  for (size_t line = 0; line < height; ++line) {
    text_ += vertical;
    for (size_t i = 0; i < columns_.size(); ++i) {
      std::string_view v = line < cellLines_[i].size() ? cellLines_[i][line] : std::string_view();
      text_ += ' ';
      AppendPadded(v, true, v.size(), widths_[i], columns_[i].numeric, &text_);
      text_ += ' ';
      text_ += vertical;
    }
    text_ += '\n';
  }
}

void ResultFormatter::Finish() {
  if (columns_.empty()) return;
  if (settings_.mode == OutputMode::kJson && rows_ > 0) text_ += "]\n";
  if (Framed()) {
    // Without rows the declared widths shape the frame, so an empty
    // result looks like the table it would fill.
    for (size_t i = 0; rows_ == 0 && i < columns_.size(); ++i) {
      if (columns_[i].width > 0) {
        widths_[i] = std::max(widths_[i], static_cast<size_t>(columns_[i].width));
      }
    }
    bool closed = settings_.mode != OutputMode::kMarkdown;
    if (closed) WriteRule(kTopRule);
    WriteHeader();
    WriteRule(kHeaderRule);
    std::vector<std::string_view> row(columns_.size());
    size_t at = 0;
    for (size_t r = 0, k = 0; r < rows_; ++r) {
      for (size_t i = 0; i < columns_.size(); ++i, ++k) {
        row[i] = std::string_view(kept_.data() + at, keptSizes_[k]);
        at += keptSizes_[k];
      }
      WriteFramedRow(row.data());
      Spill();
    }
    // The frame closes under the header when there is no row: an empty
    // result still reads as a whole table.
    if (closed) WriteRule(kBottomRule);
  }
  Flush();
}

void ResultFormatter::Spill() {
  if (text_.size() >= kPieceSize) Flush();
}

void ResultFormatter::Flush() {
  if (text_.empty()) return;
  write_(text_.data(), text_.size());
  text_.clear();
}

void AppendCsvField(std::string_view value, bool cp1252, std::string* out) {
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
    AppendText(value, cp1252, out);
    return;
  }
  out->push_back('"');
  size_t run = 0;
  for (size_t at = value.find('"'); at != std::string_view::npos; at = value.find('"', at + 1)) {
    // The quote goes out with the run before it, then once more.
    AppendText(value.substr(run, at + 1 - run), cp1252, out);
    out->push_back('"');
    run = at + 1;
  }
  AppendText(value.substr(run), cp1252, out);
  out->push_back('"');
}

}  // namespace zkshell
