// CSV for `.import` and `.export`: an RFC 4180 reader (quoted fields,
// doubled quotes, separators and line breaks inside quotes, CRLF or LF
// records), and the type inference that turns a header row and its values
// into the CREATE TABLE statement of a new table.
#ifndef ZKSHELL_CSV_H
#define ZKSHELL_CSV_H

#include <string>
#include <vector>

namespace zkshell {

using CsvRecord = std::vector<std::string>;

// Reads every record of text. Returns false, with *error saying where,
// when a quoted field is not closed. A UTF-8 byte order mark is skipped; a
// last line break does not make an empty record.
bool ParseCsv(const std::string& text, std::vector<CsvRecord>* records, std::string* error);

// One CSV line (with its "\r\n") of fields.
std::string CsvLine(const std::vector<std::string>& fields);

enum class InferredType { kInteger, kReal, kText };

struct InferredColumn {
  std::string name;  // an identifier the lexer accepts
  InferredType type = InferredType::kText;
  size_t length = 1;  // characters of the longest value, for texts
};

// Column types from the values: integers when every non-empty value is a
// 32-bit integer, reals when every one is a number, texts otherwise (an
// all-empty column is a text of length 1). Names come from the header,
// made into identifiers: accents dropped, other characters "_", reserved
// words and leading digits prefixed, cut to the engine's name length, duplicates
// numbered.
std::vector<InferredColumn> InferColumns(const CsvRecord& header,
                                         const std::vector<CsvRecord>& rows);

std::string CreateTableText(const std::string& table, const std::vector<InferredColumn>& columns);

// A value as an SQL literal: numbers bare (an empty number is 0), texts in
// apostrophes with inner apostrophes doubled.
std::string SqlLiteral(const std::string& value, bool numeric);

// True when value reads as a number (sign, digits, optional fraction and
// exponent) that the lexer takes as one literal.
bool IsNumber(const std::string& value);
bool IsInteger32(const std::string& value);

// The name made into an identifier as InferColumns makes column names.
std::string MakeIdentifier(const std::string& name);

}  // namespace zkshell

#endif
