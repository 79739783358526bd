// Dynamic library binding for POSIX: LoadLibraryA and friends over dlopen.
//
// The system binds its storage engine by its Windows file name. Here a
// "NAME.DLL" is looked for where an installation puts it: an explicit path
// given by the environment (NAME_LIBRARY), then libname.so beside the module
// that asks for it, then the dynamic loader's own search.
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <string>

#include "platform.h"

namespace {

UINT g_error_mode = 0;

// The folder (with its final "/") of the module containing `address`.
std::string FolderOf(const void* address) {
  Dl_info info;
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) return "";
  std::string path = info.dli_fname;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

HMODULE Open(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

}  // namespace

extern "C" {

__attribute__((noinline)) HMODULE LoadLibraryA(LPCSTR name) {
  if (name == nullptr || *name == '\0') return nullptr;
  if (strchr(name, '/') != nullptr) return Open(name);
  const void* caller = __builtin_return_address(0);

  std::string base = name;
  size_t dot = base.rfind('.');
  if (dot != std::string::npos && strcasecmp(base.c_str() + dot, ".dll") == 0) {
    base.erase(dot);
  }
  std::string variable, lower;
  for (char c : base) {
    variable += static_cast<char>(toupper(static_cast<unsigned char>(c)));
    lower += static_cast<char>(tolower(static_cast<unsigned char>(c)));
  }
  variable += "_LIBRARY";
  const char* explicit_path = getenv(variable.c_str());
  if (explicit_path != nullptr && *explicit_path != '\0') return Open(explicit_path);

  std::string file = "lib" + lower + ".so";
  std::string folder = FolderOf(caller);
  if (!folder.empty()) {
    std::string beside = folder + file;
    if (access(beside.c_str(), F_OK) == 0) {
      HMODULE module = Open(beside);
      if (module != nullptr) return module;
    }
  }
  return Open(file);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module == nullptr || name == nullptr) return nullptr;
  void* symbol = dlsym(module, name);
  FARPROC proc;
  static_assert(sizeof(proc) == sizeof(symbol), "function and object pointers differ");
  memcpy(&proc, &symbol, sizeof(proc));
  return proc;
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr) return 0;
  return dlclose(module) == 0;
}

UINT SetErrorMode(UINT mode) {
  UINT previous = g_error_mode;
  g_error_mode = mode;
  return previous;
}

HMODULE ZkModuleOf(const void* address) {
  Dl_info info;
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
    return nullptr;
  }
  void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  // The main program is not found by its path: a null name stands for it.
  if (handle == nullptr) handle = dlopen(nullptr, RTLD_LAZY);
  // The module stays loaded as long as code in it runs: drop the extra
  // reference so that the host can still unload it.
  if (handle != nullptr) dlclose(handle);
  return handle;
}

}  // extern "C"
