// The driver through its own ODBC entry points, linked in (no driver
// manager): a fresh database in a scratch folder, connected to by
// connection string; statements, parameters, pieces of long values and
// memos, row counts, transactions, errors and the catalogue.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <string>
#include <vector>

#include "../engine/engine_fixture.h"
#include "../scratch_folder.h"
#include "engine_calls.h"
#include "jxengine.h"

namespace {

class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = zksql_testing::MakeScratchFolder("zksql-odbc");
    ASSERT_FALSE(dir_.empty());
    const zkhost::EngineCalls* engine = zkhost::Engine(nullptr);
    ASSERT_NE(engine, nullptr);
    int32_t h = engine->open(dir_.c_str(), JX_INIT_CREATE);
    ASSERT_GT(h, 0);
    engine->close(h);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_SUCCESS);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_), SQL_SUCCESS);
    std::string in = "DATABASE=" + dir_;
    ASSERT_EQ(SQLDriverConnect(dbc_, nullptr, Text(in), SQL_NTS, nullptr, 0, nullptr,
                               SQL_DRIVER_NOPROMPT),
              SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_), SQL_SUCCESS);
  }
  void TearDown() override {
    if (stmt_ != nullptr) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    if (dbc_ != nullptr) {
      SQLDisconnect(dbc_);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }
    if (env_ != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env_);
    zksql_testing::RemoveScratchFolder(dir_);
  }

  static SQLCHAR* Text(const std::string& s) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str()));
  }
  SQLRETURN Exec(const std::string& sql) {
    SQLFreeStmt(stmt_, SQL_CLOSE);
    return SQLExecDirect(stmt_, Text(sql), SQL_NTS);
  }
  void Ok(const std::string& sql) {
    SQLRETURN r = Exec(sql);
    ASSERT_TRUE(SQL_SUCCEEDED(r)) << sql << ": " << Error(SQL_HANDLE_STMT, stmt_);
  }
  // The first diagnostic: "STATE message".
  static std::string Error(SQLSMALLINT type, SQLHANDLE h) {
    SQLCHAR state[6] = "", message[512] = "";
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (SQLGetDiagRec(type, h, 1, state, &native, message, sizeof message, &length) != SQL_SUCCESS)
      return "";
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
  }
  // Every row of the open result, columns read as UTF-8 text and joined by "|".
  std::vector<std::string> Rows() {
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt_, &columns);
    std::vector<std::string> rows;
    while (SQLFetch(stmt_) == SQL_SUCCESS) {
      std::string row;
      for (SQLUSMALLINT c = 1; c <= columns; ++c) {
        char value[512];
        SQLLEN length = 0;
        SQLGetData(stmt_, c, SQL_C_CHAR, value, sizeof value, &length);
        row += (c > 1 ? "|" : "") + (length == SQL_NULL_DATA ? std::string("NULL") : value);
      }
      rows.push_back(row);
    }
    return rows;
  }

  // Column `column` of the current row read as UTF-8 text in pieces of 15
  // bytes and a terminator: each cut piece warns 01004 and gives the
  // length still to read.
  std::string TextInPieces(SQLUSMALLINT column) {
    std::string read;
    char piece[16];
    SQLLEN length = 0, total = -1;
    SQLRETURN r;
    while ((r = SQLGetData(stmt_, column, SQL_C_CHAR, piece, sizeof piece, &length)) ==
           SQL_SUCCESS_WITH_INFO) {
      EXPECT_EQ(Error(SQL_HANDLE_STMT, stmt_).substr(0, 5), "01004");
      if (total < 0) total = length;
      EXPECT_EQ(length, total - static_cast<SQLLEN>(read.size()));
      read += piece;
    }
    EXPECT_EQ(r, SQL_SUCCESS) << Error(SQL_HANDLE_STMT, stmt_);
    if (r != SQL_SUCCESS) return read;
    read += piece;
    if (total >= 0) {
      EXPECT_EQ(static_cast<SQLLEN>(read.size()), total);
    }
    return read;
  }

  std::string dir_;
  SQLHENV env_ = nullptr;
  SQLHDBC dbc_ = nullptr;
  SQLHSTMT stmt_ = nullptr;
};

TEST_F(Driver, CreatesInsertsAndSelectsWithTypedColumns) {
  Ok("CREATE TABLE T (N INTEGER, NOM CHAR(20), PRIX DOUBLE, D DATE, H TIME)");
  Ok("INSERT INTO T VALUES (1, 'Bœuf', 2.5, '2024-02-29', '10:20')");
  Ok("SELECT N, NOM, PRIX, D, H FROM T");
  struct Expected {
    const char* name;
    SQLSMALLINT type;
  } expected[] = {{"N", SQL_INTEGER}, {"NOM", SQL_VARCHAR}, {"PRIX", SQL_DOUBLE},
                  {"D", SQL_TYPE_DATE}, {"H", SQL_TYPE_TIME}};
  for (SQLUSMALLINT c = 1; c <= 5; ++c) {
    SQLCHAR name[64];
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    ASSERT_EQ(SQLDescribeCol(stmt_, c, name, sizeof name, &nameLength, &type, &size, &digits,
                             &nullable),
              SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(name), expected[c - 1].name);
    EXPECT_EQ(type, expected[c - 1].type) << expected[c - 1].name;
  }
  EXPECT_EQ(Rows(), std::vector<std::string>{"1|Bœuf|2.5|2024-02-29|10:20:00"});

  // The same row through bound columns and typed GetData.
  Ok("SELECT N, PRIX, D FROM T");
  SQLINTEGER n = 0;
  SQLLEN nLength = 0;
  ASSERT_EQ(SQLBindCol(stmt_, 1, SQL_C_SLONG, &n, 0, &nLength), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt_), SQL_SUCCESS);
  EXPECT_EQ(n, 1);
  double prix = 0;
  ASSERT_EQ(SQLGetData(stmt_, 2, SQL_C_DOUBLE, &prix, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(prix, 2.5);
  DATE_STRUCT d{};
  ASSERT_EQ(SQLGetData(stmt_, 3, SQL_C_TYPE_DATE, &d, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(d.year, 2024);
  EXPECT_EQ(d.month, 2);
  EXPECT_EQ(d.day, 29);
  EXPECT_EQ(SQLFetch(stmt_), SQL_NO_DATA);
  EXPECT_EQ(SQLFetchScroll(stmt_, SQL_FETCH_FIRST, 0), SQL_ERROR);
  EXPECT_EQ(Error(SQL_HANDLE_STMT, stmt_).substr(0, 5), "HY106");
}

TEST_F(Driver, ParametersAreLiteralsThatCannotChangeTheStatement) {
  Ok("CREATE TABLE P (N INTEGER, S CHAR(40), R DOUBLE, D DATE)");
  struct Case {
    SQLINTEGER n;
    const char* s;
    double r;
    DATE_STRUCT d;
  } cases[] = {{1, "l'été", 1.25, {2024, 2, 29}},
               {2, "prix en €", -0.5, {1999, 12, 31}},
               {3, "œuvre \"citée\"", 1e10, {2000, 1, 1}}};
  ASSERT_EQ(SQLPrepare(stmt_, Text("INSERT INTO P VALUES (?, ?, ?, ?)"), SQL_NTS), SQL_SUCCESS);
  SQLSMALLINT count = 0;
  ASSERT_EQ(SQLNumParams(stmt_, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 4);
  for (Case& c : cases) {
    SQLLEN nts = SQL_NTS;
    SQLBindParameter(stmt_, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &c.n, 0, nullptr);
    SQLBindParameter(stmt_, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0,
                     const_cast<char*>(c.s), 0, &nts);
    SQLBindParameter(stmt_, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &c.r, 0, nullptr);
    SQLBindParameter(stmt_, 4, SQL_PARAM_INPUT, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 0, 0, &c.d, 0,
                     nullptr);
    ASSERT_EQ(SQLExecute(stmt_), SQL_SUCCESS) << Error(SQL_HANDLE_STMT, stmt_);
  }
  SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
  for (const Case& c : cases) {
    ASSERT_EQ(SQLPrepare(stmt_, Text("SELECT N, R, D FROM P WHERE S = ?"), SQL_NTS), SQL_SUCCESS);
    SQLLEN nts = SQL_NTS;
    SQLBindParameter(stmt_, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0,
                     const_cast<char*>(c.s), 0, &nts);
    ASSERT_EQ(SQLExecute(stmt_), SQL_SUCCESS) << Error(SQL_HANDLE_STMT, stmt_);
    std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 1u) << c.s;
    char want[64];
    snprintf(want, sizeof want, "%d|", c.n);
    EXPECT_EQ(rows[0].substr(0, strlen(want)), want) << c.s;
    SQLFreeStmt(stmt_, SQL_CLOSE);
  }
  // A value that would be an injection as text matches nothing.
  const char* injection = "x' OR 'a' = 'a";
  ASSERT_EQ(SQLPrepare(stmt_, Text("SELECT N FROM P WHERE S = ?"), SQL_NTS), SQL_SUCCESS);
  SQLLEN nts = SQL_NTS;
  SQLBindParameter(stmt_, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0,
                   const_cast<char*>(injection), 0, &nts);
  ASSERT_EQ(SQLExecute(stmt_), SQL_SUCCESS);
  EXPECT_TRUE(Rows().empty());
  // A character Windows-1252 cannot hold is refused, and named.
  const char* check = "ok ✓";
  ASSERT_EQ(SQLExecute(stmt_), SQL_SUCCESS);
  SQLFreeStmt(stmt_, SQL_CLOSE);
  SQLBindParameter(stmt_, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 40, 0,
                   const_cast<char*>(check), 0, &nts);
  EXPECT_EQ(SQLExecute(stmt_), SQL_ERROR);
  std::string error = Error(SQL_HANDLE_STMT, stmt_);
  EXPECT_EQ(error.substr(0, 5), "22018");
  EXPECT_NE(error.find("U+2713"), std::string::npos) << error;
}

TEST_F(Driver, LongValuesReadInPieces) {
  Ok("CREATE TABLE L (S CHAR(200))");
  std::string value;
  for (int i = 0; i < 30; ++i) value += "é" + std::to_string(i % 10);
  Ok("INSERT INTO L VALUES ('" + value + "')");
  Ok("SELECT S FROM L");
  ASSERT_EQ(SQLFetch(stmt_), SQL_SUCCESS);
  EXPECT_EQ(TextInPieces(1), value);
  char piece[16];
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt_, 1, SQL_C_CHAR, piece, sizeof piece, &length), SQL_NO_DATA);
}

TEST_F(Driver, RowCountsAndTransactions) {
  Ok("CREATE TABLE C (N INTEGER)");
  for (int i = 1; i <= 5; ++i) Ok("INSERT INTO C VALUES (" + std::to_string(i) + ")");
  SQLLEN count = 0;
  Ok("UPDATE C SET N = (10) WHERE N > 2");
  SQLRowCount(stmt_, &count);
  EXPECT_EQ(count, 3);
  Ok("DELETE FROM C WHERE N = 10");
  SQLRowCount(stmt_, &count);
  EXPECT_EQ(count, 3);

  ASSERT_EQ(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
            SQL_SUCCESS);
  Ok("INSERT INTO C VALUES (7)");
  ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT), SQL_SUCCESS);
  Ok("INSERT INTO C VALUES (8)");
  ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK), SQL_SUCCESS);
  Ok("SELECT N FROM C");
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1", "2", "7"}));
}

TEST_F(Driver, CancelStopsARunningStatement) {
  Ok("CREATE TABLE K (N INTEGER)");
  SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
  for (int i = 0; i < 400; ++i) Ok("INSERT INTO K VALUES (" + std::to_string(i) + ")");
  SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT);
  SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
  std::atomic<bool> done(false);
  std::thread canceller([&] {
    while (!done) {
      SQLCancel(stmt_);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  SQLRETURN r = Exec("SELECT A.N FROM K A, K B, K C WHERE A.N + B.N + C.N = -1");
  done = true;
  canceller.join();
  EXPECT_EQ(r, SQL_ERROR);
  EXPECT_EQ(Error(SQL_HANDLE_STMT, stmt_).substr(0, 5), "HY008");
  // The next statement runs normally.
  Ok("SELECT N FROM K WHERE N = 7");
  EXPECT_EQ(Rows(), std::vector<std::string>{"7"});
}

TEST_F(Driver, ErrorsCarryTheLibrarysStateAndFrenchText) {
  EXPECT_EQ(Exec("SELECT * FROM ABSENTE"), SQL_ERROR);
  std::string error = Error(SQL_HANDLE_STMT, stmt_);
  EXPECT_NE(error.find("ABSENTE"), std::string::npos) << error;
  EXPECT_NE(error.find("inexistante"), std::string::npos) << error;
  SQLINTEGER number = 0;
  SQLGetDiagField(SQL_HANDLE_STMT, stmt_, 0, SQL_DIAG_NUMBER, &number, 0, nullptr);
  EXPECT_EQ(number, 1);
  std::string longest(16400, ' ');
  EXPECT_EQ(Exec("SELECT 1" + longest), SQL_ERROR);
  EXPECT_NE(Error(SQL_HANDLE_STMT, stmt_).find("16382"), std::string::npos);
  // A folder without a database.
  SQLHDBC other = nullptr;
  SQLAllocHandle(SQL_HANDLE_DBC, env_, &other);
  std::string in = "DATABASE=" + dir_ + "/absent";
  EXPECT_EQ(SQLDriverConnect(other, nullptr, Text(in), SQL_NTS, nullptr, 0, nullptr,
                             SQL_DRIVER_NOPROMPT),
            SQL_ERROR);
  EXPECT_EQ(Error(SQL_HANDLE_DBC, other).substr(0, 5), "08001");
  SQLFreeHandle(SQL_HANDLE_DBC, other);
}

TEST_F(Driver, CatalogueListsTablesColumnsAndKeys) {
  Ok("CREATE TABLE CLIENTS (NUM INTEGER PRIMARY KEY, NOM CHAR(20))");
  Ok("CREATE INDEX CLIENTS_NOM ON CLIENTS (NOM)");
  SQLFreeStmt(stmt_, SQL_CLOSE);
  ASSERT_EQ(SQLTables(stmt_, nullptr, 0, nullptr, 0, Text("CLI%"), SQL_NTS, nullptr, 0),
            SQL_SUCCESS);
  EXPECT_EQ(Rows(), std::vector<std::string>{"NULL|NULL|CLIENTS|TABLE|NULL"});
  SQLFreeStmt(stmt_, SQL_CLOSE);
  ASSERT_EQ(SQLColumns(stmt_, nullptr, 0, nullptr, 0, Text("clients"), SQL_NTS, nullptr, 0),
            SQL_SUCCESS);
  std::vector<std::string> columns = Rows();
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].substr(0, 33), "NULL|NULL|CLIENTS|NUM|4|INTEGER|1");
  EXPECT_EQ(columns[1].substr(0, 34), "NULL|NULL|CLIENTS|NOM|12|VARCHAR|2");
  SQLFreeStmt(stmt_, SQL_CLOSE);
  ASSERT_EQ(SQLPrimaryKeys(stmt_, nullptr, 0, nullptr, 0, Text("CLIENTS"), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(Rows(), std::vector<std::string>{"NULL|NULL|CLIENTS|NUM|1|CLIENTS_NUM"});
  SQLFreeStmt(stmt_, SQL_CLOSE);
  ASSERT_EQ(SQLStatistics(stmt_, nullptr, 0, nullptr, 0, Text("CLIENTS"), SQL_NTS, SQL_INDEX_ALL,
                          SQL_QUICK),
            SQL_SUCCESS);
  EXPECT_EQ(Rows().size(), 2u);
  SQLFreeStmt(stmt_, SQL_CLOSE);
  ASSERT_EQ(SQLGetTypeInfo(stmt_, SQL_VARCHAR), SQL_SUCCESS);
  std::vector<std::string> types = Rows();
  ASSERT_EQ(types.size(), 1u);
  EXPECT_EQ(types[0].substr(0, 15), "VARCHAR|12|255|");
  SQLUSMALLINT supported = 0;
  SQLGetFunctions(dbc_, SQL_API_SQLTABLES, &supported);
  EXPECT_EQ(supported, SQL_TRUE);
  SQLGetFunctions(dbc_, SQL_API_SQLPROCEDURES, &supported);
  EXPECT_EQ(supported, SQL_FALSE);
  char name[32];
  SQLGetInfo(dbc_, SQL_DBMS_NAME, name, sizeof name, nullptr);
  EXPECT_STREQ(name, "zksql");
}

TEST_F(Driver, WideEntryPointsSpeakUtf16) {
  Ok("CREATE TABLE W (S CHAR(20))");
  std::u16string insert = u"INSERT INTO W VALUES ('cœur €')";
  ASSERT_EQ(SQLExecDirectW(stmt_, reinterpret_cast<SQLWCHAR*>(&insert[0]), SQL_NTS), SQL_SUCCESS);
  std::u16string select = u"SELECT S FROM W";
  ASSERT_EQ(SQLExecDirectW(stmt_, reinterpret_cast<SQLWCHAR*>(&select[0]), SQL_NTS), SQL_SUCCESS);
  SQLWCHAR name[8];
  SQLSMALLINT nameLength = 0;
  ASSERT_EQ(SQLDescribeColW(stmt_, 1, name, 8, &nameLength, nullptr, nullptr, nullptr, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(nameLength, 1);
  ASSERT_EQ(SQLFetch(stmt_), SQL_SUCCESS);
  SQLWCHAR value[32];
  SQLLEN length = 0;
  ASSERT_EQ(SQLGetData(stmt_, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(value)), u"cœur €");
  EXPECT_EQ(length, 12);
  SQLFreeStmt(stmt_, SQL_CLOSE);
  std::u16string refused = u"SELECT S FROM W WHERE S = '✓'";
  EXPECT_EQ(SQLExecDirectW(stmt_, reinterpret_cast<SQLWCHAR*>(&refused[0]), SQL_NTS), SQL_ERROR);
  SQLWCHAR state[6];
  SQLWCHAR message[256];
  SQLINTEGER native = 0;
  SQLSMALLINT messageLength = 0;
  ASSERT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt_, 1, state, &native, message, 256,
                           &messageLength),
            SQL_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(state)), u"22018");
}

// Memos, which SQL cannot write, are written through the engine beside the
// driver's connection; the driver describes them as long text and long
// binary data and hands them out in pieces.
TEST_F(Driver, MemosAreLongDataReadInPieces) {
  const std::string text = std::string(300, 'a') + " fin de la note \xE9t\xE9";  // Windows-1252
  const unsigned char bytes[] = {0x01, 0xAB, 0x00, 0xCD, 0xEF};
  {
    jxtest::Db db(dir_);
    ASSERT_EQ(db.MakeFile("M", {{"ID", 'L', 0, 1}, {"NOTE", 'M'}, {"PIC", 'G'}}), 0)
        << db.message;
    ASSERT_EQ(db.Write("M", 0, jxtest::Image(13).I32At(1, 7).bytes), 0);
    jxtest::SetI16(db.rec, JX_REC_MEMO_NUMBER, 1);
    jxtest::SetPtr(db.rec, JX_REC_MEMO_DATA, text.data());
    ASSERT_EQ(XZK_ECRIREMEMO(db.handle, int32_t(text.size()), db.rec), 0);
    // A binary memo goes to the engine in a host memo block.
    std::vector<unsigned char> block(60 + sizeof bytes, 0);
    jxtest::SetI16(block.data(), JX_MEMO_HEADER_SIZE, 60);
    jxtest::SetI32(block.data(), JX_MEMO_DATA_LENGTH, int32_t(sizeof bytes));
    std::memcpy(&block[60], bytes, sizeof bytes);
    jxtest::SetI16(db.rec, JX_REC_MEMO_NUMBER, 2);
    jxtest::SetPtr(db.rec, JX_REC_MEMO_DATA, block.data());
    ASSERT_EQ(XZK_ECRIREMEMO(db.handle, int32_t(block.size()), db.rec), 0);
  }
  Ok("SELECT ID, NOTE, PIC FROM M");
  SQLSMALLINT type = 0;
  ASSERT_EQ(SQLDescribeCol(stmt_, 2, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(type, SQL_LONGVARCHAR);
  ASSERT_EQ(SQLDescribeCol(stmt_, 3, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(type, SQL_LONGVARBINARY);
  ASSERT_EQ(SQLFetch(stmt_), SQL_SUCCESS);
  EXPECT_EQ(TextInPieces(2), std::string(300, 'a') + " fin de la note \xC3\xA9t\xC3\xA9");
  // The bytes in pieces of 2.
  std::string binary;
  unsigned char two[2];
  SQLLEN length = 0;
  SQLRETURN r;
  while ((r = SQLGetData(stmt_, 3, SQL_C_BINARY, two, sizeof two, &length)) ==
         SQL_SUCCESS_WITH_INFO) {
    binary.append(reinterpret_cast<char*>(two), sizeof two);
  }
  ASSERT_EQ(r, SQL_SUCCESS) << Error(SQL_HANDLE_STMT, stmt_);
  binary.append(reinterpret_cast<char*>(two), static_cast<size_t>(length));
  EXPECT_EQ(binary, std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
  EXPECT_EQ(SQLGetData(stmt_, 3, SQL_C_BINARY, two, sizeof two, &length), SQL_NO_DATA);
}

}  // namespace
