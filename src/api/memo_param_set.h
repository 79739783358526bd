// Memo parameter sets: where a statement carries memo constructs, and what
// each says.
//
// A host cannot write a memo value as an SQL literal, so it marks each with
// {JXMemoBinaire('text')} or {JXMemoBinaire('text','Champ')} in the
// statement and hands the values over in a separate table. The scanner
// records every construct (its position, length, first string and whether
// its second string is "Champ" or "Field"), so that the host learns which
// values to supply (through the ZKSQL_JXMS_ exports) and the request path
// can replace construct i by the memo marker of memo number i + 1 before
// parsing.
//
// A set is a plain record in a zero-filled memory block (base/memory_block.h)
// rather than a C++ object: hosts hold it as an opaque pointer across the C
// boundary, a block is zero-filled as the record must be, and a pointer a
// host hands back can be checked against the live blocks before it is read
// (a stale or foreign pointer is refused, never followed). On a 32-bit
// target the record is the 4104 bytes hosts expect; on a 64-bit one each
// entry grows with the width of its text pointer.
#ifndef ZKSQL_API_MEMO_PARAM_SET_H_
#define ZKSQL_API_MEMO_PARAM_SET_H_

#include <cstddef>
#include <cstdint>

namespace zksql {

// Entries a set can hold; further constructs are not recorded.
constexpr int32_t kMaxMemoParams = 256;
// Longest first or second string kept from a construct.
constexpr int32_t kMaxMemoParamText = 127;

struct MemoParam {
  int32_t kind;      // 1 when the second string is "Champ" or "Field", else 0
  int32_t position;  // byte offset of the construct's "{" in the text
  int32_t length;    // bytes of the construct through its "}"
  char* text;        // heap copy (free()) of the first string, or null
};

struct MemoParamSet {
  int32_t reserved;  // zeroed on every clear, otherwise unused
  int32_t count;     // entries recorded
  MemoParam entries[kMaxMemoParams];
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(MemoParamSet) == 4104, "the host's memo parameter record");
#endif

// A new empty set in a zero-filled memory block, or null when memory is
// short.
MemoParamSet* AllocMemoParamSet();
// Clears the set and releases its block; null is ignored.
void FreeMemoParamSet(MemoParamSet* set);
// Frees every entry's text and zeroes the reserved word and the count.
void ClearMemoParamSet(MemoParamSet* set);
// The set behind a pointer a host handed back, or null when it is not a
// live set block (null, never made here, already freed, or a block of
// another size or with an impossible count).
MemoParamSet* LiveMemoParamSet(void* pointer);

// Clears the set, scans text (read only up to its terminator) and records
// every construct, kMaxMemoParams at most. Returns the count recorded; when
// `ignored` is given it receives the number of constructs found beyond the
// limit. A null set or text records nothing and returns 0.
int32_t ScanMemoParams(MemoParamSet* set, const char* text, int32_t* ignored = nullptr);

// For entry index: stores its kind in *kind and copies its first string
// into buffer, cut to bufferSize - 1 characters and terminated (an entry
// whose copy could not be made reads as ""). A null kind, a null buffer or
// a bufferSize below 1 receives nothing. Returns 1, or 0 for a null set or
// an index outside 0..count-1.
int32_t GetMemoInfo(const MemoParamSet* set, int32_t index, char* buffer, int32_t bufferSize,
                    int32_t* kind);

// Replaces entry index's construct in text, a buffer of bufferSize bytes,
// by replacement (which must not lie inside text), and moves the positions
// of later entries by the change of length. Returns 1, or 0 with the text
// and the set unchanged for a null argument, an index outside 0..count-1,
// a text not terminated within bufferSize, an entry that does not lie
// inside the text (the text is not the one scanned), or a result that
// would not fit (text length + replacement length - construct length >
// bufferSize - 1). Nothing is ever read or written past bufferSize.
int32_t ReplaceMemo(MemoParamSet* set, char* text, int32_t index, const char* replacement,
                    int32_t bufferSize);

// Why SubstituteMemoMarkers could not do its work.
enum class MemoMarkerFailure {
  kNone = 0,
  kNoMemory,      // the set could not be allocated
  kTooMany,       // more than kMaxMemoParams constructs
  kDoesNotFit,    // the markers would not fit in bufferSize
};

// The request path: replaces the i-th memo construct (from 0) of text, a
// working buffer of bufferSize bytes (16384 there), by the memo marker of
// memo number i + 1: a quote, the byte 0x7F, the decimal number and a
// quote. Returns the number of markers written (0 when there is no
// construct), or -1 when it could not be done: then the text is left
// exactly as it was (the check is made before any replacement) and `why`,
// when given, says why. On -1 the caller must not compile the text: it
// records an error for the statement (out of memory for kNoMemory; too
// many memo values, or a statement too long, otherwise) and fails it.
int32_t SubstituteMemoMarkers(char* text, int32_t bufferSize, MemoMarkerFailure* why = nullptr);

}  // namespace zksql

#endif  // ZKSQL_API_MEMO_PARAM_SET_H_
