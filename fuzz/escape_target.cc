// The date escape rewriter. The first byte of an input picks the dialect
// (0 to 5: the four dialects and two that rewrite nothing) and the second
// the room left after the text for the in-place rewrite; the rest is the
// text. The request path's rewrite works in a buffer exactly as long as the
// text, so that a rewrite that grew would be caught writing past it.
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/escape_rewriter.h"
#include "fuzz_targets.h"

namespace zksql_fuzz {

int EscapeInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 20000) return 0;
  int32_t dialect = data[0] % 6;
  size_t slack = data[1] % 32;
  std::string original(reinterpret_cast<const char*>(data + 2), size - 2);
  original = original.c_str();  // up to a zero byte, as every caller hands it
  size_t length = original.size();

  // The request path: in place, with no room beyond the text's own bytes.
  {
    char* text = static_cast<char*>(malloc(length + 1));
    memcpy(text, original.c_str(), length + 1);
    bool changed = zksql::RewriteEscapesInPlace(text);
    ZK_FUZZ_CHECK(strlen(text) <= length);
    if (!changed) ZK_FUZZ_CHECK(original == text);
    // Dialect 3's rewrite is what the request path made.
    zksql::EscapeRewriter three(3);
    char* rewritten = three.Rewrite(original.c_str());
    ZK_FUZZ_CHECK((rewritten != nullptr) == changed);
    if (rewritten != nullptr) {
      ZK_FUZZ_CHECK(strcmp(rewritten, text) == 0);
      free(rewritten);
    }
    free(text);
  }

  zksql::EscapeRewriter rewriter(dialect);
  char* rewritten = rewriter.Rewrite(original.c_str());
  if (rewritten != nullptr) {
    // Something was replaced: only the four dialects replace anything, and
    // every replacement takes a "{" away.
    ZK_FUZZ_CHECK(dialect >= 1 && dialect <= 4);
    ZK_FUZZ_CHECK(strchr(original.c_str(), '{') != nullptr);
    size_t opened = 0, left = 0;
    for (char ch : original) opened += ch == '{';
    for (const char* p = rewritten; *p != '\0'; ++p) left += *p == '{';
    ZK_FUZZ_CHECK(left < opened);
  }

  // In place with some room: the same text when it fits, the text left as
  // it was when it does not.
  size_t bufferSize = length + 1 + slack;
  char* buffer = static_cast<char*>(malloc(bufferSize));
  memcpy(buffer, original.c_str(), length + 1);
  int32_t status = rewriter.RewriteInPlace(buffer, bufferSize);
  if (status == 1) {
    ZK_FUZZ_CHECK(rewritten != nullptr && strcmp(buffer, rewritten) == 0);
  } else {
    ZK_FUZZ_CHECK(status == 0 || status == -1);
    ZK_FUZZ_CHECK(original == buffer);
    ZK_FUZZ_CHECK((status == -1) == (rewritten != nullptr));
    if (status == -1) ZK_FUZZ_CHECK(strlen(rewritten) >= bufferSize);
  }
  free(buffer);
  free(rewritten);
  return 0;
}

}  // namespace zksql_fuzz
