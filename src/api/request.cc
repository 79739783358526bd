// Request lifecycle and error recording.
#include "api/request.h"

#include <cstdarg>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/memory_block.h"
#include "sql/parse_node.h"
#include "storage/dict_context.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

constexpr uint32_t kLiveMagic = 0x5A4B5251;  // "ZKRQ"

}  // namespace

Request* CreateRequest(char* sqlText, int32_t engineHandle, const ZKSQLMemoTable* memos) {
  Request* request = static_cast<Request*>(AllocLocked(sizeof(Request)));
  if (request == nullptr) return nullptr;
  request->sqlText = sqlText;
  request->errorText[0] = '\0';
  memcpy(request->sqlState, "-----", 6);
  request->fetchRow = 0;
  request->result = nullptr;
  request->engineHandle = engineHandle;
  request->memoParams = memos;
  request->dict = new (std::nothrow) DictContext(request);
  if (request->dict == nullptr) {
    FreeLocked(request);
    return nullptr;
  }
  request->magic = kLiveMagic;
  return request;
}

Request* LiveRequest(void* pointer) {
  // Only addresses of live memory blocks are looked at, so a stale or
  // foreign pointer is refused without being read.
  if (pointer == nullptr || GlobalHandle(pointer) == nullptr) return nullptr;
  if (GlobalSize(GlobalHandle(pointer)) < sizeof(Request)) return nullptr;
  Request* request = static_cast<Request*>(pointer);
  return request->magic == kLiveMagic ? request : nullptr;
}

void ReleaseCompiled(Request* request) {
  delete request->parseRoot;
  request->parseRoot = nullptr;
  delete request->executor;
  request->executor = nullptr;
  delete request->evaluator;
  request->evaluator = nullptr;
  request->compiled = 0;
}

void DestroyRequest(Request* request) {
  if (request == nullptr) return;
  ReleaseCompiled(request);
  delete request->dict;
  request->dict = nullptr;
  request->magic = 0;
  FreeLocked(request);
}

}  // namespace zksql
