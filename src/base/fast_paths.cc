// The fast-path switch.
#include "base/fast_paths.h"

#include <atomic>

namespace zksql {
namespace {

std::atomic<bool> fastPaths{true};

}  // namespace

bool FastPathsOn() {
  return fastPaths.load(std::memory_order_relaxed);
}

void SetFastPathsOn(bool on) {
  fastPaths.store(on, std::memory_order_relaxed);
}

}  // namespace zksql
