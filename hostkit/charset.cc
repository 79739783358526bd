// UTF-8 to Windows-1252 goes through iconv, one converter kept for the
// process, so that a refused character can be named; Windows-1252 to UTF-8,
// which every field of every row takes, is a table of the 256 bytes.
#include "charset.h"

#include <iconv.h>
#include <locale.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace zkhost {
namespace {

iconv_t Converter(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  return cd;
}

iconv_t ToCp1252() {
  static iconv_t cd = Converter("WINDOWS-1252", "UTF-8");
  return cd;
}

// Unicode of the bytes 0x80-0x9F, where Windows-1252 departs from
// Latin-1; the five it leaves undefined read U+FFFD. The other bytes are
// their own code points.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,  // 0x88
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,  // 0x98
};

struct Utf8Char {
  unsigned char size;
  char bytes[3];
};

struct Utf8Table {
  Utf8Char of[256];
};

constexpr Utf8Table MakeUtf8Table() {
  Utf8Table table{};
  for (int b = 0; b < 256; ++b) {
    unsigned code = b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : static_cast<unsigned>(b);
    Utf8Char& c = table.of[b];
    if (code < 0x80) {
      c.size = 1;
      c.bytes[0] = static_cast<char>(code);
    } else if (code < 0x800) {
      c.size = 2;
      c.bytes[0] = static_cast<char>(0xC0 | (code >> 6));
      c.bytes[1] = static_cast<char>(0x80 | (code & 0x3F));
    } else {
      c.size = 3;
      c.bytes[0] = static_cast<char>(0xE0 | (code >> 12));
      c.bytes[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      c.bytes[2] = static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return table;
}

constexpr Utf8Table kUtf8 = MakeUtf8Table();

// Length of the UTF-8 sequence that starts with byte b; 0 when b cannot
// start one.
size_t SequenceLength(unsigned char b) {
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}

// Line and column (both from 1, columns in characters) of byte offset at.
void Locate(const std::string& text, size_t at, int* line, int* column) {
  *line = 1;
  *column = 1;
  for (size_t i = 0; i < at && i < text.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (b == '\n') {
      ++*line;
      *column = 1;
    } else if ((b & 0xC0) != 0x80) {
      ++*column;
    }
  }
}

// Names the character at byte offset at (or the byte, when no UTF-8
// character starts there) and says why it cannot be converted; where, when
// not empty, tells where it stands ("column 4").
std::string DescribeAt(const std::string& in, size_t at, const std::string& where) {
  unsigned char b = static_cast<unsigned char>(in[at]);
  size_t n = SequenceLength(b);
  std::string place = where.empty() ? "" : " at " + where;
  bool whole = n > 0 && at + n <= in.size();
  for (size_t i = 1; whole && i < n; ++i) {
    whole = (static_cast<unsigned char>(in[at + i]) & 0xC0) == 0x80;
  }
  if (!whole) {
    char text[128];
    snprintf(text, sizeof text, "invalid UTF-8 byte 0x%02X%s", b, place.c_str());
    return text;
  }
  unsigned long code = n == 1 ? b : b & (0x7F >> n);
  for (size_t i = 1; i < n; ++i) code = (code << 6) | (in[at + i] & 0x3F);
  char text[160];
  snprintf(text, sizeof text, "the character \"%s\" (U+%04lX)%s has no Windows-1252 form",
           in.substr(at, n).c_str(), code, place.c_str());
  return text;
}

std::string DescribeFailure(const std::string& in, size_t at) {
  int line = 0, column = 0;
  Locate(in, at, &line, &column);
  char where[64];
  if (line > 1) {
    snprintf(where, sizeof where, "line %d, column %d", line, column);
  } else {
    snprintf(where, sizeof where, "column %d", column);
  }
  return DescribeAt(in, at, where);
}

// Converts in to Windows-1252 into *out. Returns std::string::npos when
// done, else the byte offset of the first character that could not be
// converted (in.size() when there is no converter at all).
size_t Convert(const std::string& in, std::string* out) {
  out->clear();
  iconv_t cd = ToCp1252();
  if (cd == reinterpret_cast<iconv_t>(-1)) return in.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::vector<char> buffer(in.size() + 1);
  char* source = const_cast<char*>(in.data());
  size_t left = in.size();
  char* target = buffer.data();
  size_t room = buffer.size();
  // Windows-1252 never needs more bytes than UTF-8, so one pass fits.
  if (iconv(cd, &source, &left, &target, &room) == static_cast<size_t>(-1)) {
    size_t at = static_cast<size_t>(source - in.data());
    return at < in.size() ? at : in.size() - 1;
  }
  out->assign(buffer.data(), static_cast<size_t>(target - buffer.data()));
  return std::string::npos;
}

}  // namespace

bool Utf8ToCp1252(const std::string& in, std::string* out, std::string* error) {
  size_t at = Convert(in, out);
  if (at == std::string::npos) return true;
  if (error != nullptr) {
    *error = at == in.size() ? "no UTF-8 to Windows-1252 converter on this system"
                             : DescribeFailure(in, at);
  }
  return false;
}

size_t FindNonCp1252(const std::string& in, std::string* what) {
  std::string converted;
  size_t at = Convert(in, &converted);
  if (at == std::string::npos || what == nullptr) return at;
  *what = at == in.size() ? "no UTF-8 to Windows-1252 converter on this system"
                          : DescribeAt(in, at, "");
  return at;
}

std::string TransliterateToAscii(const std::string& utf8) {
  // The spellings come from the LC_CTYPE locale of the thread: a UTF-8
  // locale of its own for the call, so that "ß" is "ss" whatever the
  // user's environment (the plain C locale spells "é" as "?").
  static locale_t utf8Locale = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (l == static_cast<locale_t>(0)) l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", l);
    return l;
  }();
  locale_t previous = utf8Locale != static_cast<locale_t>(0) ? uselocale(utf8Locale) : nullptr;
  std::string out;
  iconv_t cd = iconv_open("ASCII//TRANSLIT", "UTF-8");
  if (cd != reinterpret_cast<iconv_t>(-1)) {
    char* source = const_cast<char*>(utf8.data());
    size_t left = utf8.size();
    while (left > 0) {
      char buffer[256];
      char* target = buffer;
      size_t room = sizeof buffer;
      size_t done = iconv(cd, &source, &left, &target, &room);
      out.append(buffer, static_cast<size_t>(target - buffer));
      if (done == static_cast<size_t>(-1) && errno != E2BIG) {
        // A byte that is not UTF-8: "?" for it, and on with the rest.
        out += '?';
        ++source;
        --left;
      }
    }
    iconv_close(cd);
  } else {
    for (unsigned char b : utf8) {
      if (b < 0x80) {
        out += static_cast<char>(b);
      } else if ((b & 0xC0) != 0x80) {
        out += '?';
      }
    }
  }
  if (previous != nullptr) uselocale(previous);
  return out;
}

std::string Cp1252ToUtf8(const std::string& in) {
  std::string out;
  out.reserve(in.size() + in.size() / 2);
  AppendCp1252AsUtf8(in, &out);
  return out;
}

void AppendCp1252AsUtf8(std::string_view in, std::string* out) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in.data());
  const unsigned char* end = p + in.size();
  // ASCII, most of most texts, is the same in both: a text of it alone is
  // copied whole.
  const unsigned char* ascii = p;
  while (ascii < end && *ascii < 0x80) ++ascii;
  if (ascii == end) {
    out->append(in.data(), in.size());
    return;
  }
  // Otherwise room for the longest form (three bytes a character) and the
  // characters written in place, each table entry as a whole.
  size_t at = out->size();
  out->resize(at + in.size() * 3);
  char* d = &(*out)[at];
  for (; p < end; ++p) {
    const Utf8Char& c = kUtf8.of[*p];
    d[0] = c.bytes[0];
    d[1] = c.bytes[1];
    d[2] = c.bytes[2];
    d += c.size;
  }
  out->resize(static_cast<size_t>(d - out->data()));
}

size_t DisplayWidth(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char b : utf8) {
    if ((b & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace zkhost
