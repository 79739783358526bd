// Set operations between the results of two SELECTs: UNION (without
// duplicates), UNION ALL (with them), EXCEPT and INTERSECT (without them).
//
// Rows are compared by value, column by column: numbers as the system
// compares them (at six decimals), texts as extracted (trailing blanks
// apart), dates and times as their texts, raw items byte for byte, memos
// by their contents. The two results must have as many columns, of the
// same kinds, in the same order; otherwise the statement is refused.
//
// The combined table takes the first SELECT's column names. Where the two
// sides store a column differently (CHAR(5) and CHAR(20), SMALLINT and
// DOUBLE), the combined column is wide enough for both: the longer text,
// or a 64-bit real for numbers, so that no value of either side is cut.
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>

#include "base/messages.h"
#include "base/statement_context.h"
#include "exec/statement_kinds.h"
#include "platform.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "storage/dict_context.h"
#include "storage/result_table.h"
#include "values/number_text.h"

namespace zksql {
namespace {

using RowKeys = std::unordered_set<std::string>;

const char* OperatorName(int32_t op, bool all) {
  switch (op) {
    case LEX_UNION:
      return all ? "UNION ALL" : "UNION";
    case LEX_EXCEPT:
      return "EXCEPT";
    case LEX_INTERSECT:
      return "INTERSECT";
    default:
      return "?";
  }
}

// The class in which the columns of both sides must agree: the value kind,
// with composite keys (which hold no value) apart.
int ColumnClass(const Column& c) {
  return c.IsComposite() ? -1 : c.Kind();
}

bool SameStorage(const Column& a, const Column& b) {
  return a.type() == b.type() && a.size() == b.size();
}

// Characters of the longest value a text column yields.
uint32_t TextWidth(const Column& c) {
  return c.IsMemo() ? kMemoValueLimit : c.Width();
}

struct Storage {
  uint16_t type;
  uint32_t size;
};

// The storage of a combined column that holds the values of both sides.
Storage CombinedStorage(const Column& a, const Column& b) {
  if (SameStorage(a, b) || a.IsComposite()) return {a.type(), a.size()};
  uint32_t wider = a.size() > b.size() ? a.size() : b.size();
  switch (a.Kind()) {
    case kKindNumber:
      return {kTypeReal, 8};
    case kKindText: {
      // Two memos of one type keep their references; any other mix is
      // held as the texts the values extract to.
      if (a.IsMemo() && a.type() == b.type()) return {a.type(), wider};
      uint32_t width = TextWidth(a) > TextWidth(b) ? TextWidth(a) : TextWidth(b);
      return {kTypeText, width + 1};
    }
    case kKindDate:
    case kKindTime:
      return {a.type(), wider};
    default:
      return {a.type(), a.size()};
  }
}

class Combiner {
 public:
  Combiner(StatementContext* request, DictContext* dict, int32_t op, bool all)
      : request_(request), dict_(dict), op_(op), all_(all) {}

  ResultTable* Run(ResultTable* left, ResultTable* right) {
    if (!Check(left, right) || !Build(left, right)) return nullptr;
    try {
      return Fill(left, right) ? combined_ : nullptr;
    } catch (const std::bad_alloc&) {
      // The key sets live in the standard library's containers.
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return nullptr;
    }
  }

 private:
  void Refuse(const char* detail) {
    char text[kMessageBufferSize];
    ZkFormat(text, sizeof text, "Erreur pour %s: %s", OperatorName(op_, all_), detail);
    RecordError(request_, text);
  }

  bool Check(Table* left, Table* right) {
    int16_t n = left->ColumnCount();
    if (n != right->ColumnCount()) {
      char detail[kMessageBufferSize];
      ZkFormat(detail, sizeof detail,
               "les deux SELECT n'ont pas le m\xEAme nombre de colonnes (%i et %i)", n,
               right->ColumnCount());
      Refuse(detail);
      return false;
    }
    for (int16_t i = 0; i < n; ++i) {
      Column* a = left->ColumnAt(i);
      Column* b = right->ColumnAt(i);
      // Raw items compare byte for byte, so only items of one layout can.
      bool same = a != nullptr && b != nullptr && ColumnClass(*a) == ColumnClass(*b) &&
                  (ColumnClass(*a) != kKindOther || SameStorage(*a, *b));
      if (!same) {
        char detail[kMessageBufferSize];
        ZkFormat(detail, sizeof detail,
                 "la colonne %i n'est pas de m\xEAme nature dans les deux SELECT", i + 1);
        Refuse(detail);
        return false;
      }
    }
    return true;
  }

  bool Build(Table* left, Table* right) {
    combined_ = dict_ == nullptr ? nullptr : dict_->CreateResultTable();
    if (combined_ == nullptr) {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return false;
    }
    uint32_t offset = 1;
    for (int16_t i = 0; i < left->ColumnCount(); ++i) {
      Column* a = left->ColumnAt(i);
      Column* b = right->ColumnAt(i);
      Storage s = CombinedStorage(*a, *b);
      if (s.size > UINT16_MAX || offset + s.size > UINT16_MAX) {
        RecordMessage(request_, nullptr, kMsgInternalError, "ligne de r\xE9sultat trop longue");
        return false;
      }
      std::unique_ptr<Column> column(
          new (std::nothrow) Column(a->name(), s.type, static_cast<uint16_t>(s.size), a->keyKind(),
                                    static_cast<uint16_t>(offset), combined_, a->tableName()));
      if (column == nullptr || !combined_->AddColumn(column.get())) {
        RecordMessage(request_, nullptr, kMsgOutOfMemory);
        return false;
      }
      column.release();  // the combined table holds it
      if (!a->IsComposite()) offset += s.size;
    }
    if (!combined_->SetRowSize(static_cast<uint16_t>(offset), true)) {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
      return false;
    }
    return true;
  }

  // Loads row r of `source` into the combined table's row buffer. Columns
  // stored alike are copied as bytes (a memo keeps its reference); the
  // others go through their values, which the wider combined column holds
  // whole.
  bool Load(Table* source, int32_t r) {
    if (source->ReadByNumber(r) != r) return false;
    std::memset(combined_->rowBuffer(), 0, combined_->rowSize());
    for (int16_t i = 0; i < combined_->ColumnCount(); ++i) {
      Column* to = combined_->ColumnAt(i);
      Column* from = source->ColumnAt(i);
      if (to->IsComposite()) continue;
      if (to->type() == from->type() && (to->IsMemo() || to->size() == from->size())) {
        to->CopyValue(*from);
        continue;
      }
      const void* value = from->GetValue();
      if (value == nullptr) return false;
      to->SetValue(value);
    }
    return true;
  }

  // The row in the combined buffer as one comparable key: each column's
  // value, in the form two equal values share.
  bool Key(std::string* key) {
    key->clear();
    for (int16_t i = 0; i < combined_->ColumnCount(); ++i) {
      Column* c = combined_->ColumnAt(i);
      if (c->IsComposite()) continue;
      const char* value = static_cast<const char*>(c->GetValue());
      if (value == nullptr) return false;
      if (c->Kind() == kKindNumber) {
        // Numbers equal at six decimals share their "%lf" text; -0 is 0.
        double real;
        std::memcpy(&real, value, sizeof real);
        char text[kNumberTextSize];
        ZkFormat(text, sizeof text, "%lf", real == 0 ? 0.0 : real);
        const char* shown = text;
        if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1)) ++shown;
        key->append(shown);
        key->push_back('\0');
      } else if (c->Kind() == kKindOther) {
        key->append(value, static_cast<size_t>(c->ValueLength()));
      } else {
        key->append(value);
        key->push_back('\0');
      }
    }
    return true;
  }

  bool Append() {
    int16_t w = combined_->Write(0);
    if (w == kWriteDone) return true;
    const char* text = combined_->errorText();
    if (text != nullptr && text[0] != '\0') {
      RecordError(request_, text);
    } else {
      RecordMessage(request_, nullptr, kMsgOutOfMemory);
    }
    return false;
  }

  bool ReadFailure() {
    RecordMessage(request_, nullptr, kMsgInternalError, "lecture d'un r\xE9sultat");
    return false;
  }

  // Passes every row of `source` through `keep`, which says whether the
  // row (by its key) belongs to the result.
  template <class Keep>
  bool Pass(ResultTable* source, Keep keep) {
    std::string key;
    for (int32_t r = 1; r <= source->rowCount(); ++r) {
      if (!Load(source, r)) return ReadFailure();
      if (!all_ && !Key(&key)) return ReadFailure();
      if (keep(key) && !Append()) return false;
    }
    return true;
  }

  bool Fill(ResultTable* left, ResultTable* right) {
    RowKeys emitted;
    if (op_ == LEX_UNION) {
      auto keep = [&](const std::string& key) { return all_ || emitted.insert(key).second; };
      return Pass(left, keep) && Pass(right, keep);
    }
    RowKeys others;
    std::string key;
    for (int32_t r = 1; r <= right->rowCount(); ++r) {
      if (!Load(right, r) || !Key(&key)) return ReadFailure();
      others.insert(key);
    }
    bool wanted = op_ == LEX_INTERSECT;
    return Pass(left, [&](const std::string& k) {
      return (others.count(k) != 0) == wanted && emitted.insert(k).second;
    });
  }

  StatementContext* request_;
  DictContext* dict_;
  int32_t op_;
  bool all_;
  ResultTable* combined_ = nullptr;
};

}  // namespace

ResultTable* CombineResults(StatementContext* request, DictContext* dict, ResultTable* left,
                            ResultTable* right, int32_t op, bool all) {
  if (left == nullptr || right == nullptr) return nullptr;
  // ALL keeps duplicates only for UNION; EXCEPT and INTERSECT drop them.
  Combiner combiner(request, dict, op, all && op == LEX_UNION);
  return combiner.Run(left, right);
}

}  // namespace zksql
