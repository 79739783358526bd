// text_format.h - printf-style formatting into a std::string, bounded.
#ifndef JXENGINE_TEXT_FORMAT_H_
#define JXENGINE_TEXT_FORMAT_H_

#include <string>

namespace jx {

// The formatted text, cut to 511 characters (engine messages are short).
std::string FormatText(const char* format, ...);

}  // namespace jx

#endif  // JXENGINE_TEXT_FORMAT_H_
