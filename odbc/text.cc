// UTF-8 and UTF-16 are converted here, by hand (both are total over valid
// text); Windows-1252 goes through hostkit's conversion, the one the shell
// uses, so both hosts refuse and name characters the same way.
#include "text.h"

#include <cstring>

#include "charset.h"
#include "diagnostics.h"

namespace zkodbc {

std::string FromAnsi(const SQLCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return std::string();
  const char* p = reinterpret_cast<const char*>(text);
  if (length == SQL_NTS) return std::string(p);
  if (length < 0) throw DriverError("HY090", DriverMessage("invalid string length"));
  return std::string(p, static_cast<size_t>(length));
}

std::string FromWide(const SQLWCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return std::string();
  size_t n = 0;
  if (length == SQL_NTS) {
    while (text[n] != 0) ++n;
  } else if (length < 0) {
    throw DriverError("HY090", DriverMessage("invalid string length"));
  } else {
    n = static_cast<size_t>(length);
  }
  std::u16string wide(n, u'\0');
  for (size_t i = 0; i < n; ++i) wide[i] = static_cast<char16_t>(text[i]);
  return Utf16ToUtf8(wide);
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    unsigned long code = b;
    size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (n > 1) {
      code = b & (0x7F >> n);
      for (size_t k = 1; k < n && i + k < utf8.size(); ++k) {
        code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
      }
    }
    i += n;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    unsigned long code = utf16[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      throw DriverError("22018", DriverMessage("a lone UTF-16 surrogate is no character"));
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

std::string ToLibrary(const std::string& utf8) {
  std::string out, error;
  if (!zkhost::Utf8ToCp1252(utf8, &out, &error)) {
    throw DriverError("22018", DriverMessage(error + "; the library takes Windows-1252 texts"));
  }
  return out;
}

std::string FromLibrary(const std::string& cp1252) {
  return zkhost::Cp1252ToUtf8(cp1252);
}

SQLLEN WriteText(const std::string& utf8, const TextOut& out, bool* truncated) {
  *truncated = false;
  if (!out.wide) {
    SQLLEN full = static_cast<SQLLEN>(utf8.size());
    if (out.buffer != nullptr && out.capacity > 0) {
      size_t room = static_cast<size_t>(out.capacity) - 1;
      size_t n = utf8.size() < room ? utf8.size() : room;
      // A cut never splits a character.
      while (n < utf8.size() && n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
      memcpy(out.buffer, utf8.data(), n);
      static_cast<char*>(out.buffer)[n] = '\0';
      *truncated = n < utf8.size();
    } else {
      *truncated = out.buffer != nullptr && !utf8.empty();
    }
    return full;
  }
  std::u16string wide = Utf8ToUtf16(utf8);
  SQLLEN unit = out.lengthInBytes ? static_cast<SQLLEN>(sizeof(SQLWCHAR)) : 1;
  SQLLEN full = static_cast<SQLLEN>(wide.size()) * unit;
  SQLLEN room = out.capacity / unit;  // characters, the terminator included
  if (out.buffer != nullptr && room > 0) {
    size_t n = wide.size() < static_cast<size_t>(room - 1) ? wide.size() : room - 1;
    if (n > 0 && n < wide.size() && wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF) --n;
    SQLWCHAR* target = static_cast<SQLWCHAR*>(out.buffer);
    for (size_t i = 0; i < n; ++i) target[i] = static_cast<SQLWCHAR>(wide[i]);
    target[n] = 0;
    *truncated = n < wide.size();
  } else {
    *truncated = out.buffer != nullptr && !wide.empty();
  }
  return full;
}

}  // namespace zkodbc
