// The five memo parameter exports: a host allocates a set, scans its
// statement to learn which memo values to supply (and whether each names a
// field), may replace constructs itself, and frees the set.
//
// Every export checks the set it is handed against the live set blocks, so
// a null, stale or foreign pointer is answered as zksql.h says rather than
// followed, and catches everything so that nothing is thrown into the host.
#include "api/memo_param_set.h"
#include "zksql.h"

using zksql::LiveMemoParamSet;
using zksql::MemoParamSet;

extern "C" {

ZKSQL_API void* ZKSQL_CALL ZKSQL_JXMS_Alloc(void) {
  try {
    return zksql::AllocMemoParamSet();
  } catch (...) {
    return nullptr;
  }
}

ZKSQL_API void ZKSQL_CALL ZKSQL_JXMS_Free(void* set) {
  try {
    zksql::FreeMemoParamSet(LiveMemoParamSet(set));
  } catch (...) {
  }
}

ZKSQL_API int32_t ZKSQL_CALL ZKSQL_JXMS_Scan(void* set, const char* text) {
  try {
    MemoParamSet* live = LiveMemoParamSet(set);
    if (live == nullptr) return 0;
    // A null text still clears the set, as every scan does.
    return zksql::ScanMemoParams(live, text);
  } catch (...) {
    return 0;
  }
}

ZKSQL_API int32_t ZKSQL_CALL ZKSQL_JXMS_GetMemoInfo(void* set, int32_t index, char* buffer,
                                                    int32_t bufferSize, int32_t* kind) {
  try {
    return zksql::GetMemoInfo(LiveMemoParamSet(set), index, buffer, bufferSize, kind);
  } catch (...) {
    return 0;
  }
}

ZKSQL_API int32_t ZKSQL_CALL ZKSQL_JXMS_ReplaceMemo(void* set, char* text, int32_t index,
                                                    const char* replacement, int32_t bufferSize) {
  try {
    return zksql::ReplaceMemo(LiveMemoParamSet(set), text, index, replacement, bufferSize);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
