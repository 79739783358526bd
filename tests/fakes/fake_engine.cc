// A stand-in storage engine library for the binding tests: it exports the
// entry points by name, knows no file, and counts the calls it receives so
// that tests can see which engine a request reached. Built twice: complete,
// and without XZK_GETMEMO (FAKE_ENGINE_WITHOUT_GETMEMO) to test refusal of
// an incomplete library.
#include <cstdint>
#include <cstring>

#include "jxengine.h"

// Every entry point is exported under its plain name, with the engine's
// calling convention (on Windows the link drops the "@n" decoration).
#ifdef _WIN32
#define FAKE_ENTRY __declspec(dllexport) JXENGINE_CALL
#else
#define FAKE_ENTRY
#endif

namespace {
int g_calls = 0;

void Complete(void* block) {
  if (block == nullptr) return;
  int16_t done = JX_CALL_COMPLETED;
  memcpy(static_cast<char*>(block) + JX_REC_STATUS, &done, sizeof done);
}
}  // namespace

extern "C" {

JXENGINE_API int FakeEngineCalls(void) { return g_calls; }

int32_t FAKE_ENTRY XZK_nInit(const char*, int32_t) { return ++g_calls, 1; }
int16_t FAKE_ENTRY XZK_Termine(int32_t) { return ++g_calls, 0; }

int16_t FAKE_ENTRY XZK_GETINFOSJXD(int32_t, int16_t, void* info) {
  ++g_calls;
  if (info != nullptr) {
    int16_t none = 0;
    memcpy(static_cast<char*>(info) + JX_INFO_ITEM_COUNT, &none, sizeof none);
  }
  return 0;
}
int16_t FAKE_ENTRY XZK_LIREENREG(int32_t, const char*, int32_t, void* block) {
  ++g_calls;
  Complete(block);
  if (block != nullptr) {
    int16_t end = 1;
    memcpy(static_cast<char*>(block) + JX_REC_END, &end, sizeof end);
  }
  return 0;
}
int16_t FAKE_ENTRY XZK_ECRIREENREG(int32_t, const char*, int32_t, void* block) {
  ++g_calls;
  Complete(block);
  return 0;
}
int16_t FAKE_ENTRY XZK_ECRIREMEMO(int32_t, int32_t, void* block) {
  ++g_calls;
  Complete(block);
  return 0;
}
#ifndef FAKE_ENGINE_WITHOUT_GETMEMO
int16_t FAKE_ENTRY XZK_GETMEMO(int32_t, const char*, int32_t, int16_t, void** memo) {
  ++g_calls;
  if (memo != nullptr) *memo = nullptr;
  return 1;
}
#endif
int16_t FAKE_ENTRY XZK_FILTRE(int32_t, const char*, const char*, const void*, const void*, int16_t,
                   uint8_t) {
  return ++g_calls, 0;
}
int16_t FAKE_ENTRY XZK_DESACTIVEFILTRE(int32_t, const char*) { return ++g_calls, 0; }
int16_t FAKE_ENTRY XZK_DECRITFICHIER(int32_t, int16_t, void*) { return ++g_calls, 1; }

#define FAKE_UNSUPPORTED(name) \
  int16_t FAKE_ENTRY name(int32_t) { return JX_NOT_SUPPORTED; }
FAKE_UNSUPPORTED(XZK_nAppel)
FAKE_UNSUPPORTED(XZK_Partage)
FAKE_UNSUPPORTED(XZK_nLiaison)
FAKE_UNSUPPORTED(XZK_nRubrique)
FAKE_UNSUPPORTED(XZK_nRubriqueSimple)
FAKE_UNSUPPORTED(XZK_SetMode)
FAKE_UNSUPPORTED(XZK_bSetEnDehors)
FAKE_UNSUPPORTED(XZK_Buffer)
FAKE_UNSUPPORTED(XZK_dwGetInfo)
FAKE_UNSUPPORTED(XZK_bSetInfo)
FAKE_UNSUPPORTED(XZK_nCle)
FAKE_UNSUPPORTED(XZK_bInitInstance)
FAKE_UNSUPPORTED(XZK_FinInstance)
FAKE_UNSUPPORTED(XZK_bRazRubriques)
FAKE_UNSUPPORTED(XZK_pSauveMemo)
FAKE_UNSUPPORTED(XZK_RestaureMemo)
FAKE_UNSUPPORTED(XZK_MMOLitDiffere)
FAKE_UNSUPPORTED(XZK_bGetMemoData)
FAKE_UNSUPPORTED(XZK_bSetMemoData)
FAKE_UNSUPPORTED(XZK_bSetIDReplica)
FAKE_UNSUPPORTED(XZK_UnstorePosition)
FAKE_UNSUPPORTED(XZK_bStorePosition)
FAKE_UNSUPPORTED(XZK_bRestorePosition)

}  // extern "C"
