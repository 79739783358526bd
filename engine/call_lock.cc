// call_lock.cc - one mutex for every entry point.
#include "call_lock.h"

#include <mutex>

#include "platform.h"

namespace jx {
namespace {

std::mutex& Mutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}
thread_local bool t_held = false;

}  // namespace

CallLock::Hold::Hold() {
  Mutex().lock();
  t_held = true;
}

CallLock::Hold::~Hold() {
  t_held = false;
  Mutex().unlock();
}

void CallLock::SleepReleased(unsigned milliseconds) {
  bool held = t_held;
  if (held) {
    t_held = false;
    Mutex().unlock();
  }
  ZkSleepMilliseconds(milliseconds);
  if (held) {
    Mutex().lock();
    t_held = true;
  }
}

}  // namespace jx
