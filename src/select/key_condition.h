// Key conditions: reading one condition leaf of a WHERE tree as «key
// column, comparison, literal», the only shape a key range can be taken
// from, and refusing every leaf whose rows such a range could miss.
//
// The engine hands back only the records whose key lies in the range and
// those are the only ones the conditions are evaluated on, so a bound may
// be wider than its condition but never narrower. A leaf therefore gives a
// bound only when the bound describes exactly the rows its predicate
// accepts, compared the way the evaluator compares them:
//  - the leaf is not negated (its row set holds the rows where the
//    predicate fails; the bound would describe the others);
//  - the first member is the bare column: no sign, arithmetic, function or
//    parenthesis (the bound applies to the column itself);
//  - the comparison is =, <, >, <= or >= with a literal of its own, or a
//    LIKE pattern that is a plain prefix: no "_", and "%" only as its last
//    character (anywhere else it matches more than the prefix);
//  - the column is a key (not composite) of a FROM table whose file no
//    other table of the selection reads: the engine keeps one keyed browse
//    per file, and a second cursor on it would share that browse;
//  - the literal fits the key: a number for a numeric key, a text for a
//    text or time key. Date keys give no bound: the engine orders a date
//    item holding six characters by those characters while its value
//    carries the century in front of them, so no range over the values is
//    one over the keys.
#ifndef ZKSQL_SELECT_KEY_CONDITION_H_
#define ZKSQL_SELECT_KEY_CONDITION_H_

#include <cstdint>

#include "select/filter_range.h"
#include "sql/parse_node.h"

namespace zksql {

class Table;

enum class KeyConditionResult : int16_t {
  kBound = 1,  // *bound receives a new bound
  kNone = 0,   // the leaf narrows nothing
  kNoMemory = -1,
};

// The column reference (its "TABLE/COLUMN" text) when the first member of
// a predicate is a bare column: one term of one factor holding one simple
// item that names a column, without a sign. Null otherwise.
const char* BareColumn(const ParseNode* member);

// Reads `leaf` (a 302 condition leaf) against the tables whose browse may
// be narrowed (`eligible`, n of them: the FROM tables whose file the
// selection reads once).
KeyConditionResult ReadKeyCondition(const ParseNode* leaf, Table* const* eligible, int16_t n,
                                    FilterBound** bound);

}  // namespace zksql

#endif  // ZKSQL_SELECT_KEY_CONDITION_H_
