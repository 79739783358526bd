// The memo construct scanner and its replacement. The first three bytes of
// an input steer the run (room after the text, the replacement's length and
// the order of the replacements, where the text is cut short); the rest is
// the statement text. Buffers are allocated exactly as large as the size
// the calls are told, so that a read or write past it is caught.
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/memo_param_set.h"
#include "fuzz_targets.h"
#include "zksql.h"

namespace zksql_fuzz {
namespace {

// The scanned entries must be constructs of the text: in order, apart,
// each from a "{" to a "}".
void CheckEntries(const zksql::MemoParamSet* set, const std::string& text) {
  int64_t previousEnd = 0;
  for (int32_t i = 0; i < set->count; ++i) {
    const zksql::MemoParam& e = set->entries[i];
    ZK_FUZZ_CHECK(e.position >= previousEnd);
    ZK_FUZZ_CHECK(e.length >= 19);  // {JXMemoBinaire('')}
    ZK_FUZZ_CHECK(static_cast<size_t>(e.position) + e.length <= text.size());
    ZK_FUZZ_CHECK(text[e.position] == '{');
    ZK_FUZZ_CHECK(text[e.position + e.length - 1] == '}');
    ZK_FUZZ_CHECK(e.kind == 0 || e.kind == 1);
    ZK_FUZZ_CHECK(e.text != nullptr && strlen(e.text) <= zksql::kMaxMemoParamText);
    previousEnd = static_cast<int64_t>(e.position) + e.length;
  }
}

}  // namespace

int MemoInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > 20000) return 0;
  size_t slack = data[0] % 64;
  size_t replacementLength = data[1] % 48;
  bool backwards = (data[1] & 0x80) != 0;
  std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
  text = text.c_str();
  size_t cut = text.empty() ? 0 : data[2] % (text.size() + 1);

  void* handle = ZKSQL_JXMS_Alloc();
  ZK_FUZZ_CHECK(handle != nullptr);
  int32_t count = ZKSQL_JXMS_Scan(handle, text.c_str());
  ZK_FUZZ_CHECK(count >= 0 && count <= zksql::kMaxMemoParams);
  zksql::MemoParamSet* set = zksql::LiveMemoParamSet(handle);
  ZK_FUZZ_CHECK(set != nullptr && set->count == count);
  CheckEntries(set, text);

  // Each entry's first string, whole and cut to a small buffer.
  for (int32_t i = 0; i <= count; ++i) {
    char whole[zksql::kMaxMemoParamText + 1];
    char small[4];
    int32_t kind = -1;
    int32_t found = ZKSQL_JXMS_GetMemoInfo(handle, i, whole, sizeof whole, &kind);
    if (i == count) {
      ZK_FUZZ_CHECK(found == 0 && kind == -1);
      break;
    }
    ZK_FUZZ_CHECK(found == 1 && kind == set->entries[i].kind);
    ZK_FUZZ_CHECK(strcmp(whole, set->entries[i].text) == 0);
    ZK_FUZZ_CHECK(ZKSQL_JXMS_GetMemoInfo(handle, i, small, sizeof small, nullptr) == 1);
    ZK_FUZZ_CHECK(strncmp(small, whole, sizeof small - 1) == 0 && strlen(small) < sizeof small);
  }

  // Every construct replaced, in one order or the other, in a buffer with
  // `slack` bytes of room.
  std::string replacement(replacementLength, 'r');
  int32_t bufferSize = static_cast<int32_t>(text.size() + 1 + slack);
  char* buffer = static_cast<char*>(malloc(static_cast<size_t>(bufferSize)));
  memcpy(buffer, text.c_str(), text.size() + 1);
  for (int32_t k = 0; k < count; ++k) {
    int32_t i = backwards ? count - 1 - k : k;
    std::string before = buffer;
    int32_t position = set->entries[i].position;
    int32_t length = set->entries[i].length;
    int32_t replaced = ZKSQL_JXMS_ReplaceMemo(handle, buffer, i, replacement.c_str(), bufferSize);
    if (replaced == 1) {
      std::string after = buffer;
      ZK_FUZZ_CHECK(after.size() < static_cast<size_t>(bufferSize));
      ZK_FUZZ_CHECK(after == before.substr(0, position) + replacement +
                                 before.substr(static_cast<size_t>(position) + length));
      ZK_FUZZ_CHECK(set->entries[i].length == static_cast<int32_t>(replacementLength));
    } else {
      ZK_FUZZ_CHECK(replaced == 0);
      ZK_FUZZ_CHECK(before == buffer);
      ZK_FUZZ_CHECK(before.size() + replacementLength - length >
                    static_cast<size_t>(bufferSize) - 1);
    }
  }
  // A text cut short behind the set's back: entries past its end are
  // refused, never moved past it.
  if (count > 0) {
    buffer[cut < strlen(buffer) ? cut : strlen(buffer)] = '\0';
    for (int32_t i = 0; i < count; ++i) {
      std::string before = buffer;
      if (ZKSQL_JXMS_ReplaceMemo(handle, buffer, i, "", bufferSize) == 0) {
        ZK_FUZZ_CHECK(before == buffer);
      }
    }
    // Sizes that do not hold the text, and the arguments that are refused.
    ZK_FUZZ_CHECK(ZKSQL_JXMS_ReplaceMemo(handle, buffer, 0, "", 0) == 0);
    ZK_FUZZ_CHECK(ZKSQL_JXMS_ReplaceMemo(handle, buffer, count, "", bufferSize) == 0);
    ZK_FUZZ_CHECK(ZKSQL_JXMS_ReplaceMemo(handle, buffer, -1, "", bufferSize) == 0);
    ZK_FUZZ_CHECK(ZKSQL_JXMS_ReplaceMemo(handle, nullptr, 0, "", bufferSize) == 0);
    ZK_FUZZ_CHECK(ZKSQL_JXMS_ReplaceMemo(handle, buffer, 0, nullptr, bufferSize) == 0);
  }
  free(buffer);
  ZKSQL_JXMS_Free(handle);

  // The request path: markers in a buffer with `slack` bytes of room; a
  // refusal leaves the text exactly as it was.
  int32_t markerSize = static_cast<int32_t>(text.size() + 1 + slack);
  char* working = static_cast<char*>(malloc(static_cast<size_t>(markerSize)));
  memcpy(working, text.c_str(), text.size() + 1);
  zksql::MemoMarkerFailure why = zksql::MemoMarkerFailure::kNone;
  int32_t markers = zksql::SubstituteMemoMarkers(working, markerSize, &why);
  if (markers < 0) {
    ZK_FUZZ_CHECK(markers == -1 && why != zksql::MemoMarkerFailure::kNone);
    ZK_FUZZ_CHECK(text == working);
  } else {
    ZK_FUZZ_CHECK(why == zksql::MemoMarkerFailure::kNone);
    ZK_FUZZ_CHECK(markers == count);
    ZK_FUZZ_CHECK(strlen(working) < static_cast<size_t>(markerSize));
    // The markers appear in order where the constructs were.
    const char* from = working;
    for (int32_t i = 0; i < markers; ++i) {
      std::string marker = "'\x7F" + std::to_string(i + 1) + "'";
      const char* at = strstr(from, marker.c_str());
      ZK_FUZZ_CHECK(at != nullptr);
      if (at == nullptr) break;
      from = at + marker.size();
    }
  }
  free(working);
  return 0;
}

}  // namespace zksql_fuzz
