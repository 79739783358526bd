// Text conversion between a host and the library. Hosts speak UTF-8 (the
// shell's terminal and files, an ODBC application); the library and the
// engine speak Windows-1252. Statements are converted on their way in (a
// character Windows-1252 cannot hold stops the statement with a clear
// message), rows and messages on their way out.
#ifndef ZKHOST_CHARSET_H
#define ZKHOST_CHARSET_H

#include <string>
#include <string_view>

namespace zkhost {

// Converts UTF-8 text to Windows-1252. Returns false, with *error naming
// the first character that has no Windows-1252 form (or the first byte that
// is not UTF-8) and where it stands, when the text cannot be converted.
bool Utf8ToCp1252(const std::string& in, std::string* out, std::string* error);

// The byte offset of the first character of UTF-8 text that has no
// Windows-1252 form (or of the first byte that is not UTF-8), with *what
// naming it; std::string::npos when the whole text converts.
size_t FindNonCp1252(const std::string& in, std::string* what);

// UTF-8 text spelt in ASCII: each other character by its usual ASCII
// spelling ("œ" "oe", "ß" "ss", "é" "e"), "?" where there is none. The
// same whatever the user's locale.
std::string TransliterateToAscii(const std::string& utf8);

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

}  // namespace zkhost

#endif
