// Selection driver tests over in-memory tables: the odometer's order, both
// selection paths with their failures (4287, 4299, the missing-data text),
// NOT counted once on the single-table path, the result table's layout and
// DISTINCT, sub-select values, and UPDATE stopping at a failing row.
#include "select/selection_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../exec/condition_builder.h"
#include "api/request.h"
#include "exec/evaluator.h"
#include "select/condition_tree.h"
#include "select/row_set.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/result_table.h"

namespace zksql {
namespace {

using namespace testing_build;

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    req = CreateRequest(nullptr, 0, nullptr);
    ASSERT_NE(req, nullptr);
  }
  void TearDown() override {
    delete driver;
    DestroyRequest(req);
  }

  // An in-memory table the dictionary finds by name, as it finds a file.
  ResultTable* InMemory(const char* name) {
    auto* t = new ResultTable(req, name);
    EXPECT_GE(req->dict->tables().Add(t), 0);
    return t;
  }

  // A named in-memory table with real columns; rows of values.
  Table* MakeTable(const char* name, std::vector<const char*> cols,
                   std::vector<std::vector<double>> rowValues) {
    ResultTable* t = InMemory(name);
    uint16_t offset = 1;
    for (const char* c : cols) {
      t->AddColumn(new Column(c, kTypeReal, 8, 0, offset, t, name));
      offset += 8;
    }
    EXPECT_TRUE(t->SetRowSize(offset, true));
    for (auto& r : rowValues) {
      for (size_t i = 0; i < r.size(); ++i) t->ColumnAt(static_cast<int16_t>(i))->SetValue(&r[i]);
      t->Write(0);
    }
    return t;
  }

  // The statement «SELECT * FROM ... WHERE clause» as the request's tree,
  // the clause given to the driver as the analysis gives it.
  void SetWhereClause(ParseNode* clause) {
    ParseNode* sub = N(
        FON_SOUS_SELECT, "",
        {N(FON_ITEM_SELECTIONNE, "", {Tok(LEX_ETOILE, "*")}), N(FON_TABLE_REF_VIRGULE_LISTE, "")});
    if (clause != nullptr) sub->AddChild(clause, 0);
    req->parseRoot.reset(N(FON_REQUETE, "", {N(FON_REQUETE_SELECTION, "", {sub})}));
    whereClause = clause;
    if (driver != nullptr) driver->whereClause = clause;
  }

  SelectionDriver* NewDriver(std::vector<Table*> from) {
    driver = new SelectionDriver(req);
    driver->evaluator = &ev;
    driver->whereClause = whereClause;
    for (Table* t : from) EXPECT_TRUE(driver->AddTable(t));
    return driver;
  }

  // A row set for a predicate reading the given columns, filed in the
  // driver, as the analysis files it, under the columns' tables in the
  // order first read; returns the condition leaf.
  ParseNode* Leaf(ParseNode* predicate, std::vector<Column*> reads) {
    PtrArray* cols = new PtrArray(0, 4);
    std::vector<Table*> tables;
    for (Column* c : reads) {
      cols->Add(c);
      if (std::find(tables.begin(), tables.end(), c->table()) == tables.end()) {
        tables.push_back(c->table());
      }
    }
    RowSet* rs = RowSet::Create(predicate, nullptr, cols);
    EXPECT_TRUE(driver->RegisterCondition(tables, rs));
    return NewConditionLeaf(rs);
  }
  static ParseNode* List(int op, std::initializer_list<ParseNode*> leaves) {
    ParseNode* head = nullptr;
    for (ParseNode* l : leaves) {
      ParseNode* g = NewConditionGroup(l);
      if (head == nullptr) {
        head = g;
      } else {
        head->AppendSibling(NewConditionOperator(op), 0);
        head->AppendSibling(g, 0);
      }
    }
    return head;
  }

  // Values of a result column, row by row.
  std::vector<double> Column0(Table* t, int16_t col = 0) {
    std::vector<double> out;
    for (int32_t r = 1; t->ReadByNumber(r) == r; ++r) {
      out.push_back(*static_cast<double*>(t->ColumnAt(col)->GetValue()));
    }
    return out;
  }
  std::string Error() const { return req->errorText; }

  Request* req = nullptr;
  Evaluator ev{nullptr};
  SelectionDriver* driver = nullptr;
  ParseNode* whereClause = nullptr;  // the tree's, as the analysis hands it
};

TEST_F(DriverTest, OdometerTurnsTheFirstTableFastestAndStopsOnAnEmptyTable) {
  Table* a = MakeTable("TA", {"X"}, {{1}, {2}, {3}});
  Table* b = MakeTable("TB", {"Y"}, {{1}, {2}});
  Table* e = MakeTable("TE", {"Z"}, {});
  Table* list[] = {a, b};
  Odometer odo(req, list, 2, nullptr);
  std::vector<std::pair<int, int>> seen;
  for (int16_t s = odo.Start(); s == 1; s = odo.Step()) {
    seen.emplace_back(odo.numbers()[0], odo.numbers()[1]);
  }
  std::vector<std::pair<int, int>> expected = {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}};
  EXPECT_EQ(expected, seen);
  Table* withEmpty[] = {a, e, b};
  Odometer none(req, withEmpty, 3, nullptr);
  EXPECT_EQ(0, none.Start());
  Table* emptyLast[] = {a, b, e};
  Odometer none2(req, emptyLast, 3, nullptr);
  EXPECT_EQ(0, none2.Start());
  EXPECT_EQ("", Error());
}

// An in-memory table whose n-th browse from its start fails as a read the
// engine did not complete.
class BreakingTable : public ResultTable {
 public:
  BreakingTable(const char* name, int n) : ResultTable(nullptr, name), n_(n) {}
  int32_t ReadFirst(const KeySource* filter) override {
    return ++calls_ == n_ ? -1 : ResultTable::ReadFirst(filter);
  }

 private:
  int n_;
  int calls_ = 0;
};

TEST_F(DriverTest, OdometerReportsAReadErrorWhileSettingALowerTableBack) {
  // Start reads T0 from its start (1); Step reads T0 to its end, advances
  // T1, then sets T0 back to its first record (2): that read fails.
  BreakingTable t0("T0", 2);
  ASSERT_TRUE(t0.SetRowSize(2, true));
  t0.Write(0);
  Table* t1 = MakeTable("T1", {"X"}, {{1}, {2}});
  Table* list[] = {&t0, t1};
  Odometer odo(req, list, 2, nullptr);
  ASSERT_EQ(1, odo.Start());
  EXPECT_EQ(-1, odo.Step());
  EXPECT_NE(std::string::npos, Error().find("'T0' (1)")) << Error();
}

TEST_F(DriverTest, JoinSelectsMatchingPairsAndBuildsTheResult) {
  Table* t1 = MakeTable("T1", {"A"}, {{1}, {2}, {3}});
  Table* t2 = MakeTable("T2", {"B"}, {{3}, {1}, {7}});
  NewDriver({t1, t2});
  ParseNode* p = Compare(Col("T1/A"), LEX_EGAL, Col("T2/B"));
  driver->where = Leaf(p, {t1->ColumnAt(0), t2->ColumnAt(0)});
  ASSERT_TRUE(driver->SelectJoined(0)) << Error();
  Table* res = driver->BuildResult(req->dict.get());
  ASSERT_NE(res, nullptr) << Error();
  ASSERT_EQ(2, res->ColumnCount());
  // Tuples in odometer order, T1 turning fastest: (3: A=3, 1: B=3) comes
  // with T2's first record, (1: A=1, 2: B=1) with its second.
  EXPECT_EQ((std::vector<double>{3, 1}), Column0(res, 0));
  EXPECT_EQ((std::vector<double>{3, 1}), Column0(res, 1));
  delete p;
}

TEST_F(DriverTest, UnrelatedTablesAreRefusedWith4287) {
  Table* t1 = MakeTable("T1", {"A"}, {{1}});
  Table* t2 = MakeTable("T2", {"B"}, {{2}});
  // No WHERE at all.
  NewDriver({t1, t2});
  EXPECT_FALSE(driver->SelectJoined(0));
  EXPECT_NE(std::string::npos, Error().find("disjointes"));
  RecordError(req, "");
  delete driver;
  // A WHERE that is always true.
  NewDriver({t1, t2});
  ParseNode* always = Compare(Num("1"), LEX_EGAL, Num("1"));
  driver->where = Leaf(always, {});
  EXPECT_FALSE(driver->SelectJoined(0));
  EXPECT_NE(std::string::npos, Error().find("disjointes"));
  RecordError(req, "");
  delete driver;
  delete always;
  // A WHERE that is always false: an empty result.
  NewDriver({t1, t2});
  ParseNode* never = Compare(Num("1"), LEX_EGAL, Num("2"));
  driver->where = Leaf(never, {});
  ASSERT_TRUE(driver->SelectJoined(0)) << Error();
  ResultTable* res = driver->BuildResult(req->dict.get());
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(0, res->rowCount());
  delete never;
  // Two conditions over one table each, joined by AND: the join is refused
  // and reported, never an empty "success".
  delete driver;
  NewDriver({t1, t2});
  ParseNode* c1 = Compare(Col("T1/A"), LEX_EGAL, Num("1"));
  ParseNode* c2 = Compare(Col("T2/B"), LEX_EGAL, Num("2"));
  driver->where = List(LEX_AND, {Leaf(c1, {t1->ColumnAt(0)}), Leaf(c2, {t2->ColumnAt(0)})});
  EXPECT_FALSE(driver->SelectJoined(0));
  EXPECT_NE(std::string::npos, Error().find("disjointes"));
  delete c1;
  delete c2;
}

TEST_F(DriverTest, AJoinWhoseWhereMissesATableFailsOnlyWhenARowQualifies) {
  Table* t1 = MakeTable("T1", {"A"}, {{1}, {2}});
  Table* t2 = MakeTable("T2", {"B"}, {{2}});
  NewDriver({t1, t2});
  ParseNode* p = Compare(Col("T1/A"), LEX_EGAL, Num("2"));
  driver->where = Leaf(p, {t1->ColumnAt(0)});
  ASSERT_TRUE(driver->SelectJoined(0));
  EXPECT_EQ(nullptr, driver->BuildResult(req->dict.get()));
  EXPECT_EQ(kMissingDataText, Error());
  delete driver;
  RecordError(req, "");
  NewDriver({t1, t2});
  ParseNode* q = Compare(Col("T1/A"), LEX_EGAL, Num("9"));
  driver->where = Leaf(q, {t1->ColumnAt(0)});
  ASSERT_TRUE(driver->SelectJoined(0));
  ResultTable* res = driver->BuildResult(req->dict.get());
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(0, res->rowCount());
  delete p;
  delete q;
}

TEST_F(DriverTest, JoinPathAppliesNegationFromNotRemoval) {
  Table* t1 = MakeTable("T1", {"A"}, {{1}, {2}});
  Table* t2 = MakeTable("T2", {"B"}, {{1}, {2}});
  NewDriver({t1, t2});
  // NOT (A = B): the pairs that differ.
  ParseNode* p = Compare(Col("T1/A"), LEX_EGAL, Col("T2/B"));
  ParseNode* leaf = Leaf(p, {t1->ColumnAt(0), t2->ColumnAt(0)});
  driver->where = N(42, "NOT", {leaf});
  ASSERT_TRUE(driver->SelectJoined(0)) << Error();
  Table* res = driver->BuildResult(req->dict.get());
  ASSERT_NE(res, nullptr);
  EXPECT_EQ((std::vector<double>{2, 1}), Column0(res, 0));
  EXPECT_EQ((std::vector<double>{1, 2}), Column0(res, 1));
  delete p;
}

TEST_F(DriverTest, SingleTableCountsEveryNotOnce) {
  Table* t = MakeTable("T", {"A"}, {{1}, {2}, {3}});
  NewDriver({t});
  // WHERE NOT A = 1
  ParseNode* p = Compare(Col("T/A"), LEX_EGAL, Num("1"));
  SetWhereClause(Or({And({LNot(LFactor(p))})}));
  driver->where = N(42, "NOT", {Leaf(p, {t->ColumnAt(0)})});
  ASSERT_TRUE(driver->SelectSingle(0)) << Error();
  Table* res = driver->BuildResult(req->dict.get());
  ASSERT_NE(res, nullptr);
  EXPECT_EQ((std::vector<double>{2, 3}), Column0(res));
}

// A sub-select that yields nothing.
class EmptySubSelects : public SubSelectSource {
 public:
  ParseNode* EvaluateSubSelect(int16_t, int16_t, const RowBinding*) override {
    return NewValueListHead();
  }
};

TEST_F(DriverTest, SingleTableNotExistsOverAnEmptySubSelectKeepsEveryRow) {
  Table* t = MakeTable("T", {"A"}, {{1}, {2}});
  EmptySubSelects subs;
  ev.set_executor(&subs);
  NewDriver({t});
  ParseNode* exists = Pred(Tok(LEX_EXISTS, "EXISTS"));
  exists->child->value = 1;
  exists->AddChild(SubSel(1), 0);
  SetWhereClause(Or({And({LNot(LFactor(exists))})}));
  driver->where = N(42, "NOT", {Leaf(exists, {})});
  ASSERT_TRUE(driver->SelectSingle(0)) << Error();
  ResultTable* res = driver->BuildResult(req->dict.get());
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(2, res->rowCount());
  ev.set_executor(nullptr);
}

TEST_F(DriverTest, SingleTableOrAndConstantConditions) {
  Table* t = MakeTable("T", {"A"}, {{1}, {2}, {3}});
  NewDriver({t});
  // WHERE A = 1 OR A = 3
  ParseNode* p1 = Compare(Col("T/A"), LEX_EGAL, Num("1"));
  ParseNode* p2 = Compare(Col("T/A"), LEX_EGAL, Num("3"));
  SetWhereClause(Or({And({LFactor(p1)}), And({LFactor(p2)})}));
  driver->where = List(LEX_OR, {Leaf(p1, {t->ColumnAt(0)}), Leaf(p2, {t->ColumnAt(0)})});
  ASSERT_TRUE(driver->SelectSingle(0)) << Error();
  Table* res = driver->BuildResult(req->dict.get());
  ASSERT_NE(res, nullptr);
  EXPECT_EQ((std::vector<double>{1, 3}), Column0(res));
  // Constant conditions only: every row when true, none when false.
  for (const char* rhs : {"1", "2"}) {
    delete driver;
    req->parseRoot.reset();
    NewDriver({t});
    ParseNode* c = Compare(Num("1"), LEX_EGAL, Num(rhs));
    SetWhereClause(Or({And({LFactor(c)})}));
    driver->where = Leaf(c, {});
    ASSERT_TRUE(driver->SelectSingle(0)) << Error();
    ResultTable* r = driver->BuildResult(req->dict.get());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(rhs[0] == '1' ? 3 : 0, r->rowCount());
  }
  // Without WHERE: a full scan in browse order.
  delete driver;
  NewDriver({t});
  ASSERT_TRUE(driver->SelectSingle(0));
  EXPECT_EQ((std::vector<double>{1, 2, 3}), Column0(driver->BuildResult(req->dict.get())));
  // A table with no record gives an empty result.
  delete driver;
  NewDriver({MakeTable("EMPTY", {"A"}, {})});
  ASSERT_TRUE(driver->SelectSingle(0));
  EXPECT_EQ(0, driver->BuildResult(req->dict.get())->rowCount());
}

TEST_F(DriverTest, DistinctComparesWholeRowsByteForByte) {
  Table* t = MakeTable("T", {"A", "B"}, {{1, 5}, {1, 5}, {1, 6}, {1, 5}});
  for (int16_t quantifier : {0, 1, 20}) {
    delete driver;
    NewDriver({t});
    driver->distinct = quantifier;
    ASSERT_TRUE(driver->SelectSingle(0));
    ResultTable* res = driver->BuildResult(req->dict.get());
    ASSERT_NE(res, nullptr);
    EXPECT_EQ(quantifier == 20 ? 2 : 4, res->rowCount()) << quantifier;
  }
  // DISTINCT on the first column alone: one row.
  delete driver;
  NewDriver({t});
  driver->distinct = 20;
  driver->columns.reset(new PtrArray(0, 4));
  driver->columns->Add(t->ColumnAt(0));
  ASSERT_TRUE(driver->SelectSingle(0));
  EXPECT_EQ(1, driver->BuildResult(req->dict.get())->rowCount());
}

TEST_F(DriverTest, ResultColumnsKeepTheSourceLayoutAndStayInsideTheRow) {
  ResultTable* t = InMemory("T");
  t->AddColumn(new Column("I", kTypeInt16, 2, 0, 1, t, "T"));
  t->AddColumn(new Column("K", kTypeRaw, 6, kCompositeKey, 3, t, "T"));
  t->AddColumn(new Column("S", kTypeText, 5, 0, 9, t, "T"));
  ASSERT_TRUE(t->SetRowSize(14, true));
  double seven = 7;
  t->ColumnAt(0)->SetValue(&seven);
  t->ColumnAt(2)->SetValue("abcd");
  t->Write(0);
  NewDriver({t});
  ASSERT_TRUE(driver->SelectSingle(0));
  Table* res = driver->BuildResult(req->dict.get());
  ASSERT_NE(res, nullptr);
  ASSERT_EQ(3, res->ColumnCount());
  // The storage type, size and key kind are the source's.
  EXPECT_EQ(kTypeInt16, res->ColumnAt(0)->type());
  EXPECT_EQ(2, res->ColumnAt(0)->size());
  EXPECT_EQ(kCompositeKey, res->ColumnAt(1)->keyKind());
  // The composite key takes no bytes: the text follows the integer.
  EXPECT_EQ(3, res->ColumnAt(2)->offset());
  EXPECT_EQ(1 + 2 + 5, res->rowSize());
  ASSERT_EQ(1, res->ReadByNumber(1));
  EXPECT_DOUBLE_EQ(7, *static_cast<double*>(res->ColumnAt(0)->GetValue()));
  EXPECT_STREQ("abcd", static_cast<char*>(res->ColumnAt(2)->GetValue()));
  // The binding of a 2-byte item carries the extracted 8-byte real.
  delete driver;
  NewDriver({t});
  ParseNode* p = Compare(Col("T/I"), LEX_EGAL, Num("7"));
  SetWhereClause(Or({And({LFactor(p)})}));
  driver->where = Leaf(p, {t->ColumnAt(0)});
  ASSERT_TRUE(driver->SelectSingle(0)) << Error();
  EXPECT_EQ(1, driver->BuildResult(req->dict.get())->rowCount());
}

TEST_F(DriverTest, ASelectListWithoutColumnsGivesOneRowPerTuple) {
  Table* t = MakeTable("T", {"A"}, {{1}, {2}});
  NewDriver({t});
  driver->columns.reset(new PtrArray(0, 4));  // «SELECT COUNT(*) FROM T»
  ASSERT_TRUE(driver->SelectSingle(0));
  ResultTable* res = driver->BuildResult(req->dict.get());
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(0, res->ColumnCount());
  EXPECT_EQ(1, res->rowSize());
  EXPECT_EQ(2, res->rowCount());
}

TEST_F(DriverTest, SubSelectValuesFollowTheTuplesUnderDistinct) {
  Table* t = MakeTable("T", {"A", "B"}, {{5, 1}, {5, 2}, {6, 3}, {5, 4}});
  NewDriver({t});
  driver->distinct = 20;
  driver->columns.reset(new PtrArray(0, 4));
  driver->columns->Add(t->ColumnAt(0));
  ASSERT_TRUE(driver->SelectSingle(0));
  ASSERT_NE(nullptr, driver->BuildResult(req->dict.get()));
  ParseNode* all = driver->SubSelectValues();
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(2, CountValues(all));
  delete all;
}

// Fails the assignment on the third row it is asked for.
class FailingAssigner : public ValueAssigner {
 public:
  bool AssignValue(ParseNode*, Column* column) override {
    if (++calls == 3) return false;
    double v = 100;
    column->SetValue(&v);
    return true;
  }
  int calls = 0;
};

TEST_F(DriverTest, UpdateStopsAtAFailingRowWithEarlierRowsWritten) {
  Table* t = MakeTable("T", {"A"}, {{1}, {2}, {3}, {4}});
  NewDriver({t});
  ASSERT_TRUE(driver->SelectSingle(0));
  ParseNode* assignments =
      N(FON_AFFECTATION_COLONNE_VIRGULE_LISTE, "",
        {N(FON_AFFECTATION_COLONNE, "", {Tok(LEX_IDENTIFICATEUR, "A"), Num("100")})});
  FailingAssigner assigner;
  EXPECT_FALSE(driver->ApplyToRows(assignments, &assigner));
  EXPECT_EQ(kUpdateValuesText, Error());
  EXPECT_EQ((std::vector<double>{100, 100, 3, 4}), Column0(t));
}

}  // namespace
}  // namespace zksql
