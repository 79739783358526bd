// Key ranges of the engine filter: the bounds that conditions of the form
// «key column, comparison, literal» give, and the ranges they are merged
// into, one per table in the end.
//
// A FilterBound is one end of a range: the file and key item it narrows,
// the comparison it came from and its value (a 32-bit integer, a real or a
// text of its own). Bounds offered one by one are merged into candidate
// ranges (OfferBound): two bounds on the same side keep the tighter, an
// equality met twice keeps one, and two that cannot both hold raise the
// contradiction flag. Candidates missing an end get the widest value of
// their kind (CompleteRange), and each table keeps one range
// (SelectFinalRanges): its first equality, else its first range.
//
// Merging only ever makes a range narrower than one of the bounds it holds
// where both bounds hold for every row; the widening that the engine form
// of a range needs (EngineForm) is applied last, after every merge.
#ifndef ZKSQL_SELECT_FILTER_RANGE_H_
#define ZKSQL_SELECT_FILTER_RANGE_H_

#include <cstdint>

#include "jxengine.h"

namespace zksql {

class Table;

// Comparison codes of bounds.
constexpr int32_t kBoundEqual = 221;
constexpr int32_t kBoundLike = 37;
constexpr int32_t kBoundAtMost = 210;   // a high bound ("<=" and "<")
constexpr int32_t kBoundAtLeast = 211;  // a low bound (">=" and ">")

// Value kinds of bounds.
constexpr int32_t kBoundInteger = 0;
constexpr int32_t kBoundReal = 1;
constexpr int32_t kBoundText = 2;

// The byte that ends a text high bound standing for "every key beginning
// with the bytes before it" (the engine reads it so).
constexpr unsigned char kPrefixMark = 0xAD;

// One end of a range. A plain record owned by whoever holds the pointer:
// made by NewBound or CopyBound, released by FreeBound (with its text).
struct FilterBound {
  char table[JX_NAME_FIELD_SIZE];  // the engine file name
  char column[33];                 // the key item
  int32_t code;                    // kBoundEqual, kBoundLike, kBoundAtMost or kBoundAtLeast
  int32_t kind;                    // kBoundInteger, kBoundReal or kBoundText
  int32_t integer;
  double real;
  char* text;         // kBoundText only; allocated with its length + 2 bytes
  const Table* from;  // the FROM table whose browse the bound narrows
  uint16_t itemType;  // the key item's storage type
  uint8_t keyKind;    // the key item's kind: 1 unique, 2 duplicates allowed
};

// A new zero-filled bound; null when memory is short.
FilterBound* NewBound();
// A copy, with a text of its own; null when memory is short.
FilterBound* CopyBound(const FilterBound& bound);
// Releases a bound and its text; null is ignored.
void FreeBound(FilterBound* bound);
// Gives a bound the text `text` (with `extra` appended when not 0), freeing
// the one it held. False when memory is short (the bound is unchanged).
[[nodiscard]] bool SetBoundText(FilterBound* bound, const char* text, unsigned char extra);

// Compares the values of two bounds: numbers by value (an integer bound
// against a real one too), texts byte by byte as unsigned characters.
// <0, 0 or >0; texts against numbers never compare equal (they are never
// offered for one column).
int CompareBoundValues(const FilterBound& a, const FilterBound& b);

// A range; either end may be null while collecting. `weight` is 10 for an
// equality and 5 otherwise once the final ranges are chosen. `installed`
// is set once the engine took it; `single` too when the range can hold at
// most one record (see AtMostOneRecord).
struct FilterRange {
  FilterBound* low;
  FilterBound* high;
  int32_t weight;
  bool installed;
  bool single;
};


// A growable array of ranges that owns their bounds; it grows by one
// range at a time, in a memory block.
class RangeList {
 public:
  RangeList() = default;
  ~RangeList();
  RangeList(const RangeList&) = delete;
  RangeList& operator=(const RangeList&) = delete;

  int32_t count() const { return count_; }
  FilterRange& at(int32_t i) { return ranges_[i]; }
  const FilterRange& at(int32_t i) const { return ranges_[i]; }
  // Appends a range taking `low` and `high`; false when memory is short
  // (the caller keeps the bounds).
  [[nodiscard]] bool Append(FilterBound* low, FilterBound* high);
  // Releases every range and its bounds.
  void Clear();

 private:
  FilterRange* ranges_ = nullptr;
  int32_t count_ = 0;
};

// Outcome of offering a bound.
enum class OfferResult : int16_t {
  kTaken = 1,          // merged into a candidate or appended as a new one
  kContradiction = 2,  // two conditions on one column cannot both hold
  kNoMemory = 0,
};

// Merges `bound` (taken over: stored or freed) into `candidates`.
OfferResult OfferBound(RangeList* candidates, FilterBound* bound);

// Gives every candidate with one end the other end at the extreme of its
// kind. False when memory is short.
[[nodiscard]] bool CompleteRanges(RangeList* candidates);

// Chooses one range per table into `finals` (copies): its first equality,
// else its first range, among the ranges the engine can be given (see
// EngineForm) and that hold every key whose value lies in them. False when
// memory is short (`finals` emptied).
[[nodiscard]] bool SelectFinalRanges(const RangeList& candidates, RangeList* finals);

// The values handed to the engine for a complete range: both ends in one
// kind, a range involving a real number widened to every value that the
// six-decimal comparison calls equal to an end.
struct EngineRangeForm {
  int32_t integers[2];
  double reals[2];
  const void* low;
  const void* high;
  int16_t size;      // 4 integer, 8 real, 0 text
  uint8_t typeCode;  // 5 integer, 9 real, 15 text
};
// True with `form` filled, or false for a range the engine cannot be given
// (an end missing, a text against a number).
[[nodiscard]] bool EngineForm(const FilterRange& range, EngineRangeForm* form);

// True when the engine form of a range reaches at most one record: one
// whole number on a unique key item of a whole-number type, where every
// stored key is its own value and no two records share one. Dates, reals
// and texts are left out: keys of distinct bytes compare equal there (a
// six-character date and its eight-character form, trailing blanks).
bool AtMostOneRecord(const FilterRange& range, const EngineRangeForm& form);

// How far a real bound is moved outward: more than the six-decimal
// rounding can separate two values it calls equal, and more than the few
// units in the last place by which two conversions of one number may
// differ.
double RealSlack(double value);

}  // namespace zksql

#endif  // ZKSQL_SELECT_FILTER_RANGE_H_
