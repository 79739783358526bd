// The storage engine calls the shell makes itself: opening and closing the
// database, host transactions, the catalogue and file descriptions. When the engine is built
// with the shell they are linked; otherwise they are bound at run time
// from the same library the SQL library loads.
#ifndef ZKSHELL_ENGINE_CALLS_H
#define ZKSHELL_ENGINE_CALLS_H

#include <stdint.h>

#include <string>

namespace zkshell {

struct EngineCalls {
  int32_t (*open)(const char* directory, int32_t flags);
  int16_t (*close)(int32_t handle);
  int16_t (*begin)(int32_t handle);
  int16_t (*commit)(int32_t handle);
  int16_t (*rollback)(int32_t handle);
  int16_t (*fileName)(int32_t handle, int32_t index, char name[31]);
  int16_t (*describe)(int32_t handle, int16_t mode, void* infoBlock);
  int16_t (*defineFile)(int32_t handle, int16_t command, void* description);
};

// The engine's calls, or nullptr with *error saying what is missing.
const EngineCalls* Engine(std::string* error);

}  // namespace zkshell

#endif
