// Library start: keeps the module handle the message catalogue is loaded
// from. Windows calls DllMain itself; elsewhere a load-time constructor
// does the same work with the handle of the module holding this code.
#include "base/messages.h"
#include "platform.h"

namespace zksql {

int DllMainWork(HINSTANCE module, unsigned long reason) {
  if (reason == DLL_PROCESS_ATTACH) SetMessageModule(module);
  return 1;
}

}  // namespace zksql

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  return zksql::DllMainWork(module, reason);
}
#else
namespace {
__attribute__((constructor)) void OnLibraryLoad() {
  zksql::DllMainWork(ZkModuleOf(reinterpret_cast<const void*>(&OnLibraryLoad)),
                     DLL_PROCESS_ATTACH);
}
}  // namespace
#endif
