// Key conditions: the shape checks on a predicate's parse tree, the key
// and type checks on its column and literal, and the bound they make.
#include "select/key_condition.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "select/condition_tree.h"
#include "select/row_set.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "storage/file_table.h"
#include "values/text_utils.h"
#include "values/value_converter.h"

namespace zksql {
namespace {

// The bound code of a comparison operator: "<" narrows like "<=" and ">"
// like ">=" (a bound includes its end; the extra key costs nothing). 0 for
// an operator that gives no bound.
int32_t BoundCode(int32_t op) {
  switch (op) {
    case LEX_EGAL:
      return kBoundEqual;
    case LEX_INFERIEUR:
    case LEX_INFERIEUR_EGAL:
      return kBoundAtMost;
    case LEX_SUPERIEUR:
    case LEX_SUPERIEUR_EGAL:
      return kBoundAtLeast;
    case LEX_LIKE:
      return kBoundLike;
    default:
      return 0;
  }
}

bool IsNumberLiteral(int32_t code) {
  return code == LEX_ENTIER || code == LEX_ENTIER_SIGNE || code == LEX_NOMBRE_DECIMAL ||
         code == LEX_REEL;
}

bool IsIntegerItem(uint16_t type) {
  return type == kTypeInt8 || type == kTypeUInt8 || type == kTypeInt16 || type == kTypeUInt16 ||
         type == kTypeInt32;
}

bool IsNumericItem(uint16_t type) {
  return IsIntegerItem(type) || type == kTypeUInt32 || type == kTypeFloat || type == kTypeReal ||
         type == kTypeDecimal;
}

// Items whose value is the text the engine orders their keys by: texts up
// to their first zero without trailing blanks, times as their four bytes.
bool IsTextKeyItem(uint16_t type) {
  return type == kTypeFixedText || type == kTypeCountedText || type == kTypeText ||
         type == kTypeTime;
}

// The prefix a LIKE pattern stands for, written into `out` (the pattern
// without its final "%"), when every text the pattern matches begins with
// it: no "_" anywhere, and no "%" but a final one after at least one
// character. A pattern without "%" matches its own text only, which
// begins with itself. False for any other pattern.
bool LikePrefix(const char* pattern, char* out, size_t size) {
  size_t n = strlen(pattern);
  if (strchr(pattern, '_') != nullptr) return false;
  const char* percent = strchr(pattern, '%');
  if (percent != nullptr) {
    if (n < 2 || percent != pattern + n - 1) return false;
    --n;
  }
  if (n + 1 > size) return false;
  memcpy(out, pattern, n);
  out[n] = '\0';
  return true;
}

Table* FindEligible(const char* tableName, Table* const* eligible, int16_t n) {
  for (int16_t i = 0; i < n; ++i) {
    Table* t = eligible[i];
    if (t != nullptr && t->fileName() != nullptr && CompareNoCase(t->fileName(), tableName) == 0) {
      return t;
    }
  }
  return nullptr;
}

}  // namespace

const char* BareColumn(const ParseNode* member) {
  if (member == nullptr || member->code != FON_ITEM_COMPARE) return nullptr;
  const ParseNode* term = member->child;
  if (term == nullptr || term->code != FON_TERME || term->next != nullptr) return nullptr;
  const ParseNode* factor = term->child;
  if (factor == nullptr || factor->code != FON_FACTEUR || factor->next != nullptr) return nullptr;
  const ParseNode* item = factor->child;
  if (item == nullptr || item->code != FON_ITEM_SIMPLE || item->next != nullptr) return nullptr;
  const ParseNode* name = item->child;
  if (name == nullptr || name->code != LEX_IDENTIFICATEUR || name->next != nullptr) return nullptr;
  return name->text;
}

KeyConditionResult ReadKeyCondition(const ParseNode* leaf, Table* const* eligible, int16_t n,
                                    FilterBound** bound) {
  *bound = nullptr;
  if (leaf == nullptr || leaf->code != kConditionLeaf || leaf->value != 0) {
    return KeyConditionResult::kNone;
  }
  const RowSet* rows = RowSetOf(leaf);
  // A deferred condition holds or not by the enclosing row: no range of
  // this SELECT's own selection may rest on it.
  if (rows == nullptr || rows->negated != 0 || rows->condition == nullptr || rows->deferred) {
    return KeyConditionResult::kNone;
  }
  const ParseNode* member = rows->condition->child;
  const char* reference = BareColumn(member);
  if (reference == nullptr) return KeyConditionResult::kNone;
  const ParseNode* comparison = member->next;
  if (comparison == nullptr || comparison->code != FON_COMPARAISON || comparison->next != nullptr) {
    return KeyConditionResult::kNone;
  }
  const ParseNode* op = comparison->child;
  const int32_t code = op == nullptr ? 0 : BoundCode(op->code);
  if (code == 0) return KeyConditionResult::kNone;

  // The literal: LIKE's pattern follows the operator; a comparison's
  // simple item follows it and holds the literal alone.
  const ParseNode* literal = nullptr;
  if (code == kBoundLike) {
    literal = op->next;
    if (literal == nullptr || literal->code != LEX_CHAINE || literal->next != nullptr) {
      return KeyConditionResult::kNone;
    }
  } else {
    const ParseNode* item = op->next;
    if (item == nullptr || item->code != FON_ITEM_SIMPLE || item->next != nullptr) {
      return KeyConditionResult::kNone;
    }
    literal = item->child;
    if (literal == nullptr || literal->next != nullptr ||
        (literal->code != LEX_CHAINE && !IsNumberLiteral(literal->code))) {
      return KeyConditionResult::kNone;
    }
  }
  if (literal->text == nullptr) return KeyConditionResult::kNone;

  // The column: "TABLE/COLUMN", the table one whose browse may be narrowed.
  const char* slash = strchr(reference, '/');
  if (slash == nullptr) return KeyConditionResult::kNone;
  char tableName[Table::kMaxNameLength + 1];
  size_t tl = static_cast<size_t>(slash - reference);
  if (tl > static_cast<size_t>(Table::kMaxNameLength)) return KeyConditionResult::kNone;
  memcpy(tableName, reference, tl);
  tableName[tl] = '\0';
  Table* table = FindEligible(tableName, eligible, n);
  if (table == nullptr) return KeyConditionResult::kNone;
  Column* column = table->FindColumn(slash + 1);
  if (column == nullptr || column->IsComposite() || column->keyKind() == 0) {
    return KeyConditionResult::kNone;
  }
  const char* file = table->AsFile() == nullptr ? nullptr : table->AsFile()->EngineFileName();
  const char* item = column->name();
  if (file == nullptr || item == nullptr || strlen(file) > sizeof(FilterBound::table) - 1 ||
      strlen(item) > static_cast<size_t>(Table::kMaxNameLength)) {
    return KeyConditionResult::kNone;
  }

  FilterBound value{};
  char prefix[4096];
  const uint16_t type = column->type();
  if (IsNumericItem(type)) {
    if (code == kBoundLike || !IsNumberLiteral(literal->code)) return KeyConditionResult::kNone;
    // The number as the evaluator reads the literal.
    double real = Converter().ParseNumber(literal->text);
    if (std::isnan(real)) return KeyConditionResult::kNone;
    if (IsIntegerItem(type) && (literal->code == LEX_ENTIER || literal->code == LEX_ENTIER_SIGNE) &&
        real >= INT32_MIN && real <= INT32_MAX && std::trunc(real) == real) {
      value.kind = kBoundInteger;
      value.integer = static_cast<int32_t>(real);
    } else {
      // Any literal on a real key, and a real literal on any key: the
      // range will be widened by the six-decimal slack.
      value.kind = kBoundReal;
      value.real = real;
    }
  } else if (IsTextKeyItem(type)) {
    if (literal->code != LEX_CHAINE) return KeyConditionResult::kNone;
    // A time written "HH:MM" compares with the stored digits by those
    // digits, while the key orders the bytes as written: no bound.
    if (type == kTypeTime && code != kBoundLike && strchr(literal->text, ':') != nullptr) {
      return KeyConditionResult::kNone;
    }
    if (code == kBoundLike) {
      if (!LikePrefix(literal->text, prefix, sizeof prefix)) return KeyConditionResult::kNone;
    } else {
      // A text holding "_" gives no bound whatever its comparison, as a
      // LIKE pattern holding one gives none.
      if (strchr(literal->text, '_') != nullptr ||
          !BoundedCopy(prefix, literal->text, sizeof prefix)) {
        return KeyConditionResult::kNone;
      }
    }
    value.kind = kBoundText;
  } else {
    return KeyConditionResult::kNone;
  }

  FilterBound* made = NewBound();
  if (made == nullptr) return KeyConditionResult::kNoMemory;
  *made = value;
  // Names are cut to the bound's fields, the width the engine reads.
  (void)BoundedCopy(made->table, file, sizeof made->table);
  (void)BoundedCopy(made->column, item, sizeof made->column);
  made->code = code;
  made->from = table;
  made->itemType = type;
  made->keyKind = column->keyKind();
  if (made->kind == kBoundText && !SetBoundText(made, prefix, 0)) {
    FreeBound(made);
    return KeyConditionResult::kNoMemory;
  }
  *bound = made;
  return KeyConditionResult::kBound;
}

}  // namespace zksql
