// The CREATE statements .schema writes for a file, from the engine's item
// descriptions: each SQL type with its size, keys as indexes, and the
// items SQL cannot describe named in comments.
#include "schema_text.h"

#include <gtest/gtest.h>

namespace zkshell {
namespace {

ItemInfo Item(const char* name, int type, int size, int key = 0) {
  ItemInfo item;
  item.name = name;
  item.type = type;
  item.size = size;
  item.keyKind = key;
  return item;
}

TEST(Schema, EveryDialectTypeAndItsKeys) {
  FileInfo file;
  file.name = "CLIENTS";
  file.items = {Item("NUM", 5, 4, 1), Item("NOM", 15, 31, 2), Item("NE", 98, 9),
                Item("HEURE", 99, 4), Item("AGE", 1, 1), Item("RANG", 3, 2),
                Item("TAUX", 7, 4), Item("SOLDE", 9, 8)};
  EXPECT_EQ(SchemaText(file),
            "CREATE TABLE CLIENTS (\n"
            "  NUM INTEGER,\n"
            "  NOM CHAR(30),\n"
            "  NE DATE,\n"
            "  HEURE TIME,\n"
            "  AGE TINYINT,\n"
            "  RANG SMALLINT,\n"
            "  TAUX REAL,\n"
            "  SOLDE DOUBLE PRECISION\n"
            ");\n"
            "CREATE UNIQUE INDEX CLIENTS_NUM ON CLIENTS (NUM);\n"
            "CREATE INDEX CLIENTS_NOM ON CLIENTS (NOM);\n");
}

TEST(Schema, ItemsWithoutSqlTypeAreNamedInComments) {
  FileInfo file;
  file.name = "DOCS";
  ItemInfo composite = Item("CLE", 0, 0, 1);
  composite.composite = true;
  file.items = {Item("ID", 5, 4), Item("TEXTE", 12, 4), composite};
  std::string text = SchemaText(file);
  EXPECT_NE(text.find("-- DOCS.TEXTE: text memo"), std::string::npos) << text;
  EXPECT_NE(text.find("-- DOCS.CLE: composite unique key"), std::string::npos) << text;
  EXPECT_NE(text.find("CREATE TABLE DOCS (\n  ID INTEGER\n);\n"), std::string::npos) << text;
}

TEST(Schema, NumericTypes) {
  EXPECT_TRUE(IsNumericType(5));
  EXPECT_TRUE(IsNumericType(10));
  EXPECT_FALSE(IsNumericType(15));
  EXPECT_FALSE(IsNumericType(98));
}

}  // namespace
}  // namespace zkshell
