// Evaluator tests: every predicate form with and without negation, the
// counting rules over lists and sub-selects, the missing-value rules, the
// arithmetic of expressions and the scalar and date functions.
#include "exec/evaluator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "condition_builder.h"
#include "sql/value_list.h"

namespace zksql {
namespace {

using namespace testing_build;

// Stands in for the executor: driver index -> the values its sub-select
// yields (a driver index not listed yields no list at all).
class FakeSubSelects : public SubSelectSource {
 public:
  ParseNode* EvaluateSubSelect(int16_t parent, int16_t sub, const RowBinding*) override {
    lastParent = parent;
    auto it = values.find(sub);
    if (it == values.end()) return nullptr;
    ParseNode* head = NewValueListHead();
    ParseNode* last = head;
    for (double v : it->second) {
      TypedValue t;
      EXPECT_TRUE(MakeNumberValue(kValueReal, v, &t));
      last = AppendOwnedValue(last, &t);
    }
    return head;
  }
  std::map<int, std::vector<double>> values;
  int lastParent = -1;
};

class EvaluatorTest : public ::testing::Test {
 protected:
  // Truth of a predicate (owned here) under the binding.
  int Eval(ParseNode* predicate, int negate = 0) {
    int r = ev.EvaluateCondition(3, predicate, binding.get(), static_cast<int16_t>(negate));
    delete predicate;
    return r;
  }
  double RealOf(ParseNode* item) {
    OwnedValue v;
    EXPECT_EQ(1, ev.EvaluateItem(item, binding.get(), &v));
    double x = -999;
    EXPECT_TRUE(ReadNumber(v->type, v->bytes, &x));
    delete item;
    return x;
  }
  bool HasNoValue(ParseNode* item) {
    OwnedValue v;
    int16_t r = ev.EvaluateItem(item, binding.get(), &v);
    bool none = r == 0 && !v.has_value();
    delete item;
    return none;
  }
  FakeSubSelects subs;
  Evaluator ev{&subs};
  Binding binding;
};

TEST_F(EvaluatorTest, PlainComparisonAndItsNegationThroughTheComplement) {
  binding.Real("T/A", 7).Real("T/B", 2).Text("T/S", "abc");
  EXPECT_EQ(1, Eval(Compare(Col("T/A"), LEX_SUPERIEUR, Num("5"))));
  EXPECT_EQ(0, Eval(Compare(Col("T/A"), LEX_SUPERIEUR, Num("5")), 1));  // A <= 5
  EXPECT_EQ(0, Eval(Compare(Col("T/A"), LEX_INFERIEUR_EGAL, Num("5"))));
  EXPECT_EQ(1, Eval(Compare(Col("T/A"), LEX_EGAL, Num("7"))));
  EXPECT_EQ(0, Eval(Compare(Col("T/A"), LEX_EGAL, Num("7")), 1));
  EXPECT_EQ(1, Eval(Compare(Col("T/A"), LEX_DIFFERENT, Num("7")), 1));
  EXPECT_EQ(1, Eval(Compare(Col("T/A"), LEX_SUPERIEUR_EGAL, Num("7"))));
  EXPECT_EQ(1, Eval(Compare(Col("T/A"), LEX_INFERIEUR, Num("7")), 1));
  EXPECT_EQ(1, Eval(Compare(Col("T/S"), LEX_INFERIEUR, Str("abd"))));
  // Only the left side may be arithmetic: B + 5 = A.
  EXPECT_EQ(1, Eval(Pred(Sum({Term({Factor(Col("T/B"))}), Tok(LEX_PLUS), Term({Factor(Num("5"))})}),
                         Cmp({Tok(LEX_EGAL), Col("T/A")}))));
}

TEST_F(EvaluatorTest, PredicateWithoutSecondMemberHoldsUnlessNegated) {
  binding.Real("T/A", 0);
  EXPECT_EQ(1, Eval(Pred(Value(Col("T/A")))));
  EXPECT_EQ(0, Eval(Pred(Value(Col("T/A"))), 1));
  EXPECT_EQ(1, Eval(Pred(Value(Col("T/NOTBOUND")))));
}

TEST_F(EvaluatorTest, BetweenExchangesSwappedBoundsAndNegates) {
  for (double a : {0.0, 1.0, 5.0, 10.0, 11.0}) {
    Binding b;
    b.Real("T/A", a);
    auto between = [&](bool notForm, const char* lo, const char* hi, int negate) {
      ParseNode* cmp = notForm ? Cmp({Tok(LEX_NOT), Tok(LEX_BETWEEN), Num(lo), Num(hi)})
                               : Cmp({Tok(LEX_BETWEEN), Num(lo), Num(hi)});
      ParseNode* p = Pred(Value(Col("T/A")), cmp);
      int r = ev.EvaluateCondition(0, p, b.get(), static_cast<int16_t>(negate));
      delete p;
      return r;
    };
    const int inside = a >= 1 && a <= 10;
    EXPECT_EQ(inside, between(false, "10", "1", 0)) << a;
    EXPECT_EQ(inside, between(false, "1", "10", 0)) << a;
    EXPECT_EQ(!inside, between(true, "1", "10", 0)) << a;
    EXPECT_EQ(!inside, between(false, "1", "10", 1)) << a;
    EXPECT_EQ(inside, between(true, "10", "1", 1)) << a;
  }
}

TEST_F(EvaluatorTest, InOverListsAndSubSelects) {
  binding.Real("T/A", 2);
  auto in = [&](bool notForm, ParseNode* holder) {
    return notForm ? Pred(Value(Col("T/A")), Cmp({Tok(LEX_NOT), Tok(LEX_IN), holder}))
                   : Pred(Value(Col("T/A")), Cmp({Tok(LEX_IN), holder}));
  };
  EXPECT_EQ(1, Eval(in(false, ItemList({Num("1"), Num("2"), Num("3")}))));
  EXPECT_EQ(0, Eval(in(true, ItemList({Num("1"), Num("2"), Num("3")}))));
  EXPECT_EQ(0, Eval(in(false, ItemList({Num("1"), Num("2"), Num("3")})), 1));
  EXPECT_EQ(0, Eval(in(false, ItemList({Num("4")}))));
  // Items without value are left out of the list.
  EXPECT_EQ(0, Eval(in(false, ItemList({Col("T/NOTBOUND")}))));
  subs.values[1] = {};
  subs.values[2] = {9, 2};
  EXPECT_EQ(0, Eval(in(false, SubHolder(1))));
  EXPECT_EQ(1, Eval(in(true, SubHolder(1))));
  EXPECT_EQ(1, Eval(in(false, SubHolder(2))));
  EXPECT_EQ(3, subs.lastParent);  // sub-selects run for the condition's driver
  // A sub-select that yields no list makes every counting form false.
  EXPECT_EQ(0, Eval(in(false, SubHolder(7))));
  EXPECT_EQ(0, Eval(in(true, SubHolder(7))));
}

TEST_F(EvaluatorTest, QuantifiedComparisonsCountAndNegateTheirOutcome) {
  binding.Real("T/A", 1.5);
  subs.values[1] = {};
  subs.values[2] = {1, 2};
  auto quant = [&](int op, int q, ParseNode* holder) {
    return Pred(Value(Col("T/A")), Cmp({Tok(op), Tok(q), holder}));
  };
  EXPECT_EQ(1, Eval(quant(LEX_SUPERIEUR, LEX_ALL, SubHolder(1))));  // 0 of 0
  EXPECT_EQ(0, Eval(quant(LEX_SUPERIEUR, LEX_ANY, SubHolder(1))));
  EXPECT_EQ(0, Eval(quant(LEX_SUPERIEUR, LEX_SOME, SubHolder(1))));
  EXPECT_EQ(0, Eval(quant(LEX_SUPERIEUR, LEX_ALL, SubHolder(2))));
  EXPECT_EQ(1, Eval(quant(LEX_SUPERIEUR, LEX_ANY, SubHolder(2))));
  EXPECT_EQ(1, Eval(quant(LEX_SUPERIEUR, LEX_ALL, ItemList({Num("1"), Num("0")}))));
  // NOT (A > ALL (1, 2)) holds for A = 1.5; the complement «A <= ALL» would
  // not, so the count is negated instead of the operator.
  EXPECT_EQ(1, Eval(quant(LEX_SUPERIEUR, LEX_ALL, SubHolder(2)), 1));
  EXPECT_EQ(0, Eval(quant(LEX_SUPERIEUR, LEX_ANY, SubHolder(2)), 1));
  EXPECT_EQ(0, Eval(quant(LEX_SUPERIEUR, LEX_ALL, SubHolder(1)), 1));
}

TEST_F(EvaluatorTest, ComparisonWithSubSelectNeedsExactlyOneMatch) {
  binding.Real("T/A", 5);
  subs.values[1] = {5};
  subs.values[2] = {5, 5};
  subs.values[3] = {5, 6};
  subs.values[4] = {};
  auto eq = [&](int d) { return Pred(Value(Col("T/A")), Cmp({Tok(LEX_EGAL), SubSel(d)})); };
  EXPECT_EQ(1, Eval(eq(1)));
  EXPECT_EQ(0, Eval(eq(2)));
  EXPECT_EQ(1, Eval(eq(3)));
  EXPECT_EQ(0, Eval(eq(4)));
  EXPECT_EQ(0, Eval(eq(1), 1));
  EXPECT_EQ(0, Eval(eq(3), 1));  // NOT (A = sub) is false when A = sub holds
}

TEST_F(EvaluatorTest, ExistsAndUnique) {
  subs.values[1] = {};
  subs.values[2] = {4};
  subs.values[3] = {4, 5};
  auto exists = [&](int kw, int d, bool innerNot) {
    ParseNode* p = Pred(Tok(kw));
    p->child->value = d;
    if (innerNot) p->AddChild(Tok(LEX_NOT), 0);
    p->AddChild(SubSel(d), 0);
    return p;
  };
  EXPECT_EQ(0, Eval(exists(LEX_EXISTS, 1, false)));
  EXPECT_EQ(1, Eval(exists(LEX_EXISTS, 2, false)));
  EXPECT_EQ(0, Eval(exists(LEX_EXISTS, 2, false), 1));
  EXPECT_EQ(1, Eval(exists(LEX_EXISTS, 1, true)));
  EXPECT_EQ(0, Eval(exists(LEX_UNIQUE, 1, false)));
  EXPECT_EQ(1, Eval(exists(LEX_UNIQUE, 2, false)));
  EXPECT_EQ(0, Eval(exists(LEX_UNIQUE, 3, false)));
  EXPECT_EQ(0, Eval(exists(LEX_UNIQUE, 1, true)));  // UNIQUE NOT over nothing stays false
  EXPECT_EQ(1, Eval(exists(LEX_UNIQUE, 3, true)));
  EXPECT_EQ(1, Eval(exists(LEX_UNIQUE, 3, false), 1));
}

TEST_F(EvaluatorTest, IsNullTestsZeroEmptyAndAbsentValues) {
  binding.Real("T/Z", 0).Real("T/A", 3).Text("T/E", "").Text("T/S", "x").Missing("T/M");
  auto isNull = [&](const char* col, bool notForm) {
    return notForm ? Pred(Value(Col(col)), Cmp({Tok(LEX_IS), Tok(LEX_NOT)}))
                   : Pred(Value(Col(col)), Cmp({Tok(LEX_IS)}));
  };
  EXPECT_EQ(1, Eval(isNull("T/Z", false)));
  EXPECT_EQ(0, Eval(isNull("T/A", false)));
  EXPECT_EQ(1, Eval(isNull("T/E", false)));
  EXPECT_EQ(0, Eval(isNull("T/S", false)));
  EXPECT_EQ(0, Eval(isNull("T/Z", true)));
  EXPECT_EQ(1, Eval(isNull("T/A", true)));
  EXPECT_EQ(1, Eval(isNull("T/M", false)));
  EXPECT_EQ(0, Eval(isNull("T/M", false), 1));
}

TEST_F(EvaluatorTest, MatchAndMatchUnique) {
  binding.Real("T/A", 2);
  auto match = [&](bool unique, ParseNode* holder) {
    return unique ? Pred(Value(Col("T/A")), Cmp({Tok(LEX_MATCH), Tok(LEX_UNIQUE), holder}))
                  : Pred(Value(Col("T/A")), Cmp({Tok(LEX_MATCH), holder}));
  };
  EXPECT_EQ(1, Eval(match(false, ItemList({Num("2"), Num("2")}))));
  EXPECT_EQ(0, Eval(match(true, ItemList({Num("2"), Num("2")}))));
  EXPECT_EQ(1, Eval(match(true, ItemList({Num("2"), Num("3")}))));
  EXPECT_EQ(0, Eval(match(false, ItemList({Num("3")}))));
  EXPECT_EQ(1, Eval(match(false, ItemList({Num("3")})), 1));
}

TEST_F(EvaluatorTest, LikeOnTextsAndNumbers) {
  binding.Real("T/N", 12.5).Text("T/S", "HELLO");
  auto like = [&](const char* col, const char* pattern, bool notForm) {
    return notForm
               ? Pred(Value(Col(col)), Cmp({Tok(LEX_NOT), Tok(LEX_LIKE), Tok(LEX_CHAINE, pattern)}))
               : Pred(Value(Col(col)), Cmp({Tok(LEX_LIKE), Tok(LEX_CHAINE, pattern)}));
  };
  EXPECT_EQ(1, Eval(like("T/S", "HE%", false)));
  EXPECT_EQ(0, Eval(like("T/S", "HE%", true)));
  EXPECT_EQ(0, Eval(like("T/S", "X%", false)));
  EXPECT_EQ(1, Eval(like("T/S", "X%", false), 1));
  // A number is matched by its display text, never by its bytes.
  EXPECT_EQ(1, Eval(like("T/N", "12.5", false)));
  EXPECT_EQ(1, Eval(like("T/N", "12%", false)));
}

TEST_F(EvaluatorTest, MissingValuesDecide) {
  binding.Real("T/A", 4).Missing("T/M");
  // A second member without value makes the predicate hold.
  EXPECT_EQ(1, Eval(Compare(Col("T/A"), LEX_EGAL, Col("T/M"))));
  EXPECT_EQ(1, Eval(Compare(Col("T/A"), LEX_EGAL, Col("T/UNBOUND"))));
  EXPECT_EQ(1, Eval(Pred(Value(Col("T/A")), Cmp({Tok(LEX_BETWEEN), Col("T/M"), Num("9")}))));
  // A first member without value (an aggregate, HEX, a missing column)
  // satisfies no comparison; negation inverts that own truth.
  EXPECT_EQ(0, Eval(Compare(Aggregate(LEX_SUM, Col("T/A")), LEX_SUPERIEUR, Num("0"))));
  EXPECT_EQ(0, Eval(Compare(Scalar(LEX_HEX, Str("A")), LEX_EGAL, Str("41"))));
  EXPECT_EQ(0, Eval(Compare(Col("T/M"), LEX_EGAL, Num("4"))));
  EXPECT_EQ(1, Eval(Compare(Col("T/M"), LEX_EGAL, Num("4")), 1));
  EXPECT_EQ(0, Eval(Pred(Value(Col("T/M")), Cmp({Tok(LEX_IN), ItemList({Num("4")})}))));
  // An operation with a missing operand has no value: A - M is not -A.
  EXPECT_EQ(0,
            Eval(Pred(Sum({Term({Factor(Col("T/A"))}), Tok(LEX_MOINS), Term({Factor(Col("T/M"))})}),
                      Cmp({Tok(LEX_EGAL), Num("-4")}))));
}

TEST_F(EvaluatorTest, ExpressionsWithSignsOperatorsAndParentheses) {
  binding.Real("T/A", 3).Real("T/B", 2);
  OwnedValue v;
  // -A + B * 4 = 5
  ParseNode* e = Sum({Tok(LEX_MOINS), Term({Factor(Col("T/A"))}), Tok(LEX_PLUS),
                      Term({Factor(Col("T/B")), Tok(LEX_ETOILE), Factor(Num("4"))})});
  ASSERT_EQ(1, ev.EvaluateExpression(e, binding.get(), &v));
  double x = 0;
  ASSERT_TRUE(ReadNumber(v->type, v->bytes, &x));
  EXPECT_DOUBLE_EQ(5, x);
  delete e;
  // (A + 1) * 2 = 8: the parenthesised value takes part in the product.
  ParseNode* inner = Or({And({LFactor(
      Pred(Sum({Term({Factor(Col("T/A"))}), Tok(LEX_PLUS), Term({Factor(Num("1"))})})))})});
  EXPECT_EQ(1, Eval(Pred(Sum({Term({Paren(inner), Tok(LEX_ETOILE), Factor(Num("2"))})}),
                         Cmp({Tok(LEX_EGAL), Num("8")}))));
  // A parenthesised condition is no value.
  ParseNode* cond = Or({And({LFactor(Compare(Col("T/A"), LEX_EGAL, Num("3")))})});
  ParseNode* e2 = Sum({Term({Paren(cond)})});
  EXPECT_EQ(0, ev.EvaluateExpression(e2, binding.get(), &v));
  EXPECT_FALSE(v.has_value());
  delete e2;
  // 7 / 2 in reals; B / 0 has no value.
  ParseNode* d = Sum({Term({Factor(Num("7")), Tok(LEX_DIVISE), Factor(Col("T/B"))})});
  ASSERT_EQ(1, ev.EvaluateExpression(d, binding.get(), &v));
  ASSERT_TRUE(ReadNumber(v->type, v->bytes, &x));
  EXPECT_DOUBLE_EQ(3.5, x);
  delete d;
  ParseNode* z = Sum({Term({Factor(Col("T/B")), Tok(LEX_DIVISE), Factor(Num("0"))})});
  EXPECT_EQ(0, ev.EvaluateExpression(z, binding.get(), &v));
  delete z;
}

TEST_F(EvaluatorTest, ItemsAndScalarFunctions) {
  binding.Real("T/A", 12.7).Text("T/S", "abc");
  OwnedValue v;
  ParseNode* digits = Scalar(LEX_DIGITS, Num("12.7"));
  ASSERT_EQ(1, ev.EvaluateItem(digits, nullptr, &v));
  EXPECT_EQ(kValueText, v->type);
  EXPECT_EQ(3, v->length);
  EXPECT_STREQ("12", v->bytes);
  delete digits;
  ParseNode* neg = N(FON_ITEM_SIMPLE, "",
                     {N(FON_FONCTION_SCALAIRE_REF, "",
                        {Tok(LEX_DIGITS), N(FON_ITEM_SIMPLE, "", {Tok(LEX_REEL, "-1E12")})})});
  ASSERT_EQ(1, ev.EvaluateItem(neg, nullptr, &v));
  EXPECT_STREQ("-2147483648", v->bytes);  // held at the 32-bit limit
  delete neg;
  EXPECT_DOUBLE_EQ(
      -3, RealOf(Scalar(LEX_INTEGER, N(FON_ITEM_SIMPLE, "", {Tok(LEX_ENTIER_SIGNE, "-3.9")}))));
  EXPECT_DOUBLE_EQ(32767, RealOf(Scalar(LEX_INTEGER, Num("100000"))));
  EXPECT_DOUBLE_EQ(3, RealOf(Scalar(LEX_LENGTH, Str("abc"))));
  EXPECT_DOUBLE_EQ(3, RealOf(Scalar(LEX_LENGTH, Col("T/S"))));
  EXPECT_DOUBLE_EQ(4, RealOf(Scalar(LEX_LENGTH, Col("T/A"))));  // "12.7"
  EXPECT_NEAR(12.7, RealOf(Scalar(LEX_FLOAT, Col("T/A"))), 1e-5);
  EXPECT_DOUBLE_EQ(0, RealOf(Scalar(LEX_INTEGER, Str("99"))));  // a text counts as 0
  EXPECT_TRUE(HasNoValue(Scalar(LEX_HEX, Str("abc"))));
  EXPECT_TRUE(HasNoValue(Scalar(LEX_LENGTH, Col("T/UNBOUND"))));
  EXPECT_TRUE(HasNoValue(Aggregate(LEX_MAX, Col("T/A"))));
  EXPECT_TRUE(HasNoValue(N(FON_ITEM_SIMPLE, "", {Tok(LEX_NULL, "NULL")})));
  EXPECT_TRUE(HasNoValue(N(FON_ITEM_SIMPLE, "")));
  // A column has no value without a binding (INSERT and UPDATE values).
  ParseNode* col = Col("T/A");
  EXPECT_EQ(0, ev.EvaluateItem(col, nullptr, &v));
  delete col;
  // A string literal carries its terminator.
  ParseNode* s = Str("xy");
  ASSERT_EQ(1, ev.EvaluateItem(s, nullptr, &v));
  EXPECT_EQ(kValueText, v->type);
  EXPECT_EQ(3, v->length);
  delete s;
}

TEST_F(EvaluatorTest, DateAndTimeLiterals) {
  OwnedValue v;
  ParseNode* d = DateFn(LEX_DATE, "31/01/1999");
  ASSERT_EQ(1, ev.EvaluateItem(d, nullptr, &v));
  EXPECT_EQ(kValueDate, v->type);
  EXPECT_EQ(9, v->length);
  EXPECT_STREQ("19990131", v->bytes);
  delete d;
  ParseNode* t = DateFn(LEX_TIME, "10h30");
  ASSERT_EQ(1, ev.EvaluateItem(t, nullptr, &v));
  EXPECT_EQ(kValueTime, v->type);
  EXPECT_EQ(5, v->length);
  EXPECT_STREQ("1030", v->bytes);
  delete t;
  EXPECT_TRUE(HasNoValue(DateFn(LEX_YEAR, "31/01/1999")));
  EXPECT_TRUE(HasNoValue(DateFn(LEX_DATE, "not a date")));
  // A stored date compares with a DATE literal.
  binding.Text("T/D", "19990131", kValueDate);
  EXPECT_EQ(1, Eval(Compare(Col("T/D"), LEX_EGAL, DateFn(LEX_DATE, "31/01/1999"))));
}

TEST_F(EvaluatorTest, DeepNestingGivesNoValueInsteadOfExhaustingTheStack) {
  // DIGITS(DIGITS(...(1)...)) far deeper than the bound.
  ParseNode* item = Num("1");
  for (int i = 0; i < 5000; ++i) item = Scalar(LEX_DIGITS, item);
  EXPECT_TRUE(HasNoValue(item));
  // ((((1)))) likewise.
  ParseNode* sum = Value(Num("1"));
  for (int i = 0; i < 5000; ++i) {
    sum = Sum({Term({Paren(Or({And({LFactor(Pred(sum))})}))})});
  }
  OwnedValue v;
  EXPECT_EQ(0, ev.EvaluateExpression(sum, nullptr, &v));
  delete sum;
  // A shallow nesting still evaluates.
  ParseNode* shallow = Num("1");
  for (int i = 0; i < 10; ++i) shallow = Scalar(LEX_LENGTH, shallow);
  EXPECT_DOUBLE_EQ(1, RealOf(shallow));
}

}  // namespace
}  // namespace zksql
