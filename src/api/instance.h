// Instance: what JX4InitInstance makes. It holds the storage engine library
// while the host works; requests never refer to it.
#ifndef ZKSQL_API_INSTANCE_H_
#define ZKSQL_API_INSTANCE_H_

#include <cstdint>

#include "platform.h"

namespace zksql {

struct Instance {
  uint32_t magic;          // kept while the instance lives
  HMODULE engineLibrary;   // null when the engine could not be bound
};

// Creates an instance and binds the engine; null when memory is short.
Instance* CreateInstance();
// The instance behind a host's pointer, or null when it is not one.
Instance* LiveInstance(void* pointer);
// Releases the engine library (when bound) and the instance.
void DestroyInstance(Instance* instance);

}  // namespace zksql

#endif  // ZKSQL_API_INSTANCE_H_
