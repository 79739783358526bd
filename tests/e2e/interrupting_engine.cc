// An engine library for the end-to-end tests of engine calls that do not
// complete: it exports every entry point the library binds and forwards
// each call to the real storage engine (loaded from REAL_ENGINE_PATH),
// except the calls a test asks it to interrupt. An interrupted call returns
// at once without reaching the engine, so the record block never receives
// the engine's completion status, as when an engine gives up half way.
//
// On Windows it is JXENGINE.DLL in a folder of its own, the library loading
// it by that name, and the real engine sits beside it as REAL_ENGINE_PATH
// (another file name): the loader tells modules apart by their files.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdint>
#include <cstring>

#include "jxengine.h"

namespace {

#ifdef _WIN32
// Every entry point is exported under its plain name, with the engine's
// calling convention (the link drops the "@n" decoration).
#define ENTRY __declspec(dllexport) JXENGINE_CALL

template <typename F>
F Real(const char* name) {
  static HMODULE module = LoadLibraryA(REAL_ENGINE_PATH);
  // Through void*: FARPROC has a type of its own.
  return module == nullptr
             ? nullptr
             : reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
#else
#define ENTRY

template <typename F>
F Real(const char* name) {
  static void* module = dlopen(REAL_ENGINE_PATH, RTLD_NOW | RTLD_LOCAL);
  return module == nullptr ? nullptr : reinterpret_cast<F>(dlsym(module, name));
}
#endif

// What to interrupt: record writes, record reads (both on one file, by
// name) and memo writes.
char g_file[32] = "";
bool g_writes = false;
bool g_reads = false;
bool g_memos = false;

bool Targets(const char* file) {
  return file != nullptr && strcmp(file, g_file) == 0;
}

}  // namespace

extern "C" {

// Interrupts from now on the record writes and reads on `file` (when the
// flags ask for them) and every memo write; an empty file name and zero
// flags forward everything again.
JXENGINE_API void InterruptEngineCalls(const char* file, int writes, int reads, int memos) {
  strncpy(g_file, file == nullptr ? "" : file, sizeof g_file - 1);
  g_writes = writes != 0;
  g_reads = reads != 0;
  g_memos = memos != 0;
}

int32_t ENTRY XZK_nInit(const char* directory, int32_t flags) {
  auto f = Real<int32_t(JXENGINE_CALL*)(const char*, int32_t)>("XZK_nInit");
  return f == nullptr ? -JX_ERR_NOT_OPEN : f(directory, flags);
}

int16_t ENTRY XZK_Termine(int32_t handle) {
  auto f = Real<int16_t(JXENGINE_CALL*)(int32_t)>("XZK_Termine");
  return f == nullptr ? JX_ERR_BAD_HANDLE : f(handle);
}

int16_t ENTRY XZK_GETINFOSJXD(int32_t handle, int16_t mode, void* info) {
  return Real<XZK_GETINFOSJXD_FN>("XZK_GETINFOSJXD")(handle, mode, info);
}

int16_t ENTRY XZK_LIREENREG(int32_t handle, const char* file, int32_t record, void* block) {
  if (g_reads && Targets(file)) return 0;
  return Real<XZK_LIREENREG_FN>("XZK_LIREENREG")(handle, file, record, block);
}

int16_t ENTRY XZK_ECRIREENREG(int32_t handle, const char* file, int32_t record, void* block) {
  if (g_writes && Targets(file)) return 0;
  return Real<XZK_ECRIREENREG_FN>("XZK_ECRIREENREG")(handle, file, record, block);
}

int16_t ENTRY XZK_ECRIREMEMO(int32_t handle, int32_t length, void* block) {
  if (g_memos) return 0;
  return Real<XZK_ECRIREMEMO_FN>("XZK_ECRIREMEMO")(handle, length, block);
}

int16_t ENTRY XZK_GETMEMO(int32_t handle, const char* file, int32_t reference, int16_t mode,
                          void** memo) {
  return Real<XZK_GETMEMO_FN>("XZK_GETMEMO")(handle, file, reference, mode, memo);
}

int16_t ENTRY XZK_FILTRE(int32_t handle, const char* file, const char* column, const void* low,
                         const void* high, int16_t size, uint8_t type) {
  return Real<XZK_FILTRE_FN>("XZK_FILTRE")(handle, file, column, low, high, size, type);
}

int16_t ENTRY XZK_DESACTIVEFILTRE(int32_t handle, const char* file) {
  return Real<XZK_DESACTIVEFILTRE_FN>("XZK_DESACTIVEFILTRE")(handle, file);
}

int16_t ENTRY XZK_DECRITFICHIER(int32_t handle, int16_t command, void* description) {
  return Real<XZK_DECRITFICHIER_FN>("XZK_DECRITFICHIER")(handle, command, description);
}

// The entry points the library binds but never calls.
#define FORWARD(name)                                             \
  int16_t ENTRY name(int32_t handle) {                            \
    return Real<int16_t(JXENGINE_CALL*)(int32_t)>(#name)(handle); \
  }
FORWARD(XZK_nAppel)
FORWARD(XZK_Partage)
FORWARD(XZK_nLiaison)
FORWARD(XZK_nRubrique)
FORWARD(XZK_nRubriqueSimple)
FORWARD(XZK_SetMode)
FORWARD(XZK_bSetEnDehors)
FORWARD(XZK_Buffer)
FORWARD(XZK_dwGetInfo)
FORWARD(XZK_bSetInfo)
FORWARD(XZK_nCle)
FORWARD(XZK_bInitInstance)
FORWARD(XZK_FinInstance)
FORWARD(XZK_bRazRubriques)
FORWARD(XZK_pSauveMemo)
FORWARD(XZK_RestaureMemo)
FORWARD(XZK_MMOLitDiffere)
FORWARD(XZK_bGetMemoData)
FORWARD(XZK_bSetMemoData)
FORWARD(XZK_bSetIDReplica)
FORWARD(XZK_UnstorePosition)
FORWARD(XZK_bStorePosition)
FORWARD(XZK_bRestorePosition)
#undef FORWARD

}  // extern "C"
