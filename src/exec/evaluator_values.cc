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
#include <cstdlib>
#include <cstring>

#include "base/out_of_memory.h"
#include "exec/evaluator.h"
#include "sql/value_list.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "values/value_converter.h"

namespace zksql {

namespace {

// A copy of `length` bytes under `type`; false when memory is short.
bool CopyValue(int16_t type, uint16_t length, const char* bytes, TypedValue* out) {
  char* copy = static_cast<char*>(std::malloc(length == 0 ? 1 : length));
  if (copy == nullptr) {
    NoteOutOfMemory();
    return false;
  }
  if (length > 0) std::memcpy(copy, bytes, length);
  out->type = type;
  out->length = length;
  out->bytes = copy;
  return true;
}

// a op b into *v (v = a); the operands are released. No value when either
// operand has none or the converter refuses the operation: an operation
// with a missing operand has no value (and a missing right operand must not
// be taken for "no second operand", which would negate the left one).
bool Combine(TypedValue* v, int16_t op, TypedValue* w) {
  if (v->bytes == nullptr || w->bytes == nullptr) {
    ReleaseValue(v);
    ReleaseValue(w);
    return false;
  }
  TypedValue result;
  bool ok = Converter().Arithmetic(*v, op, *w, &result);
  ReleaseValue(v);
  ReleaseValue(w);
  if (!ok) return false;
  *v = result;
  return true;
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

bool Evaluator::EvaluateItem(ParseNode* item, const ParseNode* binding, TypedValue* out) {
  return Item(item, binding, 0, out);
}

bool Evaluator::EvaluateExpression(ParseNode* expression, const ParseNode* binding,
                                   TypedValue* out) {
  return Expression(expression, binding, 0, out);
}

bool Evaluator::Expression(ParseNode* expression, const ParseNode* binding, int depth,
                           TypedValue* out) {
  *out = TypedValue();
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
  TypedValue v;
  if (!Term(p, binding, depth + 1, &v)) return false;
  if (negative) {
    TypedValue none;
    TypedValue negated;
    bool ok = Converter().Arithmetic(v, LEX_MOINS, none, &negated);
    ReleaseValue(&v);
    if (!ok) return false;
    v = negated;
  }
  for (p = p->next; p != nullptr; p = p->next) {
    const int16_t op = p->code == LEX_MOINS ? LEX_MOINS : LEX_PLUS;
    p = p->next;
    if (p == nullptr) break;
    TypedValue w;
    Term(p, binding, depth + 1, &w);
    if (!Combine(&v, op, &w)) return false;
  }
  *out = v;
  return true;
}

bool Evaluator::Term(ParseNode* term, const ParseNode* binding, int depth, TypedValue* out) {
  *out = TypedValue();
  if (term == nullptr || depth > kMaxDepth) return false;
  ParseNode* p = term->child;
  TypedValue v;
  if (!Factor(p, binding, depth + 1, &v)) return false;
  for (p = p->next; p != nullptr; p = p->next) {
    const int16_t op = p->code == LEX_DIVISE ? LEX_DIVISE : LEX_ETOILE;
    p = p->next;
    if (p == nullptr) break;
    TypedValue w;
    Factor(p, binding, depth + 1, &w);
    if (!Combine(&v, op, &w)) return false;
  }
  *out = v;
  return true;
}

bool Evaluator::Factor(ParseNode* factor, const ParseNode* binding, int depth, TypedValue* out) {
  *out = TypedValue();
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

bool Evaluator::Item(ParseNode* item, const ParseNode* binding, int depth, TypedValue* out) {
  *out = TypedValue();
  if (item == nullptr || depth > kMaxDepth) return false;
  ParseNode* c = item->child;
  if (c == nullptr) return false;  // NULL, DEFAULT
  switch (c->code) {
    case LEX_ENTIER:
    case LEX_ENTIER_SIGNE:
    case LEX_NOMBRE_DECIMAL:
    case LEX_REEL:
      return MakeNumberValue(kValueReal, Converter().ParseNumber(c->text == nullptr ? "" : c->text),
                             out);
    case LEX_CHAINE:
      return MakeTextValue(kValueText, c->text == nullptr ? "" : c->text, out);
    case LEX_IDENTIFICATEUR: {
      // Without a binding (INSERT and UPDATE values) a column has no value;
      // a column the binding does not hold has none either.
      const ValueNode* bound = FindBinding(binding, c->text);
      if (bound == nullptr || bound->bytes == nullptr) return false;
      return CopyValue(static_cast<int16_t>(bound->code), static_cast<uint16_t>(bound->value),
                       bound->bytes, out);
    }
    case FON_FONCTION_DATE_HEURE_REF:
      return DateTimeFunction(c, out);
    case FON_FONCTION_SCALAIRE_REF:
      return ScalarFunction(c, binding, depth + 1, out);
    case FON_FONCTION_AGREGEE_REF:
      // No aggregate value is computed: rows are selected without grouping.
      return false;
    default:
      return false;
  }
}

bool Evaluator::DateTimeFunction(ParseNode* function, TypedValue* out) {
  ParseNode* keyword = function->child;
  if (keyword == nullptr) return false;
  ParseNode* argument = keyword->next;
  if (argument == nullptr || argument->code != LEX_CHAINE || argument->text == nullptr)
    return false;
  if (keyword->code == LEX_DATE) {
    char date[kDateTextSize] = {0};
    if (!Converter().DateLiteral(argument->text, 8, date, sizeof date)) return false;
    return MakeTextValue(kValueDate, date, out);
  }
  if (keyword->code == LEX_TIME) {
    char time[kTimeTextSize] = {0};
    if (!Converter().TimeLiteral(argument->text, time, sizeof time)) return false;
    return MakeTextValue(kValueTime, time, out);
  }
  // DAY, HOUR, MINUTE, SECOND, YEAR: no value.
  return false;
}

bool Evaluator::ScalarFunction(ParseNode* function, const ParseNode* binding, int depth,
                               TypedValue* out) {
  ParseNode* keyword = function->child;
  if (keyword == nullptr) return false;
  TypedValue a;
  if (!Item(keyword->next, binding, depth + 1, &a)) return false;
  double x = 0;
  const bool numeric =
      KindOf(a.type) == TypeKind::kNumber && a.length >= NumberWidth(a.type);
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
      ok = MakeTextValue(kValueText, text, out);
      break;
    }
    case LEX_FLOAT:
      ok = MakeNumberValue(kValueFloat, x, out);
      break;
    case LEX_INTEGER:
      // Truncated toward zero; held at the 16-bit limits.
      ok = MakeNumberValue(kValueInt16, std::trunc(x), out);
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
      ok = MakeNumberValue(kValueInt16, static_cast<double>(len), out);
      break;
    }
    default:
      // HEX: no value.
      ok = false;
      break;
  }
  ReleaseValue(&a);
  return ok;
}

}  // namespace zksql
