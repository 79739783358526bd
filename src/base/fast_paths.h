// Fast paths: one switch over every shortcut the library takes where a
// plain algorithm gives the same answer more slowly (whole numbers compared
// and printed without a text round trip, and the like).
//
// On by default. Tests turn it off to run the plain algorithms beside the
// fast ones and require the same answers; nothing else should. The switch
// is process-wide and may be read from any thread.
#ifndef ZKSQL_BASE_FAST_PATHS_H_
#define ZKSQL_BASE_FAST_PATHS_H_

namespace zksql {

bool FastPathsOn();
void SetFastPathsOn(bool on);

// Turns the fast paths off for its lifetime (tests).
class FastPathsOff {
 public:
  FastPathsOff() : was_(FastPathsOn()) { SetFastPathsOn(false); }
  ~FastPathsOff() { SetFastPathsOn(was_); }
  FastPathsOff(const FastPathsOff&) = delete;
  FastPathsOff& operator=(const FastPathsOff&) = delete;

 private:
  bool was_;
};

}  // namespace zksql

#endif  // ZKSQL_BASE_FAST_PATHS_H_
