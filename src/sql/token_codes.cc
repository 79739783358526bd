// The spelling tables of the keywords, punctuation marks and operators.
//
// The order of each table is part of the language: it gives the codes, and
// the lexer tries the entries in this order, so a keyword that is a prefix
// of another ("IN" of "INDEX") is refused by the separator test rather than
// by its place, and each two-character operator stands before the
// one-character operator that begins it.
#include "sql/token_codes.h"

namespace zksql {

const char* const kKeywordTexts[kKeywordCount] = {
    "ALL",          "AND",         "ANY",
    "AS",           "AVG",         "BETWEEN",
    "CASCADE",      "COUNT(*)",    "COUNT DISTINCT",
    "TABLE",        "VIEW",        "CURRENT TIME",
    "CURRENT DATE", "DATE",        "DAY",
    "DECIMAL",      "DEFAULT",     "DELETE FROM",
    "DIGITS",       "DISTINCT",    "DROP TABLE",
    "DROP VIEW",    "EXCEPT",      "EXISTS",
    "FLOAT",        "FROM",        "GROUP BY",
    "HAVING",       "HEX",         "HOUR",
    "INSERT INTO",  "INTEGER",     "INTERSECT",
    "IN",           "IS",          "LENGTH",
    "LIKE",         "MATCH",       "MAX",
    "MINUTE",       "MIN",         "NOT",
    "NULL",         "ORDER BY",    "OR",
    "RESTRICT",     "SECOND",      "SELECT",
    "SET",          "SOME",        "SUM",
    "TIME",         "UNION",       "UNIQUE",
    "UPDATE",       "VALUES",      "WHERE",
    "WITH",         "YEAR",        "ASC",
    "DESC",         "SMALLINT",    "REAL",
    "DOUBLE",       "CHAR",        "VARCHAR",
    "PRIMARY KEY",  "PRECISION",   "BIGINT",
    "TINYINT",      "CREATE",      "INDEX",
    "ON",           "FOREIGN KEY",
};

const char* const kPunctuationTexts[kPunctuationCount] = {
    ".", ":", ";", ",", "?", "(", ")", "[", "]",
};

const char* const kOperatorTexts[kOperatorCount] = {
    "+", "-", "**", "*",  "/", "%", ">>", "<<", "<>", "<=", ">=",
    "<", ">", "||", "&&", "|", "&", "^",  "~",  "!",  "=",
};

bool IsComparisonOperator(int32_t code) {
  switch (code) {
    case LEX_DIFFERENT:
    case LEX_INFERIEUR_EGAL:
    case LEX_SUPERIEUR_EGAL:
    case LEX_INFERIEUR:
    case LEX_SUPERIEUR:
    case LEX_EGAL:
      return true;
    default:
      return false;
  }
}

int16_t ComplementOperator(int32_t op) {
  switch (op) {
    case LEX_DIFFERENT:
      return LEX_EGAL;
    case LEX_EGAL:
      return LEX_DIFFERENT;
    case LEX_INFERIEUR_EGAL:
      return LEX_SUPERIEUR;
    case LEX_SUPERIEUR:
      return LEX_INFERIEUR_EGAL;
    case LEX_SUPERIEUR_EGAL:
      return LEX_INFERIEUR;
    case LEX_INFERIEUR:
      return LEX_SUPERIEUR_EGAL;
    default:
      return static_cast<int16_t>(op);
  }
}

}  // namespace zksql
