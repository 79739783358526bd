// The lexer alone: the text is cut into tokens from the start, as the
// parser does, and then scanned from every position, as the parser may do
// when it backs up. Every scan must move forward and stay inside the text,
// hand out a token code of the vocabulary, or fail with one of the lexer's
// own messages; the token text must follow SetTokenText exactly.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_targets.h"
#include "sql/lexer.h"

namespace zksql_fuzz {
namespace {

using zksql::Lexer;

bool KnownCode(int16_t code) {
  return (code >= zksql::kFirstKeyword && code < zksql::kFirstKeyword + zksql::kKeywordCount) ||
         (code >= zksql::LEX_ENTIER && code <= zksql::LEX_REEL) ||
         (code >= zksql::kFirstPunctuation &&
          code < zksql::kFirstPunctuation + zksql::kPunctuationCount) ||
         (code >= zksql::kFirstOperator && code < zksql::kFirstOperator + zksql::kOperatorCount) ||
         code == zksql::LEX_CHAINE || code == zksql::LEX_IDENTIFICATEUR;
}

bool KnownFailure(zksql::MessageId failure) {
  return failure == zksql::kLexOutOfMemory || failure == zksql::kLexPrematureEnd ||
         failure == zksql::kLexUndefined || failure == zksql::kLexUnterminated ||
         failure == zksql::kLexNoSeparator;
}

// One scan at `position`, checked; the next position, or -1 when the scan
// failed.
int32_t CheckedScan(Lexer& lexer, const char* text, int32_t length, int32_t position,
                    int16_t signAllowed) {
  int16_t empty = -1;
  zksql::ParseStep step = lexer.Scan(text, static_cast<int16_t>(position), empty, signAllowed);
  ZK_FUZZ_CHECK(empty == 0 || empty == 1);
  if (!step.ok()) {
    ZK_FUZZ_CHECK(KnownFailure(step.failure()));
    if (step.failed(zksql::kLexNoSeparator)) {
      // The literal or name that ran into the next one stays the token, for
      // the syntax error to show.
      int16_t code = lexer.token_code();
      ZK_FUZZ_CHECK((code >= zksql::LEX_ENTIER && code <= zksql::LEX_REEL) ||
                    code == zksql::LEX_CHAINE || code == zksql::LEX_IDENTIFICATEUR);
    } else {
      ZK_FUZZ_CHECK(lexer.token_code() == zksql::kNoToken && lexer.token_text()[0] == '\0');
    }
    return -1;
  }
  int32_t next = step.position();
  ZK_FUZZ_CHECK(next > position);
  ZK_FUZZ_CHECK(next <= length);
  ZK_FUZZ_CHECK(KnownCode(lexer.token_code()));
  ZK_FUZZ_CHECK(empty == 0 || lexer.token_code() == zksql::LEX_CHAINE);
  int16_t code = 0;
  char* copy = nullptr;
  ZK_FUZZ_CHECK(lexer.TakeToken(code, copy));
  ZK_FUZZ_CHECK(code == lexer.token_code());
  ZK_FUZZ_CHECK(copy != nullptr && strlen(copy) == strlen(lexer.token_text()));
  free(copy);
  return next;
}

}  // namespace

int LexerInput(const uint8_t* data, size_t size) {
  // The parser hands the lexer a zero-terminated text of at most 16383
  // bytes; the lexer itself reads at most 32767 of any text.
  if (size > 20000) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* c = text.c_str();
  int32_t length = static_cast<int32_t>(strlen(c));

  Lexer lexer;
  // From the start, with and without signed numbers.
  for (int16_t sign = 0; sign <= 1; ++sign) {
    int32_t position = 0;
    while (position >= 0) position = CheckedScan(lexer, c, length, position, sign);
  }
  // From every position of a short text (the parser backs up anywhere),
  // and from just past the end.
  int32_t last = length < 512 ? length + 1 : 0;
  for (int32_t p = 0; p <= last; ++p) CheckedScan(lexer, c, length, p, static_cast<int16_t>(p & 1));

  // The token text follows SetTokenText: replacing by, and appending, the
  // pieces of the input between blanks, the token text itself included.
  std::string model = lexer.token_text();
  size_t start = 0;
  for (int round = 0; start <= text.size() && round < 64; ++round) {
    size_t blank = text.find(' ', start);
    std::string piece = text.substr(start, blank == std::string::npos ? blank : blank - start);
    piece = piece.c_str();  // up to a zero byte, as the lexer reads it
    int16_t mode = (round % 3 == 0) ? Lexer::kReplace : Lexer::kAppend;
    if (round % 7 == 6) {
      // The token's own text as the value: the buffer may not move under it.
      std::string self = lexer.token_text();
      if (lexer.SetTokenText(mode, lexer.token_text())) {
        model = mode == Lexer::kReplace ? self : model + self;
      }
    } else if (lexer.SetTokenText(mode, piece.c_str())) {
      model = mode == Lexer::kReplace ? piece : model + piece;
    }
    ZK_FUZZ_CHECK(model == lexer.token_text());
    ZK_FUZZ_CHECK(model.size() < lexer.token_capacity());
    if (blank == std::string::npos) break;
    start = blank + 1;
  }
  ZK_FUZZ_CHECK(!lexer.SetTokenText(0, "x"));
  ZK_FUZZ_CHECK(model == lexer.token_text());
  return 0;
}

}  // namespace zksql_fuzz
