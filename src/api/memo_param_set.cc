// The memo construct scanner, entry look-up and in-place replacement.
//
// The scanner cuts the text into tokens and feeds each to three patterns
// matched side by side: a digit word, {JXMemoBinaire('s')} and
// {JXMemoBinaire('s','s')}. A completed pattern is reported when no other
// pattern has gone further; the first string reaches its buffer through the
// one-string pattern and the second through the two-string one, since both
// share their first four tokens.
#include "api/memo_param_set.h"

#include <cstdlib>
#include <cstring>

#include "base/memory_block.h"
#include "platform.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

enum TokenKind : int32_t {
  kOther = 0,
  kKeyword = 1,
  kOpenParen = 2,
  kCloseParen = 3,
  kOpenBrace = 4,
  kCloseBrace = 5,
  kDigits = 6,
  kString = 7,
  kComma = 8,
};

constexpr char kKeywordText[] = "JXMemoBinaire";
// Bytes that end a word (besides the zero byte and the blank).
constexpr char kNonWordCharacters[] = "!\"%&'()*+,-./:;=?[]{|}";
constexpr int32_t kStringBufferSize = 256;

struct Pattern {
  const int32_t* kinds;
  int32_t size;
};

constexpr int32_t kDigitPattern[] = {kDigits};
constexpr int32_t kOneStringPattern[] = {kOpenBrace, kKeyword, kOpenParen, kString, kCloseParen,
                                         kCloseBrace};
constexpr int32_t kTwoStringPattern[] = {kOpenBrace, kKeyword, kOpenParen,  kString,
                                         kComma,     kString,  kCloseParen, kCloseBrace};
constexpr Pattern kPatterns[] = {{kDigitPattern, 1}, {kOneStringPattern, 6}, {kTwoStringPattern, 8}};
constexpr int32_t kPatternCount = 3;

bool IsWordCharacter(unsigned char c) {
  return c != '\0' && c != ' ' && strchr(kNonWordCharacters, c) == nullptr;
}

struct Token {
  int32_t kind;
  size_t start;
  size_t end;
};

// Reads the token at or after position. False at the end of the text, and
// for an unterminated quoted string (which ends the scan). Never reads past
// the terminator.
bool NextToken(const char* text, size_t position, Token* token) {
  while (text[position] == ' ') ++position;
  unsigned char c = static_cast<unsigned char>(text[position]);
  if (c == '\0') return false;
  token->start = position;
  token->end = position + 1;
  switch (c) {
    case '(':
      token->kind = kOpenParen;
      return true;
    case ')':
      token->kind = kCloseParen;
      return true;
    case '{':
      token->kind = kOpenBrace;
      return true;
    case '}':
      token->kind = kCloseBrace;
      return true;
    case ',':
      token->kind = kComma;
      return true;
    case '\'':
    case '"': {
      // To the next single occurrence of the same quote; a doubled quote
      // stays inside. text[i + 1] is read only when text[i] is the quote,
      // so never past the terminator.
      size_t i = position + 1;
      for (;;) {
        if (text[i] == '\0') return false;
        if (static_cast<unsigned char>(text[i]) == c) {
          if (static_cast<unsigned char>(text[i + 1]) != c) break;
          i += 2;
        } else {
          ++i;
        }
      }
      token->kind = kString;
      token->end = i + 1;
      return true;
    }
    default:
      break;
  }
  if (!IsWordCharacter(c)) {
    token->kind = kOther;
    return true;
  }
  size_t end = position;
  bool digits = true;
  while (IsWordCharacter(static_cast<unsigned char>(text[end]))) {
    if (text[end] < '0' || text[end] > '9') digits = false;
    ++end;
  }
  token->end = end;
  size_t length = end - position;
  if (length == sizeof kKeywordText - 1) {
    char word[sizeof kKeywordText];
    memcpy(word, text + position, length);
    word[length] = '\0';
    if (CompareNoCase(word, kKeywordText) == 0) {
      token->kind = kKeyword;
      return true;
    }
  }
  token->kind = digits ? kDigits : kOther;
  return true;
}

// Copies a quoted string token without its quotes, cut to
// kMaxMemoParamText characters.
void CopyString(const char* text, const Token& token, char* buffer) {
  size_t length = token.end - token.start - 2;
  if (length > static_cast<size_t>(kMaxMemoParamText)) length = kMaxMemoParamText;
  memcpy(buffer, text + token.start + 1, length);
  buffer[length] = '\0';
}

bool IsFieldWord(const char* text) {
  return CompareNoCase(text, "Champ") == 0 || CompareNoCase(text, "Field") == 0;
}

}  // namespace

MemoParamSet* AllocMemoParamSet() {
  return static_cast<MemoParamSet*>(AllocLocked(sizeof(MemoParamSet)));
}

void FreeMemoParamSet(MemoParamSet* set) {
  if (set == nullptr) return;
  ClearMemoParamSet(set);
  FreeLocked(set);
}

void ClearMemoParamSet(MemoParamSet* set) {
  if (set == nullptr) return;
  for (MemoParam& entry : set->entries) {
    free(entry.text);
    entry = MemoParam{};
  }
  set->reserved = 0;
  set->count = 0;
}

MemoParamSet* LiveMemoParamSet(void* pointer) {
  if (pointer == nullptr) return nullptr;
  HGLOBAL handle = GlobalHandle(pointer);
  if (handle == nullptr || GlobalSize(handle) != sizeof(MemoParamSet)) return nullptr;
  MemoParamSet* set = static_cast<MemoParamSet*>(pointer);
  if (set->count < 0 || set->count > kMaxMemoParams) return nullptr;
  return set;
}

int32_t ScanMemoParams(MemoParamSet* set, const char* text, int32_t* ignored) {
  if (ignored != nullptr) *ignored = 0;
  if (set == nullptr) return 0;
  ClearMemoParamSet(set);
  if (text == nullptr) return 0;

  char first[kStringBufferSize] = "";
  char second[kStringBufferSize] = "";
  int32_t progress[kPatternCount] = {};
  size_t starts[kPatternCount] = {};
  size_t ends[kPatternCount] = {};
  size_t position = 0;
  Token token;
  while (NextToken(text, position, &token)) {
    for (int32_t p = 0; p < kPatternCount; ++p) {
      const Pattern& pattern = kPatterns[p];
      if (progress[p] == pattern.size) continue;  // complete: stays a candidate
      if (token.kind != pattern.kinds[progress[p]]) {
        progress[p] = 0;
        continue;
      }
      // Match step: only strings have an effect, every token is accepted.
      if (token.kind == kString) {
        if (p == 1) CopyString(text, token, first);
        if (p == 2) CopyString(text, token, second);
      }
      if (progress[p] == 0) starts[p] = token.start;
      ++progress[p];
      if (progress[p] == pattern.size) ends[p] = token.end;
    }

    // The complete pattern that went furthest (the lowest number among
    // equals) is reported, unless another pattern has gone further still.
    int32_t best = -1;
    int32_t furthest = 0;
    for (int32_t p = 0; p < kPatternCount; ++p) {
      if (progress[p] == kPatterns[p].size && (best < 0 || progress[p] > progress[best])) best = p;
      if (progress[p] > furthest) furthest = progress[p];
    }
    size_t next = token.end;
    if (best >= 0 && progress[best] >= furthest) {
      if (best > 0) {
        if (set->count < kMaxMemoParams) {
          MemoParam& entry = set->entries[set->count++];
          entry.kind = (best == 2 && IsFieldWord(second)) ? 1 : 0;
          // A statement is far below 2 GiB; positions are kept as the
          // record's 32-bit fields.
          entry.position = static_cast<int32_t>(starts[best]);
          entry.length = static_cast<int32_t>(ends[best] - starts[best]);
          entry.text = DuplicateText(first);  // null when memory is short
        } else if (ignored != nullptr) {
          ++*ignored;
        }
      }
      next = ends[best];
      first[0] = '\0';
      second[0] = '\0';
      for (int32_t& step : progress) step = 0;
    }
    // The position must grow at every step; a token is never empty, so
    // this only guards the loop's end.
    if (next <= position) break;
    position = next;
  }
  return set->count;
}

int32_t GetMemoInfo(const MemoParamSet* set, int32_t index, char* buffer, int32_t bufferSize,
                    int32_t* kind) {
  if (set == nullptr || index < 0 || index >= set->count || index >= kMaxMemoParams) return 0;
  const MemoParam& entry = set->entries[index];
  if (kind != nullptr) *kind = entry.kind;
  if (buffer != nullptr && bufferSize >= 1) {
    // A buffer shorter than the text gets the text cut to it.
    (void)BoundedCopy(buffer, entry.text != nullptr ? entry.text : "", bufferSize);
  }
  return 1;
}

int32_t ReplaceMemo(MemoParamSet* set, char* text, int32_t index, const char* replacement,
                    int32_t bufferSize) {
  if (set == nullptr || text == nullptr || replacement == nullptr || bufferSize < 1) return 0;
  if (index < 0 || index >= set->count || index >= kMaxMemoParams) return 0;
  size_t size = static_cast<size_t>(bufferSize);
  // The text's length, looking no further than the buffer.
  const void* terminator = memchr(text, '\0', size);
  if (terminator == nullptr) return 0;
  size_t textLength = static_cast<size_t>(static_cast<const char*>(terminator) - text);

  MemoParam& entry = set->entries[index];
  // An entry must lie inside this text: a text other than the one scanned
  // (or one already changed behind the set's back) is refused rather than
  // moved past its end.
  if (entry.position < 0 || entry.length < 0) return 0;
  size_t p = static_cast<size_t>(entry.position);
  size_t oldLength = static_cast<size_t>(entry.length);
  if (p > textLength || oldLength > textLength - p) return 0;

  size_t newLength = strlen(replacement);
  if (textLength - oldLength + newLength > size - 1) return 0;
  if (newLength > static_cast<size_t>(INT32_MAX)) return 0;

  if (newLength != oldLength) {
    memmove(text + p + newLength, text + p + oldLength, textLength - p - oldLength + 1);
  }
  memcpy(text + p, replacement, newLength);
  int32_t shift = static_cast<int32_t>(newLength) - entry.length;
  entry.length = static_cast<int32_t>(newLength);
  for (int32_t j = index + 1; j < set->count; ++j) set->entries[j].position += shift;
  return 1;
}

int32_t SubstituteMemoMarkers(char* text, int32_t bufferSize, MemoMarkerFailure* why) {
  MemoMarkerFailure failure = MemoMarkerFailure::kNone;
  int32_t result = -1;
  MemoParamSet* set = nullptr;
  // A text not terminated within its buffer is refused before it is
  // scanned, so nothing past bufferSize is ever read.
  if (text == nullptr || bufferSize < 1 ||
      memchr(text, '\0', static_cast<size_t>(bufferSize)) == nullptr) {
    failure = MemoMarkerFailure::kDoesNotFit;
  } else if (strchr(text, '{') == nullptr) {
    // Every construct opens with a brace: a text without one (most
    // statements) has nothing to scan or replace.
    result = 0;
  } else if ((set = AllocMemoParamSet()) == nullptr) {
    failure = MemoMarkerFailure::kNoMemory;
  } else {
    int32_t ignored = 0;
    int32_t count = ScanMemoParams(set, text, &ignored);
    // Markers are 3 bytes and the number: never longer than the shortest
    // construct, but the whole result is checked before the first change so
    // that a refusal leaves the text as it was.
    int64_t length = static_cast<int64_t>(strlen(text));
    char markers[kMaxMemoParams][16];
    for (int32_t i = 0; i < count; ++i) {
      ZkFormat(markers[i], sizeof markers[i], "'\x7F%d'", i + 1);
      length += static_cast<int64_t>(strlen(markers[i])) - set->entries[i].length;
    }
    if (ignored > 0) {
      // Constructs beyond the limit would reach the parser as braces, and
      // their memo values would be lost: the statement is refused instead.
      failure = MemoMarkerFailure::kTooMany;
    } else if (length > static_cast<int64_t>(bufferSize) - 1) {
      failure = MemoMarkerFailure::kDoesNotFit;
    } else {
      result = count;
      for (int32_t i = 0; i < count; ++i) {
        if (ReplaceMemo(set, text, i, markers[i], bufferSize) != 1) {
          // Cannot happen after the check above; kept so that a failure
          // is never reported as success.
          failure = MemoMarkerFailure::kDoesNotFit;
          result = -1;
          break;
        }
      }
    }
  }
  FreeMemoParamSet(set);
  if (why != nullptr) *why = failure;
  return result;
}

}  // namespace zksql
