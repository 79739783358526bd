// Test support for the parser: runs one statement through a request of its
// own and shows the outcome compactly — the tree, the recorded error, the
// registered tables and the wanted names — so that the cases can be
// written as tables of texts.
//
// Tree text: a rule node is its code, with its children in parentheses; a
// token node is its text (identifiers bare, string literals in quotes,
// numbers as text#code, keywords and operators as spelled, with #code
// added when the code does not match the spelling); "=v" follows a node
// whose value is not 0. So «SELECT * FROM T;» reads
// -27(-26(-24(-25(*),-6(-8(T))))).
#ifndef ZKSQL_TESTS_SQL_PARSER_TEST_HARNESS_H_
#define ZKSQL_TESTS_SQL_PARSER_TEST_HARNESS_H_

#include <cstring>
#include <string>

#include "base/messages.h"
#include "api/request.h"
#include "platform.h"
#include "sql/parse_node.h"
#include "sql/parser.h"
#include "sql/token_codes.h"
#include "storage/dict_context.h"
#include "storage/file_table.h"

namespace zksql {
namespace testing_support {

// The fixed spelling of a keyword, punctuation or operator code; null for
// any other code.
inline const char* Spelling(int32_t code) {
  if (code >= kFirstKeyword && code < kFirstKeyword + kKeywordCount) {
    return kKeywordTexts[code - kFirstKeyword];
  }
  if (code >= kFirstPunctuation && code < kFirstPunctuation + kPunctuationCount) {
    return kPunctuationTexts[code - kFirstPunctuation];
  }
  if (code >= kFirstOperator && code < kFirstOperator + kOperatorCount) {
    return kOperatorTexts[code - kFirstOperator];
  }
  return nullptr;
}

inline void AppendNode(const ParseNode* node, std::string& out) {
  if (node->code < 0) {
    out += std::to_string(node->code);
  } else if (node->code == LEX_IDENTIFICATEUR) {
    out += node->text;
  } else if (node->code == LEX_CHAINE) {
    out += "'" + std::string(node->text) + "'";
  } else {
    out += node->text;
    const char* spelling = Spelling(node->code);
    if (spelling == nullptr || strcmp(spelling, node->text) != 0) {
      out += "#" + std::to_string(node->code);
    }
  }
  if (node->value != 0) out += "=" + std::to_string(node->value);
  if (node->child != nullptr) {
    out += "(";
    for (const ParseNode* c = node->child; c != nullptr; c = c->next) {
      if (c != node->child) out += ",";
      AppendNode(c, out);
    }
    out += ")";
  }
}

inline std::string TreeText(const ParseNode* root) {
  std::string out;
  if (root != nullptr) AppendNode(root, out);
  return out;
}

// The syntax error text for message id, item and 1-based position, made
// from the catalogue as the parser must make it.
inline std::string Framed(int32_t id, const char* item, int position) {
  char specific[kMessageBufferSize];
  char frame[kMessageBufferSize];
  char out[kMessageBufferSize];
  LoadMessage(id, specific, sizeof specific);
  LoadMessage(kMsgSyntaxFrame, frame, sizeof frame);
  ZkFormat(out, sizeof out, frame, specific, item, position);
  return out;
}

// One statement parsed in a request of its own.
class ParseRun {
 public:
  explicit ParseRun(const std::string& sql) : text_(sql) {
    request_ = CreateRequest(&text_[0], 0, nullptr);
    if (request_ == nullptr) return;
    Parser parser(request_, request_->dict.get());
    parser.Parse();
    errorPosition_ = parser.errorPosition();
  }
  ~ParseRun() { DestroyRequest(request_); }
  ParseRun(const ParseRun&) = delete;
  ParseRun& operator=(const ParseRun&) = delete;

  Request* request() const { return request_; }
  ParseNode* root() const { return request_->parseRoot.get(); }
  std::string tree() const { return TreeText(request_->parseRoot.get()); }
  std::string error() const { return request_->errorText; }
  std::string state() const { return request_->sqlState; }
  int16_t errorPosition() const { return errorPosition_; }
  const std::string& text() const { return text_; }

  // The registered tables in order: name, "->base" for an alias, then
  // "[r]" referenced and "[a]" all columns, separated by blanks.
  std::string tables() const {
    std::string out;
    PtrArray& all = request_->dict->tables();
    for (int16_t i = 0; i < all.Count(); ++i) {
      FileTable* t = all.GetAs<Table>(i)->AsFile();
      if (t == nullptr) continue;
      if (!out.empty()) out += " ";
      out += t->fileName();
      if (t->base() != nullptr) out += std::string("->") + t->base()->fileName();
      if (t->referenced()) out += "[r]";
      if (t->allColumns()) out += "[a]";
    }
    return out;
  }

  // The wanted names in order, separated by blanks.
  std::string wanted() const {
    NameList& names = request_->dict->wantedNames();
    std::string out;
    const char* all = names.text() != nullptr ? names.text() : "";
    size_t width = static_cast<size_t>(names.width());
    for (size_t at = 0; at + width <= strlen(all); at += width) {
      std::string slot(all + at + 1, width - 2);
      slot.erase(slot.find_last_not_of(' ') + 1);
      if (!out.empty()) out += " ";
      out += slot;
    }
    return out;
  }

 private:
  std::string text_;
  Request* request_ = nullptr;
  int16_t errorPosition_ = -1;
};

}  // namespace testing_support
}  // namespace zksql

#endif  // ZKSQL_TESTS_SQL_PARSER_TEST_HARNESS_H_
