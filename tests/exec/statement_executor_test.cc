// Statement executor tests. Value assignment runs over an in-memory table:
// every conversion a value meets on its way into a column, and the values
// refused. The statements run over a scratch database on the real storage
// engine, each through a request of its own as the request runner drives
// it (parse, dictionary, analysis, execution), and are checked through
// what the engine holds afterwards: the dictionary for CREATE, the records
// for INSERT, UPDATE and DELETE, the result rows for SELECT.
#include "exec/statement_executor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../exec/condition_builder.h"
#include "analysis/analyser.h"
#include "base/messages.h"
#include "api/request.h"
#include "exec/evaluator.h"
#include "sql/parser.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/engine.h"
#include "storage/file_table.h"
#include "storage/result_table.h"
#include "values/value_converter.h"

// The statement tests run over the real engine when it is built.
#ifdef JXENGINE_PATH
#define ZKSQL_STATEMENT_TESTS 1
#include "../storage/engine_database.h"
#endif

namespace zksql {
namespace {

using namespace testing_build;

// A value as the tests show it: numbers in their display text, the rest
// as the column extracts it.
std::string Shown(Column* column) {
  const void* value = column->GetValue();
  if (value == nullptr) return "<none>";
  if (column->Kind() == kKindNumber) {
    double real;
    std::memcpy(&real, value, sizeof real);
    char text[64];
    Converter().NumberText(real, 9, text, sizeof text);
    return text;
  }
  return static_cast<const char*>(value);
}

// ---------------------------------------------------------------------------
// Value assignment

struct AssignCase {
  const char* what;
  uint16_t type;
  uint16_t size;
  ParseNode* (*value)();
  int16_t ok;
  const char* stored;  // what the column shows afterwards
};

ParseNode* Real() {
  return Num("2.5");
}
ParseNode* LongReal() {
  return Num("123.5");
}
ParseNode* NumericText() {
  return Str(" -3.5E2 ");
}
ParseNode* CommaText() {
  return Str("1,5");
}
ParseNode* Word() {
  return Str("abc");
}
ParseNode* DigitsThenWord() {
  return Str("12abc");
}
ParseNode* Empty() {
  return Str("");
}
ParseNode* IntegerOf() {
  return Scalar(LEX_INTEGER, Num("3.7"));
}
ParseNode* LengthOf() {
  return Scalar(LEX_LENGTH, Str("abcd"));
}
ParseNode* FloatOf() {
  return Scalar(LEX_FLOAT, Num("2.5"));
}
ParseNode* Date() {
  return DateFn(LEX_DATE, "31/01/1999");
}
ParseNode* Time() {
  return DateFn(LEX_TIME, "10h30");
}
ParseNode* Null() {
  return N(LEX_NULL, "NULL");
}
ParseNode* ColumnRef() {
  return Col("T/OTHER");
}
ParseNode* BigNumber() {
  return Num("70000");
}
ParseNode* BigText() {
  return Str("70000");
}
ParseNode* NegativeText() {
  return Str("-1");
}
ParseNode* IsoDate() {
  return Str("2024-02-29");
}
ParseNode* DigitDate() {
  return Str("20240229");
}
ParseNode* NoLeapDay() {
  return Str("2023-02-29");
}
ParseNode* Month13() {
  return Str("20241301");
}
ParseNode* WordDate() {
  return Str("demain");
}
ParseNode* ColonTime() {
  return Str("10:20");
}
ParseNode* WholeMinute() {
  return Str("10:20:00");
}
ParseNode* WithSeconds() {
  return Str("10:20:30");
}
ParseNode* Hour25() {
  return Str("2500");
}
ParseNode* ShortRaw() {
  return Str("ab");
}
ParseNode* LongRaw() {
  return Str("abcde");
}

const AssignCase kAssignments[] = {
    // A real into a text column: its six-decimal text, refused rather
    // than cut when the column is shorter.
    {"real into CHAR(20)", kTypeText, 21, Real, 1, "2.500000"},
    {"real into CHAR(8), exactly full", kTypeText, 9, Real, 1, "2.500000"},
    {"real into CHAR(5)", kTypeText, 6, LongReal, 0, "old"},
    {"real into a fixed text", kTypeFixedText, 8, Real, 1, "2.500000"},
    {"real into a counted text too short", kTypeCountedText, 8, LongReal, 0, "old"},
    {"16-bit result into CHAR(10)", kTypeText, 11, LengthOf, 1, "4.000000"},
    // Texts into numeric columns: the number they write, or nothing.
    {"numeric text into DOUBLE", kTypeReal, 8, NumericText, 1, "-350"},
    {"comma decimal into DOUBLE", kTypeReal, 8, CommaText, 1, "1.5"},
    {"word into INTEGER", kTypeInt32, 4, Word, 0, "7"},
    {"digits then a word into INTEGER", kTypeInt32, 4, DigitsThenWord, 0, "7"},
    {"empty text into INTEGER", kTypeInt32, 4, Empty, 0, "7"},
    // 16- and 32-bit function results into numeric columns.
    {"INTEGER() into INTEGER", kTypeInt32, 4, IntegerOf, 1, "3"},
    {"LENGTH() into SMALLINT", kTypeInt16, 2, LengthOf, 1, "4"},
    {"FLOAT() into DOUBLE", kTypeReal, 8, FloatOf, 1, "2.5"},
    {"real into TINYINT", kTypeInt8, 1, Real, 1, "2"},
    // Dates and times go into their own kind or a text, nowhere else.
    {"date into a date", kTypeDate, 9, Date, 1, "19990131"},
    {"date into a text", kTypeText, 11, Date, 1, "19990131"},
    {"date into a number", kTypeInt32, 4, Date, 0, "7"},
    {"date into a time", kTypeTime, 4, Date, 0, "0000"},
    {"time into a time", kTypeTime, 4, Time, 1, "1030"},
    {"real into a date", kTypeDate, 9, Real, 0, "20000101"},
    {"real into a time", kTypeTime, 4, Real, 0, "0000"},
    {"real into a binary memo", kTypeBinaryMemo, 4, Real, 0, ""},
    // Numbers out of an integer item's range are refused, not stored as
    // another number.
    {"70000 into SMALLINT", kTypeInt16, 2, BigNumber, 0, "7"},
    {"'70000' into SMALLINT", kTypeInt16, 2, BigText, 0, "7"},
    {"70000 into INTEGER", kTypeInt32, 4, BigNumber, 1, "70000"},
    {"'-1' into an unsigned byte", kTypeUInt8, 1, NegativeText, 0, "7"},
    // Date and time texts are stored in the items' own digit forms; a
    // text that is no date or time would be stored cut and read back as
    // another value.
    {"ISO date text", kTypeDate, 9, IsoDate, 1, "20240229"},
    {"digit date text", kTypeDate, 9, DigitDate, 1, "20240229"},
    {"29 February of a common year", kTypeDate, 9, NoLeapDay, 0, "20000101"},
    {"month 13", kTypeDate, 9, Month13, 0, "20000101"},
    {"word into a date", kTypeDate, 9, WordDate, 0, "20000101"},
    {"HH:MM time text", kTypeTime, 4, ColonTime, 1, "1020"},
    {"HH:MM:00 time text", kTypeTime, 4, WholeMinute, 1, "1020"},
    {"seconds the item cannot hold", kTypeTime, 4, WithSeconds, 0, "0000"},
    {"hour 25", kTypeTime, 4, Hour25, 0, "0000"},
    // Raw items take the bytes of a text that fits, zero-padded.
    {"short text into raw bytes", kTypeRaw, 4, ShortRaw, 1, "ab"},
    {"long text into raw bytes", kTypeRaw, 4, LongRaw, 0, "zzzz"},
    // No value at all.
    {"NULL", kTypeInt32, 4, Null, 0, "7"},
    {"a column without row", kTypeInt32, 4, ColumnRef, 0, "7"},
};

class AssignValueTest : public ::testing::TestWithParam<AssignCase> {
 protected:
  void SetUp() override {
    request_ = CreateRequest(nullptr, 0, nullptr);
    ASSERT_NE(request_, nullptr);
    executor_ = new StatementExecutor(request_);
    request_->executor.reset(executor_);
    auto* evaluator = new Evaluator(executor_);
    request_->evaluator.reset(evaluator);
    executor_->AttachEvaluator(evaluator);
  }
  void TearDown() override { DestroyRequest(request_); }

  // A one-column in-memory table whose column holds a known first value.
  zksql::Column* MakeColumn(uint16_t type, uint16_t size) {
    Table* t = request_->dict->CreateResultTable();
    auto* c = new zksql::Column("C", type, size, 0, 1, t, "T");
    t->AddColumn(c);
    EXPECT_TRUE(t->SetRowSize(static_cast<uint16_t>(1 + size), true));
    if (c->Kind() == kKindNumber) {
      double seven = 7;
      c->SetValue(&seven);
    } else if (type == kTypeDate) {
      c->SetValue("20000101");
    } else if (type == kTypeTime) {
      c->SetValue("0000");
    } else if (type == kTypeRaw) {
      c->SetValue("zzzz");
    } else if (!c->IsMemo()) {
      c->SetValue("old");
    }
    return c;
  }

  Request* request_ = nullptr;
  StatementExecutor* executor_ = nullptr;
};

TEST_P(AssignValueTest, ConvertsOrRefuses) {
  const AssignCase& c = GetParam();
  zksql::Column* column = MakeColumn(c.type, c.size);
  ParseNode* value = c.value();
  EXPECT_EQ(executor_->AssignValue(value, column), c.ok) << c.what;
  EXPECT_EQ(Shown(column), c.stored) << c.what;
  delete value;
}

INSTANTIATE_TEST_SUITE_P(EveryConversion, AssignValueTest, ::testing::ValuesIn(kAssignments));

TEST(AssignValueRawTest, AShortTextIsPaddedWithZerosNotReadPast) {
  Request* request = CreateRequest(nullptr, 0, nullptr);
  StatementExecutor executor(request);
  Table* t = request->dict->CreateResultTable();
  auto* c = new zksql::Column("C", kTypeRaw, 4, 0, 1, t, "T");
  t->AddColumn(c);
  ASSERT_TRUE(t->SetRowSize(5, true));
  std::memset(t->rowBuffer(), 'z', 5);
  ParseNode* value = Str("ab");
  EXPECT_TRUE(executor.AssignValue(value, c));
  EXPECT_EQ(std::memcmp(t->rowBuffer() + 1, "ab\0\0", 4), 0);
  delete value;
  DestroyRequest(request);
}

TEST(CreateWithoutEngineTest, IsRefusedWithoutCallingThroughNothing) {
  if (BoundEngine() != nullptr) GTEST_SKIP() << "an engine is bound in this process";
  std::string text = "CREATE TABLE T (A INTEGER);";
  Request* request = CreateRequest(&text[0], 0, nullptr);
  Parser parser(request, request->dict.get());
  parser.Parse();
  ASSERT_NE(request->parseRoot, nullptr);
  StatementExecutor executor(request);
  executor.Execute();
  char expected[kMessageBufferSize];
  FormatMessage(expected, sizeof expected, kMsgNoEngine, kEngineLibraryName);
  EXPECT_STREQ(request->errorText, expected);
  DestroyRequest(request);
}

#ifdef ZKSQL_STATEMENT_TESTS

// ---------------------------------------------------------------------------
// Statements over the real engine

std::string Message(int32_t id) {
  char text[kMessageBufferSize];
  LoadMessage(id, text, sizeof text);
  return text;
}

const char kInsertValues[] =
    "Erreur pour INSERT: les valeurs sp\xE9"
    "cifi\xE9"
    "es sont incorrectes";
const char kUpdateValues[] =
    "Erreur pour UPDATE: les valeurs sp\xE9"
    "cifi\xE9"
    "es sont incorrectes";

// One item of a file as the engine's dictionary describes it.
struct Item {
  std::string name;
  int type;
  int size;
  int key;
  bool composite;
  bool operator==(const Item& o) const {
    return name == o.name && type == o.type && size == o.size && key == o.key &&
           composite == o.composite;
  }
};

std::ostream& operator<<(std::ostream& out, const Item& i) {
  return out << i.name << ":" << i.type << "/" << i.size << "/key " << i.key
             << (i.composite ? "/composite" : "");
}

// What a statement left in its request.
struct Outcome {
  std::string error;
  std::string state;
  bool hasResult = false;
  std::string columns;            // result column names joined by ","
  std::vector<std::string> rows;  // result rows, values joined by "|"
};

class StatementTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(db_.ok()); }

  // Runs one statement as the request runner does.
  Outcome Run(const std::string& sql) {
    std::string text = sql + ";";
    Request* request = CreateRequest(&text[0], db_.handle(), nullptr);
    Parser parser(request, request->dict.get());
    parser.Parse();
    if (!HasError(request) && request->parseRoot != nullptr && request->dict->LoadDescriptions()) {
      auto* executor = new StatementExecutor(request);
      request->executor.reset(executor);
      auto* evaluator = new Evaluator(executor);
      request->evaluator.reset(evaluator);
      executor->AttachEvaluator(evaluator);
      Analyser analyser(request);
      if (analyser.Analyse(executor)) executor->Execute();
    }
    ReleaseCompiled(request);
    Outcome out;
    out.error = request->errorText;
    out.state = request->sqlState;
    if (ResultTable* result = request->result) {
      out.hasResult = true;
      for (int16_t i = 0; i < result->ColumnCount(); ++i) {
        if (i > 0) out.columns += ",";
        out.columns += result->ColumnAt(i)->name();
      }
      for (int32_t r = 1; r <= result->rowCount(); ++r) {
        result->ReadByNumber(r);
        out.rows.push_back(Line(result));
      }
    }
    DestroyRequest(request);
    return out;
  }

  // Runs statements that must succeed.
  void Setup(std::initializer_list<const char*> statements) {
    for (const char* sql : statements) {
      Outcome o = Run(sql);
      ASSERT_EQ(o.error, "") << sql;
    }
  }

  static std::string Line(Table* table) {
    std::string line;
    for (int16_t i = 0; i < table->ColumnCount(); ++i) {
      zksql::Column* c = table->ColumnAt(i);
      if (c->IsComposite()) continue;
      if (!line.empty()) line += "|";
      line += Shown(c);
    }
    return line;
  }

  // The records of a file in record-number order, every item shown.
  std::vector<std::string> Records(const char* file) {
    Request* request = CreateRequest(nullptr, db_.handle(), nullptr);
    FileTable* t = request->dict->FindOrCreateTable(file, nullptr);
    t->set_referenced(true);
    t->set_allColumns(true);
    std::vector<std::string> out;
    if (request->dict->LoadDescriptions()) {
      for (int32_t n = 1; (n = t->ReadByNumber(n)) > 0; ++n) out.push_back(Line(t));
    }
    DestroyRequest(request);
    return out;
  }

  // The items of a file as the engine's dictionary holds them.
  std::vector<Item> Items(const char* file) {
    unsigned char* block = InfoBlock();
    std::memset(block, 0, JX_INFO_BLOCK_SIZE);
    std::strcpy(reinterpret_cast<char*>(block), file);
    BoundEngine()->getInfos(db_.handle(), JX_INFO_DESCRIBE_FILE, block);
    int16_t count;
    std::memcpy(&count, block + JX_INFO_ITEM_COUNT, 2);
    std::vector<Item> items;
    for (int16_t j = 0; j < count; ++j) {
      std::memset(block, 0, JX_INFO_BLOCK_SIZE);
      std::strcpy(reinterpret_cast<char*>(block), file);
      std::memcpy(block + JX_INFO_ITEM_INDEX, &j, 2);
      BoundEngine()->getInfos(db_.handle(), JX_INFO_DESCRIBE_ITEM, block);
      int16_t size, type, composite;
      std::memcpy(&size, block + JX_INFO_ITEM_SIZE, 2);
      std::memcpy(&type, block + JX_INFO_ITEM_TYPE, 2);
      std::memcpy(&composite, block + JX_INFO_COMPOSITE, 2);
      items.push_back({reinterpret_cast<const char*>(block + JX_INFO_ITEM_NAME), type, size,
                       block[JX_INFO_KEY_KIND], composite != 0});
    }
    return items;
  }

  EngineDatabase db_;
};

using Rows = std::vector<std::string>;

// --- CREATE TABLE and CREATE INDEX ---------------------------------------

TEST_F(StatementTest, CreateTableDescribesEveryColumnTypeAndPrimaryKey) {
  Outcome o =
      Run("CREATE TABLE T (A CHAR(10), B INTEGER, C DATE, D TIME, E SMALLINT, F REAL, G DOUBLE "
          "PRECISION, H TINYINT, I BIGINT, J VARCHAR(5) NOT NULL PRIMARY KEY)");
  ASSERT_EQ(o.error, "");
  EXPECT_FALSE(o.hasResult);
  std::vector<Item> expected = {
      {"A", kTypeText, 11, 0, false}, {"B", kTypeInt32, 4, 0, false},
      {"C", kTypeDate, 9, 0, false},  {"D", kTypeTime, 4, 0, false},
      {"E", kTypeInt16, 2, 0, false}, {"F", kTypeFloat, 4, 0, false},
      {"G", kTypeReal, 8, 0, false},  {"H", kTypeInt8, 1, 0, false},
      {"I", kTypeInt32, 4, 0, false}, {"J", kTypeText, 6, 1, false},
  };
  EXPECT_EQ(Items("T"), expected);
}

TEST_F(StatementTest, APrimaryKeyRefusesADuplicateOnInsertAndUpdate) {
  Setup({"CREATE TABLE T (K INTEGER PRIMARY KEY, V CHAR(5))", "INSERT INTO T VALUES (1, 'a')",
         "INSERT INTO T VALUES (2, 'b')"});
  char duplicate[kMessageBufferSize];
  FormatMessage(duplicate, sizeof duplicate, kMsgDuplicateKey, "T");

  Outcome insert = Run("INSERT INTO T VALUES (1, 'c')");
  EXPECT_EQ(insert.error, duplicate);
  EXPECT_EQ(insert.state, "23000");

  // Without WHERE every record is tried: the first rewrite to K = 2
  // collides, the second is its own value again.
  Outcome update = Run("UPDATE T SET K = (2)");
  EXPECT_EQ(update.error, duplicate);
  EXPECT_EQ(update.state, "23000");

  Outcome where = Run("UPDATE T SET K = (1) WHERE V = 'b'");
  EXPECT_EQ(where.error, duplicate);
  EXPECT_EQ(where.state, "23000");
  EXPECT_EQ(Records("T"), (Rows{"1|a", "2|b"}));
}

TEST_F(StatementTest, CreateTableRefusesWhatTheDescriptionCannotCarry) {
  std::string longName(JX_NAME_MAX_LENGTH + 1, 'N');
  struct {
    std::string sql;
    const char* file;
  } cases[] = {
      {"CREATE TABLE " + longName + " (A INTEGER)", nullptr},
      {"CREATE TABLE T (" + longName + " INTEGER)", "T"},
      {"CREATE TABLE T (A CHAR(40000))", "T"},
  };
  for (const auto& c : cases) {
    Outcome o = Run(c.sql);
    EXPECT_NE(o.error, "") << c.sql;
    EXPECT_EQ(o.state, "00123") << c.sql;
    if (c.file != nullptr) {
      EXPECT_TRUE(Items(c.file).empty()) << c.sql;
    }
  }
  // A name of the greatest length is a name like any other.
  std::string fits(JX_NAME_MAX_LENGTH, 'N');
  EXPECT_EQ(Run("CREATE TABLE " + fits + " (" + fits + " INTEGER)").error, "");
  EXPECT_EQ(Items(fits.c_str()).size(), 1u);
}

TEST_F(StatementTest, TheEngineRefusalIsReportedWithItsMessage) {
  Setup({"CREATE TABLE T (A INTEGER)"});
  Outcome again = Run("CREATE TABLE T (B INTEGER)");
  EXPECT_NE(again.error, "");
  EXPECT_EQ(again.state, "00123");
  Outcome twice = Run("CREATE TABLE U (A INTEGER, A CHAR(2))");
  EXPECT_NE(twice.error, "");
  EXPECT_TRUE(Items("U").empty());
  EXPECT_EQ(Items("T").size(), 1u);
}

TEST_F(StatementTest, CreateIndexMakesKeys) {
  Setup({"CREATE TABLE T (A CHAR(4), B INTEGER, C INTEGER)", "INSERT INTO T VALUES ('x', 1, 1)",
         "INSERT INTO T VALUES ('y', 1, 2)"});
  EXPECT_EQ(Run("CREATE INDEX IA ON T (A)").error, "");
  EXPECT_EQ(Run("CREATE UNIQUE INDEX IC ON T (C)").error, "");
  EXPECT_EQ(Run("CREATE INDEX IBC ON T (B, C)").error, "");
  std::vector<Item> items = Items("T");
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].key, 2);
  EXPECT_EQ(items[1].key, 0);
  EXPECT_EQ(items[2].key, 1);
  EXPECT_EQ(items[3].name, "IBC");
  EXPECT_TRUE(items[3].composite);
  // A unique index over duplicate values is the engine's to refuse.
  Outcome unique = Run("CREATE UNIQUE INDEX IB ON T (B)");
  EXPECT_NE(unique.error, "");
  EXPECT_EQ(Items("T")[1].key, 0);
}

TEST_F(StatementTest, AnIndexedColumnListMustFitItsField) {
  Setup({"CREATE TABLE T (A INTEGER)"});
  // 23 names of 29 characters, each with its comma, take 690 characters;
  // a last name of 23 makes 713, the most the field holds with its
  // terminator, and one of 24 does not fit.
  std::string list;
  for (int i = 0; i < 23; ++i) list += std::string(29, static_cast<char>('A' + i)) + ",";
  ASSERT_EQ(list.size(), 690u);
  Outcome fits = Run("CREATE INDEX I ON T (" + list + std::string(23, 'X') + ")");
  EXPECT_NE(fits.error, "");
  EXPECT_EQ(fits.error.find("CREATE INDEX"), std::string::npos) << "the engine's own refusal";
  Outcome over = Run("CREATE INDEX I ON T (" + list + std::string(24, 'X') + ")");
  EXPECT_EQ(over.error,
            "Erreur pour CREATE INDEX: la liste des rubriques index\xE9"
            "es d\xE9"
            "passe 713 "
            "caract\xE8res");
  EXPECT_EQ(Items("T").size(), 1u);
}

// --- INSERT, UPDATE, DELETE -------------------------------------------

TEST_F(StatementTest, InsertWithAndWithoutColumnList) {
  Setup({"CREATE TABLE T (A INTEGER, B CHAR(5), C DOUBLE)"});
  EXPECT_EQ(Run("INSERT INTO T VALUES (1, 'a')").error, "");
  EXPECT_EQ(Run("INSERT INTO T VALUES (2, 'b', 2.5, 99)").error, "");
  EXPECT_EQ(Run("INSERT INTO T (C, NOSUCH, A) VALUES (3.5, 7, 3)").error, "");
  EXPECT_EQ(Records("T"), (Rows{"1|a|0", "2|b|2.5", "3||3.5"}));
}

TEST_F(StatementTest, InsertRefusesValuesItCannotAssign) {
  Setup({"CREATE TABLE T (A INTEGER, B CHAR(5))", "CREATE TABLE U (X INTEGER)",
         "INSERT INTO U VALUES (1)"});
  for (const char* sql : {"INSERT INTO T SELECT * FROM U", "INSERT INTO T (A) SELECT X FROM U",
                          "INSERT INTO T VALUES ('abc', 'x')", "INSERT INTO T VALUES (B, 'x')"}) {
    Outcome o = Run(sql);
    EXPECT_EQ(o.error, kInsertValues) << sql;
    EXPECT_EQ(o.state, "S1000") << sql;
  }
  EXPECT_TRUE(Records("T").empty());
}

TEST_F(StatementTest, UpdateWithoutWhereRewritesEveryRecord) {
  Setup({"CREATE TABLE T (A INTEGER, B CHAR(5))", "INSERT INTO T VALUES (1, 'a')",
         "INSERT INTO T VALUES (2, 'b')", "INSERT INTO T VALUES (3, 'c')",
         "DELETE FROM T WHERE A = 2"});
  EXPECT_EQ(Run("UPDATE T SET B = ('z'), A = (7)").error, "");
  EXPECT_EQ(Records("T"), (Rows{"7|z", "7|z"}));
}

TEST_F(StatementTest, UpdateWithAValueOfNoneRewritesNothing) {
  Setup({"CREATE TABLE T (A INTEGER, B CHAR(5))", "INSERT INTO T VALUES (1, 'a')",
         "INSERT INTO T VALUES (2, 'b')"});
  for (const char* sql : {"UPDATE T SET B = ('z'), A = (NULL)", "UPDATE T SET A = (DEFAULT)"}) {
    Outcome o = Run(sql);
    EXPECT_EQ(o.error, kUpdateValues) << sql;
    EXPECT_EQ(o.state, "S1000") << sql;
  }
  EXPECT_EQ(Records("T"), (Rows{"1|a", "2|b"}));
}

TEST_F(StatementTest, UpdateAndDeleteWithWhereTouchOnlySelectedRecords) {
  Setup({"CREATE TABLE T (A INTEGER, B CHAR(5))", "INSERT INTO T VALUES (1, 'a')",
         "INSERT INTO T VALUES (2, 'b')", "INSERT INTO T VALUES (3, 'c')"});
  Outcome update = Run("UPDATE T SET B = ('z') WHERE A >= 2");
  EXPECT_EQ(update.error, "");
  EXPECT_FALSE(update.hasResult);
  EXPECT_EQ(Records("T"), (Rows{"1|a", "2|z", "3|z"}));
  Outcome none = Run("UPDATE T SET B = ('q') WHERE A = 9");
  EXPECT_EQ(none.error, "");
  Outcome del = Run("DELETE FROM T WHERE B = 'z' AND A <> 3");
  EXPECT_EQ(del.error, "");
  EXPECT_FALSE(del.hasResult);
  EXPECT_EQ(Records("T"), (Rows{"1|a", "3|z"}));
  // A condition the analysis refuses changes nothing.
  EXPECT_NE(Run("DELETE FROM T WHERE NOSUCH = 1").error, "");
  EXPECT_EQ(Records("T").size(), 2u);
}

TEST_F(StatementTest, DeleteWithoutWhereEmptiesTheFile) {
  Setup({"CREATE TABLE T (A INTEGER)", "INSERT INTO T VALUES (1)", "INSERT INTO T VALUES (2)"});
  EXPECT_EQ(Run("DELETE FROM T").error, "");
  EXPECT_TRUE(Records("T").empty());
  EXPECT_EQ(Run("DELETE FROM T").error, "");
}

TEST_F(StatementTest, StatementsNotExecutedAreRefused) {
  Setup({"CREATE TABLE T (A INTEGER)"});
  for (const char* sql : {"DROP TABLE T", "DROP VIEW V", "CREATE VIEW V AS SELECT A FROM T"}) {
    Outcome o = Run(sql);
    EXPECT_EQ(o.error, Message(kMsgUnsupportedCommand)) << sql;
    EXPECT_EQ(o.state, "00123") << sql;
  }
  EXPECT_EQ(Items("T").size(), 1u);
}

// --- SELECT -------------------------------------------------------------

TEST_F(StatementTest, SelectRunsSubSelectsFirstAndSorts) {
  Setup({"CREATE TABLE T (A INTEGER, B CHAR(5))", "CREATE TABLE U (X INTEGER)",
         "INSERT INTO T VALUES (3, 'c')", "INSERT INTO T VALUES (1, 'a')",
         "INSERT INTO T VALUES (2, 'b')", "INSERT INTO U VALUES (2)", "INSERT INTO U VALUES (3)"});
  Outcome o = Run("SELECT B, A FROM T WHERE A IN (SELECT X FROM U) ORDER BY A DESC");
  EXPECT_EQ(o.error, "");
  EXPECT_EQ(o.columns, "B,A");
  EXPECT_EQ(o.rows, (Rows{"c|3", "b|2"}));
}

// --- Set operations -----------------------------------------------------

class CombinedSelectTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    Setup({"CREATE TABLE T (A INTEGER, S CHAR(3))", "CREATE TABLE U (B DOUBLE, L CHAR(20))",
           "INSERT INTO T VALUES (1, 'one')", "INSERT INTO T VALUES (2, 'two')",
           "INSERT INTO T VALUES (2, 'two')", "INSERT INTO T VALUES (3, 'thr')",
           "INSERT INTO U VALUES (2, 'two')", "INSERT INTO U VALUES (4, 'a longer text')",
           "INSERT INTO U VALUES (4, 'a longer text')"});
  }
};

TEST_F(CombinedSelectTest, CombineRowsByValue) {
  struct {
    const char* sql;
    Rows rows;
  } cases[] = {
      {"SELECT A, S FROM T UNION SELECT B, L FROM U ORDER BY A",
       {"1|one", "2|two", "3|thr", "4|a longer text"}},
      {"SELECT A, S FROM T UNION ALL SELECT B, L FROM U ORDER BY A",
       {"1|one", "2|two", "2|two", "2|two", "3|thr", "4|a longer text", "4|a longer text"}},
      {"SELECT A, S FROM T EXCEPT SELECT B, L FROM U ORDER BY A DESC", {"3|thr", "1|one"}},
      {"SELECT A, S FROM T INTERSECT SELECT B, L FROM U", {"2|two"}},
      {"SELECT B FROM U UNION SELECT A FROM T ORDER BY B", {"1", "2", "3", "4"}},
      // Texts of a CHAR(3) and a CHAR(20) column compare by their values.
      {"SELECT S FROM T INTERSECT SELECT L FROM U", {"two"}},
  };
  for (const auto& c : cases) {
    Outcome o = Run(c.sql);
    EXPECT_EQ(o.error, "") << c.sql;
    EXPECT_EQ(o.rows, c.rows) << c.sql;
  }
  EXPECT_EQ(Run("SELECT A, S FROM T UNION SELECT B, L FROM U").columns, "A,S");
}

TEST_F(CombinedSelectTest, RefusesResultsOfDifferentShape) {
  Outcome count = Run("SELECT A, S FROM T UNION SELECT B FROM U");
  EXPECT_EQ(count.error,
            "Erreur pour UNION: les deux SELECT n'ont pas le m\xEAme nombre de colonnes (2 et 1)");
  EXPECT_FALSE(count.hasResult);
  Outcome kind = Run("SELECT A, S FROM T EXCEPT SELECT L, B FROM U");
  EXPECT_EQ(kind.error,
            "Erreur pour EXCEPT: la colonne 1 n'est pas de m\xEAme nature dans les deux SELECT");
  EXPECT_FALSE(kind.hasResult);
}

#endif  // ZKSQL_STATEMENT_TESTS

}  // namespace
}  // namespace zksql
