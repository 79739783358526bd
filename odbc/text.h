// Texts crossing the driver's boundary. Inside, the driver works in UTF-8;
// the library takes and gives Windows-1252; the ANSI entry points speak
// UTF-8 and the wide ones UTF-16 (SQLWCHAR, two bytes). This file converts
// between them, refusing (22018) a character Windows-1252 cannot hold
// rather than replacing it, and copies texts into application buffers with
// ODBC's rules: terminated, cut to the buffer, the full length reported.
#ifndef ZKODBC_TEXT_H
#define ZKODBC_TEXT_H

#include <sql.h>
#include <sqlext.h>

#include <string>

namespace zkodbc {

// An application's input text: length SQL_NTS means zero-terminated. A
// NULL text is empty.
std::string FromAnsi(const SQLCHAR* text, SQLINTEGER length);
// UTF-16 input to UTF-8; length in characters (or SQL_NTS). A lone
// surrogate is refused (22018).
std::string FromWide(const SQLWCHAR* text, SQLINTEGER length);

std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);

// Statement texts, names and values on their way to the library; what is
// refused names the character (22018).
std::string ToLibrary(const std::string& utf8);
// The library's texts on their way out.
std::string FromLibrary(const std::string& cp1252);

// Where a text goes: an application buffer of `capacity` bytes (ANSI,
// UTF-8) or, when wide, of `capacity` characters or bytes (lengthInBytes)
// of UTF-16.
struct TextOut {
  SQLPOINTER buffer;
  SQLLEN capacity;
  bool wide;
  bool lengthInBytes;
};

// Copies text into out, cut to fit with its terminator. Returns the full
// length (bytes of UTF-8, or UTF-16 characters or bytes as out says) and
// sets *truncated when it was cut.
SQLLEN WriteText(const std::string& utf8, const TextOut& out, bool* truncated);

}  // namespace zkodbc

#endif
