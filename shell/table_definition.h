// `.create`: a table made through the engine's own file description, for
// the column kinds CREATE TABLE has no type for (text and binary memos).
// The definition reads like CREATE TABLE's column list:
//   DOCS (ID INTEGER, TITRE CHAR(40), TEXTE MEMO, SCAN BINARY MEMO)
#ifndef ZKSHELL_TABLE_DEFINITION_H
#define ZKSHELL_TABLE_DEFINITION_H

#include <string>
#include <vector>

namespace zkshell {

struct ColumnDefinition {
  std::string name;  // upper case
  char letter = 0;   // the engine's item type letter
  int size = 0;      // declared length for texts, 0 otherwise
};

struct TableDefinition {
  std::string name;  // upper case
  std::vector<ColumnDefinition> columns;
};

// Reads "NAME (COLUMN TYPE, ...)". Types, in any case: INTEGER, BIGINT,
// SMALLINT, TINYINT, REAL, DOUBLE [PRECISION], CHAR(n), VARCHAR(n), DATE,
// TIME, MEMO (a text memo) and BINARY MEMO. False with *error naming what
// is wrong.
bool ParseTableDefinition(const std::string& text, TableDefinition* table, std::string* error);

}  // namespace zkshell

#endif
