// Odometer: steps a list of tables through their cartesian product, the
// first table turning fastest, so that each group of conditions can be
// evaluated over every combination of the records it reads.
//
// Every read is checked, including the ones that set the lower tables back
// to their first record when a higher table advances: a read error there
// would otherwise leave a stale record in a row buffer and evaluate the
// conditions on a combination that does not exist.
#include <cstdlib>

#include "base/messages.h"
#include "base/statement_context.h"
#include "base/zeroed_alloc.h"
#include "select/selection_driver.h"
#include "storage/table.h"

namespace zksql {

Odometer::Odometer(StatementContext* request, Table* const* tables, int16_t n,
                   const KeySource* filter)
    : request_(request), tables_(tables), n_(n < 0 ? 0 : n), filter_(filter) {}

Odometer::~Odometer() {
  std::free(numbers_);
}

// 1 for a record, 0 at the end, -1 for a read error (reported).
int16_t Odometer::Check(int16_t i, int32_t r) {
  if (r > 0) {
    numbers_[i] = r;
    return 1;
  }
  if (r == 0) return 0;
  if (request_ != nullptr) {
    const char* name = tables_[i]->fileName();
    RecordMessage(request_, nullptr, kMsgReadWriteError, name == nullptr ? "" : name,
                  static_cast<int>(-r));
  }
  return -1;
}

int16_t Odometer::Start() {
  if (n_ == 0) return 0;
  if (numbers_ == nullptr) {
    numbers_ = static_cast<int32_t*>(AllocZeroed(static_cast<size_t>(n_), sizeof(int32_t)));
    if (numbers_ == nullptr) {
      if (request_ != nullptr) RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return -1;
    }
  }
  for (int16_t i = 0; i < n_; ++i) {
    int16_t c = Check(i, tables_[i]->ReadFirst(filter_));
    if (c != 1) return c;
  }
  return 1;
}

int16_t Odometer::Step() {
  if (numbers_ == nullptr) return 0;
  for (int16_t i = 0; i < n_; ++i) {
    int16_t c = Check(i, tables_[i]->ReadNext(filter_));
    if (c < 0) return -1;
    if (c == 0) continue;
    // Table i advanced: the tables below it start over.
    for (int16_t j = static_cast<int16_t>(i - 1); j >= 0; --j) {
      int16_t d = Check(j, tables_[j]->ReadFirst(filter_));
      if (d < 0) return -1;
      // A table that held records a moment ago and now has none: the
      // product has no further combination.
      if (d == 0) return 0;
    }
    return 1;
  }
  return 0;
}

}  // namespace zksql
