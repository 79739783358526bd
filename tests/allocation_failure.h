// Allocation failure injection for the unit tests: the test binary
// replaces the nothrow operator new that the library uses for every
// object. While `allocationsBeforeFailure` is 0 or more, that many
// allocations succeed and every later one answers null; at -1 (the
// default) it allocates as the ordinary operator new does.
#ifndef ZKSQL_TESTS_ALLOCATION_FAILURE_H_
#define ZKSQL_TESTS_ALLOCATION_FAILURE_H_

#include "sql/parse_node.h"

namespace zksql_test {

extern int allocationsBeforeFailure;

// Arms the failure for its lifetime.
class StarveAllocations {
 public:
  // The parse-node cache is emptied first, so that every node the run
  // makes is an allocation that can fail.
  explicit StarveAllocations(int allowed) {
    zksql::ParseNode::ReleaseCache();
    allocationsBeforeFailure = allowed;
  }
  ~StarveAllocations() { allocationsBeforeFailure = -1; }
  StarveAllocations(const StarveAllocations&) = delete;
  StarveAllocations& operator=(const StarveAllocations&) = delete;
};

}  // namespace zksql_test

#endif  // ZKSQL_TESTS_ALLOCATION_FAILURE_H_
