// Random statements run on the library and on SQLite over the same tables,
// which must give the same rows. sqlite_oracle.h makes the statements and
// says where the SQLite text is written differently to mean the same thing.
//
// Rows are compared cell by cell: a value that reads whole as a number is
// compared as one (to 1e-9 relative, or 1e-6 when an average is shown, which
// the library keeps as a REAL), any other as text without trailing blanks.
// They are compared as multisets, and besides in the order the statement
// fixes: the whole sequence when it orders on a unique key, else the
// sequence of its key columns. A difference is reported with the seed, the
// statement in both languages and both row lists.
//
// One test per shape family.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_session.h"
#include "sqlite_oracle.h"

namespace zksql_e2e {
namespace {

struct Cell {
  bool text = false;
  double number = 0;
  std::string bytes;
};
using CellRow = std::vector<Cell>;

Cell MakeCell(std::string value) {
  while (!value.empty() && value.back() == ' ') value.pop_back();
  Cell c;
  char* rest = nullptr;
  c.number = strtod(value.c_str(), &rest);
  if (value.empty() || *rest != '\0') {
    c.text = true;
    c.bytes = value;
  }
  return c;
}

// SQLite's NULL where the library shows an absent value (an aggregate
// over no row): a zero, or an empty text.
std::string AbsentValue(bool text) {
  return text ? "" : "0";
}

// The rows of the library's answer, from the lines ZKSQLValLineN wrote.
std::vector<CellRow> Cells(const std::vector<std::string>& lines) {
  std::vector<CellRow> rows;
  for (const std::string& line : lines) {
    CellRow row;
    size_t start = 0;
    for (size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1) {
      row.push_back(MakeCell(line.substr(start, bar - start)));
    }
    row.push_back(MakeCell(line.substr(start)));
    rows.push_back(row);
  }
  return rows;
}

// SQLite reads texts as UTF-8: its LIKE takes a lone accented byte for a
// broken character, and "_" for one byte of a UTF-8 sequence. Statements
// go to it in UTF-8 and its texts come back in Windows-1252; the letters
// the tables hold are those of Latin-1, whose UTF-8 forms sort as their
// single bytes do.
std::string ToUtf8(const std::string& latin1) {
  std::string out;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string FromUtf8(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

class Oracle {
 public:
  Oracle() {
    // LIKE compares case-sensitively in the library.
    ok_ = sqlite3_open(":memory:", &db_) == SQLITE_OK &&
          Run("PRAGMA case_sensitive_like = ON", {}, nullptr, &error_);
  }
  ~Oracle() { sqlite3_close(db_); }
  Oracle(const Oracle&) = delete;
  Oracle& operator=(const Oracle&) = delete;

  bool ok() const { return ok_; }

  bool Run(const std::string& sql, const std::vector<bool>& textColumns, std::vector<CellRow>* rows,
           std::string* error) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, ToUtf8(sql).c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      *error = sqlite3_errmsg(db_);
      return false;
    }
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
      CellRow row;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        Cell c;
        switch (sqlite3_column_type(statement, i)) {
          case SQLITE_NULL:
            c = MakeCell(
                AbsentValue(static_cast<size_t>(i) < textColumns.size() && textColumns[i]));
            break;
          case SQLITE_INTEGER:
          case SQLITE_FLOAT:
            c.number = sqlite3_column_double(statement, i);
            break;
          default:
            c = MakeCell(FromUtf8(
                std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, i)),
                            static_cast<size_t>(sqlite3_column_bytes(statement, i)))));
        }
        row.push_back(c);
      }
      if (rows != nullptr) rows->push_back(row);
    }
    if (status != SQLITE_DONE) *error = sqlite3_errmsg(db_);
    sqlite3_finalize(statement);
    return status == SQLITE_DONE;
  }

 private:
  sqlite3* db_ = nullptr;
  bool ok_ = false;
  std::string error_;
};

bool CellLess(const Cell& a, const Cell& b) {
  if (a.text != b.text) return !a.text;
  return a.text ? a.bytes < b.bytes : a.number < b.number;
}

bool RowLess(const CellRow& a, const CellRow& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), CellLess);
}

bool SameRows(const std::vector<CellRow>& a, const std::vector<CellRow>& b, bool loose) {
  if (a.size() != b.size()) return false;
  double tolerance = loose ? 1e-6 : 1e-9;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].size() != b[i].size()) return false;
    for (size_t j = 0; j < a[i].size(); ++j) {
      const Cell &x = a[i][j], &y = b[i][j];
      if (x.text != y.text) return false;
      if (x.text ? x.bytes != y.bytes
                 : std::fabs(x.number - y.number) >
                       tolerance * std::max({1.0, std::fabs(x.number), std::fabs(y.number)})) {
        return false;
      }
    }
  }
  return true;
}

// What is wrong with the library's rows, or "".
std::string Difference(std::vector<CellRow> library, std::vector<CellRow> oracle,
                       const Check& check) {
  if (check.order == Check::kExact && !SameRows(library, oracle, check.loose)) {
    return "the rows or their order differ";
  }
  if (check.order == Check::kKeyColumns) {
    auto keys = [&](const std::vector<CellRow>& rows) {
      std::vector<CellRow> out;
      for (const CellRow& row : rows) {
        CellRow key;
        for (int k : check.keyColumns) {
          if (static_cast<size_t>(k) < row.size()) key.push_back(row[k]);
        }
        out.push_back(key);
      }
      return out;
    };
    if (!SameRows(keys(library), keys(oracle), check.loose)) return "the order differs";
  }
  std::sort(library.begin(), library.end(), RowLess);
  std::sort(oracle.begin(), oracle.end(), RowLess);
  return SameRows(library, oracle, check.loose) ? "" : "the rows differ";
}

// Non-ASCII bytes as \xNN, so that a report reads the same anywhere.
std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    char escaped[8];
    snprintf(escaped, sizeof escaped, "\\x%02X", c);
    out += c < 0x80 ? std::string(1, static_cast<char>(c)) : escaped;
  }
  return out;
}

std::string Printable(const std::vector<CellRow>& rows) {
  std::string out;
  for (size_t i = 0; i < rows.size() && i < 40; ++i) {
    out += "\n    ";
    for (size_t j = 0; j < rows[i].size(); ++j) {
      char number[32];
      snprintf(number, sizeof number, "%.10g", rows[i][j].number);
      out += (j > 0 ? "|" : "") + (rows[i][j].text ? Printable(rows[i][j].bytes) : number);
    }
  }
  if (rows.size() > 40) out += "\n    ... " + std::to_string(rows.size()) + " rows";
  return rows.empty() ? " (none)" : out;
}

// The rows of each table for one seed: the last table is small, or empty,
// for some seeds, so that sub-selects over no row and joins that give
// nothing are met.
struct Seed {
  uint32_t seed;
  int rows[3];
};
const Seed kSeeds[] = {{20241210u, {24, 20, 14}}, {77u, {30, 12, 3}},   {9001u, {18, 22, 0}},
                       {1077u, {21, 41, 6}},      {1098u, {24, 33, 3}}, {1210u, {20, 8, 0}}};
constexpr int kStatementsPerSeed = 90;
constexpr int kFailuresShown = 3;

// Both databases for one seed, and the statements run on them.
class Differential {
 public:
  explicit Differential(const Seed& seed) : seed_(seed.seed), random_(seed.seed) {
    if (!session_.ok() || !oracle_.ok() || !session_.Begin()) return;
    data_.resize(3);
    for (int t = 0; t < 3; ++t) {
      for (const std::string& sql : CreateStatements(t)) {
        if (!Both(sql)) return;
      }
      for (int id = 1; id <= seed.rows[t]; ++id) {
        data_[t].push_back(MakeDataRow(id, random_));
        if (!Both(InsertStatement(t, data_[t].back()))) return;
      }
    }
    ok_ = true;
  }

  bool ok() const { return ok_; }
  int failures() const { return failures_; }
  int statements() const { return statements_; }
  int withRows() const { return withRows_; }

  void Check(Family family) {
    Statement s = StatementMaker(random_, data_).Make(family);
    Outcome o = session_.Run(s.library);
    std::vector<CellRow> expected;
    std::string error;
    if (!oracle_.Run(s.sqlite, s.check.textColumns, &expected, &error)) {
      ADD_FAILURE() << "SQLite refused " << Printable(s.sqlite) << ": " << error;
      ++failures_;
      return;
    }
    ++statements_;
    withRows_ += expected.empty() ? 0 : 1;
    std::vector<CellRow> got = Cells(o.rows);
    std::string why = o.status != 0 ? "the library failed: " + Printable(o.error)
                                    : Difference(got, expected, s.check);
    if (why.empty()) return;
    ++failures_;
    ADD_FAILURE() << "seed " << seed_ << ": " << why << "\n  library: " << Printable(s.library)
                  << "\n  sqlite:  " << Printable(s.sqlite) << "\n  library rows:" << Printable(got)
                  << "\n  sqlite rows:" << Printable(expected);
  }

 private:
  bool Both(const std::string& sql) {
    Outcome o = session_.Run(sql);
    std::string error;
    EXPECT_EQ(o.status, 0) << sql << ": " << o.error;
    EXPECT_TRUE(oracle_.Run(sql, {}, nullptr, &error)) << sql << ": " << error;
    return o.status == 0 && error.empty();
  }

  uint32_t seed_;
  Random random_;
  // The statements of a seed run in one engine transaction, never
  // committed: the database is thrown away afterwards.
  HostSession session_{JXENGINE_PATH};
  Oracle oracle_;
  std::vector<std::vector<DataRow>> data_;
  bool ok_ = false;
  int failures_ = 0, statements_ = 0, withRows_ = 0;
};

void RunFamily(Family family) {
  int statements = 0, withRows = 0;
  for (const Seed& seed : kSeeds) {
    Differential d(seed);
    ASSERT_TRUE(d.ok());
    for (int i = 0; i < kStatementsPerSeed && d.failures() < kFailuresShown; ++i) d.Check(family);
    statements += d.statements();
    withRows += d.withRows();
  }
  printf("[ FIGURES  ] %d statements, %d of them answered with rows\n", statements, withRows);
  // Statements that select nothing compare little.
  EXPECT_GT(withRows * 4, statements) << "the statements hardly meet the data";
}

TEST(SqliteDifferentialTest, WhereOnOneTable) {
  RunFamily(Family::kWhere);
}

TEST(SqliteDifferentialTest, JoinsLinkedByEqualities) {
  RunFamily(Family::kJoin);
}

TEST(SqliteDifferentialTest, SubSelectsOverAnotherTable) {
  RunFamily(Family::kSubSelect);
}

TEST(SqliteDifferentialTest, Distinct) {
  RunFamily(Family::kDistinct);
}

TEST(SqliteDifferentialTest, OrderBySelectedColumns) {
  RunFamily(Family::kOrderBy);
}

TEST(SqliteDifferentialTest, OrderByColumnsNotSelectedAndAliases) {
  RunFamily(Family::kOrderHidden);
}

TEST(SqliteDifferentialTest, SubSelectsOverAnEnclosingTable) {
  RunFamily(Family::kSameTable);
}

TEST(SqliteDifferentialTest, CorrelatedSubSelects) {
  RunFamily(Family::kCorrelated);
}

TEST(SqliteDifferentialTest, OrAcrossJoinedTables) {
  RunFamily(Family::kOrAcross);
}

TEST(SqliteDifferentialTest, AggregatesWithoutGroupBy) {
  RunFamily(Family::kAggregates);
}

TEST(SqliteDifferentialTest, GroupByAndHaving) {
  RunFamily(Family::kGroupBy);
}

}  // namespace
}  // namespace zksql_e2e
