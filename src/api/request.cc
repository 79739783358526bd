// Request lifecycle and error recording.
#include "api/request.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <new>

#include "base/memory_block.h"
#include "base/messages.h"
#include "exec/evaluator.h"
#include "exec/statement_executor.h"
#include "sql/parse_node.h"
#include "storage/dict_context.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

constexpr uint32_t kLiveMagic = 0x5A4B5251;  // "ZKRQ"

// The request last found live. A host fetches row after row of one
// request, each call checking its handle: the memory-block lookups behind
// that check take the platform's lock, so the address they last accepted
// is remembered until that request is destroyed.
std::atomic<void*> g_lastLive{nullptr};

// The block of the request destroyed last, still a live memory block,
// kept for the next request: a host running statement after statement
// would otherwise allocate, register, lock, unlock and free one each time.
// Its magic is cleared, so LiveRequest refuses it while it waits.
std::atomic<void*> g_spareBlock{nullptr};

void* TakeRequestBlock() {
  void* block = g_spareBlock.exchange(nullptr, std::memory_order_acq_rel);
  if (block == nullptr) return AllocLocked(sizeof(Request));
  memset(block, 0, sizeof(Request));  // as a fresh zero-filled block reads
  return block;
}

void GiveRequestBlock(void* block) {
  void* previous = g_spareBlock.exchange(block, std::memory_order_acq_rel);
  if (previous != nullptr) FreeLocked(previous);
}

}  // namespace

void ReleaseSpareRequest() {
  void* block = g_spareBlock.exchange(nullptr, std::memory_order_acq_rel);
  if (block != nullptr) FreeLocked(block);
}

Request::Request() = default;
Request::~Request() = default;

Request* CreateRequest(char* sqlText, int32_t engineHandle, const ZKSQLMemoTable* memos) {
  void* block = TakeRequestBlock();
  if (block == nullptr) return nullptr;
  Request* request = new (block) Request();
  request->sqlText = sqlText;
  memcpy(request->sqlState, "-----", 6);
  request->engineHandle = engineHandle;
  request->memoParams = memos;
  request->dict.reset(new (std::nothrow) DictContext(request));
  if (request->dict == nullptr) {
    request->~Request();
    GiveRequestBlock(block);
    return nullptr;
  }
  request->magic = kLiveMagic;
  return request;
}

Request* LiveRequest(void* pointer) {
  // Only addresses of live memory blocks are looked at, so a stale or
  // foreign pointer is refused without being read.
  if (pointer == nullptr) return nullptr;
  Request* request = static_cast<Request*>(pointer);
  if (pointer == g_lastLive.load(std::memory_order_acquire)) {
    return request->magic == kLiveMagic ? request : nullptr;
  }
  void* handle = GlobalHandle(pointer);
  if (handle == nullptr || GlobalSize(handle) < sizeof(Request)) return nullptr;
  if (request->magic != kLiveMagic) return nullptr;
  g_lastLive.store(pointer, std::memory_order_release);
  return request;
}

void ReleaseCompiled(Request* request) {
  request->parseRoot.reset();
  request->executor.reset();
  request->evaluator.reset();
  request->compiled = 0;
}

void DestroyRequest(Request* request) {
  if (request == nullptr) return;
  // The compiled statement goes before the dictionary context whose tables
  // it points into.
  ReleaseCompiled(request);
  request->dict.reset();
  request->magic = 0;
  // Its address may come back as another block: it is checked afresh then.
  void* self = request;
  g_lastLive.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
  request->~Request();
  GiveRequestBlock(request);
}

}  // namespace zksql
