// Result formatting: turns the column description and the rows of one
// result into the text of an output mode. Pure text in, text out (UTF-8),
// so every mode is testable with rows given as vectors.
#ifndef ZKSHELL_OUTPUT_FORMAT_H
#define ZKSHELL_OUTPUT_FORMAT_H

#include <string>
#include <vector>

namespace zkshell {

enum class OutputMode { kTable, kList, kCsv, kTabs, kLine, kJson };

// The mode of a name as `.mode` takes it; false for an unknown name.
bool ParseOutputMode(const std::string& name, OutputMode* mode);
const char* OutputModeName(OutputMode mode);

// One result column, from one line "name\tletter\thosttype\twidth" of the
// column description.
struct ResultColumn {
  std::string name;
  bool numeric = false;  // letter 'N': aligned right, unquoted in JSON
  int hostType = 0;
  int width = 0;         // declared width in characters
};

// Splits a column description (lines joined by "\r\n") into columns. An
// empty text gives no column; a line with missing fields keeps defaults.
std::vector<ResultColumn> ParseColumnText(const std::string& text);

struct FormatSettings {
  OutputMode mode = OutputMode::kList;
  bool headers = false;      // list, csv and tabs; table, line and json always name columns
  std::string separator = "|";  // list mode's column separator
};

using Row = std::vector<std::string>;

// The whole text of a result in the settings' mode, ending with a line
// break (empty when a mode shows nothing for it: no rows outside table).
std::string FormatResult(const FormatSettings& settings, const std::vector<ResultColumn>& columns,
                         const std::vector<Row>& rows);

// One CSV field, quoted as RFC 4180 asks when it holds the separator, a
// quote or a line break.
std::string CsvField(const std::string& value, const std::string& separator = ",");

// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& value);

}  // namespace zkshell

#endif
