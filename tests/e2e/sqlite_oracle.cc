#include "sqlite_oracle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <utility>

namespace zksql_e2e {

const ColumnDef kColumns[5] = {
    {"ID", false}, {"X", false}, {"Y", false}, {"R", false}, {"S", true}};
const char* const kTableNames[3] = {"A", "B", "C"};

namespace {

constexpr int kId = 0, kX = 1, kY = 2, kR = 3, kS = 4;

std::string Quarter(int quarters) {
  char buffer[32];
  snprintf(buffer, sizeof buffer, "%g", quarters / 4.0);
  return buffer;
}

}  // namespace

std::string Random::Text() {
  static const char* const kLetters[] = {"a", "b", "e", "\xE9", "\xC9"};
  int length = Chance(40) ? 1 : Chance(67) ? 2 : 3;
  std::string s;
  for (int i = 0; i < length; ++i) s += kLetters[Pick(5)];
  return s;
}

std::vector<std::string> CreateStatements(int table) {
  std::string name = kTableNames[table];
  std::vector<std::string> out = {"CREATE TABLE " + name +
                                  " (ID INTEGER, X INTEGER, Y SMALLINT, R REAL, S CHAR(3))"};
  // Each table is read through different keys, so that both the key
  // ranges and the plain scans are compared.
  if (table == 0) {
    out.push_back("CREATE UNIQUE INDEX A_ID ON A (ID)");
    out.push_back("CREATE INDEX A_X ON A (X)");
  } else if (table == 1) {
    out.push_back("CREATE INDEX B_S ON B (S)");
    out.push_back("CREATE INDEX B_R ON B (R)");
  }
  return out;
}

std::string InsertStatement(int table, const DataRow& row) {
  std::string sql = std::string("INSERT INTO ") + kTableNames[table] + " VALUES (";
  for (size_t i = 0; i < row.size(); ++i) sql += (i > 0 ? ", " : "") + row[i];
  return sql + ")";
}

DataRow MakeDataRow(int id, Random& random) {
  return {std::to_string(id), std::to_string(random.Pick(10)), std::to_string(random.Pick(6)),
          Quarter(random.Pick(29) - 8), "'" + random.Text() + "'"};
}

// ---------------------------------------------------------------------------
// The statement model.

namespace {

struct Select;
using SelectP = std::shared_ptr<const Select>;

struct Expr {
  enum Kind { kColumn, kLiteral, kArithmetic, kAggregate } kind = kLiteral;
  int occurrence = -1;
  int column = -1;         // an aggregate's argument; -1: COUNT(*)
  bool bare = false;       // written without its table in the library's text
  std::string text;        // a literal as written; an aggregate's function
  std::string quantifier;  // an aggregate's ALL or DISTINCT, or ""
  std::string op;          // "+" or "-"
  std::shared_ptr<const Expr> left, right;
};
using ExprP = std::shared_ptr<const Expr>;

struct Cond;
using CondP = std::shared_ptr<const Cond>;

struct Cond {
  enum Kind {
    kAnd,
    kOr,
    kNot,
    kCompare,
    kBetween,
    kInList,
    kLike,
    kInSub,
    kExists,
    kUnique,
    kMatch,
    kQuantified,
    kCompareSub
  } kind = kCompare;
  std::vector<CondP> parts;  // AND, OR, NOT
  ExprP left;
  std::string op;            // comparisons
  std::vector<ExprP> items;  // right side, bounds, list
  bool negated = false;      // NOT BETWEEN, NOT IN, NOT LIKE, EXISTS NOT, UNIQUE NOT
  std::string pattern;
  std::string quantifier;  // ANY, SOME, ALL; UNIQUE after MATCH
  SelectP sub;
};

struct Occurrence {
  int table;
  std::string alias;  // the library's name for it when not the table's
};

struct Item {
  ExprP expr;
  std::string alias;
};

struct OrderKey {
  std::string library, sqlite;
  bool desc = false;
};

struct Select {
  bool distinct = false;
  bool star = false;
  std::vector<Item> items;
  std::vector<int> from;
  CondP where;
  std::vector<ExprP> groupBy;
  CondP having;
  std::vector<OrderKey> orderBy;
};

CondP MakeCond(Cond c) {
  return std::make_shared<const Cond>(std::move(c));
}

CondP Junction(Cond::Kind kind, std::vector<CondP> parts) {
  parts.erase(std::remove(parts.begin(), parts.end(), nullptr), parts.end());
  if (parts.empty()) return nullptr;
  if (parts.size() == 1 && kind != Cond::kNot) return parts[0];
  Cond c;
  c.kind = kind;
  c.parts = std::move(parts);
  return MakeCond(c);
}

// ---------------------------------------------------------------------------
// Rendering.

class Renderer {
 public:
  Renderer(const std::vector<Occurrence>& occurrences, bool sqlite)
      : occurrences_(occurrences), sqlite_(sqlite) {}

  std::string Name(int occurrence) const {
    const Occurrence& o = occurrences_[occurrence];
    if (sqlite_) return "t" + std::to_string(occurrence);
    return o.alias.empty() ? kTableNames[o.table] : o.alias;
  }

  std::string Column(int occurrence, int column, bool bare = false) const {
    std::string name = kColumns[column].name;
    return bare && !sqlite_ ? name : Name(occurrence) + "." + name;
  }

  std::string Render(const ExprP& e) const {
    switch (e->kind) {
      case Expr::kColumn:
        return Column(e->occurrence, e->column, e->bare);
      case Expr::kLiteral:
        return e->text;
      case Expr::kArithmetic:
        return Render(e->left) + " " + e->op + " " + Render(e->right);
      case Expr::kAggregate: {
        if (e->column < 0) return "COUNT(*)";
        std::string quantifier = e->quantifier;
        if (sqlite_ && quantifier == "ALL") quantifier.clear();
        return e->text + "(" + (quantifier.empty() ? "" : quantifier + " ") +
               Column(e->occurrence, e->column) + ")";
      }
    }
    return "";
  }

  std::string Render(const CondP& c) const {
    switch (c->kind) {
      case Cond::kAnd:
      case Cond::kOr: {
        std::string s;
        for (const CondP& part : c->parts) {
          if (!s.empty()) s += c->kind == Cond::kAnd ? " AND " : " OR ";
          s += Operand(part);
        }
        return s;
      }
      case Cond::kNot:
        return "NOT " + (sqlite_ ? "(" + Render(c->parts[0]) + ")" : Operand(c->parts[0]));
      case Cond::kCompare:
        return Render(c->left) + " " + c->op + " " + Render(c->items[0]);
      case Cond::kBetween: {
        ExprP lo = c->items[0], hi = c->items[1];
        if (sqlite_ && Greater(lo->text, hi->text)) std::swap(lo, hi);
        return Render(c->left) + Not(c) + " BETWEEN " + Render(lo) + " AND " + Render(hi);
      }
      case Cond::kInList: {
        std::string list;
        for (const ExprP& item : c->items) list += (list.empty() ? "" : ", ") + Render(item);
        return Render(c->left) + Not(c) + " IN (" + list + ")";
      }
      case Cond::kLike:
        return Render(c->left) + Not(c) + " LIKE '" + c->pattern + "'";
      case Cond::kInSub:
        return Render(c->left) + Not(c) + " IN (" + Render(*c->sub) + ")";
      case Cond::kExists:
        if (sqlite_) return (c->negated ? "NOT EXISTS (" : "EXISTS (") + Render(*c->sub) + ")";
        return (c->negated ? "EXISTS NOT (" : "EXISTS (") + Render(*c->sub) + ")";
      case Cond::kUnique: {
        if (!sqlite_) return (c->negated ? "UNIQUE NOT (" : "UNIQUE (") + Render(*c->sub) + ")";
        // UNIQUE NOT holds for two rows or more, not for none.
        std::string count =
            c->sub->distinct ? " FROM (" + Render(*c->sub) + ")" : FromWhere(*c->sub, "");
        return "(SELECT COUNT(*)" + count + (c->negated ? ") > 1" : ") = 1");
      }
      case Cond::kMatch:
        if (!sqlite_) {
          return Render(c->left) + " MATCH " + (c->quantifier.empty() ? "" : "UNIQUE ") + "(" +
                 Render(*c->sub) + ")";
        }
        if (c->quantifier.empty()) return Render(c->left) + " IN (" + Render(*c->sub) + ")";
        return CountedOnce(c);
      case Cond::kQuantified: {
        if (!sqlite_) {
          return Render(c->left) + " " + c->op + " " + c->quantifier + " (" + Render(*c->sub) + ")";
        }
        std::string holds = Render(c->left) + " " + c->op + " " + Render(c->sub->items[0].expr);
        if (c->quantifier == "ALL")
          return "NOT EXISTS (SELECT 1" + FromWhere(*c->sub, "NOT (" + holds + ")") + ")";
        return "EXISTS (SELECT 1" + FromWhere(*c->sub, holds) + ")";
      }
      case Cond::kCompareSub: {
        const ExprP& item = c->sub->items[0].expr;
        if (!sqlite_) return Render(c->left) + " " + c->op + " (" + Render(*c->sub) + ")";
        if (item->kind == Expr::kAggregate) {
          // An aggregate over no row has no value here, so the comparison
          // does not hold, and NOT of it does: SQLite's NULL made false.
          return "COALESCE(" + Render(c->left) + " " + c->op + " (" + Render(*c->sub) + "), 0)";
        }
        return CountedOnce(c);
      }
    }
    return "";
  }

  std::string Render(const Select& s) const {
    std::string sql = s.distinct ? "SELECT DISTINCT " : "SELECT ";
    if (s.star) sql += "*";
    for (size_t i = 0; i < s.items.size(); ++i) {
      sql += (i > 0 ? ", " : "") + Render(s.items[i].expr);
      if (!s.items[i].alias.empty()) sql += " AS " + s.items[i].alias;
    }
    sql += FromWhere(s, "");
    for (size_t i = 0; i < s.groupBy.size(); ++i) {
      sql += (i > 0 ? ", " : " GROUP BY ") + Render(s.groupBy[i]);
    }
    if (s.having != nullptr) sql += " HAVING " + Render(s.having);
    for (size_t i = 0; i < s.orderBy.size(); ++i) {
      const OrderKey& key = s.orderBy[i];
      sql += (i > 0 ? ", " : " ORDER BY ") + (sqlite_ ? key.sqlite : key.library) +
             (key.desc ? " DESC" : "");
    }
    return sql;
  }

 private:
  // FROM and WHERE of s, with one more condition ANDed to its WHERE.
  std::string FromWhere(const Select& s, const std::string& extra) const {
    std::string sql = " FROM ";
    for (size_t i = 0; i < s.from.size(); ++i) {
      const Occurrence& o = occurrences_[s.from[i]];
      sql += (i > 0 ? ", " : "") + std::string(kTableNames[o.table]);
      if (sqlite_) {
        sql += " AS " + Name(s.from[i]);
      } else if (!o.alias.empty()) {
        sql += " " + o.alias;
      }
    }
    std::string where = s.where == nullptr ? "" : Render(s.where);
    if (!extra.empty()) where = where.empty() ? extra : "(" + where + ") AND " + extra;
    return where.empty() ? sql : sql + " WHERE " + where;
  }

  // SQLite's form of a comparison with a sub-select, or MATCH UNIQUE: it
  // holds when exactly one of the sub-select's values satisfies it.
  std::string CountedOnce(const CondP& c) const {
    std::string item = Render(c->sub->items[0].expr);
    if (c->sub->distinct) {
      std::string value = "v" + Name(c->sub->from[0]);
      return "(SELECT COUNT(*) FROM (SELECT DISTINCT " + item + " AS " + value +
             FromWhere(*c->sub, "") + ") WHERE " + Render(c->left) + " " + c->op + " " + value +
             ") = 1";
    }
    return "(SELECT COUNT(*)" + FromWhere(*c->sub, Render(c->left) + " " + c->op + " " + item) +
           ") = 1";
  }

  std::string Operand(const CondP& c) const {
    bool junction = c->kind == Cond::kAnd || c->kind == Cond::kOr;
    return junction || (sqlite_ && c->kind == Cond::kNot) ? "(" + Render(c) + ")" : Render(c);
  }

  static std::string Not(const CondP& c) { return c->negated ? " NOT" : ""; }

  // BETWEEN bounds are literals of one kind: numbers by value, texts byte
  // by byte (quotes included, which sort before every letter).
  static bool Greater(const std::string& a, const std::string& b) {
    if (a[0] == '\'') {
      return std::lexicographical_compare(
          b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
          });
    }
    return strtod(a.c_str(), nullptr) > strtod(b.c_str(), nullptr);
  }

  const std::vector<Occurrence>& occurrences_;
  bool sqlite_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Random statements.

struct StatementMaker::Impl {
  Impl(Random& random, const std::vector<std::vector<DataRow>>& data) : r(random), data(data) {}

  Random& r;
  const std::vector<std::vector<DataRow>>& data;
  std::vector<Occurrence> occurrences;
  std::vector<std::vector<int>> scopes;  // the FROM lists in force, innermost last
  bool bare = false;                     // columns written without their table

  enum class SubMode { kOtherTable, kSameTable, kCorrelated };

  int Pick(size_t n) { return r.Pick(static_cast<int>(n)); }
  template <typename T>
  const T& OneOf(const std::vector<T>& v) {
    return v[Pick(v.size())];
  }
  template <typename T>
  void Shuffle(std::vector<T>* v) {
    for (size_t i = v->size(); i > 1; --i) std::swap((*v)[i - 1], (*v)[Pick(i)]);
  }

  int Add(int table, const std::string& alias = "") {
    occurrences.push_back({table, alias});
    return static_cast<int>(occurrences.size()) - 1;
  }
  std::string NameOf(int o) const {
    return occurrences[o].alias.empty() ? kTableNames[occurrences[o].table] : occurrences[o].alias;
  }

  ExprP Column(int o, int column) {
    auto e = std::make_shared<Expr>();
    e->kind = Expr::kColumn;
    e->occurrence = o;
    e->column = column;
    e->bare = bare;
    return e;
  }
  static ExprP Literal(const std::string& text) {
    auto e = std::make_shared<Expr>();
    e->text = text;
    return e;
  }
  // A literal for a column: often one of its values, so that comparisons
  // meet the data.
  ExprP LiteralFor(int o, int column) {
    const std::vector<DataRow>& rows = data[occurrences[o].table];
    if (!rows.empty() && r.Chance(60)) return Literal(OneOf(rows)[column]);
    if (kColumns[column].text) return Literal("'" + r.Text() + "'");
    if (column == kR) return Literal(Quarter(r.Pick(37) - 10));
    return Literal(std::to_string(r.Pick(13) - 1));
  }
  int ColumnOfKind(bool text) { return text ? kS : r.Pick(4); }
  std::string Op() {
    static const char* const kOps[] = {"=", "<>", "<", ">", "<=", ">="};
    return kOps[r.Pick(6)];
  }
  CondP Compare(ExprP left, const std::string& op, ExprP right) {
    Cond c;
    c.left = std::move(left);
    c.op = op;
    c.items = {std::move(right)};
    return MakeCond(c);
  }

  std::string Pattern(int o) {
    const std::vector<DataRow>& rows = data[occurrences[o].table];
    std::string base = r.Text();
    if (!rows.empty() && r.Chance(70)) {
      base = OneOf(rows)[kS];
      base = base.substr(1, base.size() - 2);
    }
    if (r.Chance(30)) base[Pick(base.size())] = '_';
    size_t at = Pick(base.size());
    switch (r.Pick(5)) {
      case 0:
        return base;
      case 1:
        return base.substr(0, at + 1) + "%";
      case 2:
        return "%" + base.substr(at);
      case 3:
        return "%" + base.substr(at, 1 + Pick(base.size() - at)) + "%";
      default:
        return r.Chance(20) ? "%" : base + "%";
    }
  }

  // A predicate over one of the given occurrences alone.
  CondP Predicate(const std::vector<int>& occs) {
    int o = OneOf(occs);
    bool text = r.Chance(30);
    int column = ColumnOfKind(text);
    Cond c;
    c.left = Column(o, column);
    c.negated = r.Chance(30);
    int kind = r.Pick(100);
    if (kind < 15) {
      c.kind = Cond::kBetween;
      c.items = {LiteralFor(o, column), LiteralFor(o, column)};
    } else if (kind < 32) {
      c.kind = Cond::kInList;
      for (int n = 1 + r.Pick(4); n > 0; --n) c.items.push_back(LiteralFor(o, column));
      if (!text && r.Chance(15)) c.items.push_back(Column(o, ColumnOfKind(false)));
    } else if (kind < 50 && text) {
      c.kind = Cond::kLike;
      c.pattern = Pattern(o);
    } else {
      c.negated = false;
      c.op = Op();
      if (!text && r.Chance(20)) {
        // Arithmetic on the left: the only side where the grammar takes it.
        auto sum = std::make_shared<Expr>();
        sum->kind = Expr::kArithmetic;
        sum->op = r.Chance(50) ? "+" : "-";
        sum->left = c.left;
        sum->right =
            r.Chance(60) ? Column(o, ColumnOfKind(false)) : Literal(std::to_string(r.Pick(6)));
        c.left = sum;
        c.items = {
            Literal(r.Chance(50) ? std::to_string(r.Pick(21) - 6) : Quarter(r.Pick(61) - 20))};
      } else if (!text && r.Chance(20)) {
        c.items = {Column(o, ColumnOfKind(false))};
      } else {
        c.items = {LiteralFor(o, column)};
      }
    }
    return MakeCond(c);
  }

  CondP Tree(int depth, const std::function<CondP()>& leaf) {
    int choice = depth <= 0 ? 99 : r.Pick(100);
    if (choice < 25) return Junction(Cond::kAnd, {Tree(depth - 1, leaf), Tree(depth - 1, leaf)});
    if (choice < 50) return Junction(Cond::kOr, {Tree(depth - 1, leaf), Tree(depth - 1, leaf)});
    if (choice < 62) return Junction(Cond::kNot, {Tree(depth - 1, leaf)});
    return leaf();
  }
  CondP LocalTree(int depth, const std::vector<int>& occs) {
    return Tree(depth, [&] { return Predicate(occs); });
  }

  // Two or three occurrences, each under a name of its own, chained by
  // equalities between their small integer columns (the links, added to
  // *conjuncts). A table may appear twice, the second time under an alias.
  std::vector<int> JoinFrom(int count, std::vector<CondP>* conjuncts) {
    std::vector<int> tables = {0, 1, 2};
    Shuffle(&tables);
    std::vector<int> from;
    for (int i = 0; i < count; ++i) {
      if (i > 0 && r.Chance(15)) {
        from.push_back(Add(tables[0], std::string(kTableNames[tables[0]]) + std::to_string(i + 1)));
      } else {
        from.push_back(Add(tables[i]));
      }
      if (i == 0) continue;
      ExprP a = Column(from[Pick(i)], kX + r.Pick(2)), b = Column(from[i], kX + r.Pick(2));
      conjuncts->push_back(r.Chance(50) ? Compare(a, "=", b) : Compare(b, "=", a));
    }
    return from;
  }

  // A FROM list of one table or of linked ones, with a WHERE of
  // conditions on each table alone (and now and then one comparing two
  // tables, beside the links).
  void Base(Select* s, bool join) {
    std::vector<CondP> conjuncts;
    if (join) {
      s->from = JoinFrom(2 + r.Pick(2), &conjuncts);
      for (int o : s->from) {
        if (r.Chance(55)) conjuncts.push_back(LocalTree(r.Pick(3), {o}));
      }
      if (r.Chance(15)) {
        int a = s->from[0], b = s->from[1 + Pick(s->from.size() - 1)];
        conjuncts.push_back(
            Compare(Column(a, ColumnOfKind(false)), Op(), Column(b, ColumnOfKind(false))));
      }
      Shuffle(&conjuncts);
    } else {
      s->from = {Add(r.Pick(3), r.Chance(15) ? "Q" : "")};
      if (r.Chance(92)) conjuncts.push_back(LocalTree(r.Pick(4), s->from));
    }
    s->where = Junction(Cond::kAnd, conjuncts);
    scopes = {s->from};
  }

  std::vector<Item> Items(const std::vector<int>& occs, int n, bool withId = true) {
    std::vector<Item> items;
    std::set<std::pair<int, int>> seen;
    for (int i = 0; i < n; ++i) {
      int o = OneOf(occs), column = withId ? r.Pick(kColumnCount) : 1 + r.Pick(kColumnCount - 1);
      if (seen.insert({o, column}).second) items.push_back({Column(o, column), ""});
    }
    return items;
  }

  ExprP Aggregate(const std::vector<int>& occs) {
    static const char* const kFunctions[] = {"COUNT", "SUM", "AVG", "MIN", "MAX"};
    auto e = std::make_shared<Expr>();
    e->kind = Expr::kAggregate;
    e->text = kFunctions[r.Pick(5)];
    e->occurrence = OneOf(occs);
    if (e->text != "COUNT") {
      bool numeric = e->text == "SUM" || e->text == "AVG";
      e->column = ColumnOfKind(!numeric && r.Chance(30));
      e->quantifier = r.Chance(30) ? "DISTINCT" : r.Chance(20) ? "ALL" : "";
    }
    return e;
  }

  // The occurrences of enclosing scopes the innermost one can name: those
  // whose name no nearer scope also has.
  std::vector<int> Referable() const {
    std::set<std::string> nearer;
    for (int o : scopes.back()) nearer.insert(NameOf(o));
    std::vector<int> out;
    for (size_t s = scopes.size() - 1; s-- > 0;) {
      for (int o : scopes[s]) {
        if (nearer.count(NameOf(o)) == 0) out.push_back(o);
      }
      for (int o : scopes[s]) nearer.insert(NameOf(o));
    }
    return out;
  }

  // A predicate with a sub-select over one table, its left side (if any)
  // on one of outer. depth: how many more sub-select levels it may hold.
  CondP SubPredicate(const std::vector<int>& outer, SubMode mode, int depth) {
    std::set<int> enclosing;
    for (const std::vector<int>& scope : scopes) {
      for (int o : scope) enclosing.insert(occurrences[o].table);
    }
    std::vector<int> candidates;
    for (int t = 0; t < 3; ++t) {
      bool encloses = enclosing.count(t) > 0;
      if (mode == SubMode::kCorrelated || encloses == (mode == SubMode::kSameTable)) {
        candidates.push_back(t);
      }
    }
    if (candidates.empty()) return Predicate(outer);
    int inner = Add(OneOf(candidates));
    scopes.push_back({inner});
    auto sub = std::make_shared<Select>();
    sub->from = {inner};
    std::vector<CondP> conjuncts;
    if (r.Chance(80)) conjuncts.push_back(LocalTree(r.Pick(3), {inner}));
    std::vector<int> referable = Referable();
    if (mode == SubMode::kCorrelated && !referable.empty()) {
      for (int n = 1 + r.Pick(2); n > 0; --n) {
        bool text = r.Chance(20);
        ExprP mine = Column(inner, text ? kS : kX + r.Pick(2));
        ExprP theirs = Column(OneOf(referable), text ? kS : kX + r.Pick(2));
        std::string op = r.Chance(75) ? "=" : Op();
        conjuncts.push_back(r.Chance(50) ? Compare(mine, op, theirs) : Compare(theirs, op, mine));
      }
    }
    if (depth > 0 && r.Chance(30)) conjuncts.push_back(SubPredicate({inner}, mode, depth - 1));
    Shuffle(&conjuncts);
    sub->where = Junction(Cond::kAnd, conjuncts);
    scopes.pop_back();

    bool text = r.Chance(25);
    Cond c;
    c.left = Column(OneOf(outer), ColumnOfKind(text));
    ExprP item = Column(inner, ColumnOfKind(text));
    int kind = r.Pick(100);
    bool wrapInNot = false;
    if (kind < 22) {
      c.kind = Cond::kInSub;
      c.negated = r.Chance(30);
    } else if (kind < 38) {
      c.kind = Cond::kExists;
      sub->star = r.Chance(30);
      wrapInNot = r.Chance(30);
      c.negated = r.Chance(20);
    } else if (kind < 48) {
      c.kind = Cond::kUnique;
      wrapInNot = r.Chance(30);
      c.negated = r.Chance(20);
    } else if (kind < 56) {
      c.kind = Cond::kMatch;
      c.op = "=";
      if (r.Chance(50)) c.quantifier = "UNIQUE";
    } else if (kind < 78) {
      static const char* const kQuantifiers[] = {"ANY", "SOME", "ALL"};
      c.kind = Cond::kQuantified;
      c.op = Op();
      c.quantifier = kQuantifiers[r.Pick(3)];
    } else {
      c.kind = Cond::kCompareSub;
      c.op = Op();
      if (mode != SubMode::kOtherTable && r.Chance(40)) {
        // A scalar aggregate; COUNT(*) and SUM, AVG compare with numbers.
        item = Aggregate({inner});
        bool itemText = item->column >= 0 && kColumns[item->column].text;
        c.left = Column(OneOf(outer), ColumnOfKind(itemText));
      }
    }
    if (!sub->star) sub->items = {{item, ""}};
    // DISTINCT changes what UNIQUE and a comparison count.
    sub->distinct = !sub->star && r.Chance(15);
    c.sub = sub;
    CondP made = MakeCond(c);
    return wrapInNot ? Junction(Cond::kNot, {made}) : made;
  }

  void SubSelects(Select* s, SubMode mode) {
    std::vector<CondP> conjuncts;
    if (r.Chance(70)) {
      std::string alias;
      if (mode == SubMode::kCorrelated && r.Chance(30)) alias = "Z";
      s->from = {Add(r.Pick(3), alias)};
    } else {
      s->from = JoinFrom(2, &conjuncts);
    }
    scopes = {s->from};
    // Each table gets conditions of its own, sub-selects among them, so
    // that no OR spans two tables.
    for (int o : s->from) {
      auto leaf = [&] { return r.Chance(60) ? SubPredicate({o}, mode, 1) : Predicate({o}); };
      if (o == s->from[0]) conjuncts.push_back(SubPredicate({o}, mode, 1));
      if (r.Chance(60)) conjuncts.push_back(Tree(r.Pick(3), leaf));
    }
    Shuffle(&conjuncts);
    s->where = Junction(Cond::kAnd, conjuncts);
    s->items = Items(s->from, 1 + r.Pick(3));
  }

  // ORDER BY the given items (by position), as each language names them.
  void OrderOn(Select* s, const std::vector<int>& positions, Check* check) {
    Renderer library(occurrences, false), sqlite(occurrences, true);
    for (int p : positions) {
      const Item& item = s->items[p];
      OrderKey key;
      key.library = item.alias.empty() ? library.Render(item.expr) : item.alias;
      key.sqlite = item.alias.empty() ? sqlite.Render(item.expr) : item.alias;
      key.desc = r.Chance(35);
      s->orderBy.push_back(key);
      check->keyColumns.push_back(p);
    }
    check->order = Check::kKeyColumns;
  }

  Statement Make(Family family) {
    occurrences.clear();
    scopes.clear();
    Select s;
    Check check;
    switch (family) {
      case Family::kWhere:
        bare = r.Chance(50);
        Base(&s, false);
        s.star = r.Chance(25);
        if (!s.star) s.items = Items(s.from, 1 + r.Pick(3));
        bare = false;
        break;
      case Family::kJoin:
        Base(&s, true);
        s.items = Items(s.from, 1 + r.Pick(4));
        break;
      case Family::kSubSelect:
        SubSelects(&s, SubMode::kOtherTable);
        break;
      case Family::kSameTable:
        SubSelects(&s, SubMode::kSameTable);
        break;
      case Family::kCorrelated:
        SubSelects(&s, SubMode::kCorrelated);
        break;
      case Family::kDistinct:
        Base(&s, r.Chance(40));
        s.distinct = true;
        s.items = Items(s.from, 1 + r.Pick(3), false);
        break;
      case Family::kOrderBy: {
        Base(&s, r.Chance(40));
        s.distinct = r.Chance(20);
        s.items = Items(s.from, 1 + r.Pick(4));
        std::vector<int> positions;
        for (size_t i = 0; i < s.items.size(); ++i) positions.push_back(static_cast<int>(i));
        Shuffle(&positions);
        positions.resize(1 + Pick(std::min<size_t>(2, positions.size())));
        OrderOn(&s, positions, &check);
        break;
      }
      case Family::kOrAcross: {
        std::vector<CondP> conjuncts;
        s.from = JoinFrom(2 + r.Pick(2), &conjuncts);
        scopes = {s.from};
        // An OR whose operands read different tables (written as an OR, or
        // as a NOT over an AND), beside the links.
        std::vector<int> tables = s.from;
        Shuffle(&tables);
        std::vector<CondP> operands;
        for (size_t i = 0; i < tables.size() && (i < 2 || r.Chance(50)); ++i) {
          int kind = r.Pick(100);
          if (kind < 35) {
            // The shape that cannot be brought to one row set per table:
            // (A.X = 1 AND B.Y = 2) OR (A.X = 3 AND B.Y = 4).
            int other = tables[(i + 1) % tables.size()];
            operands.push_back(Junction(Cond::kAnd, {Predicate({tables[i]}), Predicate({other})}));
          } else if (kind < 55) {
            operands.push_back(Tree(r.Pick(2), [&] { return Predicate(s.from); }));
          } else {
            operands.push_back(LocalTree(r.Pick(2), {tables[i]}));
          }
        }
        conjuncts.push_back(r.Chance(25) ? Junction(Cond::kNot, {Junction(Cond::kAnd, operands)})
                                         : Junction(Cond::kOr, operands));
        if (r.Chance(30)) conjuncts.push_back(LocalTree(r.Pick(2), {OneOf(s.from)}));
        Shuffle(&conjuncts);
        s.where = Junction(Cond::kAnd, conjuncts);
        s.items = Items(s.from, 1 + r.Pick(4));
        break;
      }
      case Family::kOrderHidden:
        OrderHidden(&s, &check);
        break;
      case Family::kAggregates:
        Base(&s, r.Chance(35));
        if (r.Chance(15)) {
          // No row at all: the aggregates of an empty input.
          s.where = Junction(Cond::kAnd,
                             {s.where, Compare(Column(OneOf(s.from), kX), ">", Literal("100"))});
        }
        for (int n = 1 + r.Pick(4); n > 0; --n) s.items.push_back({Aggregate(s.from), ""});
        break;
      case Family::kGroupBy:
        GroupBy(&s, &check);
        break;
    }
    return Finish(s, check);
  }

  // ORDER BY a unique key of the rows (the ID of every table) that the
  // select list may leave out, after another column now and then, and
  // through a select-list alias now and then.
  void OrderHidden(Select* s, Check* check) {
    Base(s, r.Chance(40));
    s->items = Items(s->from, 1 + r.Pick(3));
    for (size_t i = 0; i < s->items.size(); ++i) {
      if (r.Chance(40)) s->items[i].alias = "K" + std::to_string(i + 1);
    }
    Renderer library(occurrences, false), sqlite(occurrences, true);
    auto key = [&](int o, int column) {
      OrderKey k;
      k.library = library.Column(o, column);
      k.sqlite = sqlite.Column(o, column);
      for (const Item& item : s->items) {
        if (item.expr->occurrence == o && item.expr->column == column && !item.alias.empty() &&
            r.Chance(70)) {
          k.library = k.sqlite = item.alias;
        }
      }
      k.desc = r.Chance(35);
      s->orderBy.push_back(k);
    };
    if (r.Chance(50)) key(OneOf(s->from), 1 + r.Pick(kColumnCount - 1));
    for (int o : s->from) key(o, kId);
    check->order = Check::kExact;
    if (r.Chance(15)) {
      // Under DISTINCT the key is that of one of the equal rows: the rows
      // are compared as a set.
      s->distinct = true;
      check->order = Check::kUnordered;
    }
  }

  void GroupBy(Select* s, Check* check) {
    Base(s, r.Chance(30));
    std::vector<std::pair<int, int>> groups;
    for (int n = 1 + r.Pick(2); n > 0; --n) {
      std::pair<int, int> g(OneOf(s->from), 1 + r.Pick(kColumnCount - 1));
      if (std::find(groups.begin(), groups.end(), g) == groups.end()) groups.push_back(g);
    }
    for (const auto& g : groups) {
      s->groupBy.push_back(Column(g.first, g.second));
      if (r.Chance(70)) s->items.push_back({s->groupBy.back(), ""});
    }
    for (int n = 1 + r.Pick(3); n > 0; --n) s->items.push_back({Aggregate(s->from), ""});
    Shuffle(&s->items);
    if (r.Chance(40)) {
      s->having = Tree(r.Pick(2), [&]() -> CondP {
        if (r.Chance(40)) {
          const auto& g = OneOf(groups);
          return Compare(Column(g.first, g.second), Op(), LiteralFor(g.first, g.second));
        }
        ExprP a = Aggregate(s->from);
        if (a->column < 0) return Compare(a, Op(), Literal(std::to_string(r.Pick(6))));
        return Compare(a, Op(), LiteralFor(a->occurrence, a->column));
      });
    }
    if (r.Chance(50)) return;
    // Ordered on every group column, the groups come in one order only.
    std::vector<int> positions;
    bool all = r.Chance(50);
    for (size_t i = 0; i < s->items.size(); ++i) {
      if (s->items[i].expr->kind == Expr::kColumn) positions.push_back(static_cast<int>(i));
    }
    if (!all && !positions.empty()) {
      Shuffle(&positions);
      positions.resize(1);
      OrderOn(s, positions, check);
      return;
    }
    Renderer library(occurrences, false), sqlite(occurrences, true);
    for (const ExprP& g : s->groupBy) {
      s->orderBy.push_back({library.Render(g), sqlite.Render(g), r.Chance(35)});
    }
    check->order = Check::kExact;
  }

  Statement Finish(const Select& s, Check check) {
    Statement out;
    out.library = Renderer(occurrences, false).Render(s);
    out.sqlite = Renderer(occurrences, true).Render(s);
    if (s.star) {
      for (const ColumnDef& c : kColumns) check.textColumns.push_back(c.text);
    }
    for (const Item& item : s.items) {
      const Expr& e = *item.expr;
      check.textColumns.push_back(e.column >= 0 && kColumns[e.column].text &&
                                  (e.kind == Expr::kColumn || e.text == "MIN" || e.text == "MAX"));
      if (e.kind == Expr::kAggregate && e.text == "AVG") check.loose = true;
    }
    out.check = check;
    return out;
  }
};

Statement StatementMaker::Make(Family family) {
  Impl impl(random_, data_);
  return impl.Make(family);
}

}  // namespace zksql_e2e
