// EngineFilterBuilder: building, installing and dropping the filter of one
// selection; the process-wide builder and its switch.
#include "select/engine_filter_builder.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace zksql {

KeySource* EngineFilterBuilder::Build(SelectionDriver& driver, int16_t /*driverIndex*/) {
  if (!enabled_ || driver.where == nullptr) return nullptr;
  // A tree that could not be restructured may still hold NOT nodes above
  // its leaves; the selection fails on it anyway, so no range is drawn.
  if (!driver.RestructureWhere()) return nullptr;
  std::unique_ptr<EngineFilter> filter(EngineFilter::Create(driver, calls_));
  if (filter == nullptr || !filter->Analyse() || filter->ranges().count() == 0) return nullptr;
  filter->Install();
  return filter.release();  // Drop takes it back
}

void EngineFilterBuilder::Drop(KeySource* filter) {
  std::unique_ptr<EngineFilter> mine(dynamic_cast<EngineFilter*>(filter));
  if (mine != nullptr) mine->Remove();
}

EngineFilterBuilder& EngineFilterBuilder::Shared() {
  static EngineFilterBuilder* shared = [] {
    static EngineFilterBuilder builder;
    const char* setting = getenv("ZKSQL_KEY_FILTERS");
    if (setting != nullptr && strcmp(setting, "0") == 0) builder.set_enabled(false);
    return &builder;
  }();
  return *shared;
}

}  // namespace zksql
