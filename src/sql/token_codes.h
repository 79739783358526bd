// Token codes: the vocabulary of the SQL text.
//
// The lexer hands every token out with one of these codes, the parse tree
// stores them in its nodes, and analysis, the selection engine and the
// evaluator test nodes against them; comparison and arithmetic use the
// operator codes as their operator codes. The numbers are fixed: a keyword's
// code is its place in the keyword table (from 1), a punctuation mark's is
// 151 plus its place, an operator's 201 plus its place. The spelling tables
// below are the texts the lexer recognises and hands out, in search order.
#ifndef ZKSQL_SQL_TOKEN_CODES_H_
#define ZKSQL_SQL_TOKEN_CODES_H_

#include <cstdint>

namespace zksql {

// The code of "no token": before the first scan and after a failed one.
constexpr int16_t kNoToken = 0;

enum TokenCode : int16_t {
  // Keywords, 1 to 74.
  LEX_ALL = 1,
  LEX_AND = 2,
  LEX_ANY = 3,
  LEX_AS = 4,
  LEX_AVG = 5,
  LEX_BETWEEN = 6,
  LEX_CASCADE = 7,
  LEX_COUNT_ETOILE = 8,
  LEX_COUNT_DISTINCT = 9,
  LEX_TABLE = 10,
  LEX_VIEW = 11,
  LEX_CURRENT_TIME = 12,
  LEX_CURRENT_DATE = 13,
  LEX_DATE = 14,
  LEX_DAY = 15,
  LEX_DECIMAL = 16,
  LEX_DEFAULT = 17,
  LEX_DELETE_FROM = 18,
  LEX_DIGITS = 19,
  LEX_DISTINCT = 20,
  LEX_DROP_TABLE = 21,
  LEX_DROP_VIEW = 22,
  LEX_EXCEPT = 23,
  LEX_EXISTS = 24,
  LEX_FLOAT = 25,
  LEX_FROM = 26,
  LEX_GROUP_BY = 27,
  LEX_HAVING = 28,
  LEX_HEX = 29,
  LEX_HOUR = 30,
  LEX_INSERT_INTO = 31,
  LEX_INTEGER = 32,
  LEX_INTERSECT = 33,
  LEX_IN = 34,
  LEX_IS = 35,
  LEX_LENGTH = 36,
  LEX_LIKE = 37,
  LEX_MATCH = 38,
  LEX_MAX = 39,
  LEX_MINUTE = 40,
  LEX_MIN = 41,
  LEX_NOT = 42,
  LEX_NULL = 43,
  LEX_ORDER_BY = 44,
  LEX_OR = 45,
  LEX_RESTRICT = 46,
  LEX_SECOND = 47,
  LEX_SELECT = 48,
  LEX_SET = 49,
  LEX_SOME = 50,
  LEX_SUM = 51,
  LEX_TIME = 52,
  LEX_UNION = 53,
  LEX_UNIQUE = 54,
  LEX_UPDATE = 55,
  LEX_VALUES = 56,
  LEX_WHERE = 57,
  LEX_WITH = 58,
  LEX_YEAR = 59,
  LEX_ASC = 60,
  LEX_DESC = 61,
  LEX_SMALLINT = 62,
  LEX_REAL = 63,
  LEX_DOUBLE = 64,
  LEX_CHAR = 65,
  LEX_VARCHAR = 66,
  LEX_PRIMARY_KEY = 67,
  LEX_PRECISION = 68,
  LEX_BIGINT = 69,
  LEX_TINYINT = 70,
  LEX_CREATE = 71,
  LEX_INDEX = 72,
  LEX_ON = 73,
  LEX_FOREIGN_KEY = 74,

  // Number literals.
  LEX_ENTIER = 101,          // unsigned integer
  LEX_ENTIER_SIGNE = 102,    // "+" or "-" then digits (only when a sign is allowed)
  LEX_NOMBRE_DECIMAL = 103,  // with a decimal point
  LEX_REEL = 104,            // with an exponent

  // Punctuation, 151 to 159.
  LEX_POINT = 151,
  LEX_DEUX_POINTS = 152,
  LEX_POINT_VIRGULE = 153,
  LEX_VIRGULE = 154,
  LEX_INTERROGATION = 155,
  LEX_PAR_OUVRANTE = 156,
  LEX_PAR_FERMANTE = 157,
  LEX_CROCHET_OUVRANT = 158,
  LEX_CROCHET_FERMANT = 159,

  // Operators, 201 to 221.
  LEX_PLUS = 201,
  LEX_MOINS = 202,
  LEX_PUISSANCE = 203,
  LEX_ETOILE = 204,
  LEX_DIVISE = 205,
  LEX_MODULO = 206,
  LEX_DECALAGE_DROITE = 207,
  LEX_DECALAGE_GAUCHE = 208,
  LEX_DIFFERENT = 209,
  LEX_INFERIEUR_EGAL = 210,
  LEX_SUPERIEUR_EGAL = 211,
  LEX_INFERIEUR = 212,
  LEX_SUPERIEUR = 213,
  LEX_BARRE_BARRE = 214,
  LEX_ET_ET = 215,
  LEX_BARRE = 216,
  LEX_ET_COMMERCIAL = 217,
  LEX_CIRCONFLEXE = 218,
  LEX_TILDE = 219,
  LEX_EXCLAMATION = 220,
  LEX_EGAL = 221,

  // Literals and names.
  LEX_CHAINE = 301,
  LEX_IDENTIFICATEUR = 302,
};

constexpr int kKeywordCount = 74;
constexpr int kPunctuationCount = 9;
constexpr int kOperatorCount = 21;

constexpr int16_t kFirstKeyword = LEX_ALL;
constexpr int16_t kFirstPunctuation = LEX_POINT;
constexpr int16_t kFirstOperator = LEX_PLUS;

// The spellings, in search order: entry i has code first + i.
extern const char* const kKeywordTexts[kKeywordCount];
extern const char* const kPunctuationTexts[kPunctuationCount];
extern const char* const kOperatorTexts[kOperatorCount];

// True for the six comparison operators (<>, <=, >=, <, >, =): the codes
// a comparison predicate is built on and evaluated with.
bool IsComparisonOperator(int32_t code);
// The comparison operator that holds exactly when `op` does not (for
// comparable values): how a negated plain comparison is evaluated. Any
// other code is returned as it is.
int16_t ComplementOperator(int32_t op);

}  // namespace zksql

#endif  // ZKSQL_SQL_TOKEN_CODES_H_
