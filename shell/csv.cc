// CSV reading and the CREATE TABLE of an import. Names of the header row
// become identifiers because the lexer reads identifiers as ASCII letters,
// digits and "_" only and reserves every keyword.
#include "csv.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "charset.h"
#include "jxengine.h"
#include "sql_keywords.h"

namespace zkshell {
namespace {

bool Reserved(const std::string& upper) {
  for (const char* word : SqlKeywords()) {
    if (upper == word) return true;
  }
  return false;
}

size_t Characters(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char b : utf8) {
    if ((b & 0xC0) != 0x80) ++n;
  }
  return n;
}

// Moves a position past one byte of UTF-8 text: a line break starts the
// next line, and a character counts once, at its first byte.
void Advance(CsvPosition* at, char c) {
  if (c == '\n') {
    ++at->line;
    at->column = 1;
  } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
    ++at->column;
  }
}

// The reading of one file, one byte at a time.
class CsvReader {
 public:
  CsvReader(const CsvSyntax& syntax, std::vector<CsvRecord>* records,
            std::vector<CsvPlaces>* places)
      : separator_(syntax.separator), records_(records), places_(places) {}

  bool Read(const std::string& text, size_t from, CsvPosition at, CsvError* error) {
    at_ = at;
    fieldStart_ = at;
    for (size_t i = from; i < text.size(); ++i) {
      char c = text[i];
      CsvPosition here = at_;
      Advance(&at_, c);
      bool doubled = i + 1 < text.size() && text[i + 1] == c;
      if (c == '\0') {
        // Statements are C strings: the value would end there.
        return Fail(here, "a NUL byte, which no value can hold", error);
      }
      if (state_ == kQuoted) {
        if (c != '"') {
          field_ += c;
        } else if (doubled) {
          field_ += '"';
          Advance(&at_, text[++i]);
        } else {
          state_ = kClosed;
        }
      } else if (c == separator_) {
        EndField();
        fieldStart_ = at_;
      } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
        if (c == '\r') Advance(&at_, text[++i]);
        EndRecord(here);
      } else if (state_ == kClosed) {
        return Fail(here, "text after the closing quote of a field", error);
      } else if (c == '"' && state_ != kStart) {
        return Fail(here, "a quote inside a field that does not start with one", error);
      } else if (c == '"') {
        state_ = kQuoted;
        quoteAt_ = here;
      } else {
        state_ = kPlain;
        field_ += c;
      }
    }
    if (state_ == kQuoted) return Fail(quoteAt_, "the quote opened here is not closed", error);
    if (state_ != kStart || !record_.empty()) EndRecord(at_);
    return true;
  }

 private:
  enum State { kStart, kPlain, kQuoted, kClosed };

  void EndField() {
    record_.push_back(std::move(field_));
    field_.clear();
    recordPlaces_.fields.push_back(fieldStart_);
    state_ = kStart;
  }

  void EndRecord(CsvPosition end) {
    EndField();
    recordPlaces_.end = end;
    records_->push_back(std::move(record_));
    record_.clear();
    if (places_ != nullptr) places_->push_back(std::move(recordPlaces_));
    recordPlaces_ = CsvPlaces();
    fieldStart_ = at_;
  }

  bool Fail(CsvPosition at, const std::string& what, CsvError* error) {
    if (error != nullptr) *error = CsvError{at, what};
    return false;
  }

  char separator_;
  std::vector<CsvRecord>* records_;
  std::vector<CsvPlaces>* places_;
  State state_ = kStart;
  CsvRecord record_;
  std::string field_;
  CsvPlaces recordPlaces_;
  CsvPosition at_, fieldStart_, quoteAt_;
};

// The value the library gives a number literal (text that IsNumber
// accepts). It reads digit by digit, not to the nearest double: beyond
// fifteen digits or so its value is not strtod's, and only its own reading
// tells whether a text comes back unchanged.
double LibraryReading(const std::string& text) {
  size_t i = 0;
  bool negative = text[0] == '-';
  if (text[0] == '-' || text[0] == '+') ++i;
  double value = 0, scale = 1;
  bool decimals = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      decimals = true;
    } else if (decimals) {
      scale *= 0.1;
      value += (text[i] - '0') * scale;
    } else {
      value = value * 10 + (text[i] - '0');
    }
  }
  if (negative) value = -value;
  if (i < text.size()) {
    long exponent = strtol(text.c_str() + i + 1, nullptr, 10);
    long steps = exponent < 0 ? -exponent : exponent;
    for (long k = 0; k < steps && k < 1000 && value != 0 && !std::isinf(value); ++k) {
      value *= exponent < 0 ? 0.1 : 10;
    }
  }
  return value;
}

// The text the library shows for a real: a whole number as its digits,
// others with six decimals, trailing zeros and a bare point dropped.
std::string DisplayedReal(double value) {
  char text[400];
  if (std::fabs(value) < 4503599627370496.0 && value == std::trunc(value) &&
      !(value == 0 && std::signbit(value))) {
    snprintf(text, sizeof text, "%.0f", value);
    return text;
  }
  snprintf(text, sizeof text, "%f", value);
  std::string shown = text;
  if (shown.find('.') != std::string::npos && shown.find_first_of("eE") == std::string::npos) {
    while (shown.back() == '0') shown.pop_back();
    if (shown.back() == '.') shown.pop_back();
  }
  return shown;
}

}  // namespace

bool ParseCsv(const std::string& text, const CsvSyntax& syntax, std::vector<CsvRecord>* records,
              std::vector<CsvPlaces>* places, CsvError* error) {
  records->clear();
  if (places != nullptr) places->clear();
  size_t from = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  CsvPosition at;
  for (; at.line <= syntax.skipLines && from < text.size(); ++from) {
    if (text[from] == '\n') ++at.line;
  }
  // Every value goes to the library in Windows-1252: a character it cannot
  // hold is found here, where its place in the file is known.
  std::string what;
  size_t bad = zkhost::FindNonCp1252(text.substr(from), &what);
  if (bad != std::string::npos) {
    CsvPosition place = at;
    for (size_t i = from; i < from + bad; ++i) Advance(&place, text[i]);
    if (error != nullptr) *error = CsvError{place, what};
    return false;
  }
  CsvReader reader(syntax, records, places);
  return reader.Read(text, from, at, error);
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    const std::string& v = fields[i];
    if (v.find_first_of(",\"\r\n") == std::string::npos) {
      out += v;
      continue;
    }
    out += '"';
    for (char c : v) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  out += "\r\n";
  return out;
}

bool IsNumber(const std::string& v) {
  size_t i = 0;
  if (i < v.size() && (v[i] == '-' || v[i] == '+')) ++i;
  size_t digits = 0;
  while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i, ++digits;
  if (digits == 0) return false;
  if (i < v.size() && v[i] == '.') {
    ++i;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i;
  }
  if (i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
    ++i;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) ++i;
    size_t exponent = 0;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i, ++exponent;
    if (exponent == 0) return false;
  }
  return i == v.size();
}

bool IsInteger32(const std::string& v) {
  size_t i = (!v.empty() && (v[0] == '-' || v[0] == '+')) ? 1 : 0;
  if (i == v.size() || v.size() - i > 10) return false;
  for (size_t k = i; k < v.size(); ++k) {
    if (v[k] < '0' || v[k] > '9') return false;
  }
  long long n = strtoll(v.c_str(), nullptr, 10);
  return n >= -2147483647LL - 1 && n <= 2147483647LL;
}

NumberForm ClassifyNumber(const std::string& value, bool decimalComma) {
  std::string text = value;
  bool comma = false;
  if (decimalComma) {
    if (text.find('.') != std::string::npos) return NumberForm::kNone;
    size_t at = text.find(',');
    if (at != std::string::npos) {
      text[at] = '.';
      comma = true;
    }
  }
  if (!IsNumber(text)) return NumberForm::kNone;
  if (comma) {
    // Fixed decimals are how such files write amounts: "12,50" is 12.5.
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  } else if (IsInteger32(text) && std::to_string(strtoll(text.c_str(), nullptr, 10)) == text) {
    return NumberForm::kInteger32;
  }
  return DisplayedReal(LibraryReading(text)) == text ? NumberForm::kReal : NumberForm::kNone;
}

std::string NumberLiteral(const std::string& value, bool decimalComma) {
  std::string text = value;
  if (decimalComma && text.find('.') == std::string::npos) {
    size_t at = text.find(',');
    if (at != std::string::npos) text[at] = '.';
  }
  if (!IsNumber(text)) return "";
  // A leading "+" is dropped: "+5" as a value is the lexer's operator.
  return text[0] == '+' ? text.substr(1) : text;
}

std::string MakeIdentifier(const std::string& name) {
  std::string id;
  for (char c : zkhost::TransliterateToAscii(name)) {
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
      id += c;
    } else if (c >= 'a' && c <= 'z') {
      id += static_cast<char>(c - 32);
    } else if (!id.empty() && id.back() != '_') {
      id += '_';
    }
  }
  while (!id.empty() && id.back() == '_') id.pop_back();
  if (id.empty()) id = "COL";
  if ((id[0] >= '0' && id[0] <= '9') || Reserved(id)) id = "C_" + id;
  if (id.size() > JX_NAME_MAX_LENGTH) id.resize(JX_NAME_MAX_LENGTH);
  return id;
}

std::vector<InferredColumn> InferColumns(const CsvRecord& header,
                                         const std::vector<CsvRecord>& rows, bool decimalComma) {
  std::vector<InferredColumn> columns;
  std::set<std::string> used;
  for (size_t i = 0; i < header.size(); ++i) {
    InferredColumn column;
    std::string base = MakeIdentifier(header[i]);
    column.name = base;
    for (int n = 2; used.count(column.name) != 0; ++n) {
      std::string suffix = "_" + std::to_string(n);
      column.name = base.substr(0, JX_NAME_MAX_LENGTH - suffix.size()) + suffix;
    }
    used.insert(column.name);
    bool integers = true, numbers = true, any = false;
    for (const CsvRecord& row : rows) {
      const std::string value = i < row.size() ? row[i] : std::string();
      if (Characters(value) > column.length) column.length = Characters(value);
      if (value.empty()) continue;
      any = true;
      NumberForm form = ClassifyNumber(value, decimalComma);
      if (form != NumberForm::kInteger32) integers = false;
      if (form == NumberForm::kNone) numbers = false;
    }
    column.type = !any       ? InferredType::kText
                  : integers ? InferredType::kInteger
                  : numbers  ? InferredType::kReal
                             : InferredType::kText;
    columns.push_back(column);
  }
  return columns;
}

std::string CreateTableText(const std::string& table, const std::vector<InferredColumn>& columns) {
  std::string out = "CREATE TABLE " + table + " (";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) out += ", ";
    out += columns[i].name;
    switch (columns[i].type) {
      case InferredType::kInteger:
        out += " INTEGER";
        break;
      case InferredType::kReal:
        out += " DOUBLE PRECISION";
        break;
      case InferredType::kText:
        out += " CHAR(" + std::to_string(columns[i].length) + ")";
        break;
    }
  }
  out += ")";
  return out;
}

std::string SqlLiteral(const std::string& value, bool numeric) {
  if (numeric) {
    if (value.empty()) return "0";
    // A leading "+" is dropped: "+5" as a value is the lexer's operator.
    return value[0] == '+' ? value.substr(1) : value;
  }
  std::string out = "'";
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += "'";
  return out;
}

}  // namespace zkshell
