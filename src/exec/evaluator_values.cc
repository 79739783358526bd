// Evaluator: the value side — sums of terms, products of factors,
// parenthesised values, simple items (literals, bound columns) and the
// scalar, date and time functions.
//
// Recursion follows the statement's nesting (parentheses, function calls),
// so every level counts its depth and gives up (no value) beyond
// Evaluator::kMaxDepth instead of letting a pathological statement exhaust
// the stack.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/fast_paths.h"
#include "exec/evaluator.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "sql/value_list.h"
#include "values/value_converter.h"

namespace zksql {

namespace {

// a op b into *v (v = a), emptied when there is no value. No value when
// either operand has none or the converter refuses the operation: an
// operation with a missing operand has no value (and a missing right
// operand must not be taken for "no second operand", which would negate
// the left one).
bool Combine(OwnedValue* v, int16_t op, const OwnedValue& w) {
  if (!v->has_value() || !w.has_value()) {
    v->Reset();
    return false;
  }
  OwnedValue result;
  bool ok = Converter().Arithmetic(v->view(), op, w.view(), result.Receive());
  *v = std::move(result);
  return ok;
}

// The parenthesised condition's single value expression when the group is
// a value and not a condition: one OR operand, one AND operand, no NOT, a
// predicate with a first member and no second member. Null otherwise.
ParseNode* ParenthesisedValue(ParseNode* condition) {
  ParseNode* andList = condition->child;
  if (andList == nullptr || andList->code != FON_TERME_LOGIQUE || andList->next != nullptr) {
    return nullptr;
  }
  ParseNode* factor = andList->child;
  if (factor == nullptr || factor->code != FON_FACTEUR_LOGIQUE || factor->next != nullptr) {
    return nullptr;
  }
  ParseNode* predicate = factor->child;
  if (predicate == nullptr || predicate->code != FON_EXPRESSION) return nullptr;
  ParseNode* member = predicate->child;
  if (member == nullptr || member->code != FON_ITEM_COMPARE || member->next != nullptr) {
    return nullptr;
  }
  return member;
}

}  // namespace

bool Evaluator::EvaluateItem(ParseNode* item, const RowBinding* binding, OwnedValue* out) {
  return Item(item, binding, 0, out);
}

bool Evaluator::EvaluateExpression(ParseNode* expression, const RowBinding* binding,
                                   OwnedValue* out) {
  return Expression(expression, binding, 0, out);
}

bool Evaluator::Expression(ParseNode* expression, const RowBinding* binding, int depth,
                           OwnedValue* out) {
  out->Reset();
  if (expression == nullptr || depth > kMaxDepth) return false;
  ParseNode* p = expression->child;
  bool negative = false;
  if (p != nullptr && p->code == LEX_PLUS) {
    p = p->next;
  } else if (p != nullptr && p->code == LEX_MOINS) {
    negative = true;
    p = p->next;
  }
  if (p == nullptr) return false;
  OwnedValue v;
  if (!Term(p, binding, depth + 1, &v)) return false;
  if (negative) {
    TypedValue none;  // no second operand: a negation
    OwnedValue negated;
    if (!Converter().Arithmetic(v.view(), LEX_MOINS, none, negated.Receive())) return false;
    v = std::move(negated);
  }
  for (p = p->next; p != nullptr; p = p->next) {
    const int16_t op = p->code == LEX_MOINS ? LEX_MOINS : LEX_PLUS;
    p = p->next;
    if (p == nullptr) break;
    OwnedValue w;
    Term(p, binding, depth + 1, &w);
    if (!Combine(&v, op, w)) return false;
  }
  *out = std::move(v);
  return true;
}

bool Evaluator::Term(ParseNode* term, const RowBinding* binding, int depth, OwnedValue* out) {
  out->Reset();
  if (term == nullptr || depth > kMaxDepth) return false;
  ParseNode* p = term->child;
  OwnedValue v;
  if (!Factor(p, binding, depth + 1, &v)) return false;
  for (p = p->next; p != nullptr; p = p->next) {
    const int16_t op = p->code == LEX_DIVISE ? LEX_DIVISE : LEX_ETOILE;
    p = p->next;
    if (p == nullptr) break;
    OwnedValue w;
    Factor(p, binding, depth + 1, &w);
    if (!Combine(&v, op, w)) return false;
  }
  *out = std::move(v);
  return true;
}

bool Evaluator::Factor(ParseNode* factor, const RowBinding* binding, int depth, OwnedValue* out) {
  out->Reset();
  if (factor == nullptr || depth > kMaxDepth) return false;
  ParseNode* c = factor->child;
  if (c == nullptr) return false;
  if (c->code == FON_ITEM_SIMPLE) return Item(c, binding, depth + 1, out);
  if (c->code == FON_CONDITION_RECHERCHE) {
    // «(A + 1) * 2»: a parenthesised value. A parenthesised condition
    // («(A = 1 OR B = 2)») has no value: taking its first member alone would
    // silently drop the rest of it.
    ParseNode* member = ParenthesisedValue(c);
    if (member == nullptr) return false;
    return Expression(member, binding, depth + 1, out);
  }
  return false;
}

bool Evaluator::Item(ParseNode* item, const RowBinding* binding, int depth, OwnedValue* out) {
  out->Reset();
  if (item == nullptr || depth > kMaxDepth) return false;
  ParseNode* c = item->child;
  if (c == nullptr) return false;  // NULL, DEFAULT
  switch (c->code) {
    case LEX_ENTIER:
    case LEX_ENTIER_SIGNE:
    case LEX_NOMBRE_DECIMAL:
    case LEX_REEL:
      // Read once per statement, not once per row.
      if (!c->numberRead || !FastPathsOn()) {
        c->number = Converter().ParseNumber(c->text == nullptr ? "" : c->text);
        c->numberRead = true;
      }
      return MakeNumberValue(kValueReal, c->number, out->Receive());
    case LEX_CHAINE:
      return MakeTextValue(kValueText, c->text == nullptr ? "" : c->text, out->Receive());
    case LEX_IDENTIFICATEUR: {
      // Without a binding (INSERT and UPDATE values) a column has no value;
      // a column the binding does not hold has none either.
      const TypedValue* bound = binding == nullptr ? nullptr : binding->Find(c->text);
      if (bound == nullptr || bound->bytes == nullptr) return false;
      return CopyValue(*bound, out);
    }
    case FON_FONCTION_DATE_HEURE_REF:
      return DateTimeFunction(c, out);
    case FON_FONCTION_SCALAIRE_REF:
      return ScalarFunction(c, binding, depth + 1, out);
    case FON_FONCTION_AGREGEE_REF: {
      // An aggregate's value is its group's, bound by the grouping that
      // decides a HAVING clause; anywhere else it has none.
      const TypedValue* bound = binding == nullptr ? nullptr : binding->FindNode(c);
      if (bound == nullptr || bound->bytes == nullptr) return false;
      return CopyValue(*bound, out);
    }
    default:
      return false;
  }
}

bool Evaluator::DateTimeFunction(ParseNode* function, OwnedValue* out) {
  ParseNode* keyword = function->child;
  if (keyword == nullptr) return false;
  ParseNode* argument = keyword->next;
  if (argument == nullptr || argument->code != LEX_CHAINE || argument->text == nullptr)
    return false;
  if (keyword->code == LEX_DATE) {
    char date[kDateTextSize] = {0};
    if (!Converter().DateLiteral(argument->text, 8, date, sizeof date)) return false;
    return MakeTextValue(kValueDate, date, out->Receive());
  }
  if (keyword->code == LEX_TIME) {
    char time[kTimeTextSize] = {0};
    if (!Converter().TimeLiteral(argument->text, time, sizeof time)) return false;
    return MakeTextValue(kValueTime, time, out->Receive());
  }
  // DAY, HOUR, MINUTE, SECOND, YEAR: no value.
  return false;
}

bool Evaluator::ScalarFunction(ParseNode* function, const RowBinding* binding, int depth,
                               OwnedValue* out) {
  ParseNode* keyword = function->child;
  if (keyword == nullptr) return false;
  OwnedValue argument;
  if (!Item(keyword->next, binding, depth + 1, &argument)) return false;
  const TypedValue& a = argument.view();
  double x = 0;
  const bool numeric = KindOf(a.type) == TypeKind::kNumber && a.length >= NumberWidth(a.type);
  if (numeric) (void)ReadNumber(a.type, a.bytes, &x);  // a value without bytes reads as 0
  bool ok = false;
  switch (keyword->code) {
    case LEX_DIGITS: {
      // Truncated toward zero into 32 bits; a number beyond them is held at
      // the nearest limit (a plain conversion would be undefined).
      double t = std::trunc(x);
      long n;
      if (std::isnan(t)) {
        n = 0;
      } else if (t >= 2147483647.0) {
        n = 2147483647L;
      } else if (t <= -2147483648.0) {
        n = -2147483647L - 1;
      } else {
        n = static_cast<long>(t);
      }
      char text[16];
      std::snprintf(text, sizeof text, "%li", n);
      ok = MakeTextValue(kValueText, text, out->Receive());
      break;
    }
    case LEX_FLOAT:
      ok = MakeNumberValue(kValueFloat, x, out->Receive());
      break;
    case LEX_INTEGER:
      // Truncated toward zero; held at the 16-bit limits.
      ok = MakeNumberValue(kValueInt16, std::trunc(x), out->Receive());
      break;
    case LEX_LENGTH: {
      // The length of a text (date, time) up to its terminator, never past
      // its bytes; a number has no bytes to count, so its length is that of
      // its display text, as the host would see it.
      size_t len = 0;
      if (numeric) {
        char text[kNumberTextSize];
        int digits = (a.type == kValueFloat || a.type == kValueFloat2) ? 7 : 9;
        int32_t n = Converter().NumberText(x, digits, text, sizeof text);
        len = n < 0 ? 0 : static_cast<size_t>(n);
      } else if (a.bytes != nullptr) {
        len = strnlen(a.bytes, a.length);
      }
      ok = MakeNumberValue(kValueInt16, static_cast<double>(len), out->Receive());
      break;
    }
    default:
      // HEX: no value.
      ok = false;
      break;
  }
  return ok;
}

}  // namespace zksql
