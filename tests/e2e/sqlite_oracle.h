// Random statements written once and rendered twice: in the library's
// dialect and in SQLite's, for a differential test that takes SQLite as
// the oracle. Both run over the same three tables A, B and C (ID numbers
// the rows; X and Y are small integers with many duplicates; R holds
// multiples of 1/4, exact in a REAL; S short texts from an alphabet with
// Windows-1252 accents, compared byte by byte by the library and by code
// point, in the same order, by SQLite).
//
// Where the two languages differ on purpose, the SQLite text says what the
// library's means, so that the rows must agree:
// - BETWEEN takes its bounds either way round: SQLite gets them in order;
// - a comparison with a sub-select holds when exactly one of its values
//   satisfies it, UNIQUE when it yields exactly one row: SQLite counts;
// - ANY, SOME and ALL become EXISTS (... AND x op y) and
//   NOT EXISTS (... AND NOT x op y);
// - an aggregate over no row is the absent value, a zero or an empty text
//   (AbsentValue), where SQLite gives NULL.
// Shapes where the languages part for good are never generated: texts
// with trailing blanks or empty texts (absent in the library, values in
// SQLite), texts against numbers, division, arithmetic on the right of a
// comparison, expressions in select lists.
//
// Every table occurrence is "t<n>" in the SQLite text, so that name
// resolution there is never in doubt; the library's text names it by its
// table or alias, and the generator only writes a name that resolves to the
// intended occurrence in the nearest scope.
#ifndef ZKSQL_TESTS_E2E_SQLITE_ORACLE_H_
#define ZKSQL_TESTS_E2E_SQLITE_ORACLE_H_

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace zksql_e2e {

// The columns every table has, in this order.
struct ColumnDef {
  const char* name;
  bool text;
};
extern const ColumnDef kColumns[5];
constexpr int kColumnCount = 5;
extern const char* const kTableNames[3];

class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}
  int Pick(int n) { return static_cast<int>(engine_() % static_cast<uint32_t>(n)); }
  bool Chance(int percent) { return Pick(100) < percent; }
  // One to three letters among a, b, e, é, É: short enough that equal
  // texts are frequent.
  std::string Text();

 private:
  std::mt19937 engine_;
};

// One row as both engines store it: the literals of its INSERT.
using DataRow = std::vector<std::string>;

// The statements that make table t (CREATE TABLE and its indexes), valid
// in both languages.
std::vector<std::string> CreateStatements(int table);
std::string InsertStatement(int table, const DataRow& row);
DataRow MakeDataRow(int id, Random& random);

// What a statement asks the comparison to check besides the rows as a
// multiset.
struct Check {
  enum Order { kUnordered, kKeyColumns, kExact } order = kUnordered;
  std::vector<int> keyColumns;    // kKeyColumns: result positions the rows are sorted on
  bool loose = false;             // an average: numbers agree to 1e-6
  std::vector<bool> textColumns;  // per result column: how an absent value shows
};

struct Statement {
  std::string library;
  std::string sqlite;
  Check check;
};

// The shape families. Each makes statements from its own random stream.
enum class Family {
  kWhere,        // one table, AND/OR/NOT over the predicates
  kJoin,         // two or three tables linked by equalities
  kSubSelect,    // uncorrelated sub-selects over another table
  kDistinct,     // SELECT DISTINCT
  kOrderBy,      // ORDER BY selected columns
  kSameTable,    // uncorrelated sub-selects over an enclosing table
  kCorrelated,   // correlated sub-selects, nested and shadowing
  kOrAcross,     // OR between conditions on different joined tables
  kOrderHidden,  // ORDER BY columns not selected, and aliases
  kAggregates,   // aggregates without GROUP BY
  kGroupBy,      // GROUP BY, HAVING, ORDER BY on groups
};

// Makes random statements of one family over the given table contents.
class StatementMaker {
 public:
  StatementMaker(Random& random, const std::vector<std::vector<DataRow>>& data)
      : random_(random), data_(data) {}
  Statement Make(Family family);

 private:
  struct Impl;
  Random& random_;
  const std::vector<std::vector<DataRow>>& data_;
};

}  // namespace zksql_e2e

#endif  // ZKSQL_TESTS_E2E_SQLITE_ORACLE_H_
