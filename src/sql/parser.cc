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

#include "base/block_cache.h"
#include "base/out_of_memory.h"
#include "base/statement_context.h"
#include "sql/rule_codes.h"
#include "sql/token_codes.h"
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

ParseNode* Parser::Children::Add(ParseNodePtr node) {
  if (node == nullptr) return nullptr;
  ParseNode* added = node.release();
  if (last_ == nullptr) {
    parent_->AddChild(added, 0);
  } else {
    last_->AppendSibling(added, 1);
  }
  last_ = added->LastSibling();
  return added;
}

Parser::Parser(StatementContext* request, NameRegistry* names) : request_(request), names_(names) {}

namespace {

// Freed token texts of the kept size, made once and never destroyed.
BlockCache& TextCache() {
  static BlockCache* cache = new BlockCache();
  return *cache;
}

}  // namespace

Parser::~Parser() {
  free(itemText_);
  int kept = TextCache().KeepMany(reinterpret_cast<void* const*>(localTexts_), localTextCount_);
  for (int i = kept; i < localTextCount_; ++i) free(localTexts_[i]);
}

void Parser::ReleaseTextCache() {
  TextCache().ReleaseAll(free);
}

// A token text sits one byte into its block; that byte says whether the
// block has the kept size and may serve again.
char* Parser::TakeTokenText(int16_t code) {
  const char* token = lexer_.token_text();
  size_t length = static_cast<size_t>(lexer_.token_length());
  char* block = nullptr;
  if (length < kKeptTextSize) {
    if (localTextCount_ > 0) {
      block = localTexts_[--localTextCount_];
    } else {
      block = static_cast<char*>(TextCache().Take());
      if (block == nullptr) block = static_cast<char*>(malloc(kKeptTextSize + 1));
    }
    if (block != nullptr) block[0] = 1;
  } else {
    block = static_cast<char*>(malloc(length + 2));
    if (block != nullptr) block[0] = 0;
  }
  if (block == nullptr) {
    NoteOutOfMemory();
    return nullptr;
  }
  char* text = block + 1;
  memcpy(text, token, length + 1);
  if (code == LEX_IDENTIFICATEUR) UpperCase(text);
  return text;
}

void Parser::ReleaseTokenText(char*& text) {
  if (text == nullptr) return;
  char* block = text - 1;
  text = nullptr;
  if (block[0] != 1) {
    free(block);
  } else if (localTextCount_ < kLocalTexts) {
    localTexts_[localTextCount_++] = block;
  } else if (!TextCache().Keep(block)) {
    free(block);
  }
}

void Parser::Parse() {
  if (request_ == nullptr) return;
  free(itemText_);
  itemText_ = nullptr;
  errorPosition_ = -1;
  nesting_ = 0;
  outOfMemory_ = false;
  tooDeep_ = false;
  tooDeepPosition_ = -1;
  // A tree left from an earlier parse goes before the new one is built.
  request_->parseRoot.reset();

  ParseNodePtr root;
  ParseStep result = Statement(request_->sqlText, 0, root);
  lexer_.RememberScans(false);
  request_->parseRoot = std::move(root);
  // Running out of memory and nesting too deep are decided here, whatever
  // message the rules above the failing one turned them into, and even if
  // an alternative swallowed them: the tree may then be incomplete.
  if (outOfMemory_ || tooDeep_) request_->parseRoot.reset();
  if (outOfMemory_) {
    RecordMessage(request_, nullptr, kMsgOutOfMemory);
    return;
  }
  if (tooDeep_) {
    errorPosition_ = tooDeepPosition_;
    result = ParseStep::Failed(kMsgSyntaxError);
  }
  if (!result.ok()) ReportSyntaxError(result.failure());
}

void Parser::ReportSyntaxError(MessageId message) {
  const char* text = request_->sqlText;
  if (errorPosition_ >= 0) {
    int16_t emptyString = 0;
    int16_t code = 0;
    // Only the token matters: a scan that fails leaves none (the item then
    // reads empty), except two items run together, where the first stays.
    static_cast<void>(lexer_.Scan(text, errorPosition_, emptyString, 0));
    free(itemText_);
    itemText_ = nullptr;
    // A copy that cannot be made leaves the item null, reported as "<?>".
    (void)lexer_.TakeToken(code, itemText_);
  }
  char specific[kMessageBufferSize];
  LoadMessage(message, specific, sizeof specific);
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
    // The mark always fits: kept leaves at least 4 bytes of the buffer.
    (void)BoundedCopy(shortened + kept, room >= 3 ? "..." : "", sizeof shortened - kept);
    item = shortened;
  }
  char report[kMessageBufferSize];
  ZkFormat(report, sizeof report, frame, specific, item, position);
  RecordError(request_, report, nullptr);
  free(itemText_);
  itemText_ = nullptr;
}

ParseStep Parser::NextToken(const char* text, int16_t position, char*& tokenText, int16_t& code,
                            int16_t signAllowed) {
  ReleaseTokenText(tokenText);
  int16_t emptyString = 0;
  ParseStep scanned = lexer_.ScanRemembered(text, position, emptyString, signAllowed);
  if (scanned.failed(kLexOutOfMemory)) outOfMemory_ = true;
  code = lexer_.token_code();
  tokenText = TakeTokenText(code);
  if (tokenText == nullptr) {
    outOfMemory_ = true;
    code = kNoToken;
    return ParseStep::Failed(kLexOutOfMemory);
  }
  return scanned;
}

bool Parser::ReadToken(const char* text, int16_t position, char*& tokenText, int16_t& code,
                       int16_t& after, int16_t signAllowed) {
  ParseStep next = NextToken(text, position, tokenText, code, signAllowed);
  if (!next.ok()) return false;
  after = next.position();
  return true;
}

ParseStep Parser::Success(char*& tokenText, int16_t position) {
  ReleaseTokenText(tokenText);
  return ParseStep::At(position);
}

ParseStep Parser::Failure(char*& tokenText, ParseNodePtr& node, MessageId message,
                          int16_t position) {
  ReleaseTokenText(tokenText);
  node.reset();
  if (position >= 0) errorPosition_ = position;
  return ParseStep::Failed(message);
}

ParseStep Parser::Failure(char*& tokenText, ParseNodePtr& node, ParseStep failed) {
  return Failure(tokenText, node, failed.failure(), -1);
}

ParseStep Parser::OutOfMemory(char*& tokenText, ParseNodePtr& node) {
  outOfMemory_ = true;
  return Failure(tokenText, node, kMsgOutOfMemory, -1);
}

ParseStep Parser::TooDeep(char*& tokenText, ParseNodePtr& node, int16_t position) {
  if (!tooDeep_) tooDeepPosition_ = position;
  tooDeep_ = true;
  return Failure(tokenText, node, kMsgSyntaxError, position);
}

bool Parser::NewRuleNode(ParseNodePtr& slot, int32_t code) {
  slot = ParseNode::Make("", code, 0);
  return slot != nullptr;
}

NamedTable* Parser::RegisterTable(const char* name, NamedTable* base) {
  return names_ != nullptr ? names_->RegisterTable(name, base) : nullptr;
}

ParseStep Parser::ItemList(const char* text, int16_t start, ItemRule rule, int16_t separator,
                           MessageId missingItem, Children& list) {
  ParseNodePtr item;
  ParseStep r = (this->*rule)(text, start, item);
  if (!r.ok()) return r;
  list.Add(std::move(item));
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  int16_t p = r.position();
  while (ReadToken(text, p, tok, code, q, 0) && code == separator) {
    int16_t itemStart = q;
    r = (this->*rule)(text, itemStart, item);
    if (r.failed(kParseNotThisConstruct) && missingItem != kParseNotThisConstruct) {
      errorPosition_ = itemStart;
      r = ParseStep::Failed(missingItem);
    }
    if (!r.ok()) {
      ReleaseTokenText(tok);
      return r;
    }
    list.Add(std::move(item));
    p = r.position();
  }
  ReleaseTokenText(tok);
  return ParseStep::At(p);
}

// Statement root: one statement, or two SELECTs joined by a set operator,
// then the ";".
ParseStep Parser::Statement(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kMsgPrematureEnd, start);
  }
  ParseNodePtr statement;
  // Each statement word below reads its statement; any other word fails.
  ParseStep r = ParseStep::Failed(kMsgSyntaxError);
  int16_t afterCreate = -1;
  // Conditions are read by rules that try one another at the same place:
  // the lexer answers a token read again from its last scan there (the
  // statement's text stays as it is while it is parsed).
  if (code == LEX_SELECT || code == LEX_UPDATE || code == LEX_DELETE_FROM) {
    lexer_.RememberScans(true);
  }
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
      return Failure(tok, node, kMsgSyntaxError, start);
  }
  if (!r.ok()) return Failure(tok, node, r);
  if (statement != nullptr) kids.Add(std::move(statement));

  if (code == LEX_SELECT && ReadToken(text, r.position(), tok, code, q, 0) &&
      (code == LEX_UNION || code == LEX_EXCEPT || code == LEX_INTERSECT)) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    int16_t secondStart = q;
    if (code == LEX_UNION) {
      int16_t afterAll = 0;
      if (!ReadToken(text, q, tok, code, afterAll, 0)) {
        return Failure(tok, node, kMsgSyntaxError, q);
      }
      if (code == LEX_ALL) {
        if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
        secondStart = afterAll;
      }
    }
    ParseNodePtr second;
    r = SelectStatement(text, secondStart, second);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(second));
  }

  if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_POINT_VIRGULE) {
    return Failure(tok, node, kMsgSemicolonExpected, r.position());
  }
  // "CREATE" followed by a word the dispatch does not know consumes that
  // word and builds nothing: a root without a statement would look like a
  // successful compile of nothing. It is refused as a syntax error at the
  // word after CREATE.
  if (node->child == nullptr) return Failure(tok, node, kMsgSyntaxError, afterCreate);
  return Success(tok, q);
}

// SELECT statement: a sub-select and an optional ORDER BY list.
ParseStep Parser::SelectStatement(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_SELECTION)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseNodePtr sub;
  ParseStep r = SubSelect(text, start, sub);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(sub));
  if (ReadToken(text, r.position(), tok, code, q, 0) && code == LEX_ORDER_BY) {
    ParseNodePtr list;
    r = OrderByList(text, q, list);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(list));
  }
  return Success(tok, r.position());
}

// ORDER BY list: entries joined by commas; a comma without a name after it
// leaves the list unfinished.
ParseStep Parser::OrderByList(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_COLONNE_REF_VIRGULE_LISTE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseStep r = ItemList(text, start, &Parser::OrderByItem, LEX_VIRGULE, kMsgUnfinishedList, kids);
  if (r.failed(kParseNotThisConstruct)) return Failure(tok, node, kMsgIdentifierExpected, start);
  if (!r.ok()) return Failure(tok, node, r);
  return Success(tok, r.position());
}

// One ORDER BY entry: a column name, its token's node, optionally followed
// by ASC or DESC (DESC gives the node the value 1). The name is registered:
// the rows may be sorted by a column the select list does not read.
ParseStep Parser::OrderByItem(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  node = nullptr;
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  node = ParseNode::Make(tok, code, 0);
  if (node == nullptr) return OutOfMemory(tok, node);
  if (names_ != nullptr && !names_->RegisterItemName(tok)) return OutOfMemory(tok, node);
  int16_t p = q;
  if (ReadToken(text, p, tok, code, q, 0) && (code == LEX_ASC || code == LEX_DESC)) {
    node->value = code == LEX_DESC ? 1 : 0;
    p = q;
  }
  return Success(tok, p);
}

// Sub-select: SELECT, what it selects, FROM and its tables, then WHERE,
// GROUP BY and HAVING (only after GROUP BY), in this order only.
ParseStep Parser::SubSelect(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  NestingLevel level(this);
  if (!NewRuleNode(node, FON_SOUS_SELECT)) return OutOfMemory(tok, node);
  if (level.TooDeep()) return TooDeep(tok, node, start);
  Children kids(node.get());
  selectAll_ = 0;
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_SELECT) {
    return Failure(tok, node, kMsgSelectExpected, start);
  }
  ParseNodePtr child;
  ParseStep r = SelectedItems(text, q, child);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(child));
  if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_FROM) {
    return Failure(tok, node, kMsgFromExpected, r.position());
  }
  r = FromList(text, q, child);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(child));
  int16_t p = r.position();
  if (ReadToken(text, p, tok, code, q, 0) && code == LEX_WHERE) {
    r = SearchCondition(text, q, child);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(child));
    p = r.position();
  }
  if (ReadToken(text, p, tok, code, q, 0) && code == LEX_GROUP_BY) {
    r = ColumnList(text, q, child);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(child));
    p = r.position();
    if (ReadToken(text, p, tok, code, q, 0) && code == LEX_HAVING) {
      if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
      r = SearchCondition(text, q, child);
      if (!r.ok()) return Failure(tok, node, r);
      kids.Add(std::move(child));
      p = r.position();
    }
  }
  return Success(tok, p);
}

// What a SELECT selects: "*" alone, or an optional ALL or DISTINCT and the
// select list.
ParseStep Parser::SelectedItems(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_ITEM_SELECTIONNE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0)) {
    return Failure(tok, node, kMsgBadSelectItem, start);
  }
  if (code == LEX_ETOILE) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    selectAll_ = 1;
    return Success(tok, q);
  }
  int16_t listStart = start;
  if (code == LEX_ALL || code == LEX_DISTINCT) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    listStart = q;
  }
  ParseNodePtr list;
  ParseStep r = SelectList(text, listStart, list);
  if (r.failed(kParseNotThisConstruct)) return Failure(tok, node, kMsgBadSelectItem, listStart);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(list));
  return Success(tok, r.position());
}

// Select list: entries joined by commas. A first entry that is no select
// item is left for SelectedItems to report; one after a comma is reported
// as the simple item that was expected there.
ParseStep Parser::SelectList(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_SELECTION_ITEM_VIRGULE_LISTE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseStep r =
      ItemList(text, start, &Parser::SelectItem, LEX_VIRGULE, kMsgSimpleItemExpected, kids);
  if (!r.ok()) return Failure(tok, node, r);
  return Success(tok, r.position());
}

// One select-list entry: a simple item and an optional "AS alias". Any
// failure of the item is answered as "not a select item" at its start.
ParseStep Parser::SelectItem(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_SELECTION_ITEM)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseNodePtr item;
  ParseStep r = SimpleItem(text, start, item);
  if (!r.ok()) return Failure(tok, node, kParseNotThisConstruct, start);
  kids.Add(std::move(item));
  int16_t p = r.position();
  if (ReadToken(text, p, tok, code, q, 0) && code == LEX_AS) {
    int16_t afterAs = q;
    if (!ReadToken(text, afterAs, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
      return Failure(tok, node, kMsgIdentifierExpected, afterAs);
    }
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    p = q;
  }
  return Success(tok, p);
}

// FROM list: table references joined by commas.
ParseStep Parser::FromList(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_TABLE_REF_VIRGULE_LISTE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseStep r =
      ItemList(text, start, &Parser::TableReference, LEX_VIRGULE, kParseNotThisConstruct, kids);
  if (!r.ok()) return Failure(tok, node, r);
  return Success(tok, r.position());
}

// One table of a FROM list: its name, then an optional alias (after AS or
// directly) with an optional column list. The table, and the alias as a
// table based on it, are registered; the entry the statement names it by
// is marked referenced, and "SELECT *" wants every column of the table.
ParseStep Parser::TableReference(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_TABLE_REF)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  NamedTable* table = RegisterTable(tok, nullptr);
  if (table == nullptr) return OutOfMemory(tok, node);
  if (selectAll_ != 0) table->MarkAllColumns();
  int16_t p = q;
  bool hasAlias = false;
  if (ReadToken(text, p, tok, code, q, 0)) {
    if (code == LEX_AS) {
      int16_t afterAs = q;
      if (!ReadToken(text, afterAs, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
        return Failure(tok, node, kMsgIdentifierExpected, afterAs);
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
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  NamedTable* alias = RegisterTable(tok, table);
  if (alias == nullptr) return OutOfMemory(tok, node);
  alias->MarkReferenced();
  p = q;
  if (ReadToken(text, p, tok, code, q, 0) && code == LEX_PAR_OUVRANTE) {
    ParseNodePtr columns;
    ParseStep r = ColumnList(text, q, columns);
    if (!r.ok()) return Failure(tok, node, kMsgBadColumnList, -1);
    kids.Add(std::move(columns));
    if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kMsgClosingParenthesis, r.position());
    }
    p = q;
  }
  return Success(tok, p);
}

// Comma list of column names (GROUP BY, the column lists of INSERT, CREATE
// INDEX, CREATE VIEW and of a FROM alias); each name is wanted.
ParseStep Parser::ColumnList(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  if (!NewRuleNode(node, FON_COLONNE_REF_VIRGULE_LISTE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  ParseStep r =
      ItemList(text, start, &Parser::ColumnName, LEX_VIRGULE, kMsgIdentifierExpected, kids);
  if (r.failed(kParseNotThisConstruct)) return Failure(tok, node, kMsgIdentifierExpected, start);
  if (!r.ok()) return Failure(tok, node, r);
  return Success(tok, r.position());
}

// One name of a column list: its token's node; the name is wanted.
ParseStep Parser::ColumnName(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  node = nullptr;
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kParseNotThisConstruct, start);
  }
  node = ParseNode::Make(tok, code, 0);
  if (node == nullptr) return OutOfMemory(tok, node);
  // A name the list cannot hold (longer than any item name) is simply not
  // wanted; the analysis then reports it as an unknown column. One lost
  // for want of memory fails the parse instead.
  if (names_ != nullptr && !names_->RegisterItemName(tok)) return OutOfMemory(tok, node);
  return Success(tok, q);
}

// INSERT, after "INSERT INTO": the table, an optional column list (without
// one every column is wanted), then a sub-select or VALUES (items).
ParseStep Parser::InsertStatement(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_INSERT_ENREG)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  NamedTable* table = RegisterTable(tok, nullptr);
  if (table == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!ReadToken(text, p, tok, code, q, 0)) return Failure(tok, node, kMsgSyntaxError, p);
  if (code == LEX_PAR_OUVRANTE) {
    ParseNodePtr columns;
    ParseStep r = ColumnList(text, q, columns);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(columns));
    if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kMsgClosingParenthesis, r.position());
    }
    p = q;
    if (!ReadToken(text, p, tok, code, q, 0)) return Failure(tok, node, kMsgSyntaxError, -1);
  } else {
    table->MarkAllColumns();
  }
  if (code == LEX_SELECT) {
    ParseNodePtr sub;
    ParseStep r = SubSelect(text, p, sub);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(sub));
    return Success(tok, r.position());
  }
  if (code == LEX_VALUES) {
    int16_t afterValues = q;
    if (!ReadToken(text, afterValues, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
      return Failure(tok, node, kMsgOpeningParenthesis, afterValues);
    }
    ParseNodePtr values;
    ParseStep r = SimpleItemList(text, q, values);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(values));
    if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kMsgClosingParenthesis, r.position());
    }
    return Success(tok, q);
  }
  return Failure(tok, node, kMsgSyntaxError, p);
}

// UPDATE, after "UPDATE": the table, SET and the assignment list, then an
// optional WHERE condition.
ParseStep Parser::UpdateStatement(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_MIS_A_JOUR_ENREG)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  if (RegisterTable(tok, nullptr) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_SET) {
    return Failure(tok, node, kMsgSyntaxError, p);
  }
  // The assignment list hangs from the statement at once, so that a
  // failure destroys it with the statement's node.
  ParseNode* list = kids.Add(ParseNode::Make("", FON_AFFECTATION_COLONNE_VIRGULE_LISTE, 0));
  if (list == nullptr) return OutOfMemory(tok, node);
  Children assignments(list);
  ParseStep r =
      ItemList(text, q, &Parser::Assignment, LEX_VIRGULE, kParseNotThisConstruct, assignments);
  if (!r.ok()) return Failure(tok, node, r);
  p = r.position();
  if (ReadToken(text, p, tok, code, q, 0) && code == LEX_WHERE) {
    ParseNodePtr condition;
    r = SearchCondition(text, q, condition);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(condition));
    p = r.position();
  }
  return Success(tok, p);
}

// One assignment: column = (value), the value being DEFAULT, NULL or a
// simple item, always in parentheses.
ParseStep Parser::Assignment(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_AFFECTATION_COLONNE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  if (names_ != nullptr && !names_->RegisterItemName(tok)) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_EGAL) {
    return Failure(tok, node, kMsgEqualsExpected, p);
  }
  p = q;
  if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tok, node, kMsgOpeningParenthesis, p);
  }
  int16_t afterParen = q;
  if (!ReadToken(text, afterParen, tok, code, q, 0)) {
    return Failure(tok, node, kMsgAssignedValueExpected, afterParen);
  }
  if (code == LEX_DEFAULT || code == LEX_NULL) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    p = q;
  } else {
    ParseNodePtr item;
    ParseStep r = SimpleItem(text, afterParen, item);
    if (!r.ok()) return Failure(tok, node, kMsgSimpleItemExpected, afterParen);
    kids.Add(std::move(item));
    p = r.position();
  }
  if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tok, node, kMsgClosingParenthesis, p);
  }
  return Success(tok, q);
}

// DELETE, after "DELETE FROM": the table and an optional WHERE condition.
ParseStep Parser::DeleteStatement(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_SUPPRESSION_ENREG)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  if (RegisterTable(tok, nullptr) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (ReadToken(text, p, tok, code, q, 0) && code == LEX_WHERE) {
    ParseNodePtr condition;
    ParseStep r = SearchCondition(text, q, condition);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(condition));
    p = r.position();
  }
  return Success(tok, p);
}

// DROP, after "DROP TABLE" or "DROP VIEW": the name (not registered) and
// an optional RESTRICT or CASCADE.
ParseStep Parser::DropStatement(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_DESTRUCTION_TABLE_VUE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (ReadToken(text, p, tok, code, q, 0) && (code == LEX_RESTRICT || code == LEX_CASCADE)) {
    if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
    p = q;
  }
  return Success(tok, p);
}

// After "CREATE": TABLE, VIEW, INDEX or UNIQUE INDEX. The called rule fills
// the statement's slot. Nothing after CREATE or UNIQUE ends it without a
// node; any other word is consumed and leaves the slot empty (the
// statement rule refuses that).
ParseStep Parser::CreateDispatch(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  node = nullptr;
  if (!ReadToken(text, start, tok, code, q, 0)) return Success(tok, start);
  // A word it does not know is consumed, and builds nothing.
  ParseStep r = ParseStep::At(q);
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
      if (!ReadToken(text, afterUnique, tok, code, q, 0)) return Success(tok, afterUnique);
      if (code != LEX_INDEX) return Failure(tok, node, kMsgIndexExpected, afterUnique);
      r = CreateIndex(text, q, node, 1);
      break;
    }
    default:
      break;
  }
  if (!r.ok()) return Failure(tok, node, r);
  return Success(tok, r.position());
}

// CREATE TABLE, after "TABLE": the name (not registered) and the column
// definitions in parentheses.
ParseStep Parser::CreateTable(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_CREATION_TABLE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tok, node, kMsgOpeningParenthesis, p);
  }
  ParseNode* list = kids.Add(ParseNode::Make("", FON_COLONNE_DEF_VIRGULE_LISTE, 0));
  if (list == nullptr) return OutOfMemory(tok, node);
  Children definitions(list);
  ParseStep r = ItemList(text, q, &Parser::ColumnDefinition, LEX_VIRGULE, kParseNotThisConstruct,
                         definitions);
  if (!r.ok()) return Failure(tok, node, r);
  p = r.position();
  if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tok, node, kMsgClosingParenthesis, p);
  }
  return Success(tok, q);
}

// One column definition: name, type (CHAR and VARCHAR with their length),
// then the constraints in the order written.
ParseStep Parser::ColumnDefinition(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_COLONNE_DEF)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!ReadToken(text, p, tok, code, q, 0) || !IsColumnType(code)) {
    return Failure(tok, node, kParseNotThisConstruct, p);
  }
  ParseNode* type = kids.Add(ParseNode::Make(tok, code, 0));
  if (type == nullptr) return OutOfMemory(tok, node);
  p = q;
  if (type->code == LEX_DOUBLE && ReadToken(text, p, tok, code, q, 0) && code == LEX_PRECISION) {
    p = q;
  }
  if (type->code == LEX_CHAR || type->code == LEX_VARCHAR) {
    if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
      return Failure(tok, node, kMsgOpeningParenthesis, p);
    }
    int16_t afterParen = q;
    // A length beyond 32 bits is no length at all: refused as a number
    // rather than wrapped into a wrong one.
    int32_t length = 0;
    if (!ReadToken(text, afterParen, tok, code, q, 0) || code != LEX_ENTIER ||
        !DeclaredLength(tok, length)) {
      return Failure(tok, node, kMsgNumberExpected, afterParen);
    }
    type->value = length;
    p = q;
    if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kMsgClosingParenthesis, p);
    }
    p = q;
  }
  while (ReadToken(text, p, tok, code, q, 0)) {
    if (code == LEX_NOT) {
      if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
      int16_t afterNot = q;
      if (!ReadToken(text, afterNot, tok, code, q, 0) || code != LEX_NULL) {
        return Failure(tok, node, kMsgNullExpected, afterNot);
      }
      p = q;
    } else if (code == LEX_DEFAULT || code == LEX_WITH) {
      if (code == LEX_WITH) {
        int16_t afterWith = q;
        if (!ReadToken(text, afterWith, tok, code, q, 0) || code != LEX_DEFAULT) {
          return Failure(tok, node, kMsgDefaultExpected, afterWith);
        }
      }
      ParseNode* fallback = kids.Add(ParseNode::Make(tok, code, 0));
      if (fallback == nullptr) return OutOfMemory(tok, node);
      int16_t afterDefault = q;
      ParseNodePtr item;
      ParseStep r = SimpleItem(text, afterDefault, item);
      if (r.failed(kParseNotThisConstruct)) {
        return Failure(tok, node, kMsgSimpleItemExpected, afterDefault);
      }
      if (!r.ok()) return Failure(tok, node, r);
      fallback->AddChild(item.release(), 0);
      p = r.position();
    } else if (code == LEX_PRIMARY_KEY || code == LEX_FOREIGN_KEY) {
      if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
      p = q;
    } else {
      break;
    }
  }
  return Success(tok, p);
}

// CREATE INDEX, after "INDEX": index name (value 1 when unique), ON, the
// table (registered) and the column list in parentheses.
ParseStep Parser::CreateIndex(const char* text, int16_t start, ParseNodePtr& node, int16_t unique) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_CREATION_INDEX)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, unique)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_ON) {
    return Failure(tok, node, kMsgOnExpected, p);
  }
  int16_t afterOn = q;
  if (!ReadToken(text, afterOn, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  if (RegisterTable(tok, nullptr) == nullptr) return OutOfMemory(tok, node);
  p = q;
  if (!ReadToken(text, p, tok, code, q, 0) || code != LEX_PAR_OUVRANTE) {
    return Failure(tok, node, kMsgOpeningParenthesis, p);
  }
  ParseNodePtr columns;
  ParseStep r = ColumnList(text, q, columns);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(columns));
  if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
    return Failure(tok, node, kMsgClosingParenthesis, r.position());
  }
  return Success(tok, q);
}

// CREATE VIEW, after "VIEW": the name, an optional column list, AS and a
// SELECT statement.
ParseStep Parser::CreateView(const char* text, int16_t start, ParseNodePtr& node) {
  char* tok = nullptr;
  int16_t code = 0;
  int16_t q = 0;
  if (!NewRuleNode(node, FON_REQUETE_CREATION_VUE)) return OutOfMemory(tok, node);
  Children kids(node.get());
  if (!ReadToken(text, start, tok, code, q, 0) || code != LEX_IDENTIFICATEUR) {
    return Failure(tok, node, kMsgIdentifierExpected, start);
  }
  if (kids.Add(ParseNode::Make(tok, code, 0)) == nullptr) return OutOfMemory(tok, node);
  int16_t p = q;
  if (!ReadToken(text, p, tok, code, q, 0)) return Failure(tok, node, kMsgSyntaxError, p);
  int16_t selectStart = q;
  if (code == LEX_PAR_OUVRANTE) {
    ParseNodePtr columns;
    ParseStep r = ColumnList(text, q, columns);
    if (!r.ok()) return Failure(tok, node, r);
    kids.Add(std::move(columns));
    if (!ReadToken(text, r.position(), tok, code, q, 0) || code != LEX_PAR_FERMANTE) {
      return Failure(tok, node, kMsgClosingParenthesis, r.position());
    }
    int16_t afterParen = q;
    if (!ReadToken(text, afterParen, tok, code, q, 0) || code != LEX_AS) {
      return Failure(tok, node, kMsgSyntaxError, afterParen);
    }
    selectStart = q;
  } else if (code != LEX_AS) {
    return Failure(tok, node, kMsgSyntaxError, p);
  }
  ParseNodePtr select;
  ParseStep r = SelectStatement(text, selectStart, select);
  if (!r.ok()) return Failure(tok, node, r);
  kids.Add(std::move(select));
  return Success(tok, r.position());
}

}  // namespace zksql
