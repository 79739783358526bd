// The output modes. Widths count characters, not bytes: the terminal shows
// every character the library can hold in one cell.
#include "output_format.h"

#include <cstdlib>
#include <cstdio>

#include "charset.h"

namespace zkshell {
namespace {

struct ModeName {
  OutputMode mode;
  const char* name;
};

constexpr ModeName kModes[] = {
    {OutputMode::kTable, "table"}, {OutputMode::kList, "list"}, {OutputMode::kCsv, "csv"},
    {OutputMode::kTabs, "tabs"},   {OutputMode::kLine, "line"}, {OutputMode::kJson, "json"},
};

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

std::string Pad(const std::string& value, size_t width, bool right) {
  size_t shown = DisplayWidth(value);
  if (shown >= width) return value;
  std::string blanks(width - shown, ' ');
  return right ? blanks + value : value + blanks;
}

const std::string& Cell(const Row& row, size_t i) {
  static const std::string empty;
  return i < row.size() ? row[i] : empty;
}

std::string Table(const std::vector<ResultColumn>& columns, const std::vector<Row>& rows) {
  std::vector<size_t> widths;
  for (size_t i = 0; i < columns.size(); ++i) {
    size_t w = DisplayWidth(columns[i].name);
    // Without rows the declared width shapes the frame, so an empty result
    // looks like the table it would fill.
    if (rows.empty() && columns[i].width > 0 && static_cast<size_t>(columns[i].width) > w) {
      w = static_cast<size_t>(columns[i].width);
    }
    for (const Row& row : rows) {
      size_t v = DisplayWidth(Cell(row, i));
      if (v > w) w = v;
    }
    widths.push_back(w);
  }
  std::string rule = "+";
  for (size_t w : widths) rule += std::string(w + 2, '-') + "+";
  rule += "\n";
  std::string out = rule + "|";
  for (size_t i = 0; i < columns.size(); ++i) out += " " + Pad(columns[i].name, widths[i], false) + " |";
  out += "\n" + rule;
  for (const Row& row : rows) {
    out += "|";
    for (size_t i = 0; i < columns.size(); ++i) {
      out += " " + Pad(Cell(row, i), widths[i], columns[i].numeric) + " |";
    }
    out += "\n";
  }
  if (!rows.empty()) out += rule;
  return out;
}

std::string Joined(const std::vector<ResultColumn>& columns, const std::vector<Row>& rows,
                   bool headers, const std::string& separator, bool csv, const char* end) {
  std::string out;
  if (headers) {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) out += separator;
      out += csv ? CsvField(columns[i].name, separator) : columns[i].name;
    }
    out += end;
  }
  for (const Row& row : rows) {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) out += separator;
      out += csv ? CsvField(Cell(row, i), separator) : Cell(row, i);
    }
    out += end;
  }
  return out;
}

std::string Line(const std::vector<ResultColumn>& columns, const std::vector<Row>& rows) {
  size_t width = 0;
  for (const ResultColumn& c : columns) {
    if (DisplayWidth(c.name) > width) width = DisplayWidth(c.name);
  }
  std::string out;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (r > 0) out += "\n";
    for (size_t i = 0; i < columns.size(); ++i) {
      out += Pad(columns[i].name, width, true) + " = " + Cell(rows[r], i) + "\n";
    }
  }
  return out;
}

// A numeric column's value goes out bare when it reads as a JSON number.
bool IsJsonNumber(const std::string& v) {
  if (v.empty()) return false;
  size_t i = v[0] == '-' ? 1 : 0;
  if (i >= v.size() || v[i] < '0' || v[i] > '9') return false;
  char* end = nullptr;
  strtod(v.c_str(), &end);
  return end != nullptr && *end == '\0' && v.find_first_of("xXpP") == std::string::npos &&
         v.back() != '.';
}

std::string Json(const std::vector<ResultColumn>& columns, const std::vector<Row>& rows) {
  if (rows.empty()) return "";
  std::string out = "[";
  for (size_t r = 0; r < rows.size(); ++r) {
    out += r > 0 ? ",\n{" : "{";
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) out += ",";
      const std::string& v = Cell(rows[r], i);
      out += JsonString(columns[i].name) + ":";
      out += columns[i].numeric && IsJsonNumber(v) ? v : JsonString(v);
    }
    out += "}";
  }
  out += "]\n";
  return out;
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

std::string FormatResult(const FormatSettings& settings, const std::vector<ResultColumn>& columns,
                         const std::vector<Row>& rows) {
  if (columns.empty()) return "";
  switch (settings.mode) {
    case OutputMode::kTable: return Table(columns, rows);
    case OutputMode::kList:
      return Joined(columns, rows, settings.headers && !rows.empty(), settings.separator, false,
                    "\n");
    case OutputMode::kCsv:
      return Joined(columns, rows, settings.headers && !rows.empty(), ",", true, "\r\n");
    case OutputMode::kTabs:
      return Joined(columns, rows, settings.headers && !rows.empty(), "\t", false, "\n");
    case OutputMode::kLine: return Line(columns, rows);
    case OutputMode::kJson: return Json(columns, rows);
  }
  return "";
}

std::string CsvField(const std::string& value, const std::string& separator) {
  bool quote = value.find_first_of("\"\r\n") != std::string::npos ||
               (!separator.empty() && value.find(separator) != std::string::npos);
  if (!quote) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += "\"";
  return out;
}

std::string JsonString(const std::string& value) {
  std::string out = "\"";
  for (unsigned char c : value) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += "\"";
  return out;
}

}  // namespace zkshell
