// Result formatting: turns the column description and the rows of one
// result into the text of an output mode, row by row as they are fetched.
// Pure text in, text out, so every mode is testable without a database.
#ifndef ZKSHELL_OUTPUT_FORMAT_H
#define ZKSHELL_OUTPUT_FORMAT_H

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zkshell {

enum class OutputMode { kTable, kList, kCsv, kTabs, kLine, kJson, kBox, kMarkdown };

// The mode of a name as `.mode` takes it; false for an unknown name.
bool ParseOutputMode(const std::string& name, OutputMode* mode);
const char* OutputModeName(OutputMode mode);

// One result column, from one line "name\tletter\thosttype\twidth" of the
// column description.
struct ResultColumn {
  std::string name;
  bool numeric = false;  // letter 'N': aligned right, unquoted in JSON
  int hostType = 0;
  int width = 0;  // declared width in characters
};

// Splits a column description (lines joined by "\r\n") into columns. An
// empty text gives no column; a line with missing fields keeps defaults.
std::vector<ResultColumn> ParseColumnText(const std::string& text);

struct FormatSettings {
  OutputMode mode = OutputMode::kList;
  // Column names above list, csv and tabs rows; the framed modes, line and
  // json always name columns.
  bool headers = false;
  std::string separator = "|";      // list mode's column separator
  std::string rowSeparator = "\n";  // and what ends each of its lines
};

// A separator as `.separator` takes it: \t, \n, \r and \\ stand for a tab,
// a line break, a carriage return and a backslash, so that characters a
// command line cannot hold can be given; any other backslash stays as it is.
std::string UnescapeSeparator(const std::string& text);

// Where formatted text goes: pieces of about 64 KiB, and what is left at
// the end of a result.
using TextWriter = std::function<void(const char* data, size_t size)>;

// Formats one result as its rows arrive. Fields are Windows-1252, as the
// library gives them, and are converted to UTF-8 as they are written; the
// column names are UTF-8 already. Every mode but table writes a row as it
// comes, so a result of any length takes no more memory than one piece of
// output. The framed modes (table, box, markdown) need every row for their
// widths: they keep the fields back to back in Windows-1252, where a byte
// is a character, and write the frame at Finish. In table and box modes a
// value holding line breaks takes several lines of its cell, the row's
// other cells padded with blanks; markdown shows them as <br>. A framed
// result always closes its frame, rows or none.
class ResultFormatter {
 public:
  ResultFormatter(const FormatSettings& settings, std::vector<ResultColumn> columns,
                  TextWriter write);

  // One row of count fields, each column's in order; columns past count
  // show empty, fields past the columns are not shown.
  void AddRow(const std::string_view* fields, size_t count);
  // Ends the result with what follows its last row (the table, the frame,
  // JSON's bracket) and writes out the rest of the text. A result without
  // columns shows nothing.
  void Finish();
  // Writes out what is formatted so far, for a result that stops short.
  void Flush();

 private:
  void StartRow();
  bool Framed() const;
  // Width of a value in its cell: its longest line, or in markdown the
  // length of its escaped text.
  size_t CellWidth(std::string_view value) const;
  void WriteRule(int kind);
  void WriteHeader();
  void WriteFramedRow(const std::string_view* fields);
  void Spill();

  FormatSettings settings_;
  std::vector<ResultColumn> columns_;
  TextWriter write_;
  std::string text_;  // formatted, not yet written
  size_t rows_ = 0;
  // Per column: the line mode's "name = " and the JSON key with its colon.
  std::vector<std::string> prefixes_;
  // Framed modes: column widths, and the rows' fields with their sizes.
  std::vector<size_t> widths_;
  std::string kept_;
  std::vector<uint32_t> keptSizes_;
  // Scratch of WriteFramedRow: each cell's lines, and an escaped value.
  std::vector<std::vector<std::string_view>> cellLines_;
  std::string escaped_;
};

// Appends one CSV field, quoted as RFC 4180 asks when it holds a comma, a
// quote or a line break; a Windows-1252 value is converted to UTF-8.
void AppendCsvField(std::string_view value, bool cp1252, std::string* out);

}  // namespace zkshell

#endif
