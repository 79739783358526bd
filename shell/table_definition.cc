// A small tokenizer over the definition: names, numbers and the
// punctuation "(", ")" and ",". Names are checked as the lexer would take
// them (letters, digits, "_", starting with a letter or "_") so that a
// table made here can be named in statements.
#include "table_definition.h"

#include <cctype>

#include "jxengine.h"

namespace zkshell {
namespace {

constexpr size_t kMaxName = JX_NAME_MAX_LENGTH;

struct TypeName {
  const char* words;
  char letter;
  bool sized;
};

constexpr TypeName kTypes[] = {
    {"INTEGER", 'L', false},    {"BIGINT", 'L', false}, {"SMALLINT", 'E', false},
    {"TINYINT", 'C', false},    {"REAL", 'S', false},   {"DOUBLE PRECISION", 'D', false},
    {"DOUBLE", 'D', false},     {"CHAR", 'T', true},    {"VARCHAR", 'T', true},
    {"DATE", 'A', false},       {"TIME", 'H', false},   {"MEMO", 'M', false},
    {"BINARY MEMO", 'G', false}};

class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}

  // The next token: a word (upper-cased), a number, or one punctuation
  // character; "" at the end.
  std::string Next() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    if (at_ >= text_.size()) return "";
    unsigned char c = static_cast<unsigned char>(text_[at_]);
    if (isalnum(c) || c == '_') {
      std::string word;
      while (at_ < text_.size() &&
             (isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_')) {
        word += static_cast<char>(toupper(static_cast<unsigned char>(text_[at_++])));
      }
      return word;
    }
    ++at_;
    return std::string(1, static_cast<char>(c));
  }
  std::string Peek() {
    size_t saved = at_;
    std::string token = Next();
    at_ = saved;
    return token;
  }

 private:
  const std::string& text_;
  size_t at_ = 0;
};

bool IsName(const std::string& token) {
  if (token.empty() || token.size() > kMaxName) return false;
  unsigned char first = static_cast<unsigned char>(token[0]);
  return isalpha(first) || first == '_';
}

// Reads a type, whose words may be several ("DOUBLE PRECISION").
bool ReadType(Reader* reader, ColumnDefinition* column, std::string* error) {
  std::string first = reader->Next();
  for (const TypeName& type : kTypes) {
    std::string words = type.words;
    size_t blank = words.find(' ');
    if (words.substr(0, blank) != first) continue;
    if (blank != std::string::npos) {
      if (reader->Peek() != words.substr(blank + 1)) continue;
      reader->Next();
    }
    column->letter = type.letter;
    if (!type.sized) return true;
    std::string number;
    if (reader->Next() != "(" || (number = reader->Next()).empty() ||
        number.find_first_not_of("0123456789") != std::string::npos || reader->Next() != ")") {
      *error = column->name + ": " + first + " needs a length, as in " + first + "(20)";
      return false;
    }
    if (number.size() > 5 || std::stoi(number) < 1 || std::stoi(number) > 32766) {
      *error = column->name + ": length " + number + " is out of range (1 to 32766)";
      return false;
    }
    column->size = std::stoi(number);
    return true;
  }
  *error = column->name + ": unknown type \"" + first +
           "\" (INTEGER, SMALLINT, TINYINT, REAL, DOUBLE, CHAR(n), DATE, TIME, MEMO, "
           "BINARY MEMO)";
  return false;
}

}  // namespace

bool ParseTableDefinition(const std::string& text, TableDefinition* table, std::string* error) {
  Reader reader(text);
  table->name = reader.Next();
  table->columns.clear();
  if (!IsName(table->name)) {
    *error = "a table name (letters, digits, \"_\"; at most 30) must come first";
    return false;
  }
  if (reader.Next() != "(") {
    *error = "\"(\" must follow the table name";
    return false;
  }
  while (true) {
    ColumnDefinition column;
    column.name = reader.Next();
    if (!IsName(column.name)) {
      *error = "a column name (letters, digits, \"_\"; at most 30) was expected";
      return false;
    }
    for (const ColumnDefinition& other : table->columns) {
      if (other.name == column.name) {
        *error = column.name + ": a column of that name is already defined";
        return false;
      }
    }
    if (!ReadType(&reader, &column, error)) return false;
    table->columns.push_back(column);
    std::string after = reader.Next();
    if (after == ")") break;
    if (after != ",") {
      *error = column.name + ": \",\" or \")\" expected after its type";
      return false;
    }
  }
  if (!reader.Next().empty()) {
    *error = "nothing may follow the closing \")\"";
    return false;
  }
  return true;
}

}  // namespace zkshell
