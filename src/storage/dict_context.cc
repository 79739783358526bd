// DictContext: construction and release of the per-request registry.
#include "storage/dict_context.h"

#include "base/memory_block.h"

namespace zksql {

DictContext::DictContext(Request* request) : request_(request) {
  columnText_ = static_cast<char*>(AllocLocked(kColumnTextSize));
}

DictContext::~DictContext() {
  FreeLocked(columnText_);
  columnText_ = nullptr;
  // Columns in allColumns belong to their tables: forget them first.
  allColumns_.ClearAll(true);
  qualifiedColumns_.DeleteAll();
  wantedNames_.Reset();
  tables_.DeleteAll();
}

}  // namespace zksql
