// The lexer's scanning rules: blanks, operators, punctuation, numbers,
// string literals, keywords and identifiers, and the separator test that
// keeps two literals or names from running into each other.
#include "sql/lexer.h"

#include <cstdlib>
#include <cstring>

#include "values/text_utils.h"

namespace zksql {
namespace {

bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
unsigned char Upper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Character classes by table: the lexer asks for them at every token.
struct CharClasses {
  bool operatorChar[256] = {};
  bool punctuationChar[256] = {};
  constexpr CharClasses() {
    for (const char* c = "!%&*+-/<=>^|~"; *c != '\0'; ++c)
      operatorChar[static_cast<unsigned char>(*c)] = true;
    for (const char* c = ".:;,?()[]"; *c != '\0'; ++c)
      punctuationChar[static_cast<unsigned char>(*c)] = true;
  }
};
constexpr CharClasses kCharClasses;

bool IsOperatorChar(unsigned char c) {
  return kCharClasses.operatorChar[c];
}
bool IsPunctuationChar(unsigned char c) {
  return kCharClasses.punctuationChar[c];
}
// Characters that continue an identifier after its first one.
bool IsNameChar(unsigned char c) {
  return IsLetter(c) || IsDigit(c) || c == '_' || c == '#' || c == '.' || c == '@';
}

// The length of the text as the lexer sees it: never more than the largest
// position a result can hold.
int32_t VisibleLength(const char* text) {
  return static_cast<int32_t>(strnlen(text, Lexer::kMaxTextLength));
}

// The keywords by their first letter, each letter's in the order of the
// keyword table: a word is compared only with the keywords that can match
// it, and the first of them that matches is the one a search of the whole
// table would find (every keyword starts with a letter).
struct KeywordIndex {
  int16_t start[27] = {};  // letter L's keywords: order[start[L]] to order[start[L + 1] - 1]
  int16_t order[kKeywordCount] = {};
  KeywordIndex() {
    int16_t used = 0;
    for (int letter = 0; letter < 26; ++letter) {
      start[letter] = used;
      for (int i = 0; i < kKeywordCount; ++i) {
        if (kKeywordTexts[i][0] == 'A' + letter) order[used++] = static_cast<int16_t>(i);
      }
    }
    start[26] = used;
  }
};

const KeywordIndex& Keywords() {
  static const KeywordIndex index;
  return index;
}

// The separator test at offset e: passes at the end of the text, on a
// blank, and on any character that could not continue a literal or a name
// (codes 128 and above included).
bool SeparatorAt(const char* text, int32_t end, int32_t e) {
  if (e >= end) return true;
  unsigned char c = static_cast<unsigned char>(text[e]);
  if (IsBlank(c)) return true;
  return !(IsLetter(c) || IsDigit(c) || c == '_' || c == '"' || c == '\'');
}

// Whether `word` (upper case) starts at offset p, letters compared without
// regard to case, and ends before the end of the text.
bool KeywordAt(const char* text, int32_t end, int32_t p, const char* word, int32_t* length) {
  int32_t k = 0;
  for (; word[k] != '\0'; ++k) {
    if (p + k >= end) return false;
    if (Upper(static_cast<unsigned char>(text[p + k])) != static_cast<unsigned char>(word[k])) {
      return false;
    }
  }
  *length = k;
  return true;
}

}  // namespace

// The keyword, punctuation and operator tables are read where they are
// (sql/token_codes.cc): constants every lexer shares, not copies made for
// each statement.
Lexer::Lexer() = default;

Lexer::~Lexer() {
  free(tokenText_);
  tokenText_ = nullptr;
}

void Lexer::ClearToken() {
  tokenCode_ = kNoToken;
  tokenLength_ = 0;
  if (tokenText_ != nullptr) {
    tokenText_[0] = '\0';
  } else {
    // Failing here leaves the text null, which reads as "" all the same.
    Reserve(1);
  }
}

bool Lexer::Reserve(int32_t size) {
  if (size <= tokenCapacity_ && tokenText_ != nullptr) return true;
  // The capacity is 16-bit: a text that would not fit is refused.
  if (size > UINT16_MAX) return false;
  // Room for the usual keyword, name or literal from the start, so that a
  // statement's scans do not grow the buffer token after token.
  int32_t capacity = size < kMinTokenCapacity ? kMinTokenCapacity : size;
  char* fresh = static_cast<char*>(malloc(static_cast<size_t>(capacity)));
  if (fresh == nullptr) return false;
  fresh[0] = '\0';
  free(tokenText_);
  tokenText_ = fresh;
  tokenLength_ = 0;
  tokenCapacity_ = static_cast<uint16_t>(capacity);
  return true;
}

bool Lexer::SetTokenText(int16_t mode, const char* value) {
  lastText_ = nullptr;
  if (value == nullptr) value = "";
  size_t valueLength = strlen(value);
  if (mode == kReplace) {
    if (valueLength < tokenCapacity_ && tokenText_ != nullptr) {
      // The value may lie inside the buffer itself.
      memmove(tokenText_, value, valueLength + 1);
      tokenLength_ = static_cast<int32_t>(strlen(tokenText_));
      return true;
    }
    if (valueLength + 1 > UINT16_MAX) return false;
    char* fresh = static_cast<char*>(malloc(valueLength + 1));
    if (fresh == nullptr) return false;
    memcpy(fresh, value, valueLength + 1);
    free(tokenText_);
    tokenText_ = fresh;
    tokenCapacity_ = static_cast<uint16_t>(valueLength + 1);
    tokenLength_ = static_cast<int32_t>(strlen(tokenText_));
    return true;
  }
  if (mode == kAppend) {
    size_t current = tokenText_ != nullptr ? strlen(tokenText_) : 0;
    size_t total = current + valueLength + 1;
    if (total <= tokenCapacity_ && tokenText_ != nullptr) {
      memmove(tokenText_ + current, value, valueLength + 1);
      tokenLength_ = static_cast<int32_t>(strlen(tokenText_));
      return true;
    }
    if (total > UINT16_MAX) return false;
    // A new block rather than realloc: the value may be the token text
    // itself, which must stay readable until it has been copied.
    char* fresh = static_cast<char*>(malloc(total));
    if (fresh == nullptr) return false;
    if (current > 0) memcpy(fresh, tokenText_, current);
    memcpy(fresh + current, value, valueLength + 1);
    free(tokenText_);
    tokenText_ = fresh;
    tokenCapacity_ = static_cast<uint16_t>(total);
    tokenLength_ = static_cast<int32_t>(strlen(tokenText_));
    return true;
  }
  return false;
}

bool Lexer::StoreToken(const char* start, int32_t length, char quote, int16_t code) {
  if (!Reserve(length + 1)) {
    ClearToken();
    return false;
  }
  int32_t out = 0;
  if (quote == '\0') {
    memcpy(tokenText_, start, static_cast<size_t>(length));
    out = length;
  } else {
    for (int32_t i = 0; i < length; ++i) {
      tokenText_[out++] = start[i];
      if (start[i] == quote && i + 1 < length && start[i + 1] == quote) ++i;
    }
  }
  tokenText_[out] = '\0';
  tokenLength_ = out;
  tokenCode_ = code;
  return true;
}

bool Lexer::TakeToken(int16_t& code, char*& text) const {
  code = tokenCode_;
  text = DuplicateText(token_text());
  if (text == nullptr) return false;
  if (code == LEX_IDENTIFICATEUR) UpperCase(text);
  return true;
}

ParseStep Lexer::Scan(const char* text, int16_t position, int16_t& emptyString,
                      int16_t signAllowed) {
  lastText_ = nullptr;  // the token is this scan's now (ScanRemembered notes it)
  emptyString = 0;
  ClearToken();
  // A position the text does not reach has no token: the same answer as
  // for trailing blanks, rather than a read outside the text.
  if (text == nullptr || position < 0) return ParseStep::Failed(kLexPrematureEnd);
  int32_t end = VisibleLength(text);
  int32_t p = position;
  while (p < end && IsBlank(static_cast<unsigned char>(text[p]))) ++p;
  if (p >= end) return ParseStep::Failed(kLexPrematureEnd);

  unsigned char c = static_cast<unsigned char>(text[p]);
  if (IsOperatorChar(c)) {
    if (signAllowed != 0 && (c == '+' || c == '-')) return ScanNumber(text, end, p);
    for (int i = 0; i < kOperatorCount; ++i) {
      int32_t length = 0;
      if (KeywordAt(text, end, p, kOperatorTexts[i], &length)) {
        if (!StoreToken(kOperatorTexts[i], length, '\0',
                        static_cast<int16_t>(kFirstOperator + i))) {
          return ParseStep::Failed(kLexOutOfMemory);
        }
        return ParseStep::At(static_cast<int16_t>(p + length));
      }
    }
    // Not reached: every operator character is an operator.
    return ParseStep::Failed(kLexUndefined);
  }
  if (IsPunctuationChar(c)) {
    for (int i = 0; i < kPunctuationCount; ++i) {
      if (static_cast<unsigned char>(kPunctuationTexts[i][0]) == c) {
        if (!StoreToken(kPunctuationTexts[i], 1, '\0',
                        static_cast<int16_t>(kFirstPunctuation + i))) {
          return ParseStep::Failed(kLexOutOfMemory);
        }
        return ParseStep::At(static_cast<int16_t>(p + 1));
      }
    }
    return ParseStep::Failed(kLexUndefined);  // not reached
  }
  if (IsDigit(c)) return ScanNumber(text, end, p);
  if (c == '"' || c == '\'') return ScanString(text, end, p, emptyString);
  return ScanWord(text, end, p);
}

ParseStep Lexer::ScanNumber(const char* text, int32_t end, int32_t p) {
  auto at = [text, end](int32_t i) -> unsigned char {
    return i < end ? static_cast<unsigned char>(text[i]) : '\0';
  };
  int32_t q = p;
  int16_t code = LEX_ENTIER;
  if (at(q) == '+' || at(q) == '-') {
    ++q;
    code = LEX_ENTIER_SIGNE;
  }
  int32_t digits = q;
  while (IsDigit(at(q))) ++q;
  // A sign without a digit: code 0, text "".
  if (q == digits) return ParseStep::Failed(kLexUndefined);
  if (at(q) == '.') {
    ++q;
    while (IsDigit(at(q))) ++q;
    code = LEX_NOMBRE_DECIMAL;
  }
  if (at(q) == 'E' || at(q) == 'e') {
    int32_t r = q + 1;
    if (at(r) == '+' || at(r) == '-') ++r;
    int32_t exponentDigits = r;
    while (IsDigit(at(r))) ++r;
    if (r > exponentDigits) {
      code = LEX_REEL;
      q = r;
    } else {
      // No exponent after all: the letter stays part of the number, which
      // keeps the code it had ("12E" is an integer token of three characters).
      q = q + 1;
    }
  }
  if (!StoreToken(text + p, q - p, '\0', code)) return ParseStep::Failed(kLexOutOfMemory);
  if (!SeparatorAt(text, end, q)) return ParseStep::Failed(kLexNoSeparator);
  return ParseStep::At(static_cast<int16_t>(q));
}

ParseStep Lexer::ScanString(const char* text, int32_t end, int32_t p, int16_t& emptyString) {
  const char quote = text[p];
  int32_t i = p + 1;
  for (;;) {
    if (i >= end) return ParseStep::Failed(kLexUnterminated);  // code 0, text ""
    if (text[i] == quote) {
      if (i + 1 < end && text[i + 1] == quote) {
        i += 2;
        continue;
      }
      break;
    }
    ++i;
  }
  // i is the closing quote.
  if (!StoreToken(text + p + 1, i - (p + 1), quote, LEX_CHAINE)) {
    return ParseStep::Failed(kLexOutOfMemory);
  }
  emptyString = i == p + 1 ? 1 : 0;
  if (!SeparatorAt(text, end, i + 1)) return ParseStep::Failed(kLexNoSeparator);
  return ParseStep::At(static_cast<int16_t>(i + 1));
}

ParseStep Lexer::ScanWord(const char* text, int32_t end, int32_t p) {
  unsigned char c = static_cast<unsigned char>(text[p]);
  // Keywords are compared letter by letter without regard to case, which
  // gives what comparing against an upper-cased copy of the whole text
  // would give, without copying the statement at every scan.
  if (IsLetter(c)) {
    const KeywordIndex& keywords = Keywords();
    int letter = Upper(c) - 'A';
    for (int k = keywords.start[letter]; k < keywords.start[letter + 1]; ++k) {
      int i = keywords.order[k];
      int32_t length = 0;
      if (KeywordAt(text, end, p, kKeywordTexts[i], &length) &&
          SeparatorAt(text, end, p + length)) {
        if (!StoreToken(kKeywordTexts[i], length, '\0', static_cast<int16_t>(kFirstKeyword + i))) {
          return ParseStep::Failed(kLexOutOfMemory);
        }
        return ParseStep::At(static_cast<int16_t>(p + length));
      }
    }
  }
  if (!IsLetter(c) && c != '_') return ParseStep::Failed(kLexUndefined);
  int32_t q = p + 1;
  while (q < end && IsNameChar(static_cast<unsigned char>(text[q]))) ++q;
  if (!StoreToken(text + p, q - p, '\0', LEX_IDENTIFICATEUR)) {
    return ParseStep::Failed(kLexOutOfMemory);
  }
  if (!SeparatorAt(text, end, q)) return ParseStep::Failed(kLexNoSeparator);
  return ParseStep::At(static_cast<int16_t>(q));
}

}  // namespace zksql
