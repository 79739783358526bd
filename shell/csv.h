// CSV for `.import` and `.export`: a strict RFC 4180 reader (quoted
// fields, doubled quotes, separators and line breaks inside quotes, CRLF or
// LF records, any one-character separator) that says where a file goes
// wrong, and the type inference that turns a header row and its values
// into the CREATE TABLE statement of a new table.
#ifndef ZKSHELL_CSV_H
#define ZKSHELL_CSV_H

#include <string>
#include <vector>

namespace zkshell {

using CsvRecord = std::vector<std::string>;

// Where a character stands in a file: its physical line (every line break
// counts, those inside quoted fields included) and its character column
// in that line, both from 1, as an editor shows them.
struct CsvPosition {
  int line = 1;
  int column = 1;
};

// Where each field of one record starts, and where the record ends (the
// place of its line break, or of the end of the file).
struct CsvPlaces {
  std::vector<CsvPosition> fields;
  CsvPosition end;
};

struct CsvSyntax {
  char separator = ',';
  int skipLines = 0;  // physical lines passed over before the first record
};

struct CsvError {
  CsvPosition at;
  std::string what;
};

// Reads every record of text. A field is either plain (no quote in it) or
// quoted whole, with "" for a quote; a quote elsewhere, text after a
// closing quote, an unclosed quote, or a character with no Windows-1252
// form (the library could not hold it) stops the reading: false, with
// *error saying what and where. A UTF-8 byte order mark is skipped; a last
// line break does not make an empty record; an empty line is a record of
// one empty field. places, when given, receives one entry a record.
bool ParseCsv(const std::string& text, const CsvSyntax& syntax, std::vector<CsvRecord>* records,
              std::vector<CsvPlaces>* places, CsvError* error);

// One CSV line (with its "\r\n") of fields.
std::string CsvLine(const std::vector<std::string>& fields);

enum class InferredType { kInteger, kReal, kText };

struct InferredColumn {
  std::string name;  // an identifier the lexer accepts
  InferredType type = InferredType::kText;
  size_t length = 1;  // characters of the longest value, for texts
};

// What a value reads as, when a column of numbers would give it back
// exactly as written (the library shows integers as their digits and reals
// with up to six decimals, trailing zeros dropped): "8747" is an integer,
// "3.5" a real, while "08747", "+5", " 5", "1.50" and "1e3" are not
// numbers, since they would come back changed. With decimalComma, values
// written with a decimal comma ("12,50", fixed decimals allowed) are
// reals and a point makes a value text (it is then a thousands mark).
enum class NumberForm { kNone, kInteger32, kReal };
NumberForm ClassifyNumber(const std::string& value, bool decimalComma);

// Column types from the values: integers when every non-empty value is a
// 32-bit integer, reals when every one is a number, texts otherwise (an
// all-empty column is a text of length 1). Names come from the header,
// made into identifiers (MakeIdentifier), duplicates numbered.
std::vector<InferredColumn> InferColumns(const CsvRecord& header,
                                         const std::vector<CsvRecord>& rows,
                                         bool decimalComma = false);

std::string CreateTableText(const std::string& table, const std::vector<InferredColumn>& columns);

// A value as an SQL literal: numbers bare (an empty number is 0), texts in
// apostrophes with inner apostrophes doubled.
std::string SqlLiteral(const std::string& value, bool numeric);

// True when value reads as a number (sign, digits, optional fraction and
// exponent) that the lexer takes as one literal.
bool IsNumber(const std::string& value);
// The number of a value as a literal of a statement; with decimalComma a
// decimal comma becomes the point. "" when the value is no number.
std::string NumberLiteral(const std::string& value, bool decimalComma);
bool IsInteger32(const std::string& value);

// A name made into an identifier: spelt in ASCII ("Cœur" "COEUR"), other
// characters "_", upper case, reserved words and leading digits prefixed,
// cut to the engine's name length.
std::string MakeIdentifier(const std::string& name);

}  // namespace zkshell

#endif
