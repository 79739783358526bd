// Conversions through iconv, one converter per direction kept for the
// process: the shell converts every statement and every row.
#include "charset.h"

#include <errno.h>
#include <iconv.h>

#include <cstdio>
#include <vector>

namespace zkshell {
namespace {

iconv_t Converter(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  return cd;
}

iconv_t ToCp1252() {
  static iconv_t cd = Converter("WINDOWS-1252", "UTF-8");
  return cd;
}

iconv_t FromCp1252() {
  static iconv_t cd = Converter("UTF-8", "WINDOWS-1252");
  return cd;
}

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

std::string DescribeFailure(const std::string& in, size_t at) {
  int line = 0, column = 0;
  Locate(in, at, &line, &column);
  unsigned char b = static_cast<unsigned char>(in[at]);
  size_t n = SequenceLength(b);
  char where[64];
  if (line > 1) {
    snprintf(where, sizeof where, "line %d, column %d", line, column);
  } else {
    snprintf(where, sizeof where, "column %d", column);
  }
  bool whole = n > 0 && at + n <= in.size();
  for (size_t i = 1; whole && i < n; ++i) {
    whole = (static_cast<unsigned char>(in[at + i]) & 0xC0) == 0x80;
  }
  if (!whole) {
    char text[128];
    snprintf(text, sizeof text, "invalid UTF-8 byte 0x%02X at %s", b, where);
    return text;
  }
  unsigned long code = n == 1 ? b : b & (0x7F >> n);
  for (size_t i = 1; i < n; ++i) code = (code << 6) | (in[at + i] & 0x3F);
  char text[160];
  snprintf(text, sizeof text, "the character \"%s\" (U+%04lX) at %s has no Windows-1252 form",
           in.substr(at, n).c_str(), code, where);
  return text;
}

}  // namespace

bool Utf8ToCp1252(const std::string& in, std::string* out, std::string* error) {
  out->clear();
  iconv_t cd = ToCp1252();
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    if (error != nullptr) *error = "no UTF-8 to Windows-1252 converter on this system";
    return false;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::vector<char> buffer(in.size() + 1);
  char* source = const_cast<char*>(in.data());
  size_t left = in.size();
  char* target = buffer.data();
  size_t room = buffer.size();
  // Windows-1252 never needs more bytes than UTF-8, so one pass fits.
  if (iconv(cd, &source, &left, &target, &room) == static_cast<size_t>(-1)) {
    if (error != nullptr) {
      size_t at = static_cast<size_t>(source - in.data());
      *error = DescribeFailure(in, at < in.size() ? at : in.size() - 1);
    }
    return false;
  }
  out->assign(buffer.data(), static_cast<size_t>(target - buffer.data()));
  return true;
}

std::string Cp1252ToUtf8(const std::string& in) {
  std::string out;
  iconv_t cd = FromCp1252();
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.reserve(in.size() + in.size() / 2);
  char* source = const_cast<char*>(in.data());
  size_t left = in.size();
  char buffer[1024];
  while (left > 0) {
    char* target = buffer;
    size_t room = sizeof buffer;
    size_t done = iconv(cd, &source, &left, &target, &room);
    out.append(buffer, static_cast<size_t>(target - buffer));
    if (done == static_cast<size_t>(-1) && errno != E2BIG) {
      // A byte Windows-1252 leaves undefined: shown as the replacement
      // character, and the conversion goes on after it.
      out += "\xEF\xBF\xBD";
      ++source;
      --left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

size_t DisplayWidth(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char b : utf8) {
    if ((b & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace zkshell
