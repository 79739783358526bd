// EscapeRewriter: replaces ODBC date escape clauses {d 'yyyy-mm-dd'} by a
// plain date literal before a statement is parsed, so the parser never sees
// braces for a date.
//
// The literal is written in one of four date dialects chosen at
// construction; the request path always uses dialect 3 (a quoted eight-digit
// date), which never makes a clause longer, so a rewritten statement always
// fits where the original was. Clauses of any other kind ({fn ...},
// {t ...}) and malformed date clauses are left as they are: the parser
// reports whatever it makes of them.
//
// Heap texts handed out here (by the format operations, AllocateText and
// Rewrite) are released with free().
#ifndef ZKSQL_API_ESCAPE_REWRITER_H_
#define ZKSQL_API_ESCAPE_REWRITER_H_

#include <cstddef>
#include <cstdint>

#include "base/base_object.h"

namespace zksql {

// Size of the heap text every format operation returns.
constexpr size_t kDateLiteralSize = 100;

class EscapeRewriter : public BaseObject {
 public:
  // dialect 1 to 4 selects FormatDate1 to FormatDate4. Any other number
  // selects no format: such a rewriter replaces nothing (rather than
  // guessing a dialect the caller did not ask for).
  explicit EscapeRewriter(int32_t dialect);
  ~EscapeRewriter() override = default;

  // Each returns a new kDateLiteralSize-byte heap text, or null when memory
  // is short (the clause is then left unchanged).
  // "TO_DATE('%04d%02d%02d','YYYYMMDD')", or with a year below 100
  // "TO_DATE('%02d%02d%02d','YYMMDD')".
  virtual char* FormatDate1(int32_t year, int32_t month, int32_t day);
  // "CONVERT(datetime,'%04d/%02d/%02d')".
  virtual char* FormatDate2(int32_t year, int32_t month, int32_t day);
  // "'%04d%02d%02d'".
  virtual char* FormatDate3(int32_t year, int32_t month, int32_t day);
  // "'%04d-%02d-%02d'".
  virtual char* FormatDate4(int32_t year, int32_t month, int32_t day);
  // A new zero-filled heap text of `bytes` bytes, or null.
  virtual char* AllocateText(size_t bytes);

  // Returns a new heap text with every date escape clause of text replaced,
  // or null when nothing was replaced, when a "{" has no "}" after it
  // (earlier replacements are then discarded), for a null text, or when
  // memory is short. text itself is never modified, and is read only up to
  // its terminator.
  char* Rewrite(const char* text);

  // Rewrites text in place, text being a buffer of bufferSize bytes.
  // Returns 1 when clauses were rewritten; 0 when the text was left as it
  // was (nothing to rewrite, an unclosed "{", memory short); -1 when the
  // rewritten text would not fit in bufferSize bytes with its terminator
  // (the text is then left as it was, never cut).
  int32_t RewriteInPlace(char* text, size_t bufferSize);

  int32_t dialect() const { return dialect_; }
  // Whether the last Rewrite or RewriteInPlace handed back nothing for want
  // of memory (rather than for want of a clause to rewrite), so that a
  // caller can report the shortage instead of going on with the clauses.
  bool ranOutOfMemory() const { return outOfMemory_; }

 private:
  // The literal for one clause (the bytes strictly between its braces), or
  // null when the clause is not a well-formed date clause, or with
  // *noMemory set when it is one but its literal could not be made.
  char* RewriteClause(const char* clause, bool* noMemory);
  char* FormatDate(int32_t year, int32_t month, int32_t day);
  char* RewriteFrom(const char* text);

  const char* start_ = nullptr;  // the text being rewritten
  int32_t open_ = 0;             // position of the current "{"
  int32_t close_ = 0;            // position of the matching "}"
  int32_t dialect_;
  bool outOfMemory_ = false;
};

// The request path: rewrites the date escape clauses of a caller's
// statement in place with dialect 3. The caller's buffer size is unknown
// there; dialect 3 never makes a clause longer, so the rewritten text is
// bounded by the original text's own length and terminator and always fits
// (it is checked against that bound all the same). Returns true when the
// text was changed. Either way the text is a complete statement afterwards
// (rewritten, or untouched). *outOfMemory, when given, tells whether it was
// left untouched for want of memory: its date clauses would then reach the
// parser as braces, so the caller fails the statement instead.
bool RewriteEscapesInPlace(char* text, bool* outOfMemory = nullptr);

}  // namespace zksql

#endif  // ZKSQL_API_ESCAPE_REWRITER_H_
