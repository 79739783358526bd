// Date escape clause rewriting: finding each brace pair, reading the date
// of a {d ...} clause and splicing in the dialect's literal.
#include "api/escape_rewriter.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/owned_text.h"
#include "platform.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

// Separators of the clause's tokens; the date token also ends at a quote.
constexpr char kClauseSeparators[] = " ,\t\r\n";
constexpr char kDateSeparators[] = " ,\t\r\n'";

bool IsSeparator(char c, const char* separators) {
  return c != '\0' && strchr(separators, c) != nullptr;
}

// Finds the next token of text from *position: skips separators, returns
// the token's start and stores its length (0 when there is none) and the
// position just after it.
const char* NextToken(const char* text, size_t* position, const char* separators,
                      size_t* length) {
  size_t i = *position;
  while (IsSeparator(text[i], separators)) ++i;
  size_t begin = i;
  while (text[i] != '\0' && !IsSeparator(text[i], separators)) ++i;
  *length = i - begin;
  *position = i;
  return text + begin;
}

// The decimal number at the start of the n bytes at digits, stopping at the
// first non-digit. A year of many digits is held at INT_MAX instead of
// overflowing; its literal then has ten digits, still no more than the
// clause it replaces had.
int32_t ReadNumber(const char* digits, size_t n) {
  int64_t value = 0;
  for (size_t i = 0; i < n && digits[i] >= '0' && digits[i] <= '9'; ++i) {
    value = value * 10 + (digits[i] - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int32_t>(value);
}

}  // namespace

EscapeRewriter::EscapeRewriter(int32_t dialect) : dialect_(dialect) {}

char* EscapeRewriter::FormatDate1(int32_t year, int32_t month, int32_t day) {
  char* text = AllocateText(kDateLiteralSize);
  if (text == nullptr) return nullptr;
  if (year >= 100) {
    ZkFormat(text, kDateLiteralSize, "TO_DATE('%04d%02d%02d','YYYYMMDD')", year, month, day);
  } else {
    ZkFormat(text, kDateLiteralSize, "TO_DATE('%02d%02d%02d','YYMMDD')", year, month, day);
  }
  return text;
}

char* EscapeRewriter::FormatDate2(int32_t year, int32_t month, int32_t day) {
  char* text = AllocateText(kDateLiteralSize);
  if (text != nullptr) {
    ZkFormat(text, kDateLiteralSize, "CONVERT(datetime,'%04d/%02d/%02d')", year, month, day);
  }
  return text;
}

char* EscapeRewriter::FormatDate3(int32_t year, int32_t month, int32_t day) {
  char* text = AllocateText(kDateLiteralSize);
  if (text != nullptr) ZkFormat(text, kDateLiteralSize, "'%04d%02d%02d'", year, month, day);
  return text;
}

char* EscapeRewriter::FormatDate4(int32_t year, int32_t month, int32_t day) {
  char* text = AllocateText(kDateLiteralSize);
  if (text != nullptr) ZkFormat(text, kDateLiteralSize, "'%04d-%02d-%02d'", year, month, day);
  return text;
}

char* EscapeRewriter::AllocateText(size_t bytes) {
  return static_cast<char*>(calloc(bytes == 0 ? 1 : bytes, 1));
}

char* EscapeRewriter::FormatDate(int32_t year, int32_t month, int32_t day) {
  switch (dialect_) {
    case 1:
      return FormatDate1(year, month, day);
    case 2:
      return FormatDate2(year, month, day);
    case 3:
      return FormatDate3(year, month, day);
    case 4:
      return FormatDate4(year, month, day);
    default:
      return nullptr;
  }
}

char* EscapeRewriter::RewriteClause(const char* clause, bool* noMemory) {
  *noMemory = false;
  size_t position = 0;
  size_t length = 0;
  const char* token = NextToken(clause, &position, kClauseSeparators, &length);
  if (length != 1 || (token[0] != 'd' && token[0] != 'D')) return nullptr;
  const char* date = NextToken(clause, &position, kDateSeparators, &length);
  if (length < 6) return nullptr;
  // Day: the last two characters, then an optional "-"; month: the two now
  // last, then an optional "-"; year: what remains. At least six
  // characters leave both pairs whole, so nothing is read before `date`.
  size_t end = length;
  int32_t day = ReadNumber(date + end - 2, 2);
  end -= 2;
  if (end > 0 && date[end - 1] == '-') --end;
  int32_t month = ReadNumber(date + end - 2, 2);
  end -= 2;
  if (end > 0 && date[end - 1] == '-') --end;
  int32_t year = ReadNumber(date, end);
  if (dialect_ < 1 || dialect_ > 4) return nullptr;
  char* literal = FormatDate(year, month, day);
  *noMemory = literal == nullptr;
  return literal;
}

char* EscapeRewriter::Rewrite(const char* text) {
  outOfMemory_ = false;
  char* result = RewriteFrom(text);
  // The text being rewritten is the caller's or the result just handed
  // over: neither is this object's to keep pointing at.
  start_ = nullptr;
  open_ = 0;
  close_ = 0;
  return result;
}

char* EscapeRewriter::RewriteFrom(const char* text) {
  if (text == nullptr) return nullptr;
  OwnedText result;
  start_ = text;
  const char* scan = text;
  for (;;) {
    const char* open = strchr(scan, '{');
    if (open == nullptr) return result.release();
    const char* close = strchr(open + 1, '}');
    if (close == nullptr) return nullptr;
    open_ = static_cast<int32_t>(open - start_);
    close_ = static_cast<int32_t>(close - start_);

    size_t clauseLength = static_cast<size_t>(close - open - 1);
    OwnedText clause(AllocateText(clauseLength + 1));
    if (clause == nullptr) {
      outOfMemory_ = true;
      return nullptr;
    }
    memcpy(clause.get(), open + 1, clauseLength);
    clause.get()[clauseLength] = '\0';
    bool noMemory = false;
    OwnedText replacement(RewriteClause(clause.get(), &noMemory));
    if (noMemory) {
      // A date clause left in place would reach the parser as braces while
      // the others were rewritten: hand back nothing rather than half a
      // rewrite.
      outOfMemory_ = true;
      return nullptr;
    }
    if (replacement == nullptr) {
      scan = close;
      continue;
    }

    // The new whole text: before "{", the literal, after "}".
    size_t before = static_cast<size_t>(open - start_);
    size_t literal = strlen(replacement.get());
    size_t after = strlen(close + 1);
    OwnedText rebuilt(AllocateText(before + literal + after + 1));
    if (rebuilt == nullptr) {
      outOfMemory_ = true;
      return nullptr;
    }
    memcpy(rebuilt.get(), start_, before);
    memcpy(rebuilt.get() + before, replacement.get(), literal);
    memcpy(rebuilt.get() + before + literal, close + 1, after + 1);
    // The previous result goes; the new text is what the scan works on.
    result = std::move(rebuilt);
    start_ = result.get();
    // Scanning restarts at the beginning of the new text. The literals hold
    // no braces, so every restart has one "{" fewer to look at and the
    // loop ends.
    scan = result.get();
  }
}

int32_t EscapeRewriter::RewriteInPlace(char* text, size_t bufferSize) {
  OwnedText rewritten(Rewrite(text));
  if (rewritten == nullptr) return 0;
  size_t length = strlen(rewritten.get());
  if (length >= bufferSize) return -1;
  memcpy(text, rewritten.get(), length + 1);
  return 1;
}

bool RewriteEscapesInPlace(char* text, bool* outOfMemory) {
  if (outOfMemory != nullptr) *outOfMemory = false;
  if (text == nullptr) return false;
  EscapeRewriter rewriter(3);
  // The original length is the bound: dialect 3 never lengthens a clause
  // (its literal is 6 bytes plus the year's printed digits, at least four;
  // the clause held the braces, the "d", a separator and a date text of at
  // least six bytes, or of the year's digits plus four), and the caller's
  // buffer is known to hold at least the original text and terminator.
  bool rewritten = rewriter.RewriteInPlace(text, strlen(text) + 1) == 1;
  if (outOfMemory != nullptr) *outOfMemory = rewriter.ranOutOfMemory();
  return rewritten;
}

}  // namespace zksql
