// Key ranges of the engine filter: bounds, their merging into candidate
// ranges, completion, the choice of one range per table, and the form the
// engine is given.
#include "select/filter_range.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/zeroed_alloc.h"
#include "storage/column.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

const FilterBound* AnyEnd(const FilterRange& range) {
  return range.low != nullptr ? range.low : range.high;
}

bool SameTable(const FilterBound& a, const FilterBound& b) {
  if (a.from != nullptr || b.from != nullptr) return a.from == b.from;
  return CompareNoCase(a.table, b.table) == 0;
}

bool SameColumn(const FilterBound& a, const FilterBound& b) {
  return CompareNoCase(a.column, b.column) == 0;
}

double AsReal(const FilterBound& b) {
  return b.kind == kBoundInteger ? b.integer : b.real;
}

// A candidate that a new equality or LIKE bound makes: both ends hold the
// value; a text's high end is a prefix bound, so that every key beginning
// with the value stays in (the LIKE pattern's "%" is already gone from it).
OfferResult NewCandidate(RangeList* candidates, FilterBound* bound) {
  FilterBound* low = nullptr;
  FilterBound* high = nullptr;
  if (bound->code == kBoundEqual || bound->code == kBoundLike) {
    low = bound;
    high = CopyBound(*bound);
    if (high == nullptr) {
      FreeBound(bound);
      return OfferResult::kNoMemory;
    }
    if (bound->kind == kBoundText) {
      char* prefix = high->text;
      high->text = nullptr;
      bool ok = SetBoundText(high, prefix, kPrefixMark);
      free(prefix);
      if (!ok) {
        FreeBound(low);
        FreeBound(high);
        return OfferResult::kNoMemory;
      }
    }
  } else if (bound->code == kBoundAtMost) {
    high = bound;
  } else {
    low = bound;
  }
  if (!candidates->Append(low, high)) {
    FreeBound(low);
    FreeBound(high);
    return OfferResult::kNoMemory;
  }
  return OfferResult::kTaken;
}

// The missing end of a candidate: the existing end with the extreme value
// of its kind. Reals go to the infinities rather than the largest finite
// value: an item may hold an infinity, and «R > 5» holds for it.
FilterBound* ExtremeOf(const FilterBound& from, bool high) {
  FilterBound* end = CopyBound(from);
  if (end == nullptr) return nullptr;
  end->code = high ? kBoundAtMost : kBoundAtLeast;
  switch (end->kind) {
    case kBoundInteger:
      end->integer = high ? INT32_MAX : INT32_MIN;
      break;
    case kBoundReal:
      end->real =
          high ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
      break;
    default: {
      // Every text sorts at or above "" and begins with the empty prefix.
      static const char kEverything[] = {static_cast<char>(kPrefixMark), '\0'};
      if (!SetBoundText(end, high ? kEverything : "", 0)) {
        FreeBound(end);
        return nullptr;
      }
      break;
    }
  }
  return end;
}

// Whether every record whose key value lies in the range has its key in
// the engine's range. A 32-bit float item holding an infinity or NaN reads
// as 0 while its key sorts at an end of the index: a range that takes 0 in
// would miss those records, so it is not used.
bool HoldsEveryValue(const FilterRange& range) {
  EngineRangeForm form;
  if (!EngineForm(range, &form)) return false;
  if (range.low->itemType != kTypeFloat) return true;
  return form.size == 8 && !(form.reals[0] <= 0 && form.reals[1] >= 0);
}

}  // namespace

FilterBound* NewBound() {
  return static_cast<FilterBound*>(AllocZeroed(1, sizeof(FilterBound)));
}

FilterBound* CopyBound(const FilterBound& bound) {
  FilterBound* copy = NewBound();
  if (copy == nullptr) return nullptr;
  *copy = bound;
  copy->text = nullptr;
  if (bound.text != nullptr && !SetBoundText(copy, bound.text, 0)) {
    FreeBound(copy);
    return nullptr;
  }
  return copy;
}

void FreeBound(FilterBound* bound) {
  if (bound == nullptr) return;
  free(bound->text);
  free(bound);
}

bool SetBoundText(FilterBound* bound, const char* text, unsigned char extra) {
  if (text == nullptr) text = "";
  size_t n = strlen(text);
  char* copy = static_cast<char*>(AllocZeroed(n + 2, 1));
  if (copy == nullptr) return false;
  memcpy(copy, text, n);
  copy[n] = static_cast<char>(extra);
  free(bound->text);
  bound->text = copy;
  return true;
}

int CompareBoundValues(const FilterBound& a, const FilterBound& b) {
  bool textA = a.kind == kBoundText;
  bool textB = b.kind == kBoundText;
  if (textA != textB) return textA ? 1 : -1;
  if (textA) {
    const unsigned char* x =
        reinterpret_cast<const unsigned char*>(a.text == nullptr ? "" : a.text);
    const unsigned char* y =
        reinterpret_cast<const unsigned char*>(b.text == nullptr ? "" : b.text);
    for (;; ++x, ++y) {
      if (*x != *y) return *x < *y ? -1 : 1;
      if (*x == 0) return 0;
    }
  }
  if (a.kind == kBoundInteger && b.kind == kBoundInteger) {
    return a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
  }
  double x = AsReal(a);
  double y = AsReal(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

RangeList::~RangeList() {
  Clear();
}

bool RangeList::Append(FilterBound* low, FilterBound* high) {
  size_t bytes = (static_cast<size_t>(count_) + 1) * sizeof(FilterRange);
  // A plain heap array: every entry is written as it is added.
  void* grown = realloc(ranges_, bytes);
  if (grown == nullptr) return false;
  ranges_ = static_cast<FilterRange*>(grown);
  ranges_[count_] = FilterRange{low, high, 0, false, false};
  ++count_;
  return true;
}

void RangeList::Clear() {
  for (int32_t i = 0; i < count_; ++i) {
    FreeBound(ranges_[i].low);
    FreeBound(ranges_[i].high);
  }
  free(ranges_);
  ranges_ = nullptr;
  count_ = 0;
}

OfferResult OfferBound(RangeList* candidates, FilterBound* bound) {
  if (bound == nullptr) return OfferResult::kNoMemory;
  const bool equality = bound->code == kBoundEqual || bound->code == kBoundLike;
  for (int32_t i = 0; i < candidates->count(); ++i) {
    FilterRange& c = candidates->at(i);
    const FilterBound* any = AnyEnd(c);
    if (any == nullptr || !SameTable(*any, *bound)) continue;
    if (equality) {
      // Two equalities (or prefixes) on one column: the same value adds
      // nothing, another value cannot hold together with the first.
      if (c.low == nullptr || (c.low->code != kBoundEqual && c.low->code != kBoundLike) ||
          !SameColumn(*c.low, *bound)) {
        continue;
      }
      int same = CompareBoundValues(*bound, *c.low) == 0;
      FreeBound(bound);
      return same ? OfferResult::kTaken : OfferResult::kContradiction;
    }
    const bool lowSide = bound->code == kBoundAtLeast;
    FilterBound*& side = lowSide ? c.low : c.high;
    const FilterBound* other = lowSide ? c.high : c.low;
    if (side != nullptr) {
      // Only a strictly tighter bound on the same column replaces one.
      if (!SameColumn(*side, *bound)) continue;
      int order = CompareBoundValues(*bound, *side);
      if (lowSide ? order <= 0 : order >= 0) continue;
    } else if (other == nullptr || !SameColumn(*other, *bound)) {
      continue;
    }
    if (other != nullptr) {
      int order = CompareBoundValues(*bound, *other);
      if (lowSide ? order > 0 : order < 0) {
        FreeBound(bound);
        return OfferResult::kContradiction;
      }
    }
    FreeBound(side);
    side = bound;
    return OfferResult::kTaken;
  }
  return NewCandidate(candidates, bound);
}

bool CompleteRanges(RangeList* candidates) {
  for (int32_t i = 0; i < candidates->count(); ++i) {
    FilterRange& c = candidates->at(i);
    if (c.low == nullptr && c.high != nullptr) {
      c.low = ExtremeOf(*c.high, false);
      if (c.low == nullptr) return false;
    } else if (c.high == nullptr && c.low != nullptr) {
      c.high = ExtremeOf(*c.low, true);
      if (c.high == nullptr) return false;
    }
  }
  return true;
}

bool SelectFinalRanges(const RangeList& candidates, RangeList* finals) {
  finals->Clear();
  for (int32_t i = 0; i < candidates.count(); ++i) {
    const FilterRange& c = candidates.at(i);
    if (c.low == nullptr || c.high == nullptr || !HoldsEveryValue(c)) continue;
    const int32_t weight = c.low->code == kBoundEqual ? 10 : 5;
    int32_t at = -1;
    for (int32_t j = 0; j < finals->count() && at < 0; ++j) {
      if (SameTable(*finals->at(j).low, *c.low)) at = j;
    }
    if (at >= 0 && weight <= finals->at(at).weight) continue;
    FilterBound* low = CopyBound(*c.low);
    FilterBound* high = low == nullptr ? nullptr : CopyBound(*c.high);
    if (high == nullptr) {
      FreeBound(low);
      finals->Clear();
      return false;
    }
    if (at >= 0) {
      FilterRange& f = finals->at(at);
      FreeBound(f.low);
      FreeBound(f.high);
      f.low = low;
      f.high = high;
      f.weight = weight;
    } else {
      if (!finals->Append(low, high)) {
        FreeBound(low);
        FreeBound(high);
        finals->Clear();
        return false;
      }
      finals->at(finals->count() - 1).weight = weight;
    }
  }
  return true;
}

double RealSlack(double value) {
  if (!std::isfinite(value)) return 0;
  return 2e-6 + std::fabs(value) * 1e-12;
}

bool AtMostOneRecord(const FilterRange& range, const EngineRangeForm& form) {
  if (form.typeCode != 5 || form.integers[0] != form.integers[1]) return false;
  if (range.low == nullptr || range.low->keyKind != 1) return false;
  switch (range.low->itemType) {
    case kTypeInt8:
    case kTypeUInt8:
    case kTypeInt16:
    case kTypeUInt16:
    case kTypeInt32:
    case kTypeUInt32:
      return true;
    default:
      return false;
  }
}

bool EngineForm(const FilterRange& range, EngineRangeForm* form) {
  *form = EngineRangeForm{};
  const FilterBound* low = range.low;
  const FilterBound* high = range.high;
  if (low == nullptr || high == nullptr) return false;
  if (low->kind == kBoundText || high->kind == kBoundText) {
    if (low->kind != high->kind || low->text == nullptr || high->text == nullptr) return false;
    form->low = low->text;
    form->high = high->text;
    form->size = 0;
    form->typeCode = 15;
    return true;
  }
  if (low->kind == kBoundInteger && high->kind == kBoundInteger) {
    form->integers[0] = low->integer;
    form->integers[1] = high->integer;
    form->low = &form->integers[0];
    form->high = &form->integers[1];
    form->size = 4;
    form->typeCode = 5;
    return true;
  }
  // A real is compared at six decimals: «R = 2.6000004» holds for the
  // row holding 2.6, so each end moves outward by more than that rounding.
  double lo = AsReal(*low);
  double hi = AsReal(*high);
  form->reals[0] = lo - RealSlack(lo);
  form->reals[1] = hi + RealSlack(hi);
  form->low = &form->reals[0];
  form->high = &form->reals[1];
  form->size = 8;
  form->typeCode = 9;
  return true;
}

}  // namespace zksql
