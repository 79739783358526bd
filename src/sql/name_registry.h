// NameRegistry: where the parser files the names a statement mentions.
//
// While it reads a statement the parser registers every table it names
// (FROM, INSERT INTO, UPDATE, CREATE INDEX ON ...), the aliases given to
// them, and every item name, so that the dictionary can load exactly their
// descriptions afterwards. The dictionary context of the storage layer
// implements it; the parser knows a table only as the handle it gets back,
// through which it says how the statement uses it.
#ifndef ZKSQL_SQL_NAME_REGISTRY_H_
#define ZKSQL_SQL_NAME_REGISTRY_H_

namespace zksql {

class NamedTable {
 public:
  // The statement names the table itself (not only through an alias).
  virtual void MarkReferenced() = 0;
  // The statement reads all of its columns ("*").
  virtual void MarkAllColumns() = 0;

 protected:
  ~NamedTable() = default;
};

class NameRegistry {
 public:
  // The table of that name, registered at its first mention; an alias of
  // `base` when one is given. Null when memory is short.
  virtual NamedTable* RegisterTable(const char* name, NamedTable* base) = 0;
  // Files an item name; false when memory is short.
  virtual bool RegisterItemName(const char* name) = 0;

 protected:
  ~NameRegistry() = default;
};

}  // namespace zksql

#endif  // ZKSQL_SQL_NAME_REGISTRY_H_
