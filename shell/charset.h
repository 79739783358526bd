// Text conversion between the terminal and the library. The terminal and
// every file the shell reads or writes speak UTF-8; the library and the
// engine speak Windows-1252. Statements are converted on their way in (a
// character Windows-1252 cannot hold stops the statement with a clear
// message), rows and messages on their way out.
#ifndef ZKSHELL_CHARSET_H
#define ZKSHELL_CHARSET_H

#include <string>
#include <string_view>

namespace zkshell {

// Converts UTF-8 text to Windows-1252. Returns false, with *error naming
// the first character that has no Windows-1252 form (or the first byte that
// is not UTF-8) and where it stands, when the text cannot be converted.
bool Utf8ToCp1252(const std::string& in, std::string* out, std::string* error);

// Converts Windows-1252 text to UTF-8. The five byte values Windows-1252
// leaves undefined become U+FFFD, so the result is always valid UTF-8.
// Every byte gives exactly one character.
std::string Cp1252ToUtf8(const std::string& in);
// The same conversion appended to *out: rows are converted field by field
// straight into the output.
void AppendCp1252AsUtf8(std::string_view in, std::string* out);

// Number of characters of UTF-8 text: what one line of a terminal shows,
// every Windows-1252 character taking one cell.
size_t DisplayWidth(const std::string& utf8);

}  // namespace zkshell

#endif
