// Parser: the parse entry with its syntax error report, the rule exits,
// and the statement-level rules (statement root, SELECT with its clauses,
// INSERT, UPDATE, DELETE, DROP, CREATE TABLE, CREATE INDEX, CREATE VIEW).
//
// Every rule reads tokens through NextToken, builds its node from the root
// down and ends through Success or Failure. Failure destroys the rule's
// node with everything already hung from it, so a failed parse leaves no
// tree; the position it records is what the error report shows. Lists are
// read in loops and their nodes appended in constant time, so a statement
// made of one long list neither deepens the stack nor costs quadratic time.
#include "sql/parser.h"

#include <cstdlib>
#include <cstring>

#include "base/statement_context.h"
#include "sql/rule_codes.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

// The request keeps an error text of at most this many characters.
constexpr int32_t kRecordedTextLength = sizeof(StatementContext::errorText) - 1;

bool IsColumnType(int16_t code) {
  switch (code) {
    case LEX_DATE:
    case LEX_INTEGER:
    case LEX_TIME:
    case LEX_SMALLINT:
    case LEX_REAL:
    case LEX_DOUBLE:
    case LEX_CHAR:
    case LEX_VARCHAR:
    case LEX_BIGINT:
    case LEX_TINYINT:
      return true;
    default:
      return false;
  }
}

// The value of an unsigned integer literal, false when it does not fit a
// 32-bit length (the literal holds only digits).
bool DeclaredLength(const char* digits, int32_t& value) {
  int64_t total = 0;
  for (const char* c = digits; *c != '\0'; ++c) {
    total = total * 10 + (*c - '0');
    if (total > INT32_MAX) return false;
  }
  value = static_cast<int32_t>(total);
  return true;
}

}  // namespace

ParseNode* Parser::Children::Add(ParseNode* node) {
  if (node == nullptr) return nullptr;
  if (last_ == nullptr) {
    parent_->AddChild(node, 0);
  } else {
    last_->AppendSibling(node, 1);
  }
  last_ = node->LastSibling();
  return node;
}

Parser::Parser(StatementContext* request, NameRegistry* names) : request_(request), names_(names) {}

Parser::~Parser() { free(itemText_); }

void Parser::Parse() {
  if (request_ == nullptr) return;
  free(itemText_);
  itemText_ = nullptr;
  errorPosition_ = -1;
  nesting_ = 0;
  outOfMemory_ = false;
  tooDeep_ = false;
  tooDeepPosition_ = -1;
  // A tree left from an earlier parse would be lost when the slot is
  // written: release it first.
  delete request_->parseRoot;
  request_->parseRoot = nullptr;

  int16_t result = Statement(request_->sqlText, 0, request_->parseRoot);
  // Running out of memory and nesting too deep are decided here, whatever
  // message the rules above the failing one turned them into, and even if
  // an alternative swallowed them: the tree may then be incomplete.
  if (outOfMemory_ || tooDeep_) {
    delete request_->parseRoot;
    request_->parseRoot = nullptr;
  }
  if (outOfMemory_) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return;
  }
  if (tooDeep_) {
    errorPosition_ = tooDeepPosition_;
    result = kParseSyntaxError;
  }
  if (result < 0) ReportSyntaxError(result);
}

void Parser::ReportSyntaxError(int16_t message) {
  const char* text = request_->sqlText;
  if (errorPosition_ >= 0) {
    int16_t emptyString = 0;
    int16_t code = 0;
    // Only the token matters: a scan that fails leaves none (the item then
    // reads empty), except two items run together, where the first stays.
    static_cast<void>(lexer_.Scan(text, errorPosition_, emptyString, 0));
    free(itemText_);
    itemText_ = nullptr;
    lexer_.TakeToken(code, itemText_);
  }
  char specific[kMessageBufferSize];
  LoadMessage(-message, specific, sizeof specific);
  if (tooDeep_) {
    // The catalogue has no text for this limit: say which limit it is.
    size_t used = strlen(specific);
    ZkFormat(specific + used, static_cast<int32_t>(sizeof specific - used),
             " (plus de %i niveaux d'imbrication)", static_cast<int>(kMaxNesting));
  }
  char frame[kMessageBufferSize];
  LoadMessage(kMsgSyntaxFrame, frame, sizeof frame);
  int position = errorPosition_ + 1;
  const char* item = itemText_ != nullptr ? itemText_ : "<?>";

  // The item can be as long as the statement: it is shortened (and marked
  // so) to leave room for the position line within the recorded text,
  // rather than letting the cut fall on the position.
  char shortened[kMessageBufferSize];
  int32_t frameOnly = ZkFormat(nullptr, 0, frame, specific, "", position);
  int32_t room = kRecordedTextLength - frameOnly;
  if (room < 0) room = 0;
  if (static_cast<int32_t>(strlen(item)) > room) {
    int32_t kept = room > 3 ? room - 3 : 0;
    memcpy(shortened, item, static_cast<size_t>(kept));
    BoundedCopy(shortened + kept, room >= 3 ? "..." : "", sizeof shortened - kept);
    item = shortened;
  }
  char report[kMessageBufferSize];
  ZkFormat(report, sizeof report, frame, specific, item, position);
  RecordError(request_, report, nullptr);
  free(itemText_);
  itemText_ = nullptr;
}

int16_t Parser::NextToken(const char* text, int16_t position, char*& tokenText, int16_t& code,
                          int16_t& newPosition, int16_t signAllowed) {
  free(tokenText);
  tokenText = nullptr;
  int16_t emptyString = 0;
  ParseStep scanned = lexer_.Scan(text, position, emptyString, signAllowed);
  // The rules still take a scan failure as its negated message.
  newPosition = scanned.ok() ? scanned.position() : static_cast<int16_t>(-scanned.failure());
  if (scanned.failed(kLexOutOfMemory)) outOfMemory_ = true;
  if (lexer_.TakeToken(code, tokenText) == 0) {
    outOfMemory_ = true;
    code = kNoToken;
    newPosition = kParseOutOfMemory;
    return 0;
  }
  return newPosition >= 0 ? 1 : 0;
}

int16_t Parser::Success(char*& tokenText, int16_t result) {
  free(tokenText);
  tokenText = nullptr;
  return result;
}

int16_t Parser::Failure(char*& tokenText, ParseNode*& node, int16_t message, int16_t position) {
  free(tokenText);
  tokenText = nullptr;
  delete node;
  node = nullptr;
  if (position >= 0) errorPosition_ = position;
  return message;
}

int16_t Parser::OutOfMemory(char*& tokenText, ParseNode*& node) {
  outOfMemory_ = true;
  return Failure(tokenText, node, kParseOutOfMemory, -1);
}

int16_t Parser::TooDeep(char*& tokenText, ParseNode*& node, int16_t position) {
  if (!tooDeep_) tooDeepPosition_ = position;
  tooDeep_ = true;
  return Failure(tokenText, node, kParseSyntaxError, position);
}

bool Parser::NewRuleNode(ParseNode*& slot, int32_t code) {
  slot = ParseNode::Create("", code, 0);
  return slot != nullptr;
}

NamedTable* Parser::RegisterTable(const char* name, NamedTable* base) {
  return names_ != nullptr ? names_->RegisterTable(name, base) : nullptr;
}

int16_t Parser::ItemList(const char* text, int16_t start, ItemRule rule, int16_t separator,
                         int16_t missingItem, Children& list) {
  ParseNode* item = nullptr;
  int16_t r = (this->*rule)(text, start, item);
  if (r < 0) return r;
  list.Add(item);
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  int16_t p = r;
  while (NextToken(text, p, tok, code, q, 0) && code == separator) {
    int16_t itemStart = q;
    r = (this->*rule)(text, itemStart, item);
    if (r == kParseNotThisConstruct && missingItem != kParseNotThisConstruct) {
      errorPosition_ = itemStart;
      r = missingItem;
    }
    if (r < 0) {
      free(tok);
      return r;
    }
    list.Add(item);
    p = r;
  }
  free(tok);
  return p;
}

// Statement root: one statement, or two SELECTs joined by a set operator,
// then the ";".
int16_t Parser::Statement(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kParsePrematureEnd, start);
  }
  ParseNode* statement = nullptr;
  int16_t r = 0;
  int16_t afterCreate = -1;
  switch (code) {
    case LEX_DELETE_FROM:
      r = DeleteStatement(text, q, statement);
      break;
    case LEX_DROP_TABLE:
    case LEX_DROP_VIEW:
      r = DropStatement(text, q, statement);
      break;
    case LEX_INSERT_INTO:
      r = InsertStatement(text, q, statement);
      break;
    case LEX_UPDATE:
      r = UpdateStatement(text, q, statement);
      break;
    case LEX_CREATE:
      afterCreate = q;
      r = CreateDispatch(text, q, statement);
      break;
    case LEX_SELECT:
      r = SelectStatement(text, start, statement);
      break;
    default:
      return Failure(tok, node, kParseSyntaxError, start);
  }
  if (r < 0) return Failure(tok, node, r, -1);
  if (statement != nullptr) kids.Add(statement);

  if (code == LEX_SELECT && NextToken(text, r, tok, code, q, 0) &&
      (code == LEX_UNION || code == LEX_EXCEPT || code == LEX_INTERSECT)) {
    if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    int16_t secondStart = q;
    if (code == LEX_UNION) {
      int16_t afterAll = 0;
      if (!NextToken(text, q, tok, code, afterAll, 0)) {
        return Failure(tok, node, kParseSyntaxError, q);
      }
      if (code == LEX_ALL) {
        if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
        secondStart = afterAll;
      }
    }
    ParseNode* second = nullptr;
    r = SelectStatement(text, secondStart, second);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(second);
  }

  if (!NextToken(text, r, tok, code, q, 0) || code != LEX_POINT_VIRGULE) {
    return Failure(tok, node, kParseSemicolonExpected, r);
  }
  // "CREATE" followed by a word the dispatch does not know consumes that
  // word and builds nothing: a root without a statement would look like a
  // successful compile of nothing. It is refused as a syntax error at the
  // word after CREATE.
  if (node->child == nullptr) return Failure(tok, node, kParseSyntaxError, afterCreate);
  return Success(tok, q);
}

// SELECT statement: a sub-select and an optional ORDER BY list.
int16_t Parser::SelectStatement(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_SELECTION)) return OutOfMemory(tok, node);
  Children kids(node);
  ParseNode* sub = nullptr;
  int16_t r = SubSelect(text, start, sub);
  if (r < 0) return Failure(tok, node, r, -1);
  kids.Add(sub);
  if (NextToken(text, r, tok, code, q, 0) && code == LEX_ORDER_BY) {
    ParseNode* list = nullptr;
    r = OrderByList(text, q, list);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(list);
  }
  return Success(tok, r);
}

// ORDER BY list: entries joined by commas; a comma without a name after it
// leaves the list unfinished.
int16_t Parser::OrderByList(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_COLONNE_REF_VIRGULE_LISTE)) return OutOfMemory(tok, node);
  Children kids(node);
  int16_t r = ItemList(text, start, &Parser::OrderByItem, LEX_VIRGULE, kParseUnfinishedList, kids);
  if (r == kParseNotThisConstruct) return Failure(tok, node, kParseIdentifierExpected, start);
  if (r < 0) return Failure(tok, node, r, -1);
  return Success(tok, r);
}

// One ORDER BY entry: a column name, its token's node, optionally followed
// by ASC or DESC (DESC gives the node the value 1). The name is not
// registered.
int16_t Parser::OrderByItem(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  node = nullptr;
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  node = ParseNode::Create(tok, code, 0);
  if (node == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (NextToken(text, p, tok, code, q, 0) && (code == LEX_ASC || code == LEX_DESC)) {
    node->value = code == LEX_DESC ? 1 : 0;
    p = q;
  }
  return Success(tok, p);
}

// Sub-select: SELECT, what it selects, FROM and its tables, then WHERE,
// GROUP BY and HAVING (only after GROUP BY), in this order only.
int16_t Parser::SubSelect(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  NestingLevel level(this);
  if (!NewRuleNode(node, FON_SOUS_SELECT)) return OutOfMemory(tok, node);
  if (level.TooDeep()) return TooDeep(tok, node, start);
  Children kids(node);
  selectAll_ = 0;
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_SELECT) {
    return Failure(tok, node, kParseSelectExpected, start);
  }
  ParseNode* child = nullptr;
  int16_t r = SelectedItems(text, q, child);
  if (r < 0) return Failure(tok, node, r, -1);
  kids.Add(child);
  if (!NextToken(text, r, tok, code, q, 0) || code != LEX_FROM) {
    return Failure(tok, node, kParseFromExpected, r);
  }
  r = FromList(text, q, child);
  if (r < 0) return Failure(tok, node, r, -1);
  kids.Add(child);
  int16_t p = r;
  if (NextToken(text, p, tok, code, q, 0) && code == LEX_WHERE) {
    r = SearchCondition(text, q, child);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(child);
    p = r;
  }
  if (NextToken(text, p, tok, code, q, 0) && code == LEX_GROUP_BY) {
    r = ColumnList(text, q, child);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(child);
    p = r;
    if (NextToken(text, p, tok, code, q, 0) && code == LEX_HAVING) {
      if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
      r = SearchCondition(text, q, child);
      if (r < 0) return Failure(tok, node, r, -1);
      kids.Add(child);
      p = r;
    }
  }
  return Success(tok, p);
}

// What a SELECT selects: "*" alone, or an optional ALL or DISTINCT and the
// select list.
int16_t Parser::SelectedItems(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_ITEM_SELECTIONNE)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kParseBadSelectItem, start);
  }
  if (code == LEX_ETOILE) {
    if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    selectAll_ = 1;
    return Success(tok, q);
  }
  int16_t listStart = start;
  if (code == LEX_ALL || code == LEX_DISTINCT) {
    if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    listStart = q;
  }
  ParseNode* list = nullptr;
  int16_t r = SelectList(text, listStart, list);
  if (r == kParseNotThisConstruct) return Failure(tok, node, kParseBadSelectItem, listStart);
  if (r < 0) return Failure(tok, node, r, -1);
  kids.Add(list);
  return Success(tok, r);
}

// Select list: entries joined by commas. A first entry that is no select
// item is left for SelectedItems to report; one after a comma is reported
// as the simple item that was expected there.
int16_t Parser::SelectList(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_SELECTION_ITEM_VIRGULE_LISTE)) return OutOfMemory(tok, node);
  Children kids(node);
  int16_t r =
      ItemList(text, start, &Parser::SelectItem, LEX_VIRGULE, kParseSimpleItemExpected, kids);
  if (r < 0) return Failure(tok, node, r, -1);
  return Success(tok, r);
}

// One select-list entry: a simple item and an optional "AS alias". Any
// failure of the item is answered as "not a select item" at its start.
int16_t Parser::SelectItem(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_SELECTION_ITEM)) return OutOfMemory(tok, node);
  Children kids(node);
  ParseNode* item = nullptr;
  int16_t r = SimpleItem(text, start, item);
  if (r < 0) return Failure(tok, node, kParseNotThisConstruct, start);
  kids.Add(item);
  int16_t p = r;
  if (NextToken(text, p, tok, code, q, 0) && code == LEX_AS) {
    int16_t afterAs = q;
    if (!NextToken(text, afterAs, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
      return Failure(tok, node, kParseIdentifierExpected, afterAs);
    }
    if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    p = q;
  }
  return Success(tok, p);
}

// FROM list: table references joined by commas.
int16_t Parser::FromList(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_TABLE_REF_VIRGULE_LISTE)) return OutOfMemory(tok, node);
  Children kids(node);
  int16_t r =
      ItemList(text, start, &Parser::TableReference, LEX_VIRGULE, kParseNotThisConstruct, kids);
  if (r < 0) return Failure(tok, node, r, -1);
  return Success(tok, r);
}

// One table of a FROM list: its name, then an optional alias (after AS or
// directly) with an optional column list. The table, and the alias as a
// table based on it, are registered; the entry the statement names it by
// is marked referenced, and "SELECT *" wants every column of the table.
int16_t Parser::TableReference(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_TABLE_REF)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  NamedTable* table = RegisterTable(tok, nullptr);
  if (table == nullptr) return OutOfMemory(tok, node);
  if (selectAll_ != 0) table->MarkAllColumns();
  int16_t p = q;
  bool hasAlias = false;
  if (NextToken(text, p, tok, code, q, 0)) {
    if (code == LEX_AS) {
      int16_t afterAs = q;
      if (!NextToken(text, afterAs, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
        return Failure(tok, node, kParseIdentifierExpected, afterAs);
      }
      hasAlias = true;
    } else if (code == LEX_IDENTIFICATEUR) {
      hasAlias = true;
    }
  }
  if (!hasAlias) {
    table->MarkReferenced();
    return Success(tok, p);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  NamedTable* alias = RegisterTable(tok, table);
  if (alias == nullptr) return OutOfMemory(tok, node);
  alias->MarkReferenced();
  p = q;
  if (NextToken(text, p, tok, code, q, 0) && code == LEX_PAR_OUVRANTE) {
    ParseNode* columns = nullptr;
    int16_t r = ColumnList(text, q, columns);
    if (r < 0) return Failure(tok, node, kParseBadColumnList, -1);
    kids.Add(columns);
    if (!NextToken(text, r, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kParseClosingParenthesis, r);
    }
    p = q;
  }
  return Success(tok, p);
}

// Comma list of column names (GROUP BY, the column lists of INSERT, CREATE
// INDEX, CREATE VIEW and of a FROM alias); each name is wanted.
int16_t Parser::ColumnList(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_COLONNE_REF_VIRGULE_LISTE)) return OutOfMemory(tok, node);
  Children kids(node);
  int16_t r =
      ItemList(text, start, &Parser::ColumnName, LEX_VIRGULE, kParseIdentifierExpected, kids);
  if (r == kParseNotThisConstruct) return Failure(tok, node, kParseIdentifierExpected, start);
  if (r < 0) return Failure(tok, node, r, -1);
  return Success(tok, r);
}

// One name of a column list: its token's node; the name is wanted.
int16_t Parser::ColumnName(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  node = nullptr;
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  node = ParseNode::Create(tok, code, 0);
  if (node == nullptr) return OutOfMemory(tok, node);
  // A name the list cannot hold (longer than any item name) is simply not
  // wanted; the analysis then reports it as an unknown column. One lost
  // for want of memory fails the parse instead.
  if (names_ != nullptr && !names_->RegisterItemName(tok)) return OutOfMemory(tok, node);
  return Success(tok, q);
}

// INSERT, after "INSERT INTO": the table, an optional column list (without
// one every column is wanted), then a sub-select or VALUES (items).
int16_t Parser::InsertStatement(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_INSERT_ENREG)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  NamedTable* table = RegisterTable(tok, nullptr);
  if (table == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!NextToken(text, p, tok, code, q, 0)) return Failure(tok, node, kParseSyntaxError, p);
  if (code == LEX_PAR_OUVRANTE) {
    ParseNode* columns = nullptr;
    int16_t r = ColumnList(text, q, columns);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(columns);
    if (!NextToken(text, r, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kParseClosingParenthesis, r);
    }
    p = q;
    if (!NextToken(text, p, tok, code, q, 0)) return Failure(tok, node, kParseSyntaxError, -1);
  } else {
    table->MarkAllColumns();
  }
  if (code == LEX_SELECT) {
    ParseNode* sub = nullptr;
    int16_t r = SubSelect(text, p, sub);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(sub);
    return Success(tok, r);
  }
  if (code == LEX_VALUES) {
    int16_t afterValues = q;
    if (!NextToken(text, afterValues, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
      return Failure(tok, node, kParseOpeningParenthesis, afterValues);
    }
    ParseNode* values = nullptr;
    int16_t r = SimpleItemList(text, q, values);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(values);
    if (!NextToken(text, r, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kParseClosingParenthesis, r);
    }
    return Success(tok, q);
  }
  return Failure(tok, node, kParseSyntaxError, p);
}

// UPDATE, after "UPDATE": the table, SET and the assignment list, then an
// optional WHERE condition.
int16_t Parser::UpdateStatement(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_MIS_A_JOUR_ENREG)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  if (RegisterTable(tok, nullptr) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!NextToken(text, p, tok, code, q, 0) || code != LEX_SET) {
    return Failure(tok, node, kParseSyntaxError, p);
  }
  // The assignment list hangs from the statement at once, so that a
  // failure destroys it with the statement's node.
  ParseNode* list = kids.Add(ParseNode::Create("", FON_AFFECTATION_COLONNE_VIRGULE_LISTE, 0));
  if (list == nullptr) return OutOfMemory(tok, node);
  Children assignments(list);
  int16_t r =
      ItemList(text, q, &Parser::Assignment, LEX_VIRGULE, kParseNotThisConstruct, assignments);
  if (r < 0) return Failure(tok, node, r, -1);
  p = r;
  if (NextToken(text, p, tok, code, q, 0) && code == LEX_WHERE) {
    ParseNode* condition = nullptr;
    r = SearchCondition(text, q, condition);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(condition);
    p = r;
  }
  return Success(tok, p);
}

// One assignment: column = (value), the value being DEFAULT, NULL or a
// simple item, always in parentheses.
int16_t Parser::Assignment(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_AFFECTATION_COLONNE)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  if (names_ != nullptr && !names_->RegisterItemName(tok)) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!NextToken(text, p, tok, code, q, 0) || code != LEX_EGAL) {
    return Failure(tok, node, kParseEqualsExpected, p);
  }
  p = q;
  if (!NextToken(text, p, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tok, node, kParseOpeningParenthesis, p);
  }
  int16_t afterParen = q;
  if (!NextToken(text, afterParen, tok, code, q, 0)) {
    return Failure(tok, node, kParseAssignedValueExpected, afterParen);
  }
  if (code == LEX_DEFAULT || code == LEX_NULL) {
    if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    p = q;
  } else {
    ParseNode* item = nullptr;
    int16_t r = SimpleItem(text, afterParen, item);
    if (r < 0) return Failure(tok, node, kParseSimpleItemExpected, afterParen);
    kids.Add(item);
    p = r;
  }
  if (!NextToken(text, p, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tok, node, kParseClosingParenthesis, p);
  }
  return Success(tok, q);
}

// DELETE, after "DELETE FROM": the table and an optional WHERE condition.
int16_t Parser::DeleteStatement(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_SUPPRESSION_ENREG)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  if (RegisterTable(tok, nullptr) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (NextToken(text, p, tok, code, q, 0) && code == LEX_WHERE) {
    ParseNode* condition = nullptr;
    int16_t r = SearchCondition(text, q, condition);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(condition);
    p = r;
  }
  return Success(tok, p);
}

// DROP, after "DROP TABLE" or "DROP VIEW": the name (not registered) and
// an optional RESTRICT or CASCADE.
int16_t Parser::DropStatement(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_DESTRUCTION_TABLE_VUE)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (NextToken(text, p, tok, code, q, 0) && (code == LEX_RESTRICT || code == LEX_CASCADE)) {
    if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    p = q;
  }
  return Success(tok, p);
}

// After "CREATE": TABLE, VIEW, INDEX or UNIQUE INDEX. The called rule fills
// the statement's slot. Nothing after CREATE or UNIQUE ends it without a
// node; any other word is consumed and leaves the slot empty (the
// statement rule refuses that).
int16_t Parser::CreateDispatch(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  node = nullptr;
  if (!NextToken(text, start, tok, code, q, 0)) return Success(tok, start);
  int16_t r = q;
  switch (code) {
    case LEX_TABLE:
      r = CreateTable(text, q, node);
      break;
    case LEX_VIEW:
      r = CreateView(text, q, node);
      break;
    case LEX_INDEX:
      r = CreateIndex(text, q, node, 0);
      break;
    case LEX_UNIQUE: {
      int16_t afterUnique = q;
      if (!NextToken(text, afterUnique, tok, code, q, 0)) return Success(tok, afterUnique);
      if (code != LEX_INDEX) return Failure(tok, node, kParseIndexExpected, afterUnique);
      r = CreateIndex(text, q, node, 1);
      break;
    }
    default:
      break;
  }
  if (r < 0) return Failure(tok, node, r, -1);
  return Success(tok, r);
}

// CREATE TABLE, after "TABLE": the name (not registered) and the column
// definitions in parentheses.
int16_t Parser::CreateTable(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_CREATION_TABLE)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!NextToken(text, p, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tok, node, kParseOpeningParenthesis, p);
  }
  ParseNode* list = kids.Add(ParseNode::Create("", FON_COLONNE_DEF_VIRGULE_LISTE, 0));
  if (list == nullptr) return OutOfMemory(tok, node);
  Children definitions(list);
  int16_t r = ItemList(text, q, &Parser::ColumnDefinition, LEX_VIRGULE, kParseNotThisConstruct,
                       definitions);
  if (r < 0) return Failure(tok, node, r, -1);
  p = r;
  if (!NextToken(text, p, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tok, node, kParseClosingParenthesis, p);
  }
  return Success(tok, q);
}

// One column definition: name, type (CHAR and VARCHAR with their length),
// then the constraints in the order written.
int16_t Parser::ColumnDefinition(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_COLONNE_DEF)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!NextToken(text, p, tok, code, q, 0) || !IsColumnType(code)) {
    return Failure(tok, node, kParseNotThisConstruct, p);
  }
  ParseNode* type = kids.Add(ParseNode::Create(tok, code, 0));
  if (type == nullptr) return OutOfMemory(tok, node);
  p = q;
  if (type->code == LEX_DOUBLE && NextToken(text, p, tok, code, q, 0) && code == LEX_PRECISION) {
    p = q;
  }
  if (type->code == LEX_CHAR || type->code == LEX_VARCHAR) {
    if (!NextToken(text, p, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
      return Failure(tok, node, kParseOpeningParenthesis, p);
    }
    int16_t afterParen = q;
    // A length beyond 32 bits is no length at all: refused as a number
    // rather than wrapped into a wrong one.
    int32_t length = 0;
    if (!NextToken(text, afterParen, tok, code, q, 0) || code != LEX_ENTIER ||
        !DeclaredLength(tok, length)) {
      return Failure(tok, node, kParseNumberExpected, afterParen);
    }
    type->value = length;
    p = q;
    if (!NextToken(text, p, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kParseClosingParenthesis, p);
    }
    p = q;
  }
  while (NextToken(text, p, tok, code, q, 0)) {
    if (code == LEX_NOT) {
      if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
      int16_t afterNot = q;
      if (!NextToken(text, afterNot, tok, code, q, 0) || code != LEX_NULL) {
        return Failure(tok, node, kParseNullExpected, afterNot);
      }
      p = q;
    } else if (code == LEX_DEFAULT || code == LEX_WITH) {
      if (code == LEX_WITH) {
        int16_t afterWith = q;
        if (!NextToken(text, afterWith, tok, code, q, 0) || code != LEX_DEFAULT) {
          return Failure(tok, node, kParseDefaultExpected, afterWith);
        }
      }
      ParseNode* fallback = kids.Add(ParseNode::Create(tok, code, 0));
      if (fallback == nullptr) return OutOfMemory(tok, node);
      int16_t afterDefault = q;
      ParseNode* item = nullptr;
      int16_t r = SimpleItem(text, afterDefault, item);
      if (r == kParseNotThisConstruct) {
        return Failure(tok, node, kParseSimpleItemExpected, afterDefault);
      }
      if (r < 0) return Failure(tok, node, r, -1);
      fallback->AddChild(item, 0);
      p = r;
    } else if (code == LEX_PRIMARY_KEY || code == LEX_FOREIGN_KEY) {
      if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
      p = q;
    } else {
      break;
    }
  }
  return Success(tok, p);
}

// CREATE INDEX, after "INDEX": index name (value 1 when unique), ON, the
// table (registered) and the column list in parentheses.
int16_t Parser::CreateIndex(const char* text, int16_t start, ParseNode*& node, int16_t unique) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_CREATION_INDEX)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, unique)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!NextToken(text, p, tok, code, q, 0) || code != LEX_ON) {
    return Failure(tok, node, kParseOnExpected, p);
  }
  int16_t afterOn = q;
  if (!NextToken(text, afterOn, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  if (RegisterTable(tok, nullptr) == nullptr) return OutOfMemory(tok, node);
  p = q;
  if (!NextToken(text, p, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tok, node, kParseOpeningParenthesis, p);
  }
  ParseNode* columns = nullptr;
  int16_t r = ColumnList(text, q, columns);
  if (r < 0) return Failure(tok, node, r, -1);
  kids.Add(columns);
  if (!NextToken(text, r, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tok, node, kParseClosingParenthesis, r);
  }
  return Success(tok, q);
}

// CREATE VIEW, after "VIEW": the name, an optional column list, AS and a
// SELECT statement.
int16_t Parser::CreateView(const char* text, int16_t start, ParseNode*& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_CREATION_VUE)) return OutOfMemory(tok, node);
  Children kids(node);
  if (!NextToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Create(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!NextToken(text, p, tok, code, q, 0)) return Failure(tok, node, kParseSyntaxError, p);
  int16_t selectStart = q;
  if (code == LEX_PAR_OUVRANTE) {
    ParseNode* columns = nullptr;
    int16_t r = ColumnList(text, q, columns);
    if (r < 0) return Failure(tok, node, r, -1);
    kids.Add(columns);
    if (!NextToken(text, r, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kParseClosingParenthesis, r);
    }
    int16_t afterParen = q;
    if (!NextToken(text, afterParen, tok, code, q, 0) || code != LEX_AS) {
      return Failure(tok, node, kParseSyntaxError, afterParen);
    }
    selectStart = q;
  } else if (code != LEX_AS) {
    return Failure(tok, node, kParseSyntaxError, p);
  }
  ParseNode* select = nullptr;
  int16_t r = SelectStatement(text, selectStart, select);
  if (r < 0) return Failure(tok, node, r, -1);
  kids.Add(select);
  return Success(tok, r);
}

}  // namespace zksql
