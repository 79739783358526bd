// Lexer: cuts a statement text into tokens on demand.
//
// The parser asks for the token that starts at a given character position
// and receives the position just after it; the lexer keeps no cursor, so
// the parser backs up simply by asking again at an earlier position, and a
// failed scan can be followed by a scan anywhere else. The last token's
// code and text stay in the lexer until the next scan; TakeToken hands out
// a copy of them.
//
// A scan gives a ParseStep: the 16-bit position after the token, or the
// catalogue message of the failure. Positions are 0-based offsets into the
// text.
#ifndef ZKSQL_SQL_LEXER_H_
#define ZKSQL_SQL_LEXER_H_

#include <cstdint>

#include "base/base_object.h"
#include "base/messages.h"
#include "sql/parse_step.h"
#include "sql/token_codes.h"

namespace zksql {

// Scan failures.
constexpr MessageId kLexOutOfMemory = kMsgOutOfMemory;
constexpr MessageId kLexPrematureEnd = kMsgPrematureEnd;  // only blanks remain
constexpr MessageId kLexUndefined = kMsgUndefinedError;   // no token starts here
constexpr MessageId kLexUnterminated = kMsgUnterminatedString;
constexpr MessageId kLexNoSeparator = kMsgMissingSeparator;  // two items run together

class Lexer : public BaseObject {
 public:
  // The largest position a 16-bit result can hold. Characters at this
  // offset and beyond are treated as past the end of the text, so that no
  // scan ever returns a position that does not fit.
  static constexpr int32_t kMaxTextLength = 32767;

  // SetTokenText modes.
  static constexpr int16_t kReplace = 1;
  static constexpr int16_t kAppend = 2;

  Lexer();
  ~Lexer() override;

  // Scans the token that starts at `position` (after leading blanks): the
  // position just after it, or a kLex... failure. Sets the token code and
  // text, and `emptyString` to 1 when the token is an empty string literal
  // (else 0). With `signAllowed` nonzero a leading "+" or
  // "-" belongs to a number literal instead of being an operator. The text
  // is never modified. A null text, a negative position or one past the
  // end of the text reads as "only blanks remain" (kLexPrematureEnd). When
  // a token text cannot be stored for want of memory the scan fails with
  // kLexOutOfMemory.
  ParseStep Scan(const char* text, int16_t position, int16_t& emptyString, int16_t signAllowed);
  // Scan, answered from the last scan when remembering is on and this one
  // has the same text, position and sign rule, its token untouched since:
  // a parser trying one rule after another at the same place reads the
  // same token more than once. Remembering is only for a text that does
  // not change while it is on (the parser's statement).
  ParseStep ScanRemembered(const char* text, int16_t position, int16_t& emptyString,
                           int16_t signAllowed) {
    if (!remember_) return Scan(text, position, emptyString, signAllowed);
    if (lastText_ == text && text != nullptr && position == lastPosition_ &&
        signAllowed == lastSign_) {
      emptyString = lastEmpty_;
      return lastResult_;
    }
    ParseStep result = Scan(text, position, emptyString, signAllowed);
    // A shortage of memory is not the text's outcome: it is not kept.
    lastText_ = result.failed(kLexOutOfMemory) ? nullptr : text;
    lastPosition_ = position;
    lastSign_ = signAllowed;
    lastEmpty_ = emptyString;
    lastResult_ = result;
    return result;
  }
  void RememberScans(bool on) {
    remember_ = on;
    lastText_ = nullptr;
  }

  // Hands out the last token: its code, and in `text` a fresh heap copy of
  // its text (an empty text when there is none) that the caller releases
  // with free(). Identifiers (302) are upper-cased in the copy. Returns
  // false, with `text` null, when the copy could not be made.
  [[nodiscard]] bool TakeToken(int16_t& code, char*& text) const;

  // kReplace: the token text becomes a copy of value (the buffer is reused
  // when the value is shorter than the capacity). kAppend: value is added
  // at the end, the buffer growing to the combined length plus 1 when
  // needed. A null value counts as "". Returns false (token text
  // unchanged) for an unknown mode, a lack of memory or a text that would
  // not fit the 16-bit capacity.
  [[nodiscard]] bool SetTokenText(int16_t mode, const char* value);

  int16_t token_code() const { return tokenCode_; }
  // The last token's text, "" when there is none.
  const char* token_text() const { return tokenText_ != nullptr ? tokenText_ : ""; }
  // The length of token_text(), kept as the text is made.
  int32_t token_length() const { return tokenLength_; }
  uint16_t token_capacity() const { return tokenCapacity_; }

 private:
  // Empties the token: code 0, text "".
  void ClearToken();
  // Stores `length` characters from `start` as the token text with the
  // given code; with a quote character, each doubled quote becomes one.
  // False (and an empty token) when memory is short.
  bool StoreToken(const char* start, int32_t length, char quote, int16_t code);
  // Makes the buffer hold at least `size` bytes (kMinTokenCapacity at
  // least), keeping nothing.
  bool Reserve(int32_t size);
  static constexpr int32_t kMinTokenCapacity = 64;

  ParseStep ScanNumber(const char* text, int32_t end, int32_t p);
  ParseStep ScanString(const char* text, int32_t end, int32_t p, int16_t& emptyString);
  ParseStep ScanWord(const char* text, int32_t end, int32_t p);

  // The last scan's arguments and outcome while its token is still the
  // current one: the same scan again (a parser trying a second rule at the
  // same place) is answered from it. `lastText_` null: none.
  bool remember_ = false;
  const char* lastText_ = nullptr;
  int16_t lastPosition_ = 0;
  int16_t lastSign_ = 0;
  int16_t lastEmpty_ = 0;
  ParseStep lastResult_ = ParseStep::Failed(kLexUndefined);

  char* tokenText_ = nullptr;
  int32_t tokenLength_ = 0;
  uint16_t tokenCapacity_ = 0;
  int16_t tokenCode_ = kNoToken;
};

}  // namespace zksql

#endif  // ZKSQL_SQL_LEXER_H_
