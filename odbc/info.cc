// What the driver says of itself and of the data source: SQLGetInfo's
// answers (those applications such as pyodbc and isql ask for), the list of
// functions implemented (SQLGetFunctions) and the data types CREATE TABLE
// and .create offer (SQLGetTypeInfo).
#include <cstring>

#include "api.h"
#include "jxengine.h"

namespace zkodbc {
namespace {

// The functions the driver exports.
const SQLUSMALLINT kImplemented[] = {
    SQL_API_SQLALLOCHANDLE, SQL_API_SQLFREEHANDLE, SQL_API_SQLFREESTMT,
    SQL_API_SQLSETENVATTR, SQL_API_SQLGETENVATTR, SQL_API_SQLCONNECT,
    SQL_API_SQLDRIVERCONNECT, SQL_API_SQLDISCONNECT, SQL_API_SQLSETCONNECTATTR,
    SQL_API_SQLGETCONNECTATTR, SQL_API_SQLSETSTMTATTR, SQL_API_SQLGETSTMTATTR,
    SQL_API_SQLEXECDIRECT, SQL_API_SQLPREPARE, SQL_API_SQLEXECUTE, SQL_API_SQLNUMPARAMS,
    SQL_API_SQLBINDPARAMETER, SQL_API_SQLNUMRESULTCOLS, SQL_API_SQLDESCRIBECOL,
    SQL_API_SQLCOLATTRIBUTE, SQL_API_SQLFETCH, SQL_API_SQLFETCHSCROLL, SQL_API_SQLBINDCOL,
    SQL_API_SQLGETDATA, SQL_API_SQLMORERESULTS, SQL_API_SQLCLOSECURSOR, SQL_API_SQLROWCOUNT,
    SQL_API_SQLGETDIAGREC, SQL_API_SQLGETDIAGFIELD, SQL_API_SQLCANCEL, SQL_API_SQLENDTRAN,
    SQL_API_SQLTABLES, SQL_API_SQLCOLUMNS, SQL_API_SQLSTATISTICS, SQL_API_SQLPRIMARYKEYS,
    SQL_API_SQLGETTYPEINFO, SQL_API_SQLGETINFO, SQL_API_SQLGETFUNCTIONS,
};

enum Kind { kText, kSmall, kInteger };

struct Answer {
  Kind kind;
  std::string text;
  SQLUINTEGER number;
};

Answer TextAnswer(const std::string& t) { return {kText, t, 0}; }
Answer Small(SQLUINTEGER n) { return {kSmall, "", n}; }
Answer Integer(SQLUINTEGER n) { return {kInteger, "", n}; }

Answer InfoOf(Connection* c, SQLUSMALLINT type) {
  switch (type) {
    case SQL_DRIVER_NAME: return TextAnswer("libzksqlodbc.so");
    case SQL_DRIVER_VER: return TextAnswer("00.01.0000");
    case SQL_DRIVER_ODBC_VER: return TextAnswer("03.00");
    case SQL_DBMS_NAME: return TextAnswer("zksql");
    case SQL_DBMS_VER: return TextAnswer("00.01.0000");
    case SQL_DATA_SOURCE_NAME: return TextAnswer(c->dataSource);
    case SQL_DATABASE_NAME: return TextAnswer(c->db.folder());
    case SQL_SERVER_NAME: return TextAnswer("");
    case SQL_USER_NAME: return TextAnswer("");
    case SQL_DATA_SOURCE_READ_ONLY: return TextAnswer("N");
    case SQL_ACCESSIBLE_TABLES: return TextAnswer("Y");
    case SQL_ACCESSIBLE_PROCEDURES: return TextAnswer("N");
    case SQL_PROCEDURES: return TextAnswer("N");
    case SQL_EXPRESSIONS_IN_ORDERBY: return TextAnswer("N");
    case SQL_MULT_RESULT_SETS: return TextAnswer("N");
    case SQL_MULTIPLE_ACTIVE_TXN: return TextAnswer("N");
    case SQL_NEED_LONG_DATA_LEN: return TextAnswer("N");
    case SQL_COLUMN_ALIAS: return TextAnswer("N");
    case SQL_ORDER_BY_COLUMNS_IN_SELECT: return TextAnswer("N");
    case SQL_LIKE_ESCAPE_CLAUSE: return TextAnswer("N");
    case SQL_OUTER_JOINS: return TextAnswer("N");
    case SQL_INTEGRITY: return TextAnswer("N");
    case SQL_ROW_UPDATES: return TextAnswer("N");
    case SQL_DESCRIBE_PARAMETER: return TextAnswer("N");
    case SQL_CATALOG_NAME: return TextAnswer("N");
    case SQL_CATALOG_NAME_SEPARATOR: return TextAnswer("");
    case SQL_CATALOG_TERM: return TextAnswer("");
    case SQL_SCHEMA_TERM: return TextAnswer("");
    case SQL_TABLE_TERM: return TextAnswer("table");
    case SQL_PROCEDURE_TERM: return TextAnswer("");
    case SQL_SEARCH_PATTERN_ESCAPE: return TextAnswer("\\");
    case SQL_SPECIAL_CHARACTERS: return TextAnswer("_#@");
    case SQL_KEYWORDS: return TextAnswer("");
    // The dialect has no quoted identifiers: both quotes delimit texts.
    case SQL_IDENTIFIER_QUOTE_CHAR: return TextAnswer(" ");
    case SQL_IDENTIFIER_CASE: return Small(SQL_IC_UPPER);
    case SQL_QUOTED_IDENTIFIER_CASE: return Small(SQL_IC_UPPER);
    case SQL_MAX_COLUMN_NAME_LEN: return Small(JX_NAME_MAX_LENGTH);
    case SQL_MAX_TABLE_NAME_LEN: return Small(JX_NAME_MAX_LENGTH);
    case SQL_MAX_IDENTIFIER_LEN: return Small(JX_NAME_MAX_LENGTH);
    case SQL_MAX_SCHEMA_NAME_LEN: return Small(0);
    case SQL_MAX_CATALOG_NAME_LEN: return Small(0);
    case SQL_MAX_CURSOR_NAME_LEN: return Small(0);
    case SQL_MAX_PROCEDURE_NAME_LEN: return Small(0);
    case SQL_MAX_USER_NAME_LEN: return Small(0);
    case SQL_MAX_STATEMENT_LEN: return Integer(static_cast<SQLUINTEGER>(kMaxStatementBytes));
    case SQL_MAX_CHAR_LITERAL_LEN: return Integer(255);
    case SQL_MAX_COLUMNS_IN_SELECT: return Small(0);
    case SQL_MAX_CONCURRENT_ACTIVITIES: return Small(0);
    case SQL_MAX_DRIVER_CONNECTIONS: return Small(0);
    case SQL_TXN_CAPABLE: return Small(SQL_TC_ALL);
    case SQL_DEFAULT_TXN_ISOLATION: return Integer(SQL_TXN_READ_COMMITTED);
    case SQL_TXN_ISOLATION_OPTION: return Integer(SQL_TXN_READ_COMMITTED);
    case SQL_CURSOR_COMMIT_BEHAVIOR: return Small(SQL_CB_PRESERVE);
    case SQL_CURSOR_ROLLBACK_BEHAVIOR: return Small(SQL_CB_PRESERVE);
    case SQL_SCROLL_OPTIONS: return Integer(SQL_SO_FORWARD_ONLY);
    case SQL_SCROLL_CONCURRENCY: return Integer(SQL_SCCO_READ_ONLY);
    case SQL_STATIC_CURSOR_ATTRIBUTES1: return Integer(0);
    case SQL_STATIC_CURSOR_ATTRIBUTES2: return Integer(0);
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES1: return Integer(0);
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES2: return Integer(0);
    case SQL_KEYSET_CURSOR_ATTRIBUTES1: return Integer(0);
    case SQL_KEYSET_CURSOR_ATTRIBUTES2: return Integer(0);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1: return Integer(SQL_CA1_NEXT);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2: return Integer(SQL_CA2_READ_ONLY_CONCURRENCY);
    case SQL_FETCH_DIRECTION: return Integer(SQL_FD_FETCH_NEXT);
    case SQL_GETDATA_EXTENSIONS: return Integer(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER);
    case SQL_CONCAT_NULL_BEHAVIOR: return Small(SQL_CB_NON_NULL);
    case SQL_NULL_COLLATION: return Small(SQL_NC_LOW);
    case SQL_NON_NULLABLE_COLUMNS: return Small(SQL_NNC_NULL);
    case SQL_CORRELATION_NAME: return Small(SQL_CN_ANY);
    case SQL_GROUP_BY: return Small(SQL_GB_NOT_SUPPORTED);
    case SQL_ODBC_INTERFACE_CONFORMANCE: return Integer(SQL_OIC_CORE);
    case SQL_ODBC_SQL_CONFORMANCE: return Small(SQL_OSC_MINIMUM);
    case SQL_SQL_CONFORMANCE: return Integer(SQL_SC_SQL92_ENTRY);
    case SQL_ODBC_API_CONFORMANCE: return Small(SQL_OAC_LEVEL1);
    case SQL_PARAM_ARRAY_ROW_COUNTS: return Integer(SQL_PARC_NO_BATCH);
    case SQL_PARAM_ARRAY_SELECTS: return Integer(SQL_PAS_NO_SELECT);
    case SQL_BATCH_SUPPORT: return Integer(0);
    case SQL_BATCH_ROW_COUNT: return Integer(0);
    case SQL_ASYNC_MODE: return Integer(SQL_AM_NONE);
    case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS: return Integer(0);
    case SQL_CURSOR_SENSITIVITY: return Integer(SQL_UNSPECIFIED);
    case SQL_FILE_USAGE: return Small(SQL_FILE_NOT_SUPPORTED);
    case SQL_POS_OPERATIONS: return Integer(0);
    case SQL_STATIC_SENSITIVITY: return Integer(0);
    case SQL_LOCK_TYPES: return Integer(0);
    case SQL_BOOKMARK_PERSISTENCE: return Integer(0);
    case SQL_DATETIME_LITERALS: return Integer(SQL_DL_SQL92_DATE);
    case SQL_TIMEDATE_FUNCTIONS: return Integer(0);
    case SQL_STRING_FUNCTIONS: return Integer(0);
    case SQL_NUMERIC_FUNCTIONS: return Integer(0);
    case SQL_SYSTEM_FUNCTIONS: return Integer(0);
    case SQL_CONVERT_FUNCTIONS: return Integer(0);
    case SQL_SCHEMA_USAGE: return Integer(0);
    case SQL_CATALOG_USAGE: return Integer(0);
    case SQL_SQL92_PREDICATES:
      return Integer(SQL_SP_BETWEEN | SQL_SP_COMPARISON | SQL_SP_IN | SQL_SP_LIKE |
                     SQL_SP_ISNULL | SQL_SP_ISNOTNULL | SQL_SP_EXISTS);
    case SQL_UNION: return Integer(SQL_U_UNION);
    case SQL_SUBQUERIES: return Integer(SQL_SQ_IN | SQL_SQ_EXISTS | SQL_SQ_COMPARISON);
    default:
      throw DriverError("HY096", DriverMessage("information type " + std::to_string(type) +
                                               " is not answered"));
  }
}

}  // namespace

SQLRETURN GetInfo(Connection* c, SQLUSMALLINT type, SQLPOINTER value, const TextOut& out,
                  SQLSMALLINT* length) {
  Answer a = InfoOf(c, type);
  if (a.kind == kText) return PutText(c, a.text, out, length);
  if (a.kind == kSmall) {
    SQLUSMALLINT n = static_cast<SQLUSMALLINT>(a.number);
    if (value != nullptr) memcpy(value, &n, sizeof n);
    if (length != nullptr) *length = sizeof n;
  } else {
    if (value != nullptr) memcpy(value, &a.number, sizeof a.number);
    if (length != nullptr) *length = sizeof a.number;
  }
  return SQL_SUCCESS;
}

SQLRETURN GetFunctions(Connection* c, SQLUSMALLINT function, SQLUSMALLINT* supported) {
  (void)c;
  if (supported == nullptr) return SQL_SUCCESS;
  if (function == SQL_API_ODBC3_ALL_FUNCTIONS) {
    memset(supported, 0, sizeof(SQLUSMALLINT) * SQL_API_ODBC3_ALL_FUNCTIONS_SIZE);
    for (SQLUSMALLINT f : kImplemented) supported[f >> 4] |= static_cast<SQLUSMALLINT>(1 << (f & 15));
    return SQL_SUCCESS;
  }
  if (function == SQL_API_ALL_FUNCTIONS) {
    memset(supported, 0, sizeof(SQLUSMALLINT) * 100);
    for (SQLUSMALLINT f : kImplemented) {
      if (f < 100) supported[f] = SQL_TRUE;
    }
    return SQL_SUCCESS;
  }
  *supported = SQL_FALSE;
  for (SQLUSMALLINT f : kImplemented) {
    if (f == function) *supported = SQL_TRUE;
  }
  return SQL_SUCCESS;
}

SQLRETURN GetTypeInfo(Statement* s, SQLSMALLINT dataType) {
  std::vector<ColumnInfo> header;
  const std::pair<const char*, SQLSMALLINT> names[] = {
      {"TYPE_NAME", SQL_VARCHAR}, {"DATA_TYPE", SQL_SMALLINT}, {"COLUMN_SIZE", SQL_INTEGER},
      {"LITERAL_PREFIX", SQL_VARCHAR}, {"LITERAL_SUFFIX", SQL_VARCHAR},
      {"CREATE_PARAMS", SQL_VARCHAR}, {"NULLABLE", SQL_SMALLINT},
      {"CASE_SENSITIVE", SQL_SMALLINT}, {"SEARCHABLE", SQL_SMALLINT},
      {"UNSIGNED_ATTRIBUTE", SQL_SMALLINT}, {"FIXED_PREC_SCALE", SQL_SMALLINT},
      {"AUTO_UNIQUE_VALUE", SQL_SMALLINT}, {"LOCAL_TYPE_NAME", SQL_VARCHAR},
      {"MINIMUM_SCALE", SQL_SMALLINT}, {"MAXIMUM_SCALE", SQL_SMALLINT},
      {"SQL_DATA_TYPE", SQL_SMALLINT}, {"SQL_DATETIME_SUB", SQL_SMALLINT},
      {"NUM_PREC_RADIX", SQL_INTEGER}, {"INTERVAL_PRECISION", SQL_SMALLINT}};
  for (const auto& n : names) header.push_back(ColumnOfType(n.first, n.second, 40));
  // In DATA_TYPE order, as ODBC asks.
  const SQLSMALLINT kTypes[] = {SQL_TINYINT, SQL_LONGVARBINARY, SQL_LONGVARCHAR, SQL_CHAR,
                                SQL_INTEGER, SQL_SMALLINT, SQL_REAL, SQL_DOUBLE,
                                SQL_VARCHAR, SQL_TYPE_DATE, SQL_TYPE_TIME};
  auto text = [](const std::string& t) { Cell c; c.bytes = t; return c; };
  auto number = [&](long long n) { return text(std::to_string(n)); };
  Cell null;
  null.null = true;
  std::vector<std::vector<Cell>> rows;
  for (SQLSMALLINT t : kTypes) {
    if (dataType != SQL_ALL_TYPES && dataType != t) continue;
    bool character = t == SQL_CHAR || t == SQL_VARCHAR;
    bool quoted = character || t == SQL_LONGVARCHAR || t == SQL_TYPE_DATE || t == SQL_TYPE_TIME;
    bool numeric = !quoted && t != SQL_LONGVARBINARY;
    bool datetime = t == SQL_TYPE_DATE || t == SQL_TYPE_TIME;
    ColumnInfo c = ColumnOfType("", t, character ? 255 : 0);
    std::string name = TypeName(t);
    rows.push_back({text(name), number(t), number(static_cast<long long>(c.columnSize)),
                    quoted ? text("'") : null, quoted ? text("'") : null,
                    character ? text("length") : null, number(SQL_NULLABLE_UNKNOWN),
                    number(character || t == SQL_LONGVARCHAR ? SQL_TRUE : SQL_FALSE),
                    number(c.memo ? SQL_PRED_NONE : SQL_SEARCHABLE),
                    numeric ? number(SQL_FALSE) : null, number(SQL_FALSE), numeric ? number(SQL_FALSE) : null,
                    text(name), null, null, number(datetime ? SQL_DATETIME : t),
                    datetime ? number(t == SQL_TYPE_DATE ? SQL_CODE_DATE : SQL_CODE_TIME) : null,
                    numeric ? number(t == SQL_REAL || t == SQL_DOUBLE ? 2 : 10) : null, null});
  }
  ServeRows(s, std::unique_ptr<ResultSet>(new RowsResult(std::move(header), std::move(rows))));
  return SQL_SUCCESS;
}

}  // namespace zkodbc
