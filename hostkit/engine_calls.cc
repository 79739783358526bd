// Run-time binding looks where the SQL library looks: $JXENGINE_LIBRARY,
// then libjxengine.so beside libzksql.so, then the loader's search path.
// A library named by JXENGINE_LIBRARY is checked in both variants: the SQL
// library would otherwise refuse it later with a message that names no
// file.
#include "engine_calls.h"

#include <dlfcn.h>

#include <cstdlib>

#include "charset.h"
#include "jxengine.h"
#include "zksql.h"

namespace zkhost {
namespace {

const char* ForcedLibrary() {
  const char* forced = getenv("JXENGINE_LIBRARY");
  return forced != nullptr && *forced != '\0' ? forced : nullptr;
}

template <typename F>
bool Bind(void* library, const char* name, F* slot, std::string* missing) {
  *slot = reinterpret_cast<F>(dlsym(library, name));
  if (*slot == nullptr) *missing += std::string(missing->empty() ? "" : ", ") + name;
  return *slot != nullptr;
}

// Opens the library JXENGINE_LIBRARY names; nullptr with *failure naming
// the path when it does not load or lacks an entry point the SQL library
// binds.
void* OpenForcedLibrary(const char* path, std::string* failure) {
  void* library = dlopen(path, RTLD_NOW);
  if (library == nullptr) {
    // The loader's message names the file as a rule; when it does not,
    // the path is added.
    const char* why = dlerror();
    std::string reason = why != nullptr ? why : "?";
    *failure = "cannot load the storage engine library named by JXENGINE_LIBRARY: ";
    if (reason.find(path) == std::string::npos) *failure += std::string("\"") + path + "\": ";
    *failure += reason;
    return nullptr;
  }
  static const char* const kNames[] = {JX_ENTRY_POINT_NAMES};
  std::string missing;
  for (const char* name : kNames) {
    void* symbol = nullptr;
    Bind(library, name, &symbol, &missing);
  }
  if (!missing.empty()) {
    *failure = std::string("the storage engine library \"") + path +
               "\" (JXENGINE_LIBRARY) lacks " + missing;
    return nullptr;
  }
  return library;
}

#ifndef ZKHOST_LINKED_ENGINE
void* OpenEngineLibrary(std::string* failure) {
  const char* forced = ForcedLibrary();
  if (forced != nullptr) return OpenForcedLibrary(forced, failure);
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&JX4InitInstance), &info) != 0 && info.dli_fname != nullptr) {
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) {
      void* library = dlopen((path.substr(0, slash + 1) + "libjxengine.so").c_str(), RTLD_NOW);
      if (library != nullptr) return library;
    }
  }
  void* library = dlopen("libjxengine.so", RTLD_NOW);
  if (library == nullptr) {
    const char* why = dlerror();
    *failure = std::string("cannot load the storage engine library: ") + (why ? why : "?");
  }
  return library;
}
#endif

}  // namespace

const EngineCalls* Engine(std::string* error) {
  static std::string failure;
#ifdef ZKHOST_LINKED_ENGINE
  static const EngineCalls calls = {XZK_nInit,
                                    XZK_Termine,
                                    XZK_BeginTransaction,
                                    XZK_CommitTransaction,
                                    XZK_RollbackTransaction,
                                    XZK_BeginStatement,
                                    XZK_EndStatement,
                                    XZK_SetBusyTimeout,
                                    XZK_GetLastError,
                                    XZK_CheckDatabase,
                                    XZK_GetFileName,
                                    XZK_GETINFOSJXD,
                                    XZK_DECRITFICHIER};
  static bool checked = false;
  if (!checked) {
    checked = true;
    const char* forced = ForcedLibrary();
    if (forced != nullptr) OpenForcedLibrary(forced, &failure);
  }
  if (!failure.empty() && error != nullptr) *error = failure;
  return failure.empty() ? &calls : nullptr;
#else
  static EngineCalls calls;
  static bool bound = false;
  if (!bound && failure.empty()) {
    void* library = OpenEngineLibrary(&failure);
    if (library != nullptr) {
      std::string missing;
      Bind(library, "XZK_nInit", &calls.open, &missing);
      Bind(library, "XZK_Termine", &calls.close, &missing);
      Bind(library, "XZK_BeginTransaction", &calls.begin, &missing);
      Bind(library, "XZK_CommitTransaction", &calls.commit, &missing);
      Bind(library, "XZK_RollbackTransaction", &calls.rollback, &missing);
      Bind(library, "XZK_BeginStatement", &calls.beginStatement, &missing);
      Bind(library, "XZK_EndStatement", &calls.endStatement, &missing);
      Bind(library, "XZK_SetBusyTimeout", &calls.setBusyTimeout, &missing);
      Bind(library, "XZK_GetLastError", &calls.lastError, &missing);
      Bind(library, "XZK_CheckDatabase", &calls.check, &missing);
      Bind(library, "XZK_GetFileName", &calls.fileName, &missing);
      Bind(library, "XZK_GETINFOSJXD", &calls.describe, &missing);
      Bind(library, "XZK_DECRITFICHIER", &calls.defineFile, &missing);
      if (missing.empty()) {
        bound = true;
      } else {
        failure = "the storage engine library lacks " + missing;
      }
    }
  }
  if (!bound && error != nullptr) *error = failure;
  return bound ? &calls : nullptr;
#endif
}

std::string LastEngineError(int32_t handle, int* code) {
  *code = 0;
  const EngineCalls* engine = Engine(nullptr);
  if (engine == nullptr) return std::string();
  char text[1024] = "";
  *code = engine->lastError(handle, text, static_cast<int32_t>(sizeof text));
  text[sizeof text - 1] = '\0';
  std::string explanation = Cp1252ToUtf8(text);
  while (!explanation.empty() && (explanation.back() == '\n' || explanation.back() == ' ')) {
    explanation.pop_back();
  }
  return explanation;
}

}  // namespace zkhost
