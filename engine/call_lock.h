// call_lock.h - the engine runs one entry-point call at a time.
//
// The parameter blocks are process-wide and LMDB's writer must not be
// entered twice from one process, so every entry point holds this lock for
// its whole call. A call that waits for another connection's write lock
// sleeps with it released, so that the connection it waits for (another
// thread of this process, perhaps) can finish.
#ifndef JXENGINE_CALL_LOCK_H_
#define JXENGINE_CALL_LOCK_H_

namespace jx {

class CallLock {
 public:
  // Holds the lock on the calling thread for its lifetime.
  class Hold {
   public:
    Hold();
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
  };
  // Sleeps about `milliseconds`, with the lock released meanwhile when the
  // calling thread holds it.
  static void SleepReleased(unsigned milliseconds);
};

}  // namespace jx

#endif  // JXENGINE_CALL_LOCK_H_
