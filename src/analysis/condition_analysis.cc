// Condition analysis and typing: checks the expressions of WHERE and HAVING
// clauses, select items and predicate operands for type agreement, and
// turns each condition into the tree the selection engine combines.
//
// Every predicate becomes a leaf holding a row set that knows the columns
// the predicate reads (gathered in a PredicateReads) and is filed with the
// driver under the tables those columns belong to; NOT, AND, OR and
// parenthesised conditions become the nodes above the leaves. Type classes: numeric
// (104), text (301, also dates and times), any (-1) and failure (0).
//
// Two flags keep conditions out of arithmetic: the arithmetic flag goes
// down into the operands analysed after a sign or an arithmetic operator
// and makes NOT, AND, OR and comparisons there an error; the logical flag
// comes up from an operand that holds NOT, AND or OR and makes an
// arithmetic operator after it an error.
#include <cstdlib>
#include <cstring>
#include <new>

#include "analysis/analyser.h"
#include "base/messages.h"
#include "base/statement_context.h"
#include "select/condition_tree.h"
#include "select/row_set.h"
#include "select/selection_driver.h"
#include "select/selection_plan.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"

namespace zksql {

namespace {

bool IsSign(int32_t code) {
  return code == LEX_PLUS || code == LEX_MOINS;
}

// The value inside a parenthesised factor, when the parenthesis holds a
// value rather than a condition: one operand at every level, no NOT, and a
// predicate made of a first member alone. «(A + 1) * 2 = 8» multiplies the
// value A + 1; it is not a condition of its own. Null otherwise.
ParseNode* ParenthesisedValue(const ParseNode* condition) {
  const ParseNode* term = condition->child;
  if (term == nullptr || term->next != nullptr || term->code != FON_TERME_LOGIQUE) return nullptr;
  const ParseNode* factor = term->child;
  if (factor == nullptr || factor->next != nullptr || factor->code != FON_FACTEUR_LOGIQUE) {
    return nullptr;
  }
  const ParseNode* predicate = factor->child;
  if (predicate == nullptr || predicate->code != FON_EXPRESSION) return nullptr;
  ParseNode* member = predicate->child;
  if (member == nullptr || member->code != FON_ITEM_COMPARE || member->next != nullptr) {
    return nullptr;
  }
  return member;
}

// Appends `node` after `*last` and makes it the last node.
void Chain(ParseNode** last, ParseNode* node) {
  (*last)->AppendSibling(node, 1);
  *last = node;
}

}  // namespace

// OR level (FON_CONDITION_RECHERCHE, operands at the AND level) and AND
// level (FON_TERME_LOGIQUE, operands at the NOT level): a single operand
// stands for itself; several make a chain group, operator, group, ...
int16_t Analyser::ListLevel(ParseNode* list, int32_t op, int16_t arithmetic, int16_t* logical,
                            ParseNodePtr* slot, int16_t driver) {
  slot->reset();
  ParseNode* first = list->child;
  if (first == nullptr) {
    ReportRejected(list->text);
    return kClassFailed;
  }
  auto operand = [&](ParseNode* node, ParseNodePtr* out) {
    return op == kConditionOr ? AndLevel(node, arithmetic, logical, out, driver)
                              : NotLevel(node, arithmetic, logical, out, driver);
  };
  ParseNodePtr s1;
  int16_t type = operand(first, &s1);
  if (type == kClassFailed) return kClassFailed;
  if (first->next == nullptr) {
    *slot = std::move(s1);
    return type;
  }
  if (arithmetic) {
    ReportMessage(kMsgLogicalInArithmetic, first->text);
    return kClassFailed;
  }
  ParseNodePtr head(NewConditionGroup(s1.get()));
  if (head == nullptr) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return kClassFailed;
  }
  s1.release();  // the group holds it
  ParseNode* last = head.get();
  for (ParseNode* node = first->next; node != nullptr; node = node->next) {
    ParseNode* opNode = NewConditionOperator(op);
    if (opNode == nullptr) {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return kClassFailed;
    }
    Chain(&last, opNode);
    ParseNodePtr s;
    if (operand(node, &s) == kClassFailed) return kClassFailed;
    ParseNode* group = NewConditionGroup(s.get());
    if (group == nullptr) {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return kClassFailed;
    }
    s.release();  // the group holds it
    Chain(&last, group);
  }
  *logical = 1;
  *slot = std::move(head);
  return type;
}

int16_t Analyser::Condition(ParseNode* condition, int16_t arithmetic, int16_t* logical,
                            ParseNodePtr* slot, int16_t driver) {
  return ListLevel(condition, kConditionOr, arithmetic, logical, slot, driver);
}

int16_t Analyser::AndLevel(ParseNode* term, int16_t arithmetic, int16_t* logical,
                           ParseNodePtr* slot, int16_t driver) {
  return ListLevel(term, kConditionAnd, arithmetic, logical, slot, driver);
}

int16_t Analyser::NotLevel(ParseNode* factor, int16_t arithmetic, int16_t* logical,
                           ParseNodePtr* slot, int16_t driver) {
  slot->reset();
  ParseNode* first = factor->child;
  if (first == nullptr) {
    ReportRejected(factor->text);
    return kClassFailed;
  }
  if (first->code == LEX_NOT) {
    if (arithmetic) {
      ReportMessage(kMsgLogicalInArithmetic, first->text);
      return kClassFailed;
    }
    *logical = 1;
    if (first->next == nullptr) {
      ReportRejected(first->text);
      return kClassFailed;
    }
    ParseNodePtr inner;
    int16_t type = NotLevel(first->next, arithmetic, logical, &inner, driver);
    if (type == kClassFailed) return kClassFailed;
    ParseNode* node = ParseNode::Create("NOT", kConditionNot, 0, inner.get(), nullptr);
    if (node == nullptr) {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return kClassFailed;
    }
    inner.release();  // the NOT node holds it
    slot->reset(node);
    return type;
  }
  // A predicate's columns belong to their tables: only the array goes.
  ColumnArrayPtr columns(new (std::nothrow) PtrArray(0, 4));
  if (columns == nullptr) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return kClassFailed;
  }
  PredicateReads reads;
  ParseNodePtr structure;
  int16_t type = Predicate(first, arithmetic, &structure, &reads, columns.get(), driver);
  if (type == kClassFailed) return kClassFailed;
  if (structure != nullptr) {
    *slot = std::move(structure);
    return type;
  }
  // The predicate's row set takes the collected references and columns,
  // the leaf takes the row set, and the driver learns of it.
  ParseNodePtr references = reads.TakeReferences();
  std::unique_ptr<RowSet> rows(RowSet::Create(first, references.get(), columns.get()));
  if (rows != nullptr) {
    references.release();
    columns.release();
    rows->deferred = reads.readsOuter();
  }
  ParseNodePtr leaf(rows == nullptr ? nullptr : NewConditionLeaf(rows.get()));
  RowSet* rowSet = leaf == nullptr ? nullptr : rows.release();
  SelectionDriver* d = plan_->Driver(driver);
  if (leaf == nullptr || d == nullptr || !d->RegisterCondition(reads.tables(), rowSet)) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return kClassFailed;
  }
  *slot = std::move(leaf);
  return type;
}

int16_t Analyser::Predicate(ParseNode* predicate, int16_t arithmetic, ParseNodePtr* slot,
                            PredicateReads* reads, PtrArray* columns, int16_t driver) {
  slot->reset();
  ParseNode* first = predicate->child;
  if (first == nullptr) {
    ReportRejected(predicate->text);
    return kClassFailed;
  }
  if (first->code == LEX_EXISTS || first->code == LEX_UNIQUE) {
    ParseNode* n = first->next != nullptr && first->next->code == LEX_NOT ? first->next : first;
    ParseNode* sub = n->next;
    if (sub == nullptr || sub->code != FON_SOUS_SELECT) {
      ReportRejected(first->text);
      return kClassFailed;
    }
    int16_t index = -1;
    int16_t type = SubSelect(sub, driver, 0, &index);
    first->value = index;
    if (type == kClassFailed) return kClassFailed;
    n->value = index;
    if (!RegisterSubSelect(index, driver, reads, columns)) return kClassFailed;
    return type;
  }
  int16_t memberLogical = 0;
  int16_t type = FirstMember(first, arithmetic, &memberLogical, slot, reads, columns, driver);
  if (type == kClassFailed) {
    slot->reset();
    return kClassFailed;
  }
  ParseNode* second = first->next;
  if (second == nullptr) return type;
  if (arithmetic || memberLogical) {
    slot->reset();
    ReportMessage(kMsgLogicalInArithmetic, first->text);
    return kClassFailed;
  }
  if (*slot != nullptr) {
    // A parenthesised condition compared with a value: a condition has no
    // value to compare, so the comparison could only be dropped silently.
    slot->reset();
    ReportMessage(kMsgTypeMismatch, second->text);
    return kClassFailed;
  }
  int16_t t2 = SecondMember(second, reads, columns, driver);
  if (t2 == kClassFailed) return kClassFailed;
  if (t2 != kClassAny && t2 != type) {
    ReportMessage(kMsgTypeMismatch, second->text);
    return kClassFailed;
  }
  return type;
}

// A chain of operands joined by arithmetic operators: a first member
// (terms joined by "+" and "-", after an optional sign) or a term (factors
// joined by "*" and "/"). Every operand must have the first's type class;
// the first operand's structure, when it is a parenthesised condition, is
// the chain's, and then no operator may follow.
int16_t Analyser::OperandChain(ParseNode* first, bool factors, bool sign, int16_t arithmetic,
                               int16_t* logical, ParseNodePtr* slot, PredicateReads* reads,
                               PtrArray* columns, int16_t driver) {
  auto operand = [&](ParseNode* node, int16_t flag, int16_t* nodeLogical, ParseNodePtr* out) {
    return factors ? Factor(node, flag, nodeLogical, out, reads, columns, driver)
                   : Term(node, flag, nodeLogical, out, reads, columns, driver);
  };
  int16_t firstLogical = 0;
  int16_t type = operand(first, arithmetic, &firstLogical, slot);
  if (type == kClassFailed) return kClassFailed;
  if (sign && (firstLogical || *slot != nullptr)) {
    ReportMessage(kMsgLogicalInArithmetic, first->text);
    return kClassFailed;
  }
  ParseNode* previous = first;
  for (ParseNode* op = first->next; op != nullptr; op = op->next) {
    ParseNode* next = op->next;
    // A condition (or anything holding NOT, AND or OR) has no value to
    // compute with.
    if (firstLogical || *slot != nullptr) {
      ReportMessage(kMsgLogicalInArithmetic, previous->text);
      return kClassFailed;
    }
    if (next == nullptr) {
      ReportRejected(op->text);
      return kClassFailed;
    }
    arithmetic = 1;
    // A later operand's structure has no use: the chain's is the first's.
    ParseNodePtr discarded;
    int16_t nextLogical = 0;
    int16_t t = operand(next, arithmetic, &nextLogical, &discarded);
    discarded.reset();
    if (t == kClassFailed) return kClassFailed;
    if (t != type) {
      ReportMessage(kMsgTypeMismatch, next->text);
      return kClassFailed;
    }
    previous = next;
    op = next;
  }
  if (firstLogical) *logical = 1;
  return type;
}

int16_t Analyser::FirstMember(ParseNode* member, int16_t arithmetic, int16_t* logical,
                              ParseNodePtr* slot, PredicateReads* reads, PtrArray* columns,
                              int16_t driver) {
  slot->reset();
  ParseNode* term = member->child;
  bool sign = term != nullptr && IsSign(term->code);
  if (sign) {
    arithmetic = 1;
    term = term->next;
  }
  if (term == nullptr) {
    ReportRejected(member->text);
    return kClassFailed;
  }
  return OperandChain(term, false, sign, arithmetic, logical, slot, reads, columns, driver);
}

int16_t Analyser::Term(ParseNode* term, int16_t arithmetic, int16_t* logical, ParseNodePtr* slot,
                       PredicateReads* reads, PtrArray* columns, int16_t driver) {
  slot->reset();
  ParseNode* factor = term->child;
  if (factor == nullptr) {
    ReportRejected(term->text);
    return kClassFailed;
  }
  return OperandChain(factor, true, false, arithmetic, logical, slot, reads, columns, driver);
}

int16_t Analyser::Factor(ParseNode* factor, int16_t arithmetic, int16_t* logical,
                         ParseNodePtr* slot, PredicateReads* reads, PtrArray* columns,
                         int16_t driver) {
  slot->reset();
  ParseNode* content = factor->child;
  if (content == nullptr) {
    ReportRejected(factor->text);
    return kClassFailed;
  }
  if (content->code == FON_CONDITION_RECHERCHE) {
    ParseNode* value = ParenthesisedValue(content);
    if (value != nullptr) {
      // The parenthesis holds a value: typed as the expression inside it,
      // read by the predicate that contains it.
      if (++depth_ > kMaxDepth) {
        --depth_;
        ReportRejected(factor->text);
        return kClassFailed;
      }
      int16_t type = FirstMember(value, arithmetic, logical, slot, reads, columns, driver);
      --depth_;
      return type;
    }
    if (++depth_ > kMaxDepth) {
      --depth_;
      ReportRejected(factor->text);
      return kClassFailed;
    }
    int16_t type = Condition(content, arithmetic, logical, slot, driver);
    --depth_;
    return type;
  }
  if (content->code == FON_ITEM_SIMPLE) return Item(content, 0, reads, columns, driver);
  ReportRejected(content->text);
  return kClassFailed;
}

int16_t Analyser::SecondMember(ParseNode* comparison, PredicateReads* reads, PtrArray* columns,
                               int16_t driver) {
  ParseNode* first = comparison->child;
  if (first == nullptr) {
    ReportRejected(comparison->text);
    return kClassFailed;
  }
  if (first->code == LEX_NOT && first->next != nullptr) first = first->next;
  ParseNode* next = first->next;
  switch (first->code) {
    case LEX_IS:
      return kClassAny;
    case LEX_MATCH:
      if (next != nullptr && next->code == LEX_UNIQUE) next = next->next;
      return OperandHolder(next, reads, columns, driver);
    case LEX_BETWEEN: {
      ParseNode* low = next;
      ParseNode* high = low == nullptr ? nullptr : low->next;
      if (low == nullptr || high == nullptr) {
        ReportRejected(first->text);
        return kClassFailed;
      }
      int16_t t1 = Item(low, 0, reads, columns, driver);
      if (t1 == kClassFailed) return kClassFailed;
      int16_t t2 = Item(high, 0, reads, columns, driver);
      if (t2 == kClassFailed) return kClassFailed;
      if (t2 != t1) {
        ReportMessage(kMsgTypeMismatch, high->text);
        return kClassFailed;
      }
      return t1;
    }
    case LEX_LIKE:
      return kClassText;
    default:
      break;
  }
  if (IsComparisonOperator(first->code)) {
    if (next == nullptr) {
      ReportRejected(first->text);
      return kClassFailed;
    }
    if (next->code == LEX_ALL || next->code == LEX_ANY || next->code == LEX_SOME) {
      return OperandHolder(next->next, reads, columns, driver);
    }
    if (next->code == FON_SOUS_SELECT) return OperandSubSelect(next, reads, columns, driver);
    if (next->code == FON_ITEM_SIMPLE) return Item(next, 0, reads, columns, driver);
    ReportRejected(next->text);
    return kClassFailed;
  }
  return OperandHolder(next, reads, columns, driver);
}

int16_t Analyser::OperandHolder(ParseNode* holder, PredicateReads* reads, PtrArray* columns,
                                int16_t driver) {
  ParseNode* content = holder == nullptr ? nullptr : holder->child;
  if (content == nullptr) {
    ReportRejected(holder == nullptr ? "" : holder->text);
    return kClassFailed;
  }
  if (content->code == FON_SOUS_SELECT) return OperandSubSelect(content, reads, columns, driver);
  if (content->code != FON_ITEM_SIMPLE_VIRGULE_LISTE || content->child == nullptr) {
    ReportRejected(content->text);
    return kClassFailed;
  }
  int16_t type = kClassFailed;
  for (ParseNode* item = content->child; item != nullptr; item = item->next) {
    int16_t t = Item(item, 0, reads, columns, driver);
    if (t == kClassFailed) return kClassFailed;
    if (item == content->child) {
      type = t;
    } else if (t != type) {
      ReportMessage(kMsgTypeMismatch, item->text);
      return kClassFailed;
    }
  }
  return type;
}

int16_t Analyser::OperandSubSelect(ParseNode* subSelect, PredicateReads* reads, PtrArray* columns,
                                   int16_t driver) {
  int16_t index = -1;
  int16_t type = SubSelect(subSelect, driver, 1, &index);
  subSelect->value = index;
  if (type == kClassFailed) return kClassFailed;
  if (!RegisterSubSelect(index, driver, reads, columns)) return kClassFailed;
  return type;
}

int16_t Analyser::Item(ParseNode* item, int16_t aggregate, PredicateReads* reads, PtrArray* columns,
                       int16_t driver) {
  ParseNode* content = item->child;
  if (content == nullptr) {
    // NULL and DEFAULT are values of assignments only.
    ReportRejected(item->text);
    return kClassFailed;
  }
  switch (content->code) {
    case LEX_ENTIER:
    case LEX_ENTIER_SIGNE:
    case LEX_NOMBRE_DECIMAL:
    case LEX_REEL:
    case LEX_CHAINE:
      if (aggregate) {
        ReportMessage(kMsgColumnExpected, content->text);
        return kClassFailed;
      }
      return content->code == LEX_CHAINE ? kClassText : kClassNumeric;
    case LEX_IDENTIFICATEUR:
      return ColumnReference(content, columns, reads, driver);
    case FON_FONCTION_SCALAIRE_REF: {
      ParseNode* keyword = content->child;
      ParseNode* argument = keyword == nullptr ? nullptr : keyword->next;
      if (argument == nullptr) {
        ReportRejected(content->text);
        return kClassFailed;
      }
      int16_t t = Item(argument, aggregate, reads, columns, driver);
      if (t == kClassFailed) return kClassFailed;
      int16_t wanted = kClassAny;
      int16_t result = kClassNumeric;
      switch (keyword->code) {
        case LEX_DIGITS:
          wanted = kClassNumeric;
          result = kClassText;
          break;
        case LEX_FLOAT:
        case LEX_INTEGER:
          wanted = kClassNumeric;
          break;
        case LEX_HEX:
          wanted = kClassText;
          result = kClassText;
          break;
        default:
          break;
      }
      if (wanted != kClassAny && t != wanted && t != kClassAny) {
        ReportMessage(kMsgTypeMismatch, argument->text);
        return kClassFailed;
      }
      return result;
    }
    case FON_FONCTION_AGREGEE_REF: {
      ParseNode* keyword = content->child;
      if (keyword == nullptr) {
        ReportRejected(content->text);
        return kClassFailed;
      }
      switch (keyword->code) {
        case LEX_AVG:
        case LEX_MAX:
        case LEX_MIN:
        case LEX_SUM: {
          ParseNode* argument = keyword->next;
          int32_t quantifier = LEX_ALL;
          if (argument != nullptr &&
              (argument->code == LEX_DISTINCT || argument->code == LEX_ALL)) {
            quantifier = argument->code;
            argument = argument->next;
          }
          if (argument == nullptr) {
            ReportRejected(keyword->text);
            return kClassFailed;
          }
          argument->value = quantifier;
          int16_t t = Item(argument, 1, reads, columns, driver);
          if (t == kClassFailed) return kClassFailed;
          if (t != kClassNumeric) {
            ReportMessage(kMsgTypeMismatch, argument->text);
            return kClassFailed;
          }
          return kClassNumeric;
        }
        case LEX_COUNT_ETOILE:
        case LEX_COUNT_DISTINCT:
          return kClassAny;
        default:
          ReportRejected(keyword->text);
          return kClassFailed;
      }
    }
    case FON_FONCTION_DATE_HEURE_REF: {
      ParseNode* keyword = content->child;
      if (keyword == nullptr) {
        ReportRejected(content->text);
        return kClassFailed;
      }
      if (aggregate) {
        ReportMessage(kMsgTypeMismatch, keyword->text);
        return kClassFailed;
      }
      switch (keyword->code) {
        case LEX_DATE:
        case LEX_TIME:
        case LEX_DAY:
        case LEX_HOUR:
        case LEX_MINUTE:
        case LEX_SECOND:
        case LEX_YEAR:
          return kClassText;
        default:
          ReportRejected(keyword->text);
          return kClassFailed;
      }
    }
    default:
      ReportRejected(content->text);
      return kClassFailed;
  }
}

}  // namespace zksql
