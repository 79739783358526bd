// Test builder of predicate trees, row bindings and value lists, shaped as
// the parser and the analysis leave them, so that the evaluator and the
// selection driver can be tested before (and apart from) both.
#ifndef ZKSQL_TESTS_EXEC_CONDITION_BUILDER_H_
#define ZKSQL_TESTS_EXEC_CONDITION_BUILDER_H_

#include <cstring>
#include <initializer_list>
#include <string>

#include "sql/parse_node.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "sql/value_list.h"
#include "values/row_binding.h"

namespace zksql {
namespace testing_build {

// A node with the given children, in order.
inline ParseNode* N(int32_t code, const char* text, std::initializer_list<ParseNode*> kids = {},
                    int32_t value = 0) {
  ParseNode* n = new ParseNode(text, code, value);
  for (ParseNode* k : kids) n->AddChild(k, 0);
  return n;
}
inline ParseNode* Tok(int32_t code, const char* text = "") { return N(code, text); }

// Simple items.
inline ParseNode* Num(const char* text) {
  return N(FON_ITEM_SIMPLE, "", {Tok(LEX_ENTIER, text)});
}
inline ParseNode* Str(const char* text) { return N(FON_ITEM_SIMPLE, "", {Tok(LEX_CHAINE, text)}); }
inline ParseNode* Col(const char* tableSlashColumn) {
  return N(FON_ITEM_SIMPLE, "", {Tok(LEX_IDENTIFICATEUR, tableSlashColumn)});
}
inline ParseNode* Scalar(int32_t keyword, ParseNode* argument) {
  return N(FON_ITEM_SIMPLE, "", {N(FON_FONCTION_SCALAIRE_REF, "", {Tok(keyword), argument})});
}
inline ParseNode* DateFn(int32_t keyword, const char* text) {
  return N(FON_ITEM_SIMPLE, "",
           {N(FON_FONCTION_DATE_HEURE_REF, "", {Tok(keyword), Tok(LEX_CHAINE, text)})});
}
inline ParseNode* Aggregate(int32_t keyword, ParseNode* argument) {
  return N(FON_ITEM_SIMPLE, "", {N(FON_FONCTION_AGREGEE_REF, "", {Tok(keyword), argument})});
}

// Expressions: a FON_FACTEUR of an item, a FON_TERME of factors joined by
// operators, a FON_ITEM_COMPARE of terms.
inline ParseNode* Factor(ParseNode* item) { return N(FON_FACTEUR, "", {item}); }
inline ParseNode* Term(std::initializer_list<ParseNode*> parts) { return N(FON_TERME, "", parts); }
inline ParseNode* Sum(std::initializer_list<ParseNode*> parts) {
  return N(FON_ITEM_COMPARE, "", parts);
}
// The FON_ITEM_COMPARE of one item.
inline ParseNode* Value(ParseNode* item) { return Sum({Term({Factor(item)})}); }

// Predicates and conditions.
inline ParseNode* Pred(ParseNode* first, ParseNode* second = nullptr) {
  ParseNode* p = N(FON_EXPRESSION, "", {first});
  if (second != nullptr) p->AddChild(second, 0);
  return p;
}
inline ParseNode* Cmp(std::initializer_list<ParseNode*> parts) {
  return N(FON_COMPARAISON, "", parts);
}
inline ParseNode* ItemList(std::initializer_list<ParseNode*> items) {
  return N(FON_COMPOSANT_SECOND_MEMBRE, "", {N(FON_ITEM_SIMPLE_VIRGULE_LISTE, "", items)});
}
// A sub-select operand holding driver index `driver` in its value.
inline ParseNode* SubSel(int32_t driver) { return N(FON_SOUS_SELECT, "", {}, driver); }
inline ParseNode* SubHolder(int32_t driver) {
  return N(FON_COMPOSANT_SECOND_MEMBRE, "", {SubSel(driver)});
}
// «first op item»
inline ParseNode* Compare(ParseNode* first, int32_t op, ParseNode* item) {
  return Pred(Value(first), Cmp({Tok(op), item}));
}
// Logical structure: OR of AND lists of factors.
inline ParseNode* Or(std::initializer_list<ParseNode*> andLists) {
  return N(FON_CONDITION_RECHERCHE, "", andLists);
}
inline ParseNode* And(std::initializer_list<ParseNode*> factors) {
  return N(FON_TERME_LOGIQUE, "", factors);
}
inline ParseNode* LFactor(ParseNode* predicate) { return N(FON_FACTEUR_LOGIQUE, "", {predicate}); }
inline ParseNode* LNot(ParseNode* logicalFactor) {
  return N(FON_FACTEUR_LOGIQUE, "", {Tok(LEX_NOT, "NOT"), logicalFactor});
}
// A parenthesised condition as a factor.
inline ParseNode* Paren(ParseNode* condition) { return N(FON_FACTEUR, "", {condition}); }

// Row bindings of named values the test keeps. get() is the binding a
// predicate is evaluated on; chain() the same values as a correlation
// chain (TABLE/COLUMN value nodes after a head) for a sub-select.
class Binding {
 public:
  Binding() : head_(new ParseNode("", 0, 0)) {}
  ~Binding() { delete head_; }
  Binding& Real(const char* name, double v) {
    Keep(&v, sizeof v);
    return Add(name, kValueReal, sizeof v);
  }
  Binding& Text(const char* name, const char* v, int16_t type = kValueText) {
    Keep(v, std::strlen(v) + 1);
    return Add(name, type, static_cast<uint16_t>(std::strlen(v) + 1));
  }
  Binding& Missing(const char* name) {
    names_[count_] = name;
    Split(count_);
    EXPECT_TRUE(binding_.Bind(tables_[count_].c_str(), columns_[count_].c_str(),
                              TypedValue{kValueReal, 8, nullptr}));
    head_->AppendSibling(ValueNode::Create(name, kValueReal, 8, nullptr, false), 0);
    ++count_;
    return *this;
  }
  const RowBinding* get() const { return &binding_; }
  const ParseNode* chain() const { return head_->next; }

 private:
  void Keep(const void* bytes, size_t n) {
    store_[count_].assign(static_cast<const char*>(bytes), n);
  }
  // TABLE/COLUMN split at its first "/" into names the binding points at.
  void Split(int i) {
    size_t slash = names_[i].find('/');
    tables_[i] = names_[i].substr(0, slash);
    columns_[i] = slash == std::string::npos ? "" : names_[i].substr(slash + 1);
  }
  Binding& Add(const char* name, int16_t type, uint16_t length) {
    char* bytes = &store_[count_][0];
    names_[count_] = name;
    Split(count_);
    EXPECT_TRUE(binding_.Bind(tables_[count_].c_str(), columns_[count_].c_str(),
                              TypedValue{type, length, bytes}));
    ++count_;
    head_->AppendSibling(ValueNode::Create(name, type, length, bytes, false), 0);
    return *this;
  }
  ParseNode* head_;
  RowBinding binding_;
  std::string store_[16];
  std::string names_[16], tables_[16], columns_[16];
  int count_ = 0;
};

// A value list of reals (owned values), for sub-select stand-ins.
inline ParseNode* RealList(std::initializer_list<double> values) {
  ParseNode* head = NewValueListHead();
  ParseNode* last = head;
  for (double v : values) {
    TypedValue t;
    EXPECT_TRUE(MakeNumberValue(kValueReal, v, &t));
    last = AppendOwnedValue(last, &t);
  }
  return head;
}

}  // namespace testing_build
}  // namespace zksql

#endif  // ZKSQL_TESTS_EXEC_CONDITION_BUILDER_H_
