// Engine filter tests, over the real storage engine and through the
// exports: the key ranges each kind of condition hands to XZK_FILTRE (seen
// by a recorder standing between the filter and the engine), the
// conditions that must hand none, and a randomized comparison of every
// statement's rows with and without the ranges, which must never differ.
// The engine is reached through the POSIX loader and temporary folders
// (engine_database.h), as in the other tests over the real engine.
#ifdef JXENGINE_PATH

#include "select/engine_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "../storage/engine_database.h"
#include "api/request.h"
#include "select/engine_filter_builder.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/file_table.h"
#include "zksql.h"

namespace zksql {
namespace {

// One XZK_FILTRE call as the engine received it, values shown as text.
struct Installed {
  std::string file;
  std::string column;
  int16_t size = 0;
  int typeCode = 0;
  std::string low;
  std::string high;
  double lowReal = 0;
  double highReal = 0;
};

std::string ShowValue(const void* v, int16_t size, uint8_t typeCode, double* real) {
  char text[64];
  if (typeCode == 5 && size == 4) {
    int32_t i;
    std::memcpy(&i, v, 4);
    *real = i;
    return std::to_string(i);
  }
  if (typeCode == 9 && size == 8) {
    std::memcpy(real, v, 8);
    std::snprintf(text, sizeof text, "%.9g", *real);
    return text;
  }
  return static_cast<const char*>(v);
}

// Records the calls and passes them on to the engine (or refuses them).
class RecordingCalls : public FilterEngineCalls {
 public:
  int16_t Install(int32_t handle, const char* file, const char* column, const void* low,
                  const void* high, int16_t size, uint8_t typeCode) override {
    Installed call;
    call.file = file;
    call.column = column;
    call.size = size;
    call.typeCode = typeCode;
    call.low = ShowValue(low, size, typeCode, &call.lowReal);
    call.high = ShowValue(high, size, typeCode, &call.highReal);
    installs.push_back(call);
    if (refuse != 0) return refuse;
    return BoundFilterCalls().Install(handle, file, column, low, high, size, typeCode);
  }
  int16_t Remove(int32_t handle, const char* file) override {
    removes.push_back(file);
    return BoundFilterCalls().Remove(handle, file);
  }
  void Reset() {
    installs.clear();
    removes.clear();
  }

  std::vector<Installed> installs;
  std::vector<std::string> removes;
  int16_t refuse = 0;
};

struct Outcome {
  std::string error;
  std::vector<std::string> rows;  // sorted: keyed reads come in key order
  bool operator==(const Outcome& o) const { return error == o.error && rows == o.rows; }
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << "[" << o.error << "]";
  for (const std::string& r : o.rows) out << " {" << r << "}";
  return out;
}

const char kHigh[] = "\xAD";

class EngineFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db_.ok());
    builder_ = &EngineFilterBuilder::Shared();
    builder_->set_calls(&calls_);
    builder_->set_enabled(true);
  }
  void TearDown() override {
    builder_->set_calls(nullptr);
    builder_->set_enabled(true);
  }

  // Runs a statement through the exports.
  Outcome Exec(const std::string& sql) {
    std::vector<char> text(sql.begin(), sql.end());
    text.push_back('\0');
    void* request = nullptr;
    ZKSQLResultInfo info{};
    Outcome out;
    if (ZKSQLExecReq(&request, text.data(), &info, db_.handle(), nullptr) != 0) {
      char error[256] = {0};
      char state[6] = {0};
      ZKSQLErreur(request, error, state);
      out.error = error[0] == '\0' ? "(failed)" : error;
    } else {
      while (ZKSQLFetchNext(request) == 0) {
        char line[1024];
        ZKSQLValLineN(request, "|", line, sizeof line);
        out.rows.push_back(line);
      }
    }
    if (request != nullptr) ZKSQLFinRequete(request);
    std::sort(out.rows.begin(), out.rows.end());
    return out;
  }
  void Setup(std::initializer_list<std::string> statements) {
    for (const std::string& sql : statements) ASSERT_EQ(Exec(sql).error, "") << sql;
  }
  // The rows with the ranges, after checking they are the rows without.
  Outcome Both(const std::string& sql) {
    builder_->set_enabled(false);
    Outcome plain = Exec(sql);
    builder_->set_enabled(true);
    calls_.Reset();
    Outcome narrowed = Exec(sql);
    EXPECT_EQ(plain, narrowed) << sql;
    return narrowed;
  }
  // The one range `sql` installs, its rows checked against the plain ones.
  Installed OneRange(const std::string& sql) {
    Both(sql);
    EXPECT_EQ(calls_.installs.size(), 1u) << sql;
    if (calls_.installs.empty()) return Installed{};
    // Every range is taken back after the selection.
    EXPECT_EQ(calls_.removes, std::vector<std::string>{calls_.installs[0].file}) << sql;
    return calls_.installs[0];
  }
  // Checks that `sql` installs no range (and still selects what it says).
  void NoRange(const std::string& sql) {
    Both(sql);
    EXPECT_EQ(calls_.installs.size(), 0u)
        << sql << ": " << calls_.installs[0].column << " " << calls_.installs[0].low << ".."
        << calls_.installs[0].high;
  }

  // K: a file with keys of every kind the filter narrows, and two that it
  // must not (a date key and a plain item).
  void MakeKeyedFile() {
    ASSERT_EQ(db_.MakeFile("K", {{"N", 'L', 4, 2},
                                   {"M", 'L', 4, 2},
                                   {"R", 'D', 8, 2},
                                   {"T", 'T', 8, 2},
                                   {"DT", 'A', 8, 2},
                                   {"X", 'L', 4, 0}}),
              0)
        << db_.message();
    Setup({"INSERT INTO K VALUES (5, 1, 2.6, 'pomme', '20240105', 1)",
           "INSERT INTO K VALUES (1, 4, 1.5, 'abc', '20231231', 2)",
           "INSERT INTO K VALUES (3, 7, 0.1, 'abd', '20240301', 3)",
           "INSERT INTO K VALUES (2, 2, 2.5, 'b', '20240102', 4)",
           "INSERT INTO K VALUES (3, 9, 10, 'poire', '20240104', 5)"});
  }

  EngineDatabase db_;
  RecordingCalls calls_;
  EngineFilterBuilder* builder_ = nullptr;
};

// --- Ranges as the engine receives them ------------------------------------

TEST_F(EngineFilterTest, IntegerKeyComparisonsInstallIntegerRanges) {
  MakeKeyedFile();
  Installed eq = OneRange("SELECT X FROM K WHERE N = 3");
  EXPECT_EQ(eq.file, "K");
  EXPECT_EQ(eq.column, "N");
  EXPECT_EQ(eq.typeCode, 5);
  EXPECT_EQ(eq.size, 4);
  EXPECT_EQ(eq.low + ".." + eq.high, "3..3");
  EXPECT_EQ(Both("SELECT X FROM K WHERE N = 3").rows, (std::vector<std::string>{"3", "5"}));

  // Two bounds on one key merge; "<" and ">" include their end.
  Installed merged = OneRange("SELECT X FROM K WHERE N >= 2 AND N < 4");
  EXPECT_EQ(merged.low + ".." + merged.high, "2..4");
  Installed tighter = OneRange("SELECT X FROM K WHERE N > 1 AND N >= 2 AND N <= 5 AND N < 4");
  EXPECT_EQ(tighter.low + ".." + tighter.high, "2..4");

  // One-sided conditions reach the end of the integers.
  EXPECT_EQ(OneRange("SELECT X FROM K WHERE N > 2").high, "2147483647");
  EXPECT_EQ(OneRange("SELECT X FROM K WHERE N <= 2").low, "-2147483648");
}

TEST_F(EngineFilterTest, RealBoundsAreWidenedToTheSixDecimalComparison) {
  MakeKeyedFile();
  // «R = 2.6000004» holds for the row holding 2.6: the range reaches it.
  Installed eq = OneRange("SELECT X FROM K WHERE R = 2.6000004");
  EXPECT_EQ(eq.typeCode, 9);
  EXPECT_EQ(eq.size, 8);
  EXPECT_LT(eq.lowReal, 2.6);
  EXPECT_GT(eq.highReal, 2.6000004);
  EXPECT_EQ(Both("SELECT X FROM K WHERE R = 2.6000004").rows, std::vector<std::string>{"1"});
  EXPECT_EQ(Both("SELECT X FROM K WHERE R <= 2.4999996").rows,
            (std::vector<std::string>{"2", "3", "4"}));

  // An integer literal on a real key is a real bound too; a missing end is
  // an infinity, since an item may hold one.
  Installed above = OneRange("SELECT X FROM K WHERE R > 2");
  EXPECT_EQ(above.typeCode, 9);
  EXPECT_LT(above.lowReal, 2.0);
  EXPECT_EQ(above.highReal, std::numeric_limits<double>::infinity());

  // A real literal on an integer key: a real range around it.
  Installed mixed = OneRange("SELECT X FROM K WHERE N > 2.5 AND N <= 4");
  EXPECT_EQ(mixed.typeCode, 9);
  EXPECT_LT(mixed.lowReal, 2.5);
  EXPECT_GT(mixed.highReal, 4.0);
  EXPECT_EQ(Both("SELECT X FROM K WHERE N > 2.5 AND N <= 4").rows,
            (std::vector<std::string>{"3", "5"}));
}

TEST_F(EngineFilterTest, TextEqualityAndPrefixesBecomePrefixRanges) {
  MakeKeyedFile();
  Installed eq = OneRange("SELECT X FROM K WHERE T = 'abc'");
  EXPECT_EQ(eq.typeCode, 15);
  EXPECT_EQ(eq.size, 0);
  EXPECT_EQ(eq.low, "abc");
  EXPECT_EQ(eq.high, std::string("abc") + kHigh);

  Installed like = OneRange("SELECT X FROM K WHERE T LIKE 'ab%'");
  EXPECT_EQ(like.low, "ab");
  EXPECT_EQ(like.high, std::string("ab") + kHigh);
  EXPECT_EQ(Both("SELECT X FROM K WHERE T LIKE 'ab%'").rows, (std::vector<std::string>{"2", "3"}));

  Installed from = OneRange("SELECT X FROM K WHERE T >= 'p'");
  EXPECT_EQ(from.low + ".." + from.high, std::string("p..") + kHigh);
  Installed upTo = OneRange("SELECT X FROM K WHERE T < 'b'");
  EXPECT_EQ(upTo.low + ".." + upTo.high, "..b");
  // A prefix narrowed further by a bound inside it.
  Installed both = OneRange("SELECT X FROM K WHERE T LIKE 'ab%' AND T >= 'abd'");
  EXPECT_EQ(both.low + ".." + both.high, std::string("abd..ab") + kHigh);
}

TEST_F(EngineFilterTest, AnEqualityIsPreferredAndEachTableGetsOneRange) {
  MakeKeyedFile();
  Installed first = OneRange("SELECT X FROM K WHERE M >= 2 AND N = 3");
  EXPECT_EQ(first.column + " " + first.low, "N 3");
  Installed kept = OneRange("SELECT X FROM K WHERE N = 3 AND M >= 4");
  EXPECT_EQ(kept.column + " " + kept.low, "N 3");
  // Without an equality, the first range stands.
  Installed earliest = OneRange("SELECT X FROM K WHERE M >= 2 AND N > 1");
  EXPECT_EQ(earliest.column, "M");
  // An OR inside an AND narrows nothing; its siblings still do.
  Installed sibling = OneRange("SELECT X FROM K WHERE (N = 3 OR N = 5) AND M <= 7");
  EXPECT_EQ(sibling.column + " " + sibling.high, "M 7");
}

TEST_F(EngineFilterTest, ContradictionsInstallNothingAndSelectNothing) {
  MakeKeyedFile();
  NoRange("SELECT X FROM K WHERE N = 3 AND N = 5");
  EXPECT_TRUE(Both("SELECT X FROM K WHERE N = 3 AND N = 5").rows.empty());
  NoRange("SELECT X FROM K WHERE N >= 4 AND N <= 2");
  NoRange("SELECT X FROM K WHERE T = 'abc' AND T = 'abd'");
  NoRange("SELECT X FROM K WHERE N = 3 AND N > 4");
  // The same equality twice is one range.
  EXPECT_EQ(OneRange("SELECT X FROM K WHERE N = 3 AND N = 3").low, "3");
}

TEST_F(EngineFilterTest, ConditionsARangeCouldNotHoldGiveNone) {
  MakeKeyedFile();
  const char* const statements[] = {
      // Negated leaves: the range would describe the rows they reject.
      "SELECT X FROM K WHERE NOT N = 3",
      "SELECT X FROM K WHERE NOT (N = 3 OR M = 1)",
      "SELECT X FROM K WHERE NOT (N > 1 AND N < 5)",
      "SELECT X FROM K WHERE N <> 3",
      "SELECT X FROM K WHERE T NOT LIKE 'ab%'",
      // Patterns that are not a plain prefix.
      "SELECT X FROM K WHERE T LIKE 'a_c'",
      "SELECT X FROM K WHERE T LIKE '_b%'",
      "SELECT X FROM K WHERE T LIKE '%e'",
      "SELECT X FROM K WHERE T LIKE 'p%e'",
      "SELECT X FROM K WHERE T LIKE '%'",
      "SELECT X FROM K WHERE T = 'a_c'",
      // The key inside arithmetic, behind a sign or a parenthesis, or on
      // the right.
      "SELECT X FROM K WHERE N + 0 = 3",
      "SELECT X FROM K WHERE N * 2 = 6",
      "SELECT X FROM K WHERE -N = -3",
      "SELECT X FROM K WHERE (N) = 3",
      "SELECT X FROM K WHERE 3 = N",
      // OR at the top.
      "SELECT X FROM K WHERE N = 3 OR N = 5",
      "SELECT X FROM K WHERE N = 3 OR M = 1",
      // Forms the filter does not read.
      "SELECT X FROM K WHERE N BETWEEN 2 AND 4",
      "SELECT X FROM K WHERE N IN (1, 5)",
      "SELECT X FROM K WHERE N = M",
      "SELECT X FROM K WHERE N IS NULL",
      // A plain item, and a date key.
      "SELECT N FROM K WHERE X = 3",
      "SELECT X FROM K WHERE DT = '20240105'",
      "SELECT X FROM K WHERE DT > '20240102'",
  };
  for (const char* sql : statements) NoRange(sql);
}

TEST_F(EngineFilterTest, AFileReadTwiceIsBrowsedByRecordNumber) {
  MakeKeyedFile();
  // A table and its alias, two aliases: no range on either.
  NoRange("SELECT K.X, B.X FROM K, K B WHERE K.N = B.M AND K.N = 3 AND B.M = 3");
  NoRange("SELECT A.X, B.X FROM K A, K B WHERE A.N = B.N AND A.N = 3");
  EXPECT_EQ(Both("SELECT A.X, B.X FROM K A, K B WHERE A.N = B.N AND A.N = 3").rows,
            (std::vector<std::string>{"3|3", "3|5", "5|3", "5|5"}));
  // An alias read alone: its range goes to the real file.
  Installed alias = OneRange("SELECT B.X FROM K B WHERE B.N = 3");
  EXPECT_EQ(alias.file, "K");
  // A sub-select over the same file runs before the SELECT around it:
  // each has its own range in turn.
  Both("SELECT X FROM K WHERE N = 3 AND M IN (SELECT N FROM K WHERE N >= 2)");
  ASSERT_EQ(calls_.installs.size(), 2u);
  EXPECT_EQ(calls_.installs[0].low + ".." + calls_.installs[0].high, "2..2147483647");
  EXPECT_EQ(calls_.installs[1].low, "3");
  EXPECT_EQ(calls_.removes, (std::vector<std::string>{"K", "K"}));
}

TEST_F(EngineFilterTest, JoinedTablesEachGetTheirOwnRange) {
  MakeKeyedFile();
  ASSERT_EQ(db_.MakeFile("J", {{"N", 'L', 4, 2}, {"Y", 'T', 6, 0}}), 0) << db_.message();
  Setup({"INSERT INTO J VALUES (3, 'c')", "INSERT INTO J VALUES (5, 'e')",
         "INSERT INTO J VALUES (2, 'b')"});
  Outcome o = Both("SELECT K.X, J.Y FROM K, J WHERE K.N = J.N AND K.N >= 3 AND J.N = 5");
  EXPECT_EQ(o.rows, std::vector<std::string>{"1|e"});
  ASSERT_EQ(calls_.installs.size(), 2u);
  EXPECT_EQ(calls_.installs[0].file + calls_.installs[0].low, "K3");
  EXPECT_EQ(calls_.installs[1].file + calls_.installs[1].low, "J5");
}

TEST_F(EngineFilterTest, ARangeTheEngineRefusesLeavesTheTableBrowsedWhole) {
  MakeKeyedFile();
  calls_.refuse = JX_ERR_BAD_ARGUMENT;
  builder_->set_enabled(false);
  Outcome plain = Exec("SELECT X FROM K WHERE N = 3 AND T >= 'a'");
  builder_->set_enabled(true);
  Outcome refused = Exec("SELECT X FROM K WHERE N = 3 AND T >= 'a'");
  EXPECT_EQ(calls_.installs.size(), 1u);
  EXPECT_EQ(plain, refused);
  EXPECT_EQ(refused.rows, (std::vector<std::string>{"3", "5"}));
}

TEST_F(EngineFilterTest, ValuesWhoseKeysSortElsewhereAreStillFound) {
  // Date keys: an empty six-character date reads "" while its key is
  // "19"; a six-character date written into an eight-character item (as a
  // host writing through the engine may) reads with the century while its
  // key has none.
  ASSERT_EQ(db_.MakeFile("D", {{"DT", 'A', 8, 2}, {"D6", 'A', 6, 2}, {"N", 'L', 4, 0}}), 0)
      << db_.message();
  Setup({"INSERT INTO D VALUES ('20000101', '19991231', 1)", "INSERT INTO D VALUES ('', '', 2)"});
  Request* request = CreateRequest(nullptr, db_.handle(), nullptr);
  FileTable* d = request->dict->FindOrCreateTable("D", nullptr);
  d->set_referenced(true);
  d->set_allColumns(true);
  ASSERT_TRUE(request->dict->LoadDescriptions());
  const double three = 3;
  d->FindColumn("DT")->SetValue("990101");
  d->FindColumn("D6")->SetValue("850615");
  d->FindColumn("N")->SetValue(&three);
  ASSERT_EQ(d->Write(0), kWriteDone) << d->errorText();
  DestroyRequest(request);
  EXPECT_EQ(Both("SELECT N FROM D WHERE DT = '19990101'").rows, std::vector<std::string>{"3"});
  EXPECT_EQ(Both("SELECT N FROM D WHERE DT >= '19990101'").rows,
            (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(Both("SELECT N FROM D WHERE D6 <= '18991231'").rows, std::vector<std::string>{"2"});
  EXPECT_EQ(Both("SELECT N FROM D WHERE D6 LIKE '19%'").rows, (std::vector<std::string>{"1", "3"}));
  EXPECT_TRUE(calls_.installs.empty());

  // Infinities: a real key holds them above every finite bound; a float
  // key's value reads 0 while its key sorts at the ends, so no range
  // taking 0 in is used on it.
  // SQL refuses to store them (they would read back as 0), but a host
  // writing through the engine may have.
  ASSERT_EQ(db_.MakeFile("I", {{"R", 'D', 8, 2}, {"F", 'S', 4, 2}, {"N", 'L', 4, 0}}), 0);
  EXPECT_NE(Exec("INSERT INTO I VALUES (1E999, 1E999, 1)").error, "");
  Setup({"INSERT INTO I VALUES (3.5, 0.1, 3)"});
  Request* hostRequest = CreateRequest(nullptr, db_.handle(), nullptr);
  FileTable* file = hostRequest->dict->FindOrCreateTable("I", nullptr);
  file->set_referenced(true);
  file->set_allColumns(true);
  ASSERT_TRUE(hostRequest->dict->LoadDescriptions());
  for (double sign : {1.0, -1.0}) {
    const double infinite = sign * HUGE_VAL;
    const double number = sign > 0 ? 1 : 2;
    file->FindColumn("R")->SetValue(&infinite);
    file->FindColumn("F")->SetValue(&infinite);
    file->FindColumn("N")->SetValue(&number);
    ASSERT_EQ(file->Write(0), kWriteDone) << file->errorText();
  }
  DestroyRequest(hostRequest);
  EXPECT_EQ(Both("SELECT N FROM I WHERE R > 5").rows, std::vector<std::string>{"1"});
  EXPECT_EQ(Both("SELECT N FROM I WHERE R < 5").rows, (std::vector<std::string>{"2", "3"}));
  EXPECT_EQ(Both("SELECT N FROM I WHERE F = 0").rows, (std::vector<std::string>{"1", "2"}));
  EXPECT_TRUE(calls_.installs.empty());
  EXPECT_EQ(Both("SELECT N FROM I WHERE F <= 0.1").rows, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_TRUE(calls_.installs.empty());
  EXPECT_EQ(Both("SELECT N FROM I WHERE F >= 0.1").rows, std::vector<std::string>{"3"});
  EXPECT_EQ(calls_.installs.size(), 1u);
  EXPECT_EQ(Both("SELECT N FROM I WHERE F = 0.1").rows, std::vector<std::string>{"3"});
}

// --- Randomized comparison with and without ranges --------------------------

// Random WHERE clauses over keyed files, each run with the ranges and
// without them; the rows must be the same.
class RandomClauses {
 public:
  explicit RandomClauses(uint32_t seed) : rng_(seed) {}

  // A condition over the columns of one use of a file (`q` qualifies it).
  std::string Condition(const std::string& q, int depth) {
    int pick = Below(depth <= 0 ? 10 : 16);
    if (pick < 10) return Leaf(q);
    if (pick < 12) return "NOT (" + Condition(q, depth - 1) + ")";
    if (pick < 14) return "(" + Condition(q, depth - 1) + " AND " + Condition(q, depth - 1) + ")";
    return "(" + Condition(q, depth - 1) + " OR " + Condition(q, depth - 1) + ")";
  }
  // A list of conditions joined by AND, the shape most ranges come from.
  std::string Conjunction(const std::string& q) {
    std::string out = Condition(q, 2);
    for (int n = Below(3); n > 0; --n) out += " AND " + Condition(q, 1);
    return out;
  }
  int Below(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

 private:
  template <size_t N>
  const char* Of(const char* const (&list)[N]) {
    return list[Below(static_cast<int>(N))];
  }
  std::string Leaf(const std::string& q) {
    static const char* const kNumeric[] = {"N", "U", "R", "F", "S", "W", "X", "DC"};
    static const char* const kText[] = {"T", "H", "C", "DT", "D6"};
    static const char* const kNumbers[] = {
        "0",   "1",          "2",          "3",         "5",   "7",         "12",
        "2.5", "2.6",        "2.6000004",  "2.5999996", "0.1", "-1",        "-2.5",
        "1E6", "3000000000", "-0.0000004", "0.0000004", "1.5", "1234567.5", "3.3333333"};
    static const char* const kTexts[] = {
        "''",         "'a'",      "'ab'",       "'abc'",    "'b'",    "'ba'", "'z'",
        "'\xE9'",     "'a b'",    "'ab_'",      "'a%'",     "'0930'", "'12'", "'1200'",
        "'19990101'", "'990101'", "'20240105'", "'991231'", "'2024%'"};
    static const char* const kPatterns[] = {
        "'a%'",  "'ab%'",  "'%'",   "'%b'", "'a_%'", "'_b%'", "'a%b'",   "'\xE9%'", "''",
        "'abc'", "'ab_%'", "'09%'", "'1%'", "'a%%'", "'99%'", "'1999%'", "'2024%'"};
    static const char* const kOps[] = {"=", "<", ">", "<=", ">=", "<>", "="};
    std::string col = q + ".";
    switch (Below(12)) {
      case 0:
      case 1:
      case 2:
        return col + Of(kNumeric) + " " + Of(kOps) + " " + Of(kNumbers);
      case 3:
        return col + Of(kText) + " " + Of(kOps) + " " + Of(kTexts);
      case 4:
        return col + Of(kText) + (Below(4) == 0 ? " NOT" : "") + " LIKE " + Of(kPatterns);
      case 5:
        return col + Of(kNumeric) + (Below(4) == 0 ? " NOT" : "") + " BETWEEN " + Of(kNumbers) +
               " AND " + Of(kNumbers);
      case 6:
        return col + Of(kNumeric) + (Below(4) == 0 ? " NOT" : "") + " IN (" + Of(kNumbers) + ", " +
               Of(kNumbers) + ", " + Of(kNumbers) + ")";
      case 7: {
        // The key inside arithmetic, behind a sign, or on the right.
        switch (Below(4)) {
          case 0:
            return col + Of(kNumeric) + " + 1 " + Of(kOps) + " " + Of(kNumbers);
          case 1:
            return "-" + col + Of(kNumeric) + " " + Of(kOps) + " " + Of(kNumbers);
          case 2:
            return col + Of(kNumeric) + " * 2 " + Of(kOps) + " " + Of(kNumbers);
          default:
            return std::string(Of(kNumbers)) + " " + Of(kOps) + " " + col + Of(kNumeric);
        }
      }
      case 8:
        return col + Of(kText) + " " + Of(kOps) + " " + col + Of(kText);
      case 9:
        return col + Of(kNumeric) + " " + Of(kOps) + " " + col + Of(kNumeric);
      default:
        return col + Of(kNumeric) + " " + Of(kOps) + " " + Of(kNumbers);
    }
  }

  std::mt19937 rng_;
};

class FilterDifferentialTest : public EngineFilterTest {
 protected:
  // P: keys of every numeric (decimal too), text, time and date kind, unique and with
  // duplicates, with values on either side of the six-decimal rounding,
  // infinities, and dates of six and eight characters; Q: a second keyed
  // file to join with.
  void MakeFiles() {
    ASSERT_EQ(db_.MakeFile("P", {{"N", 'L', 4, 2},
                                   {"U", 'L', 4, 1},
                                   {"R", 'D', 8, 2},
                                   {"F", 'S', 4, 2},
                                   {"S", 'E', 2, 2},
                                   {"W", 'U', 4, 2},
                                   {"T", 'T', 6, 2},
                                   {"H", 'H', 4, 2},
                                   {"X", 'L', 4, 0},
                                   {"C", 'T', 6, 0},
                                   {"DT", 'A', 8, 2},
                                   {"D6", 'A', 6, 2},
                                   {"DC", 'N', 10, 2}}),
              0)
        << db_.message();
    ASSERT_EQ(db_.MakeFile("Q", {{"N", 'L', 4, 2}, {"T", 'T', 6, 2}, {"Y", 'L', 4, 0}}), 0)
        << db_.message();
    static const char* const kReals[] = {"2.6",  "2.6000004", "2.5999996", "2.5",       "0.1",
                                         "-2.5", "0",         "1E300",     "0.0000004", "-1E300"};
    static const char* const kFloats[] = {"0.1", "2.5", "1234567.5", "3.3333333", "-1", "3E38"};
    static const char* const kTexts[] = {"''",  "'a'",         "'ab'",  "'abc'", "'b'",   "'ba'",
                                         "'z'", "'\xE9t\xE9'", "'a b'", "'ab_'", "'a%c'", "'\xC9'"};
    static const char* const kTimes[] = {"'0930'", "'1200'", "''", "'2359'", "'0000'"};
    static const char* const kWide[] = {"0", "3", "3000000000", "4294967295", "7"};
    static const char* const kDates[] = {"'20240105'", "'18991231'", "'19990101'", "''",
                                         "'20000229'", "'19991231'", "'19850615'"};
    std::mt19937 rng(7);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    std::vector<int> unique(60);
    for (int i = 0; i < 60; ++i) unique[i] = i * 3 - 20;
    std::shuffle(unique.begin(), unique.end(), rng);
    for (int i = 0; i < 60; ++i) {
      std::string sql = "INSERT INTO P VALUES (" + std::to_string(pick(16) - 3) + ", " +
                        std::to_string(unique[i]) + ", " + kReals[pick(10)] + ", " +
                        kFloats[pick(6)] + ", " + std::to_string(pick(9) - 2) + ", " +
                        kWide[pick(5)] + ", " + kTexts[pick(12)] + ", " + kTimes[pick(5)] + ", " +
                        std::to_string(pick(8)) + ", " + kTexts[pick(12)] + ", " + kDates[pick(7)] +
                        ", " + kDates[pick(7)] + ", " + kReals[pick(7)] + ")";
      ASSERT_EQ(Exec(sql).error, "") << sql;
    }
    for (int i = 0; i < 20; ++i) {
      std::string sql = "INSERT INTO Q VALUES (" + std::to_string(pick(16) - 3) + ", " +
                        kTexts[pick(12)] + ", " + std::to_string(i) + ")";
      ASSERT_EQ(Exec(sql).error, "") << sql;
    }
  }

  // Runs `sql` both ways; counts the statements and those that narrowed.
  void Compare(const std::string& sql) {
    builder_->set_enabled(false);
    Outcome plain = Exec(sql);
    builder_->set_enabled(true);
    calls_.Reset();
    Outcome narrowed = Exec(sql);
    ++statements_;
    if (!calls_.installs.empty()) ++narrowedStatements_;
    if (plain.error.empty()) ++succeeded_;
    EXPECT_EQ(plain, narrowed) << sql;
  }

  int statements_ = 0;
  int narrowedStatements_ = 0;
  int succeeded_ = 0;
};

TEST_F(FilterDifferentialTest, RandomClausesSelectTheSameRowsWithAndWithoutRanges) {
  MakeFiles();
  const char* seed = std::getenv("ZKSQL_FILTER_SEED");
  RandomClauses gen(seed != nullptr ? static_cast<uint32_t>(std::strtoul(seed, nullptr, 10))
                                    : 20261209u);
  for (int i = 0; i < 900; ++i) {
    Compare("SELECT U, N, T FROM P WHERE " +
            (gen.Below(3) == 0 ? gen.Condition("P", 3) : gen.Conjunction("P")));
  }
  for (int i = 0; i < 150; ++i) {
    Compare("SELECT B.U FROM P B WHERE " + gen.Conjunction("B"));
  }
  for (int i = 0; i < 250; ++i) {
    Compare("SELECT P.U, Q.Y FROM P, Q WHERE P.N = Q.N AND " + gen.Conjunction("P") + " AND " +
            gen.Conjunction("Q"));
  }
  // One file under two names, joined with itself.
  for (int i = 0; i < 250; ++i) {
    Compare("SELECT P.U, B.U FROM P, P B WHERE P.N = B.S AND " + gen.Conjunction("P") + " AND " +
            gen.Conjunction("B"));
  }
  for (int i = 0; i < 100; ++i) {
    Compare("SELECT A.U, B.U FROM P A, P B WHERE A.U = B.X AND " + gen.Conjunction("A") + " AND " +
            gen.Conjunction("B"));
  }
  for (int i = 0; i < 150; ++i) {
    Compare("SELECT U FROM P WHERE " + gen.Conjunction("P") + " AND N IN (SELECT N FROM Q WHERE " +
            gen.Conjunction("Q") + ")");
  }
  // The statements must mostly run, and many must narrow, or nothing was
  // compared.
  EXPECT_GT(succeeded_, statements_ / 2);
  EXPECT_GT(narrowedStatements_, statements_ / 6);
  std::printf("[ random    ] %d statements, %d ran, %d narrowed by a range\n", statements_,
              succeeded_, narrowedStatements_);
}

}  // namespace
}  // namespace zksql

#endif  // JXENGINE_PATH
