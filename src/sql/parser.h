// Parser: turns the text of one statement into a parse tree, by recursive
// descent.
//
// One operation per grammar rule. Each takes the text, a start position and
// a slot for its node, creates the node of its rule, reads tokens through
// the embedded lexer, calls the rules it contains, and returns a ParseStep,
// as the lexer's scans do: the position after what it recognised, or the
// catalogue message of its failure. While parsing it tells the request's
// dictionary context which tables and item names the statement mentions,
// so that their descriptions are loaded before analysis. A text that is
// not a statement of the grammar is reported once, as the failing rule's
// message framed with the offending item and its position; the tree slot
// is then empty.
//
// parser.cc holds the parse entry, the error report and the statement
// rules; parser_expressions.cc the conditions, expressions, items and
// functions.
#ifndef ZKSQL_SQL_PARSER_H_
#define ZKSQL_SQL_PARSER_H_

#include <cstdint>

#include "base/base_object.h"
#include "base/messages.h"
#include "sql/lexer.h"
#include "sql/name_registry.h"
#include "sql/parse_node.h"
#include "sql/parse_step.h"

namespace zksql {

struct StatementContext;

// The failure by which a rule answers that the text at its start is not its
// construct: the caller then tries another rule or replaces it with a
// message of its own. Reported as it is, it reads "wrong item type".
constexpr MessageId kParseNotThisConstruct = kMsgWrongItemType;

class Parser : public BaseObject {
 public:
  // How deeply conditions, sub-selects and function calls may nest. Each
  // level costs a handful of stack frames; a statement of 16 KiB could
  // otherwise nest thousands of parentheses (or NOTs, or function calls)
  // and exhaust the host's stack. Deeper text fails with a syntax error
  // at the level that went too deep.
  static constexpr int16_t kMaxNesting = kMaxStatementNesting;

  // Reads the context's sqlText; files the names it meets in `names`.
  Parser(StatementContext* request, NameRegistry* names);
  ~Parser() override;
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // Parses the request's sqlText. Success: the request's parseRoot holds
  // the tree (a statement root with exactly one statement, or two SELECTs
  // joined by a set operator). Failure: parseRoot is null and the error is
  // recorded in the request (a syntax error framed by message 4249 with
  // SQLSTATE "00123"; message 4242 alone when memory ran out).
  void Parse();
  // Frees the token texts the parsers' shared cache holds (an instance's
  // end does it).
  static void ReleaseTextCache();

  // Releases the caller's previous token text (when set), scans at
  // `position` and hands out the token's code and text: the position after
  // the token, or the scan's failure (kLexPrematureEnd at the end of the
  // text, kLexOutOfMemory when the text could not be handed out).
  ParseStep NextToken(const char* text, int16_t position, char*& tokenText, int16_t& code,
                      int16_t signAllowed);

  // The position of the last failure exit that gave one, -1 when none.
  int16_t errorPosition() const { return errorPosition_; }

 private:
  // Appends children in constant time, so that long lists (select lists,
  // IN lists, AND chains) are built in time proportional to their length.
  class Children {
   public:
    explicit Children(ParseNode* parent) : parent_(parent) {}
    // Adds `node` as the last child, which the parent owns from then on;
    // returns it (null stays null).
    ParseNode* Add(ParseNodePtr node);

   private:
    ParseNode* parent_;
    ParseNode* last_ = nullptr;
  };

  // Counts one level of nesting for the life of a rule call.
  class NestingLevel {
   public:
    explicit NestingLevel(Parser* parser) : parser_(parser) { ++parser_->nesting_; }
    ~NestingLevel() { --parser_->nesting_; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;
    bool TooDeep() const { return parser_->nesting_ > kMaxNesting; }

   private:
    Parser* parser_;
  };

  // NextToken for the rules that need not know why there is no token:
  // true with `after` set just past the token, false (`after` untouched)
  // when the scan failed.
  bool ReadToken(const char* text, int16_t position, char*& tokenText, int16_t& code,
                 int16_t& after, int16_t signAllowed);

  // Rule exits. Success releases the token text and ends the rule at
  // `position`. Failure releases the token text, destroys the rule's node
  // with all it holds (the slot becomes null), records the position when
  // it is 0 or more and fails with the message. The position recorded last
  // is the one reported, so a failure that has no position of its own
  // passes -1 and keeps the one an earlier exit recorded.
  ParseStep Success(char*& tokenText, int16_t position);
  ParseStep Failure(char*& tokenText, ParseNodePtr& node, MessageId message, int16_t position);
  // Hands on the failure of a rule it called, recording no position.
  ParseStep Failure(char*& tokenText, ParseNodePtr& node, ParseStep failed);
  // The failure for a rule that could not allocate a node or register a
  // name: memory is short, whatever the rules above make of it.
  ParseStep OutOfMemory(char*& tokenText, ParseNodePtr& node);
  // The failure for a rule nested deeper than kMaxNesting.
  ParseStep TooDeep(char*& tokenText, ParseNodePtr& node, int16_t position);
  // Creates a rule node in the slot; false when memory is short.
  bool NewRuleNode(ParseNodePtr& slot, int32_t code);
  // Records the framed syntax error for `message`.
  void ReportSyntaxError(MessageId message);
  // Registers a table (and marks it); null when memory is short.
  NamedTable* RegisterTable(const char* name, NamedTable* base);

  // The rule each item of a list is read by.
  using ItemRule = ParseStep (Parser::*)(const char* text, int16_t start, ParseNodePtr& node);
  // Reads a list of items joined by `separator` tokens, each by `rule`, and
  // appends their nodes to `list`: the first item at `start`, then one
  // after each separator, until a token that is not a separator. Returns
  // the position after the last item, or the first failing item's answer:
  // the first item's as it is, so that the caller says what its list
  // expected; an item after a separator that is not its construct gives
  // `missingItem`, recorded at the item's start (kParseNotThisConstruct
  // hands the item's answer on unchanged). The nodes read before a failure
  // stay in `list`, destroyed with the caller's node.
  ParseStep ItemList(const char* text, int16_t start, ItemRule rule, int16_t separator,
                     MessageId missingItem, Children& list);

  // Statement rules (parser.cc).
  ParseStep Statement(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep SelectStatement(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep OrderByList(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep OrderByItem(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep SubSelect(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep SelectedItems(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep SelectList(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep SelectItem(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep FromList(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep TableReference(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep ColumnList(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep ColumnName(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep InsertStatement(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep UpdateStatement(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep Assignment(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep DeleteStatement(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep DropStatement(const char* text, int16_t start, ParseNodePtr& node);
  // Fills the statement's slot through the rule it calls; leaves it null
  // for a word it does not know after CREATE.
  ParseStep CreateDispatch(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep CreateTable(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep ColumnDefinition(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep CreateIndex(const char* text, int16_t start, ParseNodePtr& node, int16_t unique);
  ParseStep CreateView(const char* text, int16_t start, ParseNodePtr& node);

  // Condition and expression rules (parser_expressions.cc).
  ParseStep SearchCondition(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep LogicalTerm(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep LogicalFactor(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep Predicate(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep ValueExpression(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep Term(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep Factor(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep Comparison(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep SecondMember(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep SimpleItemList(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep SimpleItem(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep ScalarFunction(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep AggregateFunction(const char* text, int16_t start, ParseNodePtr& node);
  ParseStep DateTimeFunction(const char* text, int16_t start, ParseNodePtr& node);

  // Pieces of the comparison rule (parser_expressions.cc), each reading
  // from the position after its keyword into the comparison's node: the
  // position after what they read, or the comparison's failure (its node
  // then destroyed).
  ParseStep BetweenTail(const char* text, int16_t after, ParseNodePtr& node, char*& tokenText);
  ParseStep InTail(const char* text, int16_t after, ParseNodePtr& node, char*& tokenText);
  ParseStep LikeTail(const char* text, int16_t after, ParseNodePtr& node, char*& tokenText);
  // "(", a second member, ")": the right side of MATCH and of ALL, ANY
  // and SOME.
  ParseStep ParenthesisedSecondMember(const char* text, int16_t after, ParseNodePtr& node,
                                      char*& tokenText);

  // Token texts: each rule holds the text of the token it read last until
  // it reads the next one or ends (NextToken, Success, Failure). Texts
  // shorter than kKeptTextSize come from a cache of freed ones shared by
  // every parser, so a statement's tokens do not cost an allocation each.
  // TakeTokenText copies the lexer's token (an identifier upper-cased);
  // null when memory is short.
  char* TakeTokenText(int16_t code);
  void ReleaseTokenText(char*& text);
  static constexpr size_t kKeptTextSize = 64;
  // The blocks this parser has given back, reused before the shared cache
  // is asked (which takes a lock), and handed to it together at the end.
  static constexpr int kLocalTexts = 8;
  char* localTexts_[kLocalTexts] = {};
  int localTextCount_ = 0;

  StatementContext* request_;
  NameRegistry* names_ = nullptr;
  int16_t selectAll_ = 0;
  Lexer lexer_;
  char* itemText_ = nullptr;
  int16_t errorPosition_ = -1;
  // Nesting of the rule calls that can recurse, and the failures that no
  // rule may turn into another message: memory running out, and nesting
  // too deep (with where it happened).
  int16_t nesting_ = 0;
  bool outOfMemory_ = false;
  bool tooDeep_ = false;
  int16_t tooDeepPosition_ = -1;
};

}  // namespace zksql

#endif  // ZKSQL_SQL_PARSER_H_
