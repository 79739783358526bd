// Parser: turns the text of one statement into a parse tree, by recursive
// descent.
//
// One operation per grammar rule. Each takes the text, a start position and
// a slot for its node, creates the node of its rule, reads tokens through
// the embedded lexer, calls the rules it contains, and returns the position
// after what it recognised or a negated catalogue message identifier (the
// lexer's convention). While parsing it tells the request's dictionary
// context which tables and item names the statement mentions, so that their
// descriptions are loaded before analysis. A text that is not a statement
// of the grammar is reported once, as the failing rule's message framed
// with the offending item and its position; the tree slot is then empty.
//
// parser.cc holds the parse entry, the error report and the statement
// rules; parser_expressions.cc the conditions, expressions, items and
// functions.
#ifndef ZKSQL_SQL_PARSER_H_
#define ZKSQL_SQL_PARSER_H_

#include <cstdint>

#include "base/messages.h"
#include "base/base_object.h"
#include "sql/lexer.h"
#include "sql/name_registry.h"
#include "sql/parse_node.h"

namespace zksql {

struct StatementContext;

// Rule results that are failures: negated catalogue identifiers. -4252
// doubles as a rule's answer that the text at its start is not its
// construct; the caller then tries another rule or replaces it with a
// message of its own.
constexpr int16_t kParseOutOfMemory = -kMsgOutOfMemory;
constexpr int16_t kParsePrematureEnd = -kMsgPrematureEnd;
constexpr int16_t kParseUnterminatedString = -kMsgUnterminatedString;
constexpr int16_t kParseClosingParenthesis = -kMsgClosingParenthesis;
constexpr int16_t kParseOpeningParenthesis = -kMsgOpeningParenthesis;
constexpr int16_t kParseNotThisConstruct = -kMsgWrongItemType;
constexpr int16_t kParseNumberExpected = -kMsgNumberExpected;
constexpr int16_t kParseUnfinishedList = -kMsgUnfinishedList;
constexpr int16_t kParseIdentifierExpected = -kMsgIdentifierExpected;
constexpr int16_t kParseEqualsExpected = -kMsgEqualsExpected;
constexpr int16_t kParseSyntaxError = -kMsgSyntaxError;
constexpr int16_t kParseAndExpected = -kMsgAndExpected;
constexpr int16_t kParseStringExpected = -kMsgStringExpected;
constexpr int16_t kParseSemicolonExpected = -kMsgSemicolonExpected;
constexpr int16_t kParseNullExpected = -kMsgNullExpected;
constexpr int16_t kParseDefaultExpected = -kMsgDefaultExpected;
constexpr int16_t kParseSelectExpected = -kMsgSelectExpected;
constexpr int16_t kParseFromExpected = -kMsgFromExpected;
constexpr int16_t kParseSimpleItemExpected = -kMsgSimpleItemExpected;
constexpr int16_t kParseTimeArgumentExpected = -kMsgTimeArgumentExpected;
constexpr int16_t kParseBadColumnList = -kMsgBadColumnList;
constexpr int16_t kParseAssignedValueExpected = -kMsgAssignedValueExpected;
constexpr int16_t kParseBadSelectItem = -kMsgBadSelectItem;
constexpr int16_t kParseSecondMemberExpected = -kMsgSecondMemberExpected;
constexpr int16_t kParseSubGroupExpected = -kMsgSubGroupExpected;
constexpr int16_t kParseEvaluableExpected = -kMsgEvaluableExpected;
constexpr int16_t kParseOnExpected = -kMsgOnExpected;
constexpr int16_t kParseIndexExpected = -kMsgIndexExpected;

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

  // Releases the caller's previous token text (when set), scans at
  // `position` and hands out the token: 1 with newPosition after it, or 0
  // with the scan failure in newPosition (-4245 at the end of the text).
  int16_t NextToken(const char* text, int16_t position, char*& tokenText, int16_t& code,
                    int16_t& newPosition, int16_t signAllowed);

  // The position of the last failure exit that gave one, -1 when none.
  int16_t errorPosition() const { return errorPosition_; }

 private:
  // Appends children in constant time, so that long lists (select lists,
  // IN lists, AND chains) are built in time proportional to their length.
  class Children {
   public:
    explicit Children(ParseNode* parent) : parent_(parent) {}
    // Adds `node` as the last child; returns it (null stays null).
    ParseNode* Add(ParseNode* node);

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

  // Rule exits. Success releases the token text and returns the result.
  // Failure releases the token text, destroys the rule's node with all it
  // holds (the slot becomes null), records the position when it is 0 or
  // more (a failure handed on passes -1) and returns the message.
  int16_t Success(char*& tokenText, int16_t result);
  int16_t Failure(char*& tokenText, ParseNode*& node, int16_t message, int16_t position);
  // The failure for a rule that could not allocate a node or register a
  // name: memory is short, whatever the rules above make of it.
  int16_t OutOfMemory(char*& tokenText, ParseNode*& node);
  // The failure for a rule nested deeper than kMaxNesting.
  int16_t TooDeep(char*& tokenText, ParseNode*& node, int16_t position);
  // Creates a rule node in the slot; false when memory is short.
  bool NewRuleNode(ParseNode*& slot, int32_t code);
  // Records the framed syntax error for message m (negative).
  void ReportSyntaxError(int16_t message);
  // Registers a table (and marks it); null when memory is short.
  NamedTable* RegisterTable(const char* name, NamedTable* base);

  // The rule each item of a list is read by.
  using ItemRule = int16_t (Parser::*)(const char* text, int16_t start, ParseNode*& node);
  // Reads a list of items joined by `separator` tokens, each by `rule`, and
  // appends their nodes to `list`: the first item at `start`, then one
  // after each separator, until a token that is not a separator. Returns
  // the position after the last item, or the first failing item's answer:
  // the first item's as it is, so that the caller says what its list
  // expected; an item after a separator that is not its construct gives
  // `missingItem`, recorded at the item's start (kParseNotThisConstruct
  // hands the item's answer on unchanged). The nodes read before a failure
  // stay in `list`, destroyed with the caller's node.
  int16_t ItemList(const char* text, int16_t start, ItemRule rule, int16_t separator,
                   int16_t missingItem, Children& list);

  // Statement rules (parser.cc).
  int16_t Statement(const char* text, int16_t start, ParseNode*& node);
  int16_t SelectStatement(const char* text, int16_t start, ParseNode*& node);
  int16_t OrderByList(const char* text, int16_t start, ParseNode*& node);
  int16_t OrderByItem(const char* text, int16_t start, ParseNode*& node);
  int16_t SubSelect(const char* text, int16_t start, ParseNode*& node);
  int16_t SelectedItems(const char* text, int16_t start, ParseNode*& node);
  int16_t SelectList(const char* text, int16_t start, ParseNode*& node);
  int16_t SelectItem(const char* text, int16_t start, ParseNode*& node);
  int16_t FromList(const char* text, int16_t start, ParseNode*& node);
  int16_t TableReference(const char* text, int16_t start, ParseNode*& node);
  int16_t ColumnList(const char* text, int16_t start, ParseNode*& node);
  int16_t ColumnName(const char* text, int16_t start, ParseNode*& node);
  int16_t InsertStatement(const char* text, int16_t start, ParseNode*& node);
  int16_t UpdateStatement(const char* text, int16_t start, ParseNode*& node);
  int16_t Assignment(const char* text, int16_t start, ParseNode*& node);
  int16_t DeleteStatement(const char* text, int16_t start, ParseNode*& node);
  int16_t DropStatement(const char* text, int16_t start, ParseNode*& node);
  // Fills the statement's slot through the rule it calls; leaves it null
  // for a word it does not know after CREATE.
  int16_t CreateDispatch(const char* text, int16_t start, ParseNode*& node);
  int16_t CreateTable(const char* text, int16_t start, ParseNode*& node);
  int16_t ColumnDefinition(const char* text, int16_t start, ParseNode*& node);
  int16_t CreateIndex(const char* text, int16_t start, ParseNode*& node, int16_t unique);
  int16_t CreateView(const char* text, int16_t start, ParseNode*& node);

  // Condition and expression rules (parser_expressions.cc).
  int16_t SearchCondition(const char* text, int16_t start, ParseNode*& node);
  int16_t LogicalTerm(const char* text, int16_t start, ParseNode*& node);
  int16_t LogicalFactor(const char* text, int16_t start, ParseNode*& node);
  int16_t Predicate(const char* text, int16_t start, ParseNode*& node);
  int16_t ValueExpression(const char* text, int16_t start, ParseNode*& node);
  int16_t Term(const char* text, int16_t start, ParseNode*& node);
  int16_t Factor(const char* text, int16_t start, ParseNode*& node);
  int16_t Comparison(const char* text, int16_t start, ParseNode*& node);
  int16_t SecondMember(const char* text, int16_t start, ParseNode*& node);
  int16_t SimpleItemList(const char* text, int16_t start, ParseNode*& node);
  int16_t SimpleItem(const char* text, int16_t start, ParseNode*& node);
  int16_t ScalarFunction(const char* text, int16_t start, ParseNode*& node);
  int16_t AggregateFunction(const char* text, int16_t start, ParseNode*& node);
  int16_t DateTimeFunction(const char* text, int16_t start, ParseNode*& node);

  // Pieces of the comparison rule (parser_expressions.cc), each reading
  // from the position after its keyword into the comparison's node: the
  // position after what they read, or the comparison's failure (its node
  // then destroyed).
  int16_t BetweenTail(const char* text, int16_t after, ParseNode*& node, char*& tokenText);
  int16_t InTail(const char* text, int16_t after, ParseNode*& node, char*& tokenText);
  int16_t LikeTail(const char* text, int16_t after, ParseNode*& node, char*& tokenText);
  // "(", a second member, ")": the right side of MATCH and of ALL, ANY
  // and SOME.
  int16_t ParenthesisedSecondMember(const char* text, int16_t after, ParseNode*& node,
                                    char*& tokenText);

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
