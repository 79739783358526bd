// DictContext: the per-request registry of tables, columns and wanted item
// names, and the buffer receiving the column description text.
//
// The parser registers the tables and item names a statement mentions; the
// descriptions are then loaded from the engine's dictionary, and the later
// phases look tables and columns up here by name. The context owns every
// table of the request (file tables, aliases, in-memory tables) and through
// them every column.
#ifndef ZKSQL_STORAGE_DICT_CONTEXT_H_
#define ZKSQL_STORAGE_DICT_CONTEXT_H_

#include "base/base_object.h"
#include "base/name_list.h"
#include "base/ptr_array.h"

namespace zksql {

struct Request;

class DictContext : public BaseObject {
 public:
  // Size of the column description buffer.
  static constexpr int32_t kColumnTextSize = 65536;
  // Longest file or item name the dictionary takes.
  static constexpr int16_t kMaxNameLength = 30;

  explicit DictContext(Request* request);
  ~DictContext() override;

  Request* request() const { return request_; }
  // The zero-filled column description buffer; null when it could not be
  // allocated.
  char* columnText() const { return columnText_; }

  PtrArray& tables() { return tables_; }
  PtrArray& allColumns() { return allColumns_; }
  PtrArray& qualifiedColumns() { return qualifiedColumns_; }
  NameList& wantedNames() { return wantedNames_; }

 private:
  Request* request_;
  PtrArray tables_{0, 4};
  PtrArray allColumns_{0, 4};  // not owning: columns belong to their tables
  NameList wantedNames_{kMaxNameLength};
  char* columnText_ = nullptr;
  PtrArray qualifiedColumns_{0, 4};
};

}  // namespace zksql

#endif  // ZKSQL_STORAGE_DICT_CONTEXT_H_
