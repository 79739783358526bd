// call_lock.cc - one mutex for every entry point.
#include "call_lock.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "platform.h"

namespace jx {
namespace {

std::mutex& Mutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}
// The thread holding the lock (none: a default id). An atomic rather than a
// thread-local flag: every call reads it, and a thread-local of a shared
// library costs a lookup call each time.
std::atomic<std::thread::id> g_holder;

}  // namespace

CallLock::Hold::Hold() {
  Mutex().lock();
  g_holder.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

CallLock::Hold::~Hold() {
  g_holder.store(std::thread::id(), std::memory_order_relaxed);
  Mutex().unlock();
}

void CallLock::SleepReleased(unsigned milliseconds) {
  bool held = g_holder.load(std::memory_order_relaxed) == std::this_thread::get_id();
  if (held) {
    g_holder.store(std::thread::id(), std::memory_order_relaxed);
    Mutex().unlock();
  }
  ZkSleepMilliseconds(milliseconds);
  if (held) {
    Mutex().lock();
    g_holder.store(std::this_thread::get_id(), std::memory_order_relaxed);
  }
}

}  // namespace jx
