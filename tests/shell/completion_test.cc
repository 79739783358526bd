// Tab completion over a small catalogue: what each position of a line
// offers, names matched without regard to case, and the catalogue read
// again only after Forget.
#include "completion.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "help_text.h"

namespace zkshell {
namespace {

class CompletionTest : public ::testing::Test {
 protected:
  CompletionTest()
      : completer_(
            CatalogueReader{[this] {
                              ++tableReads_;
                              return tables_;
                            },
                            [](const std::string& table) {
                              if (table == "CLIENTS")
                                return std::vector<std::string>{"NUMERO", "NOM", "VILLE"};
                              if (table == "COMMANDES")
                                return std::vector<std::string>{"NUMERO", "CLIENT", "DATE_C"};
                              return std::vector<std::string>();
                            }}) {}

  std::string Offered(const std::string& before, const std::string& word) {
    std::optional<std::vector<std::string>> found = completer_.Complete(before, word);
    if (!found) return "(file)";
    std::string text;
    for (const std::string& s : *found) text += (text.empty() ? "" : " ") + s;
    return text;
  }

  std::vector<std::string> tables_ = {"CLIENTS", "COMMANDES"};
  int tableReads_ = 0;
  Completer completer_;
};

TEST_F(CompletionTest, EachPlaceOffersItsKindOfName) {
  struct Case {
    const char* before;
    const char* word;
    const char* offered;
  } cases[] = {
      {"", ".he", ".header .headers .help"},
      {"  ", ".ti", ".timeout .timer"},
      {".help ", "ti", "timeout timer"},
      {".help ", ".ex", ".exit .export"},
      {".schema ", "cl", "CLIENTS"},
      {".import ", "da", "(file)"},
      {".import data.csv ", "CO", "COMMANDES"},
      {".memo CLIENTS ", "N", "NOM NUMERO"},
      {".timer ", "o", "off on"},
      {".print ", "x", ""},
      {"SELECT * FROM ", "CLI", "CLIENTS"},
      {"INSERT INTO ", "c", "CLIENTS COMMANDES"},
      // Keywords keep the case they were begun in.
      {"", "sel", "select"},
      {"", "SEL", "SELECT"},
      // Columns of the tables the statement names, else of all.
      {"SELECT * FROM CLIENTS WHERE ", "N", "NOM NOT NULL NUMERO"},
      {"SELECT ", "C", "CASCADE CHAR CLIENT CLIENTS COMMANDES COUNT CREATE CURRENT"},
      {"SELECT A FROM COMMANDES\nWHERE ", "D",
       "DATE DATE_C DAY DECIMAL DEFAULT DELETE DESC DIGITS "
       "DISTINCT DOUBLE DROP"},
      {"SELECT ", "clients.n", "clients.NOM clients.NUMERO"},
      {"SELECT 'FROM CLIENTS' ", "VI", "VIEW VILLE"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Offered(c.before, c.word), c.offered) << "[" << c.before << "|" << c.word << "]";
  }
}

TEST_F(CompletionTest, CatalogueReadAgainOnlyAfterForget) {
  Offered("SELECT * FROM ", "C");
  Offered("SELECT * FROM ", "C");
  EXPECT_EQ(tableReads_, 1);
  tables_.push_back("CLIMATS");
  EXPECT_EQ(Offered("SELECT * FROM ", "CLI"), "CLIENTS");
  completer_.Forget();
  EXPECT_EQ(Offered("SELECT * FROM ", "CLI"), "CLIENTS CLIMATS");
  EXPECT_EQ(tableReads_, 2);
}

TEST(Completion, LinesThatMayChangeTheCatalogue) {
  for (const char* line : {"CREATE TABLE T (A INTEGER);", "drop table T;", ".create T (A MEMO)",
                           ".import f.csv T", ".read script.sql"}) {
    EXPECT_TRUE(Completer::MayChangeCatalogue(line)) << line;
  }
  for (const char* line : {"SELECT CREATED FROM T;", "INSERT INTO T VALUES ('DROP');", ".tables"}) {
    EXPECT_FALSE(Completer::MayChangeCatalogue(line)) << line;
  }
}

// Every command .help lists is found by its name, with or without the dot,
// and completion offers it.
TEST(CommandHelp, EveryEntryIsFoundAndShown) {
  std::string all = HelpText();
  std::vector<std::string> names = CommandNames();
  for (const CommandHelp& help : CommandHelps()) {
    std::string name = help.name;
    EXPECT_EQ(FindCommandHelp(name), &help);
    EXPECT_EQ(FindCommandHelp(name.substr(1)), &help);
    EXPECT_EQ(std::string(help.text).compare(0, name.size(), name), 0) << name;
    EXPECT_NE(all.find(help.text), std::string::npos) << name;
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  EXPECT_EQ(FindCommandHelp("header"), FindCommandHelp(".headers"));
  EXPECT_EQ(FindCommandHelp(".frobnicate"), nullptr);
  EXPECT_EQ(FindCommandHelp("head"), nullptr);
}

}  // namespace
}  // namespace zkshell
