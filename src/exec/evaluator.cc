// Evaluator: predicates and comparisons. The value side (expressions,
// items, functions) is in evaluator_values.cc.
//
// Missing values decide instead of errors:
//  - a second-member item or a BETWEEN bound without value makes the
//    predicate hold;
//  - a first member without value (an aggregate, HEX, a date-part
//    function, a column the binding does not hold) can satisfy no
//    comparison: the predicate does not hold, except IS NULL, which an
//    absent value satisfies;
//  - list items without value are left out of the list; without a list
//    (a sub-select that could not run) every counting form is false.
// These rules give the predicate's own truth; the negate flag then inverts
// it. The single-table selection evaluates each predicate's own truth and
// lets the WHERE clause's NOT nodes invert it, while the join path passes
// the negation here: inverting the own truth is what keeps the two paths
// agreeing on every row, missing values included.
#include "exec/evaluator.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "base/fast_paths.h"
#include "base/out_of_memory.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "sql/value_list.h"
#include "values/value_converter.h"

namespace zksql {

namespace {

int16_t Invert(int16_t r, int16_t n) {
  return n ? static_cast<int16_t>(!r) : r;
}

// Counting over a value list: how many values v satisfy `left op v`, out of
// how many. False when there is no list.
bool CountList(const TypedValue& left, int16_t op, const ParseNode* list, int32_t* count,
               int32_t* total) {
  *count = 0;
  *total = 0;
  if (list == nullptr) return false;
  for (const ParseNode* p = list->next; p != nullptr; p = p->next) {
    const ValueNode* v = dynamic_cast<const ValueNode*>(p);
    if (v == nullptr || v->bytes == nullptr) continue;
    ++*total;
    if (Converter().Compare(op, left, v->Borrow())) ++*count;
  }
  return true;
}

bool HasValue(const TypedValue& v) {
  return v.bytes != nullptr;
}

// The sub-select a list operand holds, or null for a list of values.
const ParseNode* SubSelectOf(const ParseNode* holder) {
  if (holder == nullptr || holder->child == nullptr) return nullptr;
  return holder->child->code == FON_SOUS_SELECT ? holder->child : nullptr;
}

}  // namespace

bool Evaluator::EvaluateCondition(int16_t driverIndex, ParseNode* predicate,
                                  const RowBinding* binding, int16_t negate) {
  ParseNode* first = predicate == nullptr ? nullptr : predicate->child;
  if (first == nullptr) return 1;

  if (first->code == FON_ITEM_COMPARE) {
    OwnedValue left;
    Expression(first, binding, 0, &left);
    ParseNode* second = first->next;
    if (second == nullptr || second->code != FON_COMPARAISON) return Invert(1, negate);
    return Comparison(driverIndex, left.view(), second, binding, negate);
  }

  if (first->code == LEX_EXISTS || first->code == LEX_UNIQUE) {
    bool innerNot = first->next != nullptr && first->next->code == LEX_NOT;
    // The keyword node carries the sub-select's driver index.
    int32_t n = CountValues(SubSelect(driverIndex, first, binding).get());
    int16_t r;
    if (first->code == LEX_EXISTS) {
      r = Invert(n >= 1 ? 1 : 0, innerNot);
    } else {
      // UNIQUE NOT over an empty sub-select stays false.
      r = n == 0 ? 0 : Invert(n == 1 ? 1 : 0, innerNot);
    }
    return Invert(r, negate);
  }

  return 1;
}

bool Evaluator::ValueInSubSelect(int16_t driverIndex, const TypedValue& value,
                                 const ParseNode* subSelectNode, bool* in) {
  int32_t count = 0, total = 0;
  if (subSelectNode == nullptr ||
      !CountEqualHashed(driverIndex, value, subSelectNode, &count, &total)) {
    return false;
  }
  // No value is in no list, as Comparison decides it.
  *in = HasValue(value) && count > 0;
  return true;
}

int16_t Evaluator::Comparison(int16_t driverIndex, const TypedValue& left, ParseNode* second,
                              const RowBinding* binding, int16_t negate) {
  ParseNode* node = second->child;
  if (node == nullptr) return 0;
  int16_t n = negate;
  const bool hasLeft = HasValue(left);
  TypedValue none;

  switch (node->code) {
    case LEX_IS: {
      if (node->next != nullptr && node->next->code == LEX_NOT) n = static_cast<int16_t>(!n);
      // An absent value is null.
      int16_t r = hasLeft ? Converter().Compare(ValueConverter::kOpIsNull, left, none) : 1;
      return Invert(r, n);
    }
    case LEX_MATCH: {
      bool unique = node->next != nullptr && node->next->code == LEX_UNIQUE;
      ParseNode* holder = unique ? node->next->next : node->next;
      std::unique_ptr<ParseNode> list = List(driverIndex, holder, binding);
      int32_t count = 0, total = 0;
      bool listed = CountList(left, LEX_EGAL, list.get(), &count, &total);
      if (!listed) return 0;
      if (!hasLeft) return Invert(0, n);
      return Invert(unique ? (count == 1) : (count > 0), n);
    }
    case LEX_NOT:
      n = static_cast<int16_t>(!negate);
      node = node->next;
      if (node == nullptr) return 0;
      if (node->code != LEX_BETWEEN && node->code != LEX_IN && node->code != LEX_LIKE) return 0;
      break;
    default:
      break;
  }

  if (IsComparisonOperator(node->code)) {
    const int16_t op = static_cast<int16_t>(node->code);
    ParseNode* after = node->next;
    if (after == nullptr) return 0;
    if (after->code == LEX_ALL || after->code == LEX_ANY || after->code == LEX_SOME ||
        after->code == FON_SOUS_SELECT) {
      // Quantified and sub-select comparisons are counted with the written
      // operator and the outcome inverted under negation: the complement
      // operator is not the negation of a count (NOT (A > ALL (1, 2)) for
      // A = 1.5 holds, while A <= ALL (1, 2) does not).
      // "= (sub-select)" and "= ANY (sub-select)" count equal values: a hash
      // of the sub-select's values answers when they do not change.
      const ParseNode* sub = after->code == FON_SOUS_SELECT ? after : SubSelectOf(after->next);
      int32_t count = 0, total = 0;
      bool listed = op == LEX_EGAL && after->code != LEX_ALL && sub != nullptr &&
                    CountEqualHashed(driverIndex, left, sub, &count, &total);
      if (!listed) {
        std::unique_ptr<ParseNode> list = after->code == FON_SOUS_SELECT
                                              ? SubSelect(driverIndex, after, binding)
                                              : List(driverIndex, after->next, binding);
        listed = CountList(left, op, list.get(), &count, &total);
      }
      if (!listed) return 0;
      if (!hasLeft) return Invert(0, negate);
      int16_t r;
      if (after->code == LEX_ALL) {
        r = count == total;
      } else if (after->code == FON_SOUS_SELECT) {
        r = count == 1;
      } else {
        r = count > 0;
      }
      return Invert(r, negate);
    }
    if (after->code == FON_ITEM_SIMPLE) {
      OwnedValue right;
      Item(after, binding, 0, &right);
      if (!right.has_value()) return Invert(1, negate);
      if (!hasLeft) return Invert(0, negate);
      // A negated comparison is the complement comparison.
      return Converter().Compare(negate ? ComplementOperator(op) : op, left, right.view());
    }
    return 0;
  }

  switch (node->code) {
    case LEX_BETWEEN: {
      ParseNode* loNode = node->next;
      ParseNode* hiNode = loNode == nullptr ? nullptr : loNode->next;
      OwnedValue loValue, hiValue;
      if (loNode != nullptr) Item(loNode, binding, 0, &loValue);
      if (hiNode != nullptr) Item(hiNode, binding, 0, &hiValue);
      if (!loValue.has_value() || !hiValue.has_value()) return Invert(1, n);
      if (!hasLeft) return Invert(0, n);
      // Bounds written the wrong way round are exchanged.
      const TypedValue* lo = &loValue.view();
      const TypedValue* hi = &hiValue.view();
      if (!Converter().Compare(LEX_INFERIEUR_EGAL, *lo, *hi)) std::swap(lo, hi);
      if (!n) {
        return Converter().Compare(LEX_SUPERIEUR_EGAL, left, *lo) &&
               Converter().Compare(LEX_INFERIEUR_EGAL, left, *hi);
      }
      return Converter().Compare(LEX_INFERIEUR, left, *lo) ||
             Converter().Compare(LEX_SUPERIEUR, left, *hi);
    }
    case LEX_IN: {
      const ParseNode* sub = SubSelectOf(node->next);
      int32_t count = 0, total = 0;
      bool listed = sub != nullptr && CountEqualHashed(driverIndex, left, sub, &count, &total);
      if (!listed) {
        std::unique_ptr<ParseNode> list = List(driverIndex, node->next, binding);
        listed = CountList(left, LEX_EGAL, list.get(), &count, &total);
      }
      if (!listed) return 0;
      if (!hasLeft) return Invert(0, n);
      return Invert(count > 0, n);
    }
    case LEX_LIKE: {
      ParseNode* pattern = node->next;
      if (pattern == nullptr || pattern->text == nullptr) return 0;
      if (!hasLeft) return Invert(0, n);
      // The left value as text: a number by its display form, a text,
      // date or time by its bytes, never read past its length.
      char numberText[kNumberTextSize];
      char* owned = nullptr;
      const char* text = "";
      double x = 0;
      if (ReadNumber(left.type, left.bytes, &x) && left.length >= NumberWidth(left.type)) {
        int digits = (left.type == kValueFloat || left.type == kValueFloat2) ? 7 : 9;
        Converter().NumberText(x, digits, numberText, sizeof numberText);
        text = numberText;
      } else if (KindOf(left.type) != TypeKind::kNone && KindOf(left.type) != TypeKind::kNumber) {
        size_t len = strnlen(left.bytes, left.length);
        owned = static_cast<char*>(std::malloc(len + 1));
        if (owned == nullptr) {
          NoteOutOfMemory();
          return 0;
        }
        std::memcpy(owned, left.bytes, len);
        owned[len] = '\0';
        text = owned;
      } else {
        return Invert(0, n);
      }
      int16_t r = Converter().Like(text, pattern->text) ? 1 : 0;
      std::free(owned);
      return Invert(r, n);
    }
    default:
      return 0;
  }
}

std::unique_ptr<ParseNode> Evaluator::List(int16_t driverIndex, ParseNode* holder,
                                           const RowBinding* binding) {
  if (holder == nullptr || holder->child == nullptr) return nullptr;
  ParseNode* content = holder->child;
  if (content->code == FON_SOUS_SELECT) return SubSelect(driverIndex, content, binding);
  std::unique_ptr<ParseNode> head(NewValueListHead());
  if (head == nullptr) return nullptr;
  ParseNode* last = head.get();
  for (ParseNode* item = content->child; item != nullptr; item = item->next) {
    OwnedValue v;
    if (!Item(item, binding, 0, &v)) continue;  // items without value are left out
    ValueNode* added = AppendOwnedValue(last, std::move(v));
    if (added == nullptr) {
      // A list cut short by a lack of memory would count wrongly: none
      // at all is answered, and what was built goes with `head`.
      return nullptr;
    }
    last = added;
  }
  return head;
}

bool Evaluator::CountEqualHashed(int16_t driverIndex, const TypedValue& left,
                                 const ParseNode* subSelectNode, int32_t* count, int32_t* total) {
  if (!FastPathsOn() || executor_ == nullptr) return false;
  const ParseNode* values =
      executor_->StableSubSelectValues(driverIndex, static_cast<int16_t>(subSelectNode->value));
  if (values == nullptr) return false;
  ValueConverter::EqualityKey key;
  ValueConverter::Equality equality = Converter().KeyForEquality(left, &key);
  if (equality == ValueConverter::Equality::kNotPlain) return false;
  try {
    ValueSet* last = lastSetIndex_ == subSelectNode->value ? lastSet_ : nullptr;
    std::unique_ptr<ValueSet>* slot = nullptr;
    if (last == nullptr || last->source != values) {
      slot = &valueSets_[subSelectNode->value];
      last = slot->get();
    }
    if (last == nullptr || last->source != values) {
      std::unique_ptr<ValueSet>& set = *slot;
      set.reset(new ValueSet);
      set->source = values;
      for (const ParseNode* p = values->next; p != nullptr && set->plain; p = p->next) {
        const ValueNode* v = dynamic_cast<const ValueNode*>(p);
        if (v == nullptr || v->bytes == nullptr) continue;
        ++set->total;
        ValueConverter::EqualityKey k;
        switch (Converter().KeyForEquality(v->Borrow(), &k)) {
          case ValueConverter::Equality::kKeyed:
            if (k.number) {
              ++set->numbers[k.real];
            } else {
              ++set->texts[std::string(k.text, k.length)];
            }
            break;
          case ValueConverter::Equality::kNeverEqual:
            break;
          case ValueConverter::Equality::kNotPlain:
            set->plain = false;
            break;
        }
      }
      last = set.get();
    }
    lastSetIndex_ = subSelectNode->value;
    lastSet_ = last;
    const ValueSet* set = last;
    if (!set->plain) return false;
    *total = set->total;
    *count = 0;
    if (equality == ValueConverter::Equality::kKeyed) {
      if (key.number) {
        auto found = set->numbers.find(key.real);
        if (found != set->numbers.end()) *count = found->second;
      } else {
        auto found = set->texts.find(std::string(key.text, key.length));
        if (found != set->texts.end()) *count = found->second;
      }
    }
    return true;
  } catch (const std::bad_alloc&) {
    valueSets_.erase(subSelectNode->value);
    lastSetIndex_ = -1;
    lastSet_ = nullptr;
    return false;
  }
}

std::unique_ptr<ParseNode> Evaluator::SubSelect(int16_t driverIndex, const ParseNode* subSelectNode,
                                                const RowBinding* binding) {
  if (executor_ == nullptr || subSelectNode == nullptr) return nullptr;
  return std::unique_ptr<ParseNode>(executor_->EvaluateSubSelect(
      driverIndex, static_cast<int16_t>(subSelectNode->value), binding));
}

}  // namespace zksql
