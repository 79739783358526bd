#include "sql_keywords.h"

namespace zkshell {

const std::vector<const char*>& SqlKeywords() {
  static const std::vector<const char*> words = {
      "ALL",     "AND",     "ANY",    "AS",       "ASC",       "AVG",       "BETWEEN", "BIGINT",
      "BY",      "CASCADE", "CHAR",   "COUNT",    "CREATE",    "CURRENT",   "DATE",    "DAY",
      "DECIMAL", "DEFAULT", "DELETE", "DESC",     "DIGITS",    "DISTINCT",  "DOUBLE",  "DROP",
      "EXCEPT",  "EXISTS",  "FLOAT",  "FOREIGN",  "FROM",      "GROUP",     "HAVING",  "HEX",
      "HOUR",    "IN",      "INDEX",  "INSERT",   "INTEGER",   "INTERSECT", "INTO",    "IS",
      "KEY",     "LENGTH",  "LIKE",   "MATCH",    "MAX",       "MIN",       "MINUTE",  "NOT",
      "NULL",    "ON",      "OR",     "ORDER",    "PRECISION", "PRIMARY",   "REAL",    "RESTRICT",
      "SECOND",  "SELECT",  "SET",    "SMALLINT", "SOME",      "SUM",       "TABLE",   "TIME",
      "TINYINT", "UNION",   "UNIQUE", "UPDATE",   "VALUES",    "VARCHAR",   "VIEW",    "WHERE",
      "WITH",    "YEAR",
  };
  return words;
}

}  // namespace zkshell
