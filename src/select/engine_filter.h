// EngineFilter: the key ranges one selection hands to the storage engine,
// so that browsing a table along a key yields only the records whose key
// lies in the range instead of the whole file.
//
// Before a selection steps through its tables, the filter reads its WHERE
// tree for conditions of the form «key column, comparison, literal»
// (key_condition.h), merges them into one range per table
// (filter_range.h) and installs each range with the engine's XZK_FILTRE
// under the table's real file name. The table reads then ask KeyFor which
// key item to browse along. After the selection, Remove takes the ranges
// back with XZK_DESACTIVEFILTRE.
//
// The filter only narrows what the engine hands back: every condition is
// still evaluated on every row read, so a range may be wider than its
// conditions but never narrower. Everything below leans to the wider side:
// two conditions that cannot both hold, a shortage of memory, or a range
// the engine refuses leave the tables concerned browsed whole.
#ifndef ZKSQL_SELECT_ENGINE_FILTER_H_
#define ZKSQL_SELECT_ENGINE_FILTER_H_

#include <cstdint>

#include "select/filter_range.h"
#include "sql/parse_node.h"
#include "storage/table.h"

namespace zksql {

class SelectionDriver;

// The engine's two filter entry points as the filter calls them: 0 when
// the engine took the call. The default (BoundFilterCalls) goes through
// the bound engine; tests put a recorder in its place.
class FilterEngineCalls {
 public:
  virtual ~FilterEngineCalls() = default;
  virtual int16_t Install(int32_t handle, const char* file, const char* column, const void* low,
                          const void* high, int16_t size, uint8_t typeCode) = 0;
  virtual int16_t Remove(int32_t handle, const char* file) = 0;
};

// Calls through the bound engine; without one every call is refused.
FilterEngineCalls& BoundFilterCalls();

class EngineFilter : public KeySource {
 public:
  // Deepest nesting of AND lists followed when collecting; deeper leaves
  // give no bound. A limit on the search for key ranges, not on what a
  // statement may hold: a bound given up only leaves a browse wider, never
  // changes the rows.
  static constexpr int kMaxDepth = 64;

  // A filter over the driver's WHERE tree (already restructured), for the
  // engine handle of its request. Null when memory is short.
  static EngineFilter* Create(const SelectionDriver& driver, FilterEngineCalls* calls);
  ~EngineFilter() override;
  EngineFilter(const EngineFilter&) = delete;
  EngineFilter& operator=(const EngineFilter&) = delete;

  // Collects the bounds, completes the candidates and keeps one range per
  // table. True on success: with ranges, or without any when two conditions
  // contradict each other or memory ran short while collecting. False when
  // no condition gives a bound or memory ran short afterwards.
  [[nodiscard]] bool Analyse();
  // Hands every final range to the engine; a range it refuses is
  // forgotten, so that its table is browsed whole.
  void Install();
  // Takes every final range back from the engine.
  void Remove();

  // The key item to browse `table` along: the one of its installed range,
  // or null.
  const char* KeyFor(const Table& table) const override;
  // True when the installed range of `table` holds at most one record.
  bool AtMostOne(const Table& table) const override;

  const RangeList& ranges() const { return ranges_; }
  bool contradiction() const { return contradiction_; }
  // 0, or 2 when memory ran short while collecting.
  int32_t error() const { return error_; }

 private:
  EngineFilter(const ParseNode* where, Table** eligible, int16_t eligibleCount,
               FilterEngineCalls* calls, int32_t handle);
  void Collect(const ParseNode* tree, int depth);
  void Offer(const ParseNode* leaf);

  const ParseNode* where_;
  Table** eligible_;  // owned array, tables not owned
  int16_t eligibleCount_;
  FilterEngineCalls* calls_;
  int32_t handle_;
  int32_t error_ = 0;
  bool contradiction_ = false;
  RangeList candidates_;
  RangeList ranges_;
};

}  // namespace zksql

#endif  // ZKSQL_SELECT_ENGINE_FILTER_H_
