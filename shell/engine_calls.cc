// Run-time binding looks where the SQL library looks: $JXENGINE_LIBRARY,
// then libjxengine.so beside libzksql.so, then the loader's search path.
#include "engine_calls.h"

#include <dlfcn.h>

#include <cstdlib>

#include "jxengine.h"
#include "zksql.h"

namespace zkshell {
namespace {

#ifndef ZKSHELL_LINKED_ENGINE
void* OpenEngineLibrary() {
  const char* forced = getenv("JXENGINE_LIBRARY");
  if (forced != nullptr && *forced != '\0') return dlopen(forced, RTLD_NOW);
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&JX4InitInstance), &info) != 0 && info.dli_fname != nullptr) {
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) {
      void* library = dlopen((path.substr(0, slash + 1) + "libjxengine.so").c_str(), RTLD_NOW);
      if (library != nullptr) return library;
    }
  }
  return dlopen("libjxengine.so", RTLD_NOW);
}

template <typename F>
bool Bind(void* library, const char* name, F* slot, std::string* missing) {
  *slot = reinterpret_cast<F>(dlsym(library, name));
  if (*slot == nullptr) *missing += std::string(missing->empty() ? "" : ", ") + name;
  return *slot != nullptr;
}
#endif

}  // namespace

const EngineCalls* Engine(std::string* error) {
#ifdef ZKSHELL_LINKED_ENGINE
  (void)error;
  static const EngineCalls calls = {XZK_nInit,
                                    XZK_Termine,
                                    XZK_BeginTransaction,
                                    XZK_CommitTransaction,
                                    XZK_RollbackTransaction,
                                    XZK_GetFileName,
                                    XZK_GETINFOSJXD,
                                    XZK_DECRITFICHIER};
  return &calls;
#else
  static EngineCalls calls;
  static bool bound = false;
  static std::string failure;
  if (!bound && failure.empty()) {
    void* library = OpenEngineLibrary();
    if (library == nullptr) {
      const char* why = dlerror();
      failure = std::string("cannot load the storage engine library: ") + (why ? why : "?");
    } else {
      std::string missing;
      Bind(library, "XZK_nInit", &calls.open, &missing);
      Bind(library, "XZK_Termine", &calls.close, &missing);
      Bind(library, "XZK_BeginTransaction", &calls.begin, &missing);
      Bind(library, "XZK_CommitTransaction", &calls.commit, &missing);
      Bind(library, "XZK_RollbackTransaction", &calls.rollback, &missing);
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

}  // namespace zkshell
