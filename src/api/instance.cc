// Instances and the engine library they hold.
#include "api/instance.h"

#include "api/request.h"
#include "base/memory_block.h"
#include "sql/parse_node.h"
#include "sql/parser.h"
#include "storage/engine.h"

namespace zksql {
namespace {
constexpr uint32_t kInstanceMagic = 0x5A4B494E;  // "ZKIN"
}  // namespace

Instance* CreateInstance() {
  Instance* instance = static_cast<Instance*>(AllocLocked(sizeof(Instance)));
  if (instance == nullptr) return nullptr;
  instance->magic = kInstanceMagic;
  instance->engineLibrary = BindEngine();
  return instance;
}

Instance* LiveInstance(void* pointer) {
  if (pointer == nullptr || GlobalHandle(pointer) == nullptr) return nullptr;
  if (GlobalSize(GlobalHandle(pointer)) < sizeof(Instance)) return nullptr;
  Instance* instance = static_cast<Instance*>(pointer);
  return instance->magic == kInstanceMagic ? instance : nullptr;
}

void DestroyInstance(Instance* instance) {
  if (instance == nullptr) return;
  UnbindEngine(instance->engineLibrary);
  instance->engineLibrary = nullptr;
  instance->magic = 0;
  FreeLocked(instance);
  ParseNode::ReleaseCache();
  Parser::ReleaseTextCache();
  ReleaseSpareRequest();
}

}  // namespace zksql
