// Parser: the rules below the clause level — search conditions with OR,
// AND and NOT, predicates and their comparisons, arithmetic with + - * /,
// simple items (literals, column names, function calls) and the scalar,
// aggregate and date and time functions.
//
// The grammar is narrow on purpose: only the left side of a predicate may
// be arithmetic; comparison right sides, BETWEEN bounds, IN lists, function
// arguments and select-list entries are simple items. Parentheses group only
// in a factor, around a whole condition, so «(A + 1) * 2» and «(A = 1 OR
// B = 2)» both arrive as a factor holding a search condition, and the
// analysis tells a parenthesised value from a parenthesised condition by
// what that condition holds.
//
// The rules that can recurse without bound (a logical factor through NOT
// and parentheses, a simple item through function arguments) count their
// nesting, and fail past Parser::kMaxNesting instead of exhausting the
// stack.
#include <cstdlib>

#include "sql/parser.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"

namespace zksql {

// Search condition: logical terms joined by OR (not stored).
ParseStep Parser::SearchCondition(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_CONDITION_RECHERCHE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseStep r = ItemList(text, start, &Parser::LogicalTerm, LEX_OR, kParseNotThisConstruct, kids);
  if (!r.ok()) return Failure(tok, node, r);
  return Success(tok, r.position());
}

// Logical term: logical factors joined by AND (not stored).
ParseStep Parser::LogicalTerm(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_TERME_LOGIQUE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseStep r =
      ItemList(text, start, &Parser::LogicalFactor, LEX_AND, kParseNotThisConstruct, kids);
  if (!r.ok()) return Failure(tok, node, r);
  return Success(tok, r.position());
}

// Logical factor: NOT and a logical factor, or a predicate.
ParseStep Parser::LogicalFactor(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  NestingLevel level(this);
  if (!NewRuleNode(node, FON_FACTEUR_LOGIQUE)) return OutOfMemory(tok, node);
  if (level.TooDeep()) return TooDeep(tok, node, start);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kMsgEvaluableExpected, start);
  }
  ParseNodePtr child;
  bool negated = code == LEX_NOT;
  if (negated && kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) {
    return OutOfMemory(tok, node);
  }
  ParseStep r = negated ? LogicalFactor(text, q, child) : Predicate(text, start, child);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(child));
  return Success(tok, r.position());
}

// Predicate: EXISTS or UNIQUE (optionally followed by NOT) and a
// parenthesised sub-select; or a value expression with an optional
// comparison.
ParseStep Parser::Predicate(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_EXPRESSION)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kMsgEvaluableExpected, start);
  }
  if (code == LEX_EXISTS || code == LEX_UNIQUE) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    int16_t p = q;
    if (ReadToken(text, p, tok, code, q, 0) && code == LEX_NOT) {
      if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
      p = q;
    }
    if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
      return Failure(tok, node, kMsgOpeningParenthesis, p);
    }
    ParseNodePtr sub;
    ParseStep r = SubSelect(text, q, sub);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(sub));
    if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kMsgClosingParenthesis, r.position());
    }
    return Success(tok, q);
  }
  ParseNodePtr value;
  ParseStep r = ValueExpression(text, start, value);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(value));
  ParseNodePtr comparison;
  ParseStep c = Comparison(text, r.position(), comparison);
  // No comparison follows: the predicate is the value alone (the position
  // the comparison recorded stays, as for every abandoned alternative).
  if (c.failed(kParseNotThisConstruct)) return Success(tok, r.position());
  if (!c.ok()) return Failure(tok, node, c);
  kids.Add(std::move(comparison));
  return Success(tok, c.position());
}

// Value expression: an optional leading sign, then terms joined by + or -.
// Tokens are read without signs, so «A -1» is A minus 1.
ParseStep Parser::ValueExpression(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_ITEM_COMPARE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kMsgEvaluableExpected, start);
  }
  int16_t p = start;
  if (code == LEX_PLUS || code == LEX_MOINS) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    p = q;
  }
  ParseNodePtr term;
  ParseStep r = Term(text, p, term);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(term));
  p = r.position();
  while (ReadToken(text, p, tok, code, q, 0) && (code == LEX_PLUS || code == LEX_MOINS)) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    r = Term(text, q, term);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(term));
    p = r.position();
  }
  return Success(tok, p);
}

// Term: factors joined by * or /. Any other operator ends the term.
ParseStep Parser::Term(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_TERME)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseNodePtr factor;
  ParseStep r = Factor(text, start, factor);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(factor));
  int16_t p = r.position();
  while (ReadToken(text, p, tok, code, q, 0) && (code == LEX_ETOILE || code == LEX_DIVISE)) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    r = Factor(text, q, factor);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(factor));
    p = r.position();
  }
  return Success(tok, p);
}

// Factor: a parenthesised search condition, or a simple item.
ParseStep Parser::Factor(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  if (!NewRuleNode(node, FON_FACTEUR)) return OutOfMemory(tok, node);
  Children kids(node.get());
  // No token: the lexer's own message, with no position of its own.
  ParseStep next = NextToken(text, start, tok, code, 0);
  if (!next.ok()) return Failure(tok, node, next);
  int16_t q = next.position();
  if (code == LEX_PAR_OUVRANTE) {
    ParseNodePtr condition;
    ParseStep r = SearchCondition(text, q, condition);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(condition));
    if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kMsgClosingParenthesis, r.position());
    }
    return Success(tok, q);
  }
  ParseNodePtr item;
  ParseStep r = SimpleItem(text, start, item);
  if (r.failed(kParseNotThisConstruct)) return Failure(tok, node, kMsgSimpleItemExpected, start);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(item));
  return Success(tok, r.position());
}

// Comparison: what follows the value of a predicate — IS [NOT] NULL,
// MATCH [UNIQUE] (...), [NOT] BETWEEN, [NOT] IN, [NOT] LIKE, or a
// comparison operator with a simple item, a sub-select or a quantified
// list. Anything else is not a comparison (kParseNotThisConstruct).
ParseStep Parser::Comparison(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_COMPARAISON)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  if (code == LEX_IS) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    int16_t afterIs = q;
    if (!ReadToken(text, afterIs, tok, code, q, 0)) return Success(tok, afterIs);
    int16_t beforeNull = afterIs;
    if (code == LEX_NOT) {
      if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
      beforeNull = q;
      if (!ReadToken(text, beforeNull, tok, code, q, 0)) {
        return Failure(tok, node, kMsgNullExpected, beforeNull);
      }
    }
    if (code != LEX_NULL) return Failure(tok, node, kMsgNullExpected, beforeNull);
    return Success(tok, q);
  }
  if (code == LEX_MATCH) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    int16_t p = q;
    if (!ReadToken(text, p, tok, code, q, 0)) return Success(tok, p);
    if (code == LEX_UNIQUE) {
      if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
      p = q;
    }
    ParseStep r = ParenthesisedSecondMember(text, p, node, tok);
    return r.ok() ? Success(tok, r.position()) : r;
  }
  if (code == LEX_NOT) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    int16_t afterNot = q;
    if (!ReadToken(text, afterNot, tok, code, q, 0)) {
      return Failure(tok, node, kMsgSecondMemberExpected, afterNot);
    }
    // Only BETWEEN, IN and LIKE can be negated here; any other NOT is left
    // to the caller.
    if (code != LEX_BETWEEN && code != LEX_IN && code != LEX_LIKE) {
      return Failure(tok, node, kParseNotThisConstruct, start);
    }
  }
  if (code == LEX_BETWEEN || code == LEX_IN || code == LEX_LIKE) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    ParseStep r = code == LEX_BETWEEN ? BetweenTail(text, q, node, tok)
                  : code == LEX_IN    ? InTail(text, q, node, tok)
                                      : LikeTail(text, q, node, tok);
    return r.ok() ? Success(tok, r.position()) : r;
  }
  if (!IsComparisonOperator(code)) return Failure(tok, node, kParseNotThisConstruct, start);

  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  int16_t afterOperator = q;
  if (!ReadToken(text, afterOperator, tok, code, q, 0)) {
    return Failure(tok, node, kMsgSecondMemberExpected, afterOperator);
  }
  if (code == LEX_ALL || code == LEX_ANY || code == LEX_SOME) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    ParseStep r = ParenthesisedSecondMember(text, q, node, tok);
    return r.ok() ? Success(tok, r.position()) : r;
  }
  if (code == LEX_PAR_OUVRANTE) {
    // A parenthesis after a comparison operator always opens a sub-select.
    ParseNodePtr sub;
    ParseStep r = SubSelect(text, q, sub);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(sub));
    if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kMsgClosingParenthesis, r.position());
    }
    return Success(tok, q);
  }
  ParseNodePtr item;
  ParseStep r = SimpleItem(text, afterOperator, item);
  if (r.failed(kParseNotThisConstruct)) {
    return Failure(tok, node, kMsgSecondMemberExpected, afterOperator);
  }
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(item));
  return Success(tok, r.position());
}

ParseStep Parser::BetweenTail(const char* text, int16_t after, ParseNodePtr& node,
                              char*& tokenText) {
  int16_t code = 0;
  int16_t q = 0;
  ParseNodePtr low;
  ParseStep r = SimpleItem(text, after, low);
  if (r.failed(kParseNotThisConstruct)) {
    return Failure(tokenText, node, kMsgSimpleItemExpected, after);
  }
  if (!r.ok()) return Failure(tokenText, node, r);
  node->AddChild(low.release(), 0);
  if (!ReadToken(text, r.position(), tokenText, code, q, 0) || code != LEX_AND) {
    return Failure(tokenText, node, kMsgAndExpected, r.position());
  }
  int16_t afterAnd = q;
  ParseNodePtr high;
  r = SimpleItem(text, afterAnd, high);
  if (r.failed(kParseNotThisConstruct)) {
    return Failure(tokenText, node, kMsgSimpleItemExpected, afterAnd);
  }
  if (!r.ok()) return Failure(tokenText, node, r);
  node->AddChild(high.release(), 0);
  return r;
}

ParseStep Parser::InTail(const char* text, int16_t after, ParseNodePtr& node, char*& tokenText) {
  int16_t code = 0;
  int16_t q = 0;
  if (!ReadToken(text, after, tokenText, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tokenText, node, kMsgOpeningParenthesis, after);
  }
  int16_t afterParen = q;
  ParseNodePtr member;
  ParseStep r = SecondMember(text, afterParen, member);
  if (r.failed(kParseNotThisConstruct)) {
    return Failure(tokenText, node, kMsgSubGroupExpected, afterParen);
  }
  if (!r.ok()) return Failure(tokenText, node, r);
  node->AddChild(member.release(), 0);
  if (!ReadToken(text, r.position(), tokenText, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tokenText, node, kMsgClosingParenthesis, r.position());
  }
  return ParseStep::At(q);
}

ParseStep Parser::LikeTail(const char* text, int16_t after, ParseNodePtr& node, char*& tokenText) {
  int16_t code = 0;
  int16_t q = 0;
  // The pattern is always a string literal; there is no ESCAPE clause.
  if (!ReadToken(text, after, tokenText, code, q, 0) || code != LEX_CHAINE) {
    return Failure(tokenText, node, kMsgStringExpected, after);
  }
  if (node->AddNewChild(tokenText, code, 0, 0) == nullptr) return OutOfMemory(tokenText, node);
  return ParseStep::At(q);
}

ParseStep Parser::ParenthesisedSecondMember(const char* text, int16_t after, ParseNodePtr& node,
                                            char*& tokenText) {
  int16_t code = 0;
  int16_t q = 0;
  if (!ReadToken(text, after, tokenText, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tokenText, node, kMsgOpeningParenthesis, after);
  }
  ParseNodePtr member;
  ParseStep r = SecondMember(text, q, member);
  if (!r.ok()) return Failure(tokenText, node, r);
  node->AddChild(member.release(), 0);
  if (!ReadToken(text, r.position(), tokenText, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tokenText, node, kMsgClosingParenthesis, r.position());
  }
  return ParseStep::At(q);
}

// Second member: a sub-select (it reads SELECT itself) or a simple-item
// list.
ParseStep Parser::SecondMember(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_COMPOSANT_SECOND_MEMBRE)) return OutOfMemory(tok, node);
  if (!ReadToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  ParseNodePtr child;
  ParseStep r =
      code == LEX_SELECT ? SubSelect(text, start, child) : SimpleItemList(text, start, child);
  if (!r.ok()) return Failure(tok, node, r);
  node->AddChild(child.release(), 0);
  return Success(tok, r.position());
}

// Simple-item list: simple items joined by commas.
ParseStep Parser::SimpleItemList(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_ITEM_SIMPLE_VIRGULE_LISTE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseStep r =
      ItemList(text, start, &Parser::SimpleItem, LEX_VIRGULE, kMsgSimpleItemExpected, kids);
  if (r.failed(kParseNotThisConstruct)) return Failure(tok, node, kMsgSimpleItemExpected, start);
  if (!r.ok()) return Failure(tok, node, r);
  return Success(tok, r.position());
}

// Simple item: a number (read with its sign), a string literal, a column
// name (wanted), or a scalar, aggregate or date and time function call.
ParseStep Parser::SimpleItem(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  NestingLevel level(this);
  if (!NewRuleNode(node, FON_ITEM_SIMPLE)) return OutOfMemory(tok, node);
  if (level.TooDeep()) return TooDeep(tok, node, start);
  ParseStep next = NextToken(text, start, tok, code, 1);
  if (!next.ok()) {
    MessageId message =
        next.failed(kLexUnterminated) ? kMsgUnterminatedString : kParseNotThisConstruct;
    return Failure(tok, node, message, start);
  }
  int16_t q = next.position();
  switch (code) {
    case LEX_ENTIER:
    case LEX_NOMBRE_DECIMAL:
    case LEX_REEL:
    case LEX_CHAINE:
      if (node->AddNewChild(tok, code, 0, 0) == nullptr) return OutOfMemory(tok, node);
      return Success(tok, q);
    case LEX_ENTIER_SIGNE:
      // A signed integer is kept with the code of a real number.
      if (node->AddNewChild(tok, LEX_REEL, 0, 0) == nullptr) return OutOfMemory(tok, node);
      return Success(tok, q);
    case LEX_IDENTIFICATEUR:
      if (node->AddNewChild(tok, code, 0, 0) == nullptr) return OutOfMemory(tok, node);
      // A name the list cannot hold (longer than any item name) is simply
      // not wanted; the analysis then reports it as an unknown column. One
      // lost for want of memory fails the parse instead.
      if (names_ != nullptr && !names_->RegisterItemName(tok)) return OutOfMemory(tok, node);
      return Success(tok, q);
    default:
      break;
  }
  ParseNodePtr function;
  ParseStep r = ScalarFunction(text, start, function);
  if (r.failed(kParseNotThisConstruct)) r = AggregateFunction(text, start, function);
  if (r.failed(kParseNotThisConstruct)) r = DateTimeFunction(text, start, function);
  if (r.failed(kParseNotThisConstruct)) return Failure(tok, node, kParseNotThisConstruct, start);
  if (!r.ok()) return Failure(tok, node, r);
  node->AddChild(function.release(), 0);
  return Success(tok, r.position());
}

// Scalar function: DIGITS, FLOAT, HEX, INTEGER or LENGTH of a simple item.
ParseStep Parser::ScalarFunction(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_FONCTION_SCALAIRE_REF)) return OutOfMemory(tok, node);
  if (!ReadToken(text, start, tok, code, q, 0) ||
      (code != LEX_DIGITS && code != LEX_FLOAT && code != LEX_HEX && code != LEX_INTEGER &&
       code != LEX_LENGTH)) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  if (node->AddNewChild(tok, code, 0, 0) == nullptr) return OutOfMemory(tok, node);
  int16_t afterName = q;
  if (!ReadToken(text, afterName, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tok, node, kMsgOpeningParenthesis, afterName);
  }
  int16_t afterParen = q;
  ParseNodePtr item;
  ParseStep r = SimpleItem(text, afterParen, item);
  if (!r.ok()) return Failure(tok, node, kMsgSimpleItemExpected, afterParen);
  node->AddChild(item.release(), 0);
  if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tok, node, kMsgClosingParenthesis, r.position());
  }
  return Success(tok, q);
}

// Aggregate function: AVG, MAX, MIN or SUM of an optionally quantified
// simple item; COUNT(*) and COUNT DISTINCT alone.
ParseStep Parser::AggregateFunction(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_FONCTION_AGREGEE_REF)) return OutOfMemory(tok, node);
  if (!ReadToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  if (code == LEX_COUNT_ETOILE || code == LEX_COUNT_DISTINCT) {
    if (node->AddNewChild(tok, code, 0, 0) == nullptr) return OutOfMemory(tok, node);
    return Success(tok, q);
  }
  if (code != LEX_AVG && code != LEX_MAX && code != LEX_MIN && code != LEX_SUM) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  if (node->AddNewChild(tok, code, 0, 0) == nullptr) return OutOfMemory(tok, node);
  int16_t afterName = q;
  if (!ReadToken(text, afterName, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tok, node, kMsgOpeningParenthesis, afterName);
  }
  int16_t itemStart = q;
  if (ReadToken(text, itemStart, tok, code, q, 0) && (code == LEX_ALL || code == LEX_DISTINCT)) {
    if (node->AddNewChild(tok, code, 0, 0) == nullptr) return OutOfMemory(tok, node);
    itemStart = q;
  }
  ParseNodePtr item;
  ParseStep r = SimpleItem(text, itemStart, item);
  if (!r.ok()) return Failure(tok, node, kMsgSimpleItemExpected, itemStart);
  node->AddChild(item.release(), 0);
  if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tok, node, kMsgClosingParenthesis, r.position());
  }
  return Success(tok, q);
}

// Date and time function: DATE or TIME of a string; DAY, HOUR, MINUTE,
// SECOND or YEAR of a string, CURRENT DATE or CURRENT TIME.
ParseStep Parser::DateTimeFunction(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_FONCTION_DATE_HEURE_REF)) return OutOfMemory(tok, node);
  if (!ReadToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  bool ofString = code == LEX_DATE || code == LEX_TIME;
  bool ofMoment = code == LEX_DAY || code == LEX_HOUR || code == LEX_MINUTE ||
                  code == LEX_SECOND || code == LEX_YEAR;
  if (!ofString && !ofMoment) return Failure(tok, node, kParseNotThisConstruct, start);
  if (node->AddNewChild(tok, code, 0, 0) == nullptr) return OutOfMemory(tok, node);
  int16_t afterName = q;
  if (!ReadToken(text, afterName, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tok, node, kMsgOpeningParenthesis, afterName);
  }
  int16_t afterParen = q;
  if (ofString) {
    if (!ReadToken(text, afterParen, tok, code, q, 0) || code != LEX_CHAINE) {
      return Failure(tok, node, kMsgStringExpected, afterParen);
    }
  } else {
    // No token: the lexer's own message, at the argument.
    ParseStep argument = NextToken(text, afterParen, tok, code, 0);
    if (!argument.ok()) return Failure(tok, node, argument.failure(), afterParen);
    q = argument.position();
    if (code != LEX_CHAINE && code != LEX_CURRENT_DATE && code != LEX_CURRENT_TIME) {
      return Failure(tok, node, kMsgTimeArgumentExpected, afterParen);
    }
  }
  if (node->AddNewChild(tok, code, 0, 0) == nullptr) return OutOfMemory(tok, node);
  int16_t afterArgument = q;
  if (!ReadToken(text, afterArgument, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tok, node, kMsgClosingParenthesis, afterArgument);
  }
  return Success(tok, q);
}

}  // namespace zksql
