// ParseStep: the outcome of one step of reading a statement, a scan of the
// lexer or a rule of the parser.
//
// A step that succeeded holds the position just after what it recognised
// (a 0-based offset into the text, 0 or more); one that failed holds the
// catalogue message that says why, and no position. Callers test ok()
// before they read either, so a failure can never be taken for a position.
#ifndef ZKSQL_SQL_PARSE_STEP_H_
#define ZKSQL_SQL_PARSE_STEP_H_

#include <cassert>
#include <cstdint>

#include "base/messages.h"

namespace zksql {

class [[nodiscard]] ParseStep {
 public:
  // Success: what was recognised ends just before `position`.
  static constexpr ParseStep At(int16_t position) {
    assert(position >= 0);
    return ParseStep(position, kNone);
  }
  // Failure, for the reason `message` gives.
  static constexpr ParseStep Failed(MessageId message) { return ParseStep(0, message); }

  constexpr bool ok() const { return failure_ == kNone; }
  // The position after what was recognised: only for a success.
  int16_t position() const {
    assert(ok());
    return position_;
  }
  // The message of a failure: only for a failure.
  MessageId failure() const {
    assert(!ok());
    return failure_;
  }
  // Whether this is a failure for the reason `message` gives.
  constexpr bool failed(MessageId message) const { return failure_ == message; }

  constexpr bool operator==(const ParseStep& other) const {
    return failure_ == other.failure_ && (failure_ != kNone || position_ == other.position_);
  }
  constexpr bool operator!=(const ParseStep& other) const { return !(*this == other); }

 private:
  // No catalogue message has identifier 0.
  static constexpr MessageId kNone = static_cast<MessageId>(0);

  constexpr ParseStep(int16_t position, MessageId failure)
      : position_(position), failure_(failure) {}

  int16_t position_;
  MessageId failure_;
};

}  // namespace zksql

#endif  // ZKSQL_SQL_PARSE_STEP_H_
