// Rule codes: the negative codes of parse-tree nodes that stand for a
// grammar rule rather than a token.
//
// The parser gives every rule node one of these codes; the analysis, the
// executor and the evaluator recognise the statement kind and the shape of
// each subtree by them. Token nodes carry positive token codes
// (token_codes.h), so one `code` field tells the two apart by its sign.
#ifndef ZKSQL_SQL_RULE_CODES_H_
#define ZKSQL_SQL_RULE_CODES_H_

#include <cstdint>

namespace zksql {

enum RuleCode : int32_t {
  FON_ITEM_SIMPLE = -1,                        // literal, column name or function reference
  FON_FONCTION_SCALAIRE_REF = -2,              // scalar function call
  FON_FONCTION_AGREGEE_REF = -3,               // aggregate function call
  FON_FONCTION_DATE_HEURE_REF = -4,            // date and time function call
  FON_ITEM_SIMPLE_VIRGULE_LISTE = -5,          // comma list of simple items
  FON_TABLE_REF_VIRGULE_LISTE = -6,            // FROM list
  FON_COLONNE_REF_VIRGULE_LISTE = -7,          // comma list of column names
  FON_TABLE_REF = -8,                          // one table of a FROM list
  FON_SELECTION_ITEM_VIRGULE_LISTE = -9,       // select list
  FON_SELECTION_ITEM = -10,                    // one select-list entry
  FON_AFFECTATION_COLONNE_VIRGULE_LISTE = -11, // SET list of UPDATE
  FON_AFFECTATION_COLONNE = -12,               // one assignment
  FON_COLONNE_DEF_VIRGULE_LISTE = -13,         // column definitions of CREATE TABLE
  FON_COLONNE_DEF = -14,                       // one column definition
  FON_CONDITION_RECHERCHE = -15,               // search condition (OR list)
  FON_TERME_LOGIQUE = -16,                     // AND list
  FON_FACTEUR_LOGIQUE = -17,                   // NOT or one expression
  FON_EXPRESSION = -18,                        // predicate
  FON_ITEM_COMPARE = -19,                      // sum of terms
  FON_TERME = -20,                             // product of factors
  FON_FACTEUR = -21,                           // parenthesised condition or simple item
  FON_COMPARAISON = -22,                       // comparison part of a predicate
  FON_COMPOSANT_SECOND_MEMBRE = -23,           // right side of IN, MATCH, ANY, SOME, ALL
  FON_SOUS_SELECT = -24,                       // SELECT ... FROM ... [WHERE] [GROUP BY [HAVING]]
  FON_ITEM_SELECTIONNE = -25,                  // what a SELECT selects
  FON_REQUETE_SELECTION = -26,                 // SELECT statement
  FON_REQUETE = -27,                           // statement root
  FON_REQUETE_CREATION_TABLE = -28,            // CREATE TABLE
  FON_REQUETE_CREATION_VUE = -29,              // CREATE VIEW
  FON_REQUETE_DESTRUCTION_TABLE_VUE = -30,     // DROP TABLE or DROP VIEW
  FON_REQUETE_INSERT_ENREG = -31,              // INSERT
  FON_REQUETE_MIS_A_JOUR_ENREG = -32,          // UPDATE
  FON_REQUETE_SUPPRESSION_ENREG = -33,         // DELETE
  FON_REQUETE_CREATION_INDEX = -34,            // CREATE INDEX
};

}  // namespace zksql

#endif  // ZKSQL_SQL_RULE_CODES_H_
