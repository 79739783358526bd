// EngineFilterBuilder: makes the engine filter of each selection, through
// the selection driver's FilterBuilder seam.
//
// Build restructures the driver's WHERE tree (the filter reads its
// NOT-free form), analyses it and installs the ranges; Drop takes them back
// from the engine and deletes the filter, on success and failure alike. A
// builder keeps nothing between two selections, so one process-wide
// builder (Shared) serves every driver the statement executor creates.
//
// Filtering can be switched off: the ranges only ever narrow the records
// read, so a statement must return the same rows with and without them,
// and switching them off is how that is checked. The shared builder starts
// switched off when the environment variable ZKSQL_KEY_FILTERS is "0"
// (read once, when it is first used).
#ifndef ZKSQL_SELECT_ENGINE_FILTER_BUILDER_H_
#define ZKSQL_SELECT_ENGINE_FILTER_BUILDER_H_

#include <cstdint>

#include "select/engine_filter.h"
#include "select/selection_driver.h"

namespace zksql {

class EngineFilterBuilder : public FilterBuilder {
 public:
  // Engine calls through `calls`; null: through the bound engine.
  explicit EngineFilterBuilder(FilterEngineCalls* calls = nullptr) : calls_(calls) {}

  // The filter of the driver's selection, or null when its WHERE clause
  // narrows no table (or filtering is off, or memory is short).
  KeySource* Build(SelectionDriver& driver, int16_t driverIndex) override;
  // Removes a filter made by Build from the engine and deletes it; null is
  // ignored.
  void Drop(KeySource* filter) override;

  bool enabled() const { return enabled_; }
  void set_enabled(bool on) { enabled_ = on; }
  FilterEngineCalls* calls() const { return calls_; }
  void set_calls(FilterEngineCalls* calls) { calls_ = calls; }

  // The builder the statement executor gives its drivers.
  static EngineFilterBuilder& Shared();

 private:
  FilterEngineCalls* calls_;
  bool enabled_ = true;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_ENGINE_FILTER_BUILDER_H_
