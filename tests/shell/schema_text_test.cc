// The CREATE statements .schema writes for a file, from the engine's item
// descriptions: each SQL type with its size, keys as indexes, memo tables
// as .create, and the items neither can make named in comments.
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

TEST(Schema, CompositeKeysBecomeIndexesOverTheirColumns) {
  FileInfo file;
  file.name = "LIGNES";
  ItemInfo unique = Item("LIGNES_CLE", 0, 0, 1);
  unique.composite = true;
  unique.components = {"COMMANDE", "LIGNE"};
  ItemInfo plain = Item("PAR_PRODUIT", 0, 0, 2);
  plain.composite = true;
  plain.components = {"PRODUIT", "LIGNE"};
  file.items = {Item("COMMANDE", 5, 4), Item("LIGNE", 3, 2, 2), Item("PRODUIT", 15, 9), unique,
                plain};
  EXPECT_EQ(SchemaText(file),
            "CREATE TABLE LIGNES (\n"
            "  COMMANDE INTEGER,\n"
            "  LIGNE SMALLINT,\n"
            "  PRODUIT CHAR(8)\n"
            ");\n"
            "CREATE INDEX LIGNES_LIGNE ON LIGNES (LIGNE);\n"
            "CREATE UNIQUE INDEX LIGNES_CLE ON LIGNES (COMMANDE, LIGNE);\n"
            "CREATE INDEX PAR_PRODUIT ON LIGNES (PRODUIT, LIGNE);\n");
}

TEST(Schema, MemoColumnsMakeACreateCommand) {
  FileInfo file;
  file.name = "DOCS";
  file.items = {Item("ID", 5, 4, 1), Item("TEXTE", 12, 4), Item("SCAN", 22, 4), Item("NE", 98, 9)};
  EXPECT_EQ(SchemaText(file),
            ".create DOCS (ID INTEGER, TEXTE MEMO, SCAN BINARY MEMO, NE DATE)\n"
            "CREATE UNIQUE INDEX DOCS_ID ON DOCS (ID);\n");
}

TEST(Schema, ItemsNeitherFormMakesAreNamedInComments) {
  FileInfo file;
  file.name = "DIVERS";
  ItemInfo composite = Item("CLE", 0, 0, 1);
  composite.composite = true;  // its columns unknown
  ItemInfo array = Item("NOTES", 5, 4);
  array.dimension = 3;
  file.items = {Item("ID", 5, 4), Item("PRIX", 10, 10), Item("JOUR", 98, 7), array, composite};
  std::string text = SchemaText(file);
  EXPECT_NE(text.find("-- DIVERS.PRIX: decimal of 10 bytes, no SQL type\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("-- DIVERS.JOUR: 6-character date of 7 bytes"), std::string::npos) << text;
  EXPECT_NE(text.find("-- DIVERS.NOTES: 3 elements, described as one\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("-- DIVERS.CLE: composite unique key (its columns are not known)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("CREATE TABLE DIVERS (\n  ID INTEGER,\n  NOTES INTEGER\n);\n"),
            std::string::npos)
      << text;
}

TEST(Schema, NumericTypes) {
  EXPECT_TRUE(zkhost::IsNumericType(5));
  EXPECT_TRUE(zkhost::IsNumericType(10));
  EXPECT_FALSE(zkhost::IsNumericType(15));
  EXPECT_FALSE(zkhost::IsNumericType(98));
}

}  // namespace
}  // namespace zkshell
