// Catalogue functions build their result sets in memory, with the columns
// ODBC defines for each, from what the engine's catalogue says (the calls
// the shell's .schema reads through). A database has no catalogues nor
// schemas: those columns are NULL. Names match case-insensitively, as the
// dialect compares them; search patterns take % and _ (\ escapes them).
// A primary key is the first unique key of a file (PRIMARY KEY makes a
// unique key); single-column keys are named FILE_COLUMN, as .schema names
// them, the engine keeping no name for them.
#include <algorithm>
#include <cctype>

#include "api.h"
#include "catalogue.h"
#include "jxengine.h"

namespace zkodbc {
namespace {

using Row = std::vector<Cell>;

Cell Text(const std::string& cp1252) {
  Cell c;
  c.bytes = cp1252;
  return c;
}
Cell Number(long long n) {
  return Text(std::to_string(n));
}
Cell Null() {
  Cell c;
  c.null = true;
  return c;
}

char Upper(char c) {
  return static_cast<char>(toupper(static_cast<unsigned char>(c)));
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

// LIKE-style match of name against pattern (both Windows-1252).
bool Matches(const std::string& pattern, size_t p, const std::string& name, size_t n) {
  while (p < pattern.size()) {
    char c = pattern[p];
    if (c == '%') {
      for (size_t k = n; k <= name.size(); ++k) {
        if (Matches(pattern, p + 1, name, k)) return true;
      }
      return false;
    }
    if (n >= name.size()) return false;
    if (c == '\\' && p + 1 < pattern.size()) {
      c = pattern[++p];
      if (Upper(c) != Upper(name[n])) return false;
    } else if (c != '_' && Upper(c) != Upper(name[n])) {
      return false;
    }
    ++p;
    ++n;
  }
  return n == name.size();
}

// A NULL or empty pattern matches everything.
bool MatchesPattern(const std::string* pattern, const std::string& name) {
  if (pattern == nullptr || pattern->empty()) return true;
  return Matches(ToLibrary(*pattern), 0, name, 0);
}

std::vector<ColumnInfo> Header(std::initializer_list<std::pair<const char*, SQLSMALLINT>> list) {
  std::vector<ColumnInfo> columns;
  for (const auto& entry : list) {
    columns.push_back(ColumnOfType(entry.first, entry.second,
                                   entry.second == SQL_VARCHAR ? JX_NAME_MAX_LENGTH : 0));
  }
  return columns;
}

std::vector<std::string> TableNames(Statement* s, const std::string* pattern) {
  std::vector<std::string> names;
  for (const std::string& name : zkhost::FileNames(s->conn->db.handle())) {
    if (MatchesPattern(pattern, name)) names.push_back(name);
  }
  return names;
}

// The file a table name designates, case-insensitively; false for none.
bool FindTable(Statement* s, const std::string* table, zkhost::FileInfo* file) {
  if (table == nullptr) throw DriverError("HY009", DriverMessage("a table name is required"));
  std::string wanted = ToLibrary(*table);
  for (const std::string& name : zkhost::FileNames(s->conn->db.handle())) {
    if (SameName(name, wanted)) return zkhost::DescribeFile(s->conn->db.handle(), name, file);
  }
  return false;
}

// True when a list of table types ("TABLE,'VIEW'") holds TABLE.
bool ListsTables(const std::string& types) {
  std::string token;
  for (size_t i = 0; i <= types.size(); ++i) {
    char c = i < types.size() ? types[i] : ',';
    if (c != ',') {
      if (c != '\'' && c != ' ') token += Upper(c);
      continue;
    }
    if (token == "TABLE") return true;
    token.clear();
  }
  return false;
}

void Serve(Statement* s, std::vector<ColumnInfo> header, std::vector<Row> rows) {
  ServeRows(s, std::unique_ptr<ResultSet>(new RowsResult(std::move(header), std::move(rows))));
}

// The keys of a file in order: each with its name and columns.
struct Key {
  std::string name;
  bool unique;
  std::vector<std::string> columns;
};

std::vector<Key> KeysOf(const zkhost::FileInfo& file) {
  std::vector<Key> keys;
  for (const zkhost::ItemInfo& item : file.items) {
    if (item.keyKind != 1 && item.keyKind != 2) continue;
    Key key;
    key.unique = item.keyKind == 1;
    if (item.composite) {
      if (item.components.empty()) continue;
      key.name = item.name;
      key.columns = item.components;
    } else {
      key.name = (file.name + "_" + item.name).substr(0, JX_NAME_MAX_LENGTH);
      key.columns.push_back(item.name);
    }
    keys.push_back(std::move(key));
  }
  return keys;
}

}  // namespace

SQLRETURN Tables(Statement* s, const std::string* catalog, const std::string* schema,
                 const std::string* table, const std::string* types) {
  auto header = Header({{"TABLE_CAT", SQL_VARCHAR}, {"TABLE_SCHEM", SQL_VARCHAR},
                        {"TABLE_NAME", SQL_VARCHAR}, {"TABLE_TYPE", SQL_VARCHAR},
                        {"REMARKS", SQL_VARCHAR}});
  std::vector<Row> rows;
  bool all = [](const std::string* p) { return p != nullptr && *p == SQL_ALL_CATALOGS; }(catalog);
  bool allSchemas = schema != nullptr && *schema == SQL_ALL_SCHEMAS;
  bool allTypes = types != nullptr && *types == SQL_ALL_TABLE_TYPES;
  bool emptyName = table != nullptr && table->empty();
  if (allTypes && (catalog == nullptr || catalog->empty()) &&
      (schema == nullptr || schema->empty()) && emptyName) {
    rows.push_back({Null(), Null(), Null(), Text("TABLE"), Null()});
  } else if (!all && !allSchemas) {
    // Only tables: a list of types without TABLE lists nothing.
    bool wantsTables = types == nullptr || types->empty() || allTypes || ListsTables(*types);
    bool namedCatalog = catalog != nullptr && !catalog->empty();
    bool namedSchema = schema != nullptr && !schema->empty() && *schema != "%";
    if (wantsTables && !namedCatalog && !namedSchema) {
      for (const std::string& name : TableNames(s, table)) {
        rows.push_back({Null(), Null(), Text(name), Text("TABLE"), Null()});
      }
    }
  }
  Serve(s, std::move(header), std::move(rows));
  return SQL_SUCCESS;
}

SQLRETURN Columns(Statement* s, const std::string* catalog, const std::string* schema,
                  const std::string* table, const std::string* column) {
  auto header = Header({{"TABLE_CAT", SQL_VARCHAR}, {"TABLE_SCHEM", SQL_VARCHAR},
                        {"TABLE_NAME", SQL_VARCHAR}, {"COLUMN_NAME", SQL_VARCHAR},
                        {"DATA_TYPE", SQL_SMALLINT}, {"TYPE_NAME", SQL_VARCHAR},
                        {"COLUMN_SIZE", SQL_INTEGER}, {"BUFFER_LENGTH", SQL_INTEGER},
                        {"DECIMAL_DIGITS", SQL_SMALLINT}, {"NUM_PREC_RADIX", SQL_SMALLINT},
                        {"NULLABLE", SQL_SMALLINT}, {"REMARKS", SQL_VARCHAR},
                        {"COLUMN_DEF", SQL_VARCHAR}, {"SQL_DATA_TYPE", SQL_SMALLINT},
                        {"SQL_DATETIME_SUB", SQL_SMALLINT}, {"CHAR_OCTET_LENGTH", SQL_INTEGER},
                        {"ORDINAL_POSITION", SQL_INTEGER}, {"IS_NULLABLE", SQL_VARCHAR}});
  std::vector<Row> rows;
  bool named = (catalog != nullptr && !catalog->empty()) ||
               (schema != nullptr && !schema->empty() && *schema != "%");
  for (const std::string& name : named ? std::vector<std::string>() : TableNames(s, table)) {
    zkhost::FileInfo file;
    if (!zkhost::DescribeFile(s->conn->db.handle(), name, &file)) continue;
    long long position = 0;
    for (const zkhost::ItemInfo& item : file.items) {
      if (item.composite) continue;
      ++position;
      if (!MatchesPattern(column, item.name)) continue;
      ColumnInfo c = ColumnFromItem(item);
      bool datetime = c.sqlType == SQL_TYPE_DATE || c.sqlType == SQL_TYPE_TIME;
      bool character = c.sqlType == SQL_CHAR || c.sqlType == SQL_VARCHAR ||
                       c.sqlType == SQL_LONGVARCHAR;
      bool numeric = c.sqlType == SQL_TINYINT || c.sqlType == SQL_SMALLINT ||
                     c.sqlType == SQL_INTEGER || c.sqlType == SQL_DECIMAL ||
                     c.sqlType == SQL_REAL || c.sqlType == SQL_DOUBLE;
      bool real = c.sqlType == SQL_REAL || c.sqlType == SQL_DOUBLE;
      rows.push_back({Null(), Null(), Text(name), Text(item.name), Number(c.sqlType),
                      Text(TypeName(c.sqlType)), Number(static_cast<long long>(c.columnSize)),
                      Number(c.octetLength),
                      numeric || c.sqlType == SQL_TYPE_TIME ? Number(c.decimalDigits) : Null(),
                      numeric ? Number(real ? 2 : 10) : Null(), Number(SQL_NULLABLE_UNKNOWN),
                      Null(), Null(), Number(datetime ? SQL_DATETIME : c.sqlType),
                      datetime ? Number(c.sqlType == SQL_TYPE_DATE ? SQL_CODE_DATE : SQL_CODE_TIME)
                               : Null(),
                      character ? Number(c.octetLength) : Null(), Number(position), Text("")});
    }
  }
  Serve(s, std::move(header), std::move(rows));
  return SQL_SUCCESS;
}

SQLRETURN Statistics(Statement* s, const std::string* table, SQLUSMALLINT unique) {
  auto header = Header({{"TABLE_CAT", SQL_VARCHAR}, {"TABLE_SCHEM", SQL_VARCHAR},
                        {"TABLE_NAME", SQL_VARCHAR}, {"NON_UNIQUE", SQL_SMALLINT},
                        {"INDEX_QUALIFIER", SQL_VARCHAR}, {"INDEX_NAME", SQL_VARCHAR},
                        {"TYPE", SQL_SMALLINT}, {"ORDINAL_POSITION", SQL_SMALLINT},
                        {"COLUMN_NAME", SQL_VARCHAR}, {"ASC_OR_DESC", SQL_CHAR},
                        {"CARDINALITY", SQL_INTEGER}, {"PAGES", SQL_INTEGER},
                        {"FILTER_CONDITION", SQL_VARCHAR}});
  header[9].columnSize = 1;
  std::vector<Row> rows;
  zkhost::FileInfo file;
  if (FindTable(s, table, &file)) {
    std::vector<Key> keys = KeysOf(file);
    // Ordered by NON_UNIQUE, then by index name.
    std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
      if (a.unique != b.unique) return a.unique;
      return a.name < b.name;
    });
    for (const Key& key : keys) {
      if (unique == SQL_INDEX_UNIQUE && !key.unique) continue;
      for (size_t i = 0; i < key.columns.size(); ++i) {
        rows.push_back({Null(), Null(), Text(file.name), Number(key.unique ? 0 : 1), Null(),
                        Text(key.name), Number(SQL_INDEX_OTHER),
                        Number(static_cast<long long>(i + 1)), Text(key.columns[i]), Text("A"),
                        Null(), Null(), Null()});
      }
    }
  }
  Serve(s, std::move(header), std::move(rows));
  return SQL_SUCCESS;
}

SQLRETURN PrimaryKeys(Statement* s, const std::string* table) {
  auto header = Header({{"TABLE_CAT", SQL_VARCHAR}, {"TABLE_SCHEM", SQL_VARCHAR},
                        {"TABLE_NAME", SQL_VARCHAR}, {"COLUMN_NAME", SQL_VARCHAR},
                        {"KEY_SEQ", SQL_SMALLINT}, {"PK_NAME", SQL_VARCHAR}});
  std::vector<Row> rows;
  zkhost::FileInfo file;
  if (FindTable(s, table, &file)) {
    for (const Key& key : KeysOf(file)) {
      if (!key.unique) continue;
      for (size_t i = 0; i < key.columns.size(); ++i) {
        rows.push_back({Null(), Null(), Text(file.name), Text(key.columns[i]),
                        Number(static_cast<long long>(i + 1)), Text(key.name)});
      }
      break;
    }
  }
  Serve(s, std::move(header), std::move(rows));
  return SQL_SUCCESS;
}

}  // namespace zkodbc
