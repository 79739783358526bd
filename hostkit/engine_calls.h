// The storage engine calls the shell makes itself: opening and closing the
// database, host transactions, statement scopes (.import), the busy timeout,
// the engine's explanation of its last failure, the integrity check, the
// catalogue and file descriptions. When the engine is built with the shell
// they are linked; otherwise they are bound at run time from the same
// library the SQL library loads.
#ifndef ZKHOST_ENGINE_CALLS_H
#define ZKHOST_ENGINE_CALLS_H

#include <stdint.h>

#include <string>

#include "jxengine.h"

namespace zkhost {

struct EngineCalls {
  int32_t (*open)(const char* directory, int32_t flags);
  int16_t (*close)(int32_t handle);
  int16_t (*begin)(int32_t handle);
  int16_t (*commit)(int32_t handle);
  int16_t (*rollback)(int32_t handle);
  int16_t (*beginStatement)(int32_t handle, int32_t mode);
  int16_t (*endStatement)(int32_t handle, int32_t keep);
  int16_t (*setBusyTimeout)(int32_t handle, int32_t milliseconds);
  int16_t (*lastError)(int32_t handle, char* text, int32_t size);
  int32_t (*check)(int32_t handle, char* report, int32_t size);
  int16_t (*fileName)(int32_t handle, int32_t index, char name[JX_NAME_FIELD_SIZE]);
  int16_t (*describe)(int32_t handle, int16_t mode, void* infoBlock);
  int16_t (*defineFile)(int32_t handle, int16_t command, void* description);
};

// The engine's calls, or nullptr with *error saying what is missing. When
// JXENGINE_LIBRARY names a library, the SQL library loads that one: it must
// load and hold every entry point, or the error names the path.
const EngineCalls* Engine(std::string* error);

// The engine's French explanation of its last failure on handle (0: the
// last failed opening), in UTF-8; "" when it gives none or the engine is not
// bound. *code gets the failure's code.
std::string LastEngineError(int32_t handle, int* code);

}  // namespace zkhost

#endif
