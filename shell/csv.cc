// CSV reading and the CREATE TABLE of an import. Names of the header row
// become identifiers because the lexer reads identifiers as ASCII letters,
// digits and "_" only and reserves every keyword.
#include "csv.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#include "jxengine.h"

namespace zkshell {
namespace {

// The single-word keywords of the SQL dialect: none of them can name a
// column.
const char* const kReserved[] = {
    "ALL", "AND", "ANY", "AS", "AVG", "BETWEEN", "CASCADE", "TABLE", "VIEW", "DATE", "DAY",
    "DECIMAL", "DEFAULT", "DIGITS", "DISTINCT", "EXCEPT", "EXISTS", "FLOAT", "FROM", "HAVING",
    "HEX", "HOUR", "INTEGER", "INTERSECT", "IN", "IS", "LENGTH", "LIKE", "MATCH", "MAX", "MINUTE",
    "MIN", "NOT", "NULL", "OR", "RESTRICT", "SECOND", "SELECT", "SET", "SOME", "SUM", "TIME",
    "UNION", "UNIQUE", "UPDATE", "VALUES", "WHERE", "WITH", "YEAR", "ASC", "DESC", "SMALLINT",
    "REAL", "DOUBLE", "CHAR", "VARCHAR", "PRECISION", "BIGINT", "TINYINT", "CREATE", "INDEX",
    "ON", "COUNT", "DELETE", "DROP", "INSERT", "INTO", "GROUP", "ORDER", "BY", "PRIMARY",
    "FOREIGN", "KEY", "CURRENT"};

bool Reserved(const std::string& upper) {
  for (const char* word : kReserved) {
    if (upper == word) return true;
  }
  return false;
}

// The ASCII letter of a Latin-1 accented letter (UTF-8 C3 xx), or 0.
char Unaccented(unsigned char second) {
  static const char kMap[] =
      "AAAAAAACEEEEIIII"  // C3 80 - 8F
      "DNOOOOO_OUUUUY_S"  // C3 90 - 9F
      "aaaaaaaceeeeiiii"  // C3 A0 - AF
      "dnooooo_ouuuuy_y"; // C3 B0 - BF
  if (second < 0x80 || second > 0xBF) return 0;
  char c = kMap[second - 0x80];
  return c == '_' ? 0 : c;
}

size_t Characters(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char b : utf8) {
    if ((b & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace

bool ParseCsv(const std::string& text, std::vector<CsvRecord>* records, std::string* error) {
  records->clear();
  size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  CsvRecord record;
  std::string field;
  bool quoted = false;     // inside a quoted field
  bool any = false;        // the current record has begun
  int line = 1, quoteLine = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        if (c == '\n') ++line;
        field += c;
      }
      continue;
    }
    if (c == '"' && field.empty()) {
      quoted = true;
      quoteLine = line;
      any = true;
    } else if (c == ',') {
      record.push_back(field);
      field.clear();
      any = true;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    } else if (c == '\n') {
      ++line;
      record.push_back(field);
      records->push_back(record);
      record.clear();
      field.clear();
      any = false;
    } else {
      field += c;
      any = true;
    }
  }
  if (quoted) {
    if (error != nullptr) *error = "unterminated quoted field from line " + std::to_string(quoteLine);
    return false;
  }
  if (any || !field.empty()) {
    record.push_back(field);
    records->push_back(record);
  }
  return true;
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

std::string MakeIdentifier(const std::string& name) {
  std::string id;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(name[i]);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '_') {
      id += static_cast<char>(b >= 'a' && b <= 'z' ? b - 32 : b);
    } else if (b == 0xC3 && i + 1 < name.size() && Unaccented(name[i + 1]) != 0) {
      char c = Unaccented(static_cast<unsigned char>(name[++i]));
      id += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    } else if (b >= 0x80 && (b & 0xC0) == 0x80) {
      continue;  // the rest of a character already replaced
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
                                         const std::vector<CsvRecord>& rows) {
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
      if (!IsInteger32(value)) integers = false;
      if (!IsNumber(value)) numbers = false;
    }
    column.type = !any ? InferredType::kText
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
      case InferredType::kInteger: out += " INTEGER"; break;
      case InferredType::kReal: out += " DOUBLE PRECISION"; break;
      case InferredType::kText: out += " CHAR(" + std::to_string(columns[i].length) + ")"; break;
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
