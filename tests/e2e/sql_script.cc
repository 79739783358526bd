// Reading SQL scripts, formatting catalogue messages and converting texts
// between UTF-8 and Windows-1252 for the end-to-end script runner.
#include "sql_script.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zksql_e2e {
namespace {

std::string Trim(const std::string& s) {
  size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

bool IsBlank(const std::string& line) {
  return Trim(line).empty();
}

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> words;
  std::istringstream in(s);
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

bool ParseInt(const std::string& s, int* out) {
  if (s.empty()) return false;
  size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t k = i; k < s.size(); ++k)
    if (!isdigit(static_cast<unsigned char>(s[k]))) return false;
  *out = atoi(s.c_str());
  return true;
}

// Arguments written as 'quoted text' ('' for a quote inside) or as bare
// words, separated by blanks.
bool ParseArguments(const std::string& s, std::vector<std::string>* out) {
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ' ' || s[i] == '\t') {
      ++i;
      continue;
    }
    std::string arg;
    if (s[i] == '\'') {
      ++i;
      bool closed = false;
      while (i < s.size()) {
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'') {
            arg += '\'';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        arg += s[i++];
      }
      if (!closed) return false;
      if (i < s.size() && s[i] != ' ' && s[i] != '\t') return false;
    } else {
      while (i < s.size() && s[i] != ' ' && s[i] != '\t') arg += s[i++];
    }
    out->push_back(arg);
  }
  return true;
}

bool ParseFileItem(const std::string& word, FileItem* item) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t colon = word.find(':', start);
    parts.push_back(word.substr(start, colon == std::string::npos ? colon : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 4 || parts[0].empty() || parts[1].size() != 1)
    return false;
  item->name = parts[0];
  item->letter = parts[1][0];
  if (parts.size() >= 3 && !parts[2].empty() && !ParseInt(parts[2], &item->size)) return false;
  if (parts.size() == 4 && (!ParseInt(parts[3], &item->key) || item->key < 0 || item->key > 2))
    return false;
  return true;
}

std::string At(int line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

// Reads the directive line into the record; false with a message when it
// is not one.
bool ParseDirective(const std::string& line, Record* r, std::string* why) {
  std::vector<std::string> w = Words(line);
  if (w.empty()) {
    *why = "directive expected";
    return false;
  }
  const std::string& d = w[0];
  if (d == "statement" || d == "statements") {
    if (w.size() != 2 || w[1] != "ok") {
      *why = "'" + d + " ok' expected";
      return false;
    }
    r->kind = d == "statement" ? RecordKind::kStatement : RecordKind::kStatements;
    return true;
  }
  if (d == "query") {
    r->kind = RecordKind::kQuery;
    if (w.size() == 2 && w[1] == "rowsort") {
      r->rowsort = true;
    } else if (w.size() != 1) {
      *why = "'query' or 'query rowsort' expected";
      return false;
    }
    return true;
  }
  if (d == "columns") {
    r->kind = RecordKind::kColumns;
    if (w.size() != 1) {
      *why = "'columns' takes no argument";
      return false;
    }
    return true;
  }
  if (d == "error") {
    r->kind = RecordKind::kError;
    if (w.size() < 3 || w.size() > 4) {
      *why = "'error ID SQLSTATE [compiled=0|1]' expected";
      return false;
    }
    if (w[1] == "-") {
      r->messageId = 0;
    } else if (!ParseInt(w[1], &r->messageId) || r->messageId <= 0) {
      *why = "message identifier or '-' expected, not '" + w[1] + "'";
      return false;
    }
    if (w[2].size() != 5) {
      *why = "a five-character SQLSTATE expected, not '" + w[2] + "'";
      return false;
    }
    r->sqlState = w[2];
    if (w.size() == 4) {
      if (w[3] == "compiled=0") {
        r->compiled = 0;
      } else if (w[3] == "compiled=1") {
        r->compiled = 1;
      } else {
        *why = "'compiled=0' or 'compiled=1' expected, not '" + w[3] + "'";
        return false;
      }
    }
    return true;
  }
  if (d == "longdata") {
    r->kind = RecordKind::kLongData;
    if (w.size() != 2 || !ParseInt(w[1], &r->column) || r->column < 1) {
      *why = "'longdata COLUMN' expected (a column number from 1)";
      return false;
    }
    return true;
  }
  if (d == "file") {
    r->kind = RecordKind::kFile;
    if (w.size() < 3) {
      *why = "'file NAME ITEM:LETTER[:SIZE[:KEY]]...' expected";
      return false;
    }
    r->fileName = w[1];
    for (size_t i = 2; i < w.size(); ++i) {
      FileItem item;
      if (!ParseFileItem(w[i], &item)) {
        *why = "malformed item '" + w[i] + "' (ITEM:LETTER[:SIZE[:KEY]])";
        return false;
      }
      r->items.push_back(item);
    }
    return true;
  }
  *why = "unknown directive '" + d + "'";
  return false;
}

bool NeedsExpectation(RecordKind k) {
  return k == RecordKind::kQuery || k == RecordKind::kColumns || k == RecordKind::kError ||
         k == RecordKind::kLongData;
}

}  // namespace

std::vector<std::string> SplitStatements(const std::string& text) {
  std::vector<std::string> out;
  auto keep = [&out](const std::string& piece) {
    size_t first = piece.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return;
    size_t last = piece.find_last_not_of(" \t\r\n");
    out.push_back(piece.substr(first, last - first + 1));
  };
  std::string current;
  char quote = 0;
  for (char c : text) {
    if (quote != 0) {
      if (c == quote) quote = 0;  // a doubled quote closes and reopens
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';') {
      keep(current);
      current.clear();
      continue;
    }
    current += c;
  }
  keep(current);
  return out;
}

bool ParseScript(const std::string& text, std::vector<Record>* records, std::string* error) {
  std::vector<std::string> lines;
  {
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  std::string pendingSkip;
  std::vector<std::string> pendingMemos;
  bool pendingTransaction = false;
  int pendingLine = 0;
  size_t i = 0;
  while (i < lines.size()) {
    const std::string& line = lines[i];
    int number = static_cast<int>(i) + 1;
    if (IsBlank(line) || line[0] == '#') {
      ++i;
      continue;
    }
    std::vector<std::string> w = Words(line);
    if (w[0] == "skip") {
      if (!pendingSkip.empty()) {
        *error = At(number, "two 'skip' lines for one record");
        return false;
      }
      pendingSkip = Trim(Trim(line).substr(4));
      if (pendingSkip.empty()) {
        *error = At(number, "'skip' needs a reason");
        return false;
      }
      pendingLine = number;
      ++i;
      continue;
    }
    if (w[0] == "transaction") {
      if (w.size() != 1) {
        *error = At(number, "'transaction' takes no argument");
        return false;
      }
      pendingTransaction = true;
      pendingLine = number;
      ++i;
      continue;
    }
    if (w[0] == "memos") {
      std::vector<std::string> memos;
      if (!ParseArguments(Trim(line).substr(5), &memos) || memos.empty()) {
        *error = At(number, "'memos' needs one or more quoted texts");
        return false;
      }
      pendingMemos = memos;
      pendingLine = number;
      ++i;
      continue;
    }
    Record r;
    r.line = number;
    std::string why;
    if (!ParseDirective(line, &r, &why)) {
      *error = At(number, why);
      return false;
    }
    ++i;
    if (r.kind == RecordKind::kFile) {
      if (i < lines.size() && !IsBlank(lines[i])) {
        *error = At(number + 1, "a 'file' record is one line; a blank line must follow");
        return false;
      }
    } else {
      std::string sql;
      while (i < lines.size() && !IsBlank(lines[i]) && lines[i] != "----") {
        if (!sql.empty()) sql += "\n";
        sql += lines[i];
        ++i;
      }
      if (sql.empty()) {
        *error = At(number, "the record has no statement");
        return false;
      }
      r.sql = sql;
      if (i < lines.size() && lines[i] == "----") {
        if (!NeedsExpectation(r.kind)) {
          *error = At(static_cast<int>(i) + 1, "'----' after a statement that expects no result");
          return false;
        }
        r.hasExpectation = true;
        ++i;
        while (i < lines.size() && !IsBlank(lines[i])) r.expected.push_back(lines[i++]);
      } else if (NeedsExpectation(r.kind)) {
        *error = At(number, "'----' and the expected result missing");
        return false;
      }
      if (r.kind == RecordKind::kStatements) {
        r.statements = SplitStatements(r.sql);
        if (r.statements.empty()) {
          *error = At(number, "no statement");
          return false;
        }
      }
      if (r.kind == RecordKind::kError) {
        if (r.expected.empty()) {
          *error = At(number, "the expected error text is missing");
          return false;
        }
        const std::string& first = r.expected[0];
        if (first == "catalogue" || first.compare(0, 10, "catalogue ") == 0) {
          if (r.expected.size() != 1) {
            *error = At(number, "'catalogue ARG...' stands alone after '----'");
            return false;
          }
          if (r.messageId == 0) {
            *error = At(number, "'catalogue' needs a message identifier in the directive");
            return false;
          }
          if (!ParseArguments(first.substr(9), &r.catalogueArguments)) {
            *error = At(number, "malformed catalogue arguments");
            return false;
          }
          r.fromCatalogue = true;
          r.expected.clear();
        } else if (first == "(any text)") {
          if (r.expected.size() != 1 || r.messageId != 0) {
            *error = At(number, "'(any text)' stands alone, after 'error -'");
            return false;
          }
          r.anyText = true;
          r.expected.clear();
        }
      }
    }
    r.skipReason = pendingSkip;
    r.memos = pendingMemos;
    r.transaction = pendingTransaction;
    pendingSkip.clear();
    pendingMemos.clear();
    pendingTransaction = false;
    records->push_back(r);
  }
  if (!pendingSkip.empty() || !pendingMemos.empty() || pendingTransaction) {
    *error = At(pendingLine, "'skip', 'memos' or 'transaction' without a record after it");
    return false;
  }
  return true;
}

bool LoadCatalogue(const std::string& path, std::map<int, std::string>* catalogue,
                   std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    int id = 0;
    if (tab == std::string::npos || !ParseInt(line.substr(0, tab), &id)) {
      *error = path + ":" + std::to_string(number) + ": malformed catalogue line";
      return false;
    }
    std::string text;
    for (size_t k = tab + 1; k < line.size(); ++k) {
      if (line[k] == '\\' && k + 1 < line.size()) {
        char next = line[++k];
        text += next == 'n' ? '\n' : next;
      } else {
        text += line[k];
      }
    }
    (*catalogue)[id] = text;
  }
  return true;
}

bool FormatCatalogueText(const std::string& format, const std::vector<std::string>& arguments,
                         std::string* out) {
  out->clear();
  size_t next = 0;
  for (size_t k = 0; k < format.size(); ++k) {
    if (format[k] != '%' || k + 1 == format.size()) {
      *out += format[k];
      continue;
    }
    char conversion = format[++k];
    if (conversion == '%') {
      *out += '%';
      continue;
    }
    if (next == arguments.size()) return false;
    const std::string& arg = arguments[next++];
    if (conversion == 's') {
      *out += arg;
    } else if (conversion == 'i') {
      int value = 0;
      if (!ParseInt(arg, &value)) return false;
      *out += std::to_string(value);
    } else {
      return false;
    }
  }
  return next == arguments.size();
}

namespace {

bool MatchFrom(const std::string& f, size_t fi, const std::string& t, size_t ti) {
  while (fi < f.size()) {
    if (f[fi] == '%' && fi + 1 < f.size() && f[fi + 1] != '%') {
      char conversion = f[fi + 1];
      if (conversion == 's') {
        for (size_t end = ti; end <= t.size(); ++end)
          if (MatchFrom(f, fi + 2, t, end)) return true;
        return false;
      }
      if (conversion == 'i') {
        size_t k = ti;
        if (k < t.size() && t[k] == '-') ++k;
        size_t digits = k;
        while (k < t.size() && isdigit(static_cast<unsigned char>(t[k]))) ++k;
        if (k == digits) return false;
        // Any split of the digits would do; the longest run is the only
        // one a following literal can accept unless it starts with a digit.
        for (size_t end = k; end > digits; --end)
          if (MatchFrom(f, fi + 2, t, end)) return true;
        return false;
      }
      return false;
    }
    size_t step = (f[fi] == '%' && fi + 1 < f.size()) ? 2 : 1;  // "%%" is one "%"
    if (ti >= t.size() || t[ti] != f[fi]) return false;
    fi += step;
    ++ti;
  }
  return ti == t.size();
}

// Windows-1252 code points of the bytes 0x80 to 0x9F; 0 where none.
const unsigned kHighControls[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(unsigned cp, std::string* out) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool MatchesCatalogueFormat(const std::string& format, const std::string& text) {
  return MatchFrom(format, 0, text, 0);
}

bool Utf8ToCp1252(const std::string& utf8, std::string* out) {
  out->clear();
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    unsigned cp;
    size_t extra;
    if (c < 0x80) {
      cp = c;
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else {
      return false;  // four-byte sequences hold nothing Windows-1252 has
    }
    if (i + extra >= utf8.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    i += extra + 1;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      *out += static_cast<char>(cp);
      continue;
    }
    bool found = false;
    for (unsigned k = 0; k < 32; ++k) {
      if (kHighControls[k] != 0 && kHighControls[k] == cp) {
        *out += static_cast<char>(0x80 + k);
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

std::string Cp1252ToUtf8(const std::string& cp1252) {
  std::string out;
  for (char ch : cp1252) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80 || c >= 0xA0) {
      AppendUtf8(c, &out);
    } else if (kHighControls[c - 0x80] != 0) {
      AppendUtf8(kHighControls[c - 0x80], &out);
    } else {
      // A byte Windows-1252 leaves undefined: shown, never silently lost.
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace zksql_e2e
