// EquiJoin: recognising a group's join predicates, hashing the first table,
// probing with the second.
#include "select/equi_join.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/messages.h"
#include "base/statement_context.h"
#include "select/column_value.h"
#include "select/key_condition.h"
#include "select/row_set.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
#include "storage/column.h"
#include "storage/table.h"
#include "values/value_converter.h"

namespace zksql {
namespace {

// The reference of the simple item that is the whole second member of an
// "=" comparison ("... = TABLE.COLUMN"), or null.
const char* EqualColumn(const ParseNode* comparison) {
  if (comparison == nullptr || comparison->code != FON_COMPARAISON || comparison->next != nullptr) {
    return nullptr;
  }
  const ParseNode* op = comparison->child;
  if (op == nullptr || op->code != LEX_EGAL) return nullptr;
  const ParseNode* item = op->next;
  if (item == nullptr || item->code != FON_ITEM_SIMPLE || item->next != nullptr) return nullptr;
  const ParseNode* name = item->child;
  if (name == nullptr || name->code != LEX_IDENTIFICATEUR || name->next != nullptr) return nullptr;
  return name->text;
}

bool PlainEquality(Column* column) {
  int16_t type = column->ValueType();
  return type == kValueReal || type == kValueText;
}

}  // namespace

bool ColumnEquality(const RowSet* rows, Column** left, Column** right) {
  if (rows == nullptr || rows->negated != 0 || rows->condition == nullptr) return false;
  const ParseNode* member = rows->condition->child;
  const char* leftReference = BareColumn(member);
  const char* rightReference = leftReference == nullptr ? nullptr : EqualColumn(member->next);
  if (rightReference == nullptr) return false;
  *left = rows->ConditionColumn(leftReference);
  *right = rows->ConditionColumn(rightReference);
  return *left != nullptr && *right != nullptr && PlainEquality(*left) && PlainEquality(*right);
}

namespace {

// One join predicate: its row set and its two columns, by the group table
// that holds them (0 turns fastest, 1 slowest).
struct JoinPredicate {
  RowSet* rows = nullptr;
  Column* first = nullptr;    // the column of table 0
  Column* second = nullptr;   // the column of table 1
  bool rightOnFirst = false;  // the comparison's second member is `first`
};

bool Recognise(RowSet* rows, Table* const* tables, JoinPredicate* out) {
  Column* left = nullptr;
  Column* right = nullptr;
  if (!ColumnEquality(rows, &left, &right)) return false;
  out->rows = rows;
  if (left->table() == tables[0] && right->table() == tables[1]) {
    out->first = left;
    out->second = right;
    out->rightOnFirst = false;
    return true;
  }
  if (right->table() == tables[0] && left->table() == tables[1]) {
    out->first = right;
    out->second = left;
    out->rightOnFirst = true;
    return true;
  }
  return false;
}

// Chains by number key, in one flat table probed in line. The keys are
// the evaluator's equality keys: reals that are never NaN and whose -0 is
// 0 already, so that equal keys have equal bits and the bits can be hashed.
template <class Chain>
class RealChains {
 public:
  // The chain of `key`, made empty when new.
  Chain& At(double key) {
    if ((used_ + 1) * 2 > slots_.size()) Grow();
    Slot& slot = slots_[Find(key)];
    if (!slot.taken) {
      slot.taken = true;
      slot.key = key;
      ++used_;
    }
    return slot.chain;
  }
  // The chain of `key`, or null.
  const Chain* Get(double key) const {
    if (slots_.empty()) return nullptr;
    const Slot& slot = slots_[Find(key)];
    return slot.taken ? &slot.chain : nullptr;
  }

 private:
  struct Slot {
    double key = 0;
    bool taken = false;
    Chain chain;
  };
  size_t Find(double key) const {
    uint64_t bits = 0;
    memcpy(&bits, &key, sizeof bits);
    size_t mask = slots_.size() - 1;
    // The product's high bits are its best mixed.
    size_t i = static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
    while (slots_[i].taken && slots_[i].key != key) i = (i + 1) & mask;
    return i;
  }
  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.resize(old.empty() ? 64 : old.size() * 2);
    shift_ = 64;
    for (size_t n = slots_.size(); n > 1; n >>= 1) --shift_;
    for (const Slot& slot : old) {
      if (slot.taken) slots_[Find(slot.key)] = slot;
    }
  }
  std::vector<Slot> slots_;
  size_t used_ = 0;
  int shift_ = 64;
};

// The records of table 0 under one predicate's keys: per key the first and
// last record (indexes into the read order), chained through `next`.
class KeyIndex {
 public:
  // Files record `record` (records are added in increasing order).
  void Add(const ValueConverter::EqualityKey& key, int32_t record) {
    next_.resize(static_cast<size_t>(record) + 1, -1);
    Chain& chain = key.number ? numbers_.At(key.real) : texts_[std::string(key.text, key.length)];
    if (chain.first < 0) {
      chain.first = record;
    } else {
      next_[static_cast<size_t>(chain.last)] = record;
    }
    chain.last = record;
  }
  // The first record holding `key`, or -1; Next follows the chain.
  int32_t First(const ValueConverter::EqualityKey& key) {
    if (key.number) {
      const Chain* found = numbers_.Get(key.real);
      return found == nullptr ? -1 : found->first;
    }
    probe_.assign(key.text, key.length);
    auto found = texts_.find(probe_);
    return found == texts_.end() ? -1 : found->second.first;
  }
  int32_t Next(int32_t record) const { return next_[static_cast<size_t>(record)]; }

 private:
  struct Chain {
    int32_t first = -1;
    int32_t last = -1;
  };
  std::vector<int32_t> next_;
  RealChains<Chain> numbers_;
  std::unordered_map<std::string, Chain> texts_;
  std::string probe_;
};

// The most bytes of table 0's rows a join that hands its tuples to a sink
// keeps; beyond, the join lists its tuples and the rows are read again.
constexpr size_t kMaxKeptBytes = size_t{64} << 20;

class Join {
 public:
  Join(StatementContext* request, Table* const* tables, const KeySource* filter, JoinSink* sink)
      : request_(request), tables_(tables), filter_(filter), sink_(sink) {}

  EquiJoinOutcome Run(std::vector<JoinPredicate>& predicates) {
    indexes_.resize(predicates.size());
    int32_t r = tables_[0]->ReadFirst(filter_);
    while (r > 0) {
      int32_t i = static_cast<int32_t>(records_.size());
      records_.push_back(r);
      if (sink_ != nullptr) {
        // Table 0's rows are kept to be put back for the tuples that take
        // them, instead of being read again.
        const unsigned char* row = tables_[0]->rowBuffer();
        if (row == nullptr || images_.size() + tables_[0]->rowSize() > kMaxKeptBytes) {
          return EquiJoinOutcome::kNotApplicable;
        }
        images_.insert(images_.end(), row, row + tables_[0]->rowSize());
      }
      for (size_t p = 0; p < predicates.size(); ++p) {
        TypedValue value = CurrentValueOf(predicates[p].first);
        // A second member without value makes the predicate hold whatever
        // the first: such a record would match every record of table 1,
        // which the chains do not express. The plain path decides it.
        if (value.bytes == nullptr && predicates[p].rightOnFirst) {
          return EquiJoinOutcome::kNotApplicable;
        }
        ValueConverter::EqualityKey key;
        if (value.bytes != nullptr &&
            Converter().KeyForEquality(value, &key) == ValueConverter::Equality::kKeyed) {
          indexes_[p].Add(key, i);
        }
      }
      r = tables_[0]->ReadNext(filter_);
    }
    if (r < 0) return ReadError(0, r);
    // No record in table 0: the product is empty, and table 1 is not read.
    if (records_.empty()) return EquiJoinOutcome::kDone;
    return Probe(predicates);
  }

 private:
  EquiJoinOutcome Probe(std::vector<JoinPredicate>& predicates) {
    int32_t tuple[2];
    int32_t r = tables_[1]->ReadFirst(filter_);
    while (r > 0) {
      tuple[1] = r;
      for (size_t p = 0; p < predicates.size(); ++p) {
        JoinPredicate& predicate = predicates[p];
        TypedValue value = CurrentValueOf(predicate.second);
        if (value.bytes == nullptr) {
          // Without a second member the predicate holds for every record
          // of table 0; without a first member, for none.
          if (predicate.rightOnFirst) continue;
          for (size_t k = 0; k < records_.size(); ++k) {
            if (!Append(predicate.rows, k, tuple)) return EquiJoinOutcome::kFailed;
          }
          continue;
        }
        ValueConverter::EqualityKey key;
        if (Converter().KeyForEquality(value, &key) != ValueConverter::Equality::kKeyed) continue;
        for (int32_t k = indexes_[p].First(key); k >= 0; k = indexes_[p].Next(k)) {
          if (!Append(predicate.rows, static_cast<size_t>(k), tuple)) {
            return EquiJoinOutcome::kFailed;
          }
        }
      }
      r = tables_[1]->ReadNext(filter_);
    }
    if (r < 0) return ReadError(1, r);
    return EquiJoinOutcome::kDone;
  }

  // Lists the tuple of table 0's k-th record and table 1's current one.
  bool Append(RowSet* rows, size_t k, int32_t* tuple) {
    tuple[0] = records_[k];
    if (sink_ != nullptr) {
      const size_t size = tables_[0]->rowSize();
      tables_[0]->RestoreRow(images_.data() + k * size, tuple[0]);
      return sink_->Take(tuple);
    }
    rows->state = RS_EXPLICIT;
    if (rows->tuples->AppendTuple(tuple, 2)) return true;
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return false;
  }

  EquiJoinOutcome ReadError(int table, int32_t code) {
    const char* name = tables_[table]->fileName();
    RecordMessage(request_, nullptr, kMsgReadWriteError, name == nullptr ? "" : name,
                  static_cast<int>(-code));
    return EquiJoinOutcome::kFailed;
  }

  StatementContext* request_;
  Table* const* tables_;
  const KeySource* filter_;
  JoinSink* sink_;
  std::vector<int32_t> records_;       // table 0's records in read order
  std::vector<unsigned char> images_;  // with a sink, their rows, one after the other
  std::vector<KeyIndex> indexes_;      // one per predicate
};

}  // namespace

EquiJoinOutcome EvaluateEquiJoin(StatementContext* request, const ConditionGroup& group,
                                 const KeySource* filter, JoinSink* sink) {
  if (group.tables().size() != 2 || group.rowSets().empty() ||
      (sink != nullptr && group.rowSets().size() != 1)) {
    return EquiJoinOutcome::kNotApplicable;
  }
  try {
    std::vector<JoinPredicate> predicates(group.rowSets().size());
    for (size_t p = 0; p < predicates.size(); ++p) {
      if (!Recognise(group.rowSets()[p], group.tables().data(), &predicates[p])) {
        return EquiJoinOutcome::kNotApplicable;
      }
    }
    Join join(request, group.tables().data(), filter, sink);
    return join.Run(predicates);
  } catch (const std::bad_alloc&) {
    // Tuples a failed join appended stay in row sets the failure discards.
    RecordMessage(request, nullptr, kMsgOutOfMemory);
    return EquiJoinOutcome::kFailed;
  }
}

}  // namespace zksql
