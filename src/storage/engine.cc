// Binding of the storage engine library by name.
#include "storage/engine.h"

#include "base/messages.h"
#include "storage/description_cache.h"

#include <cstdlib>
#include <cstring>

namespace zksql {
namespace {

const char* const kEntryPointNames[JX_ENTRY_POINT_COUNT] = {JX_ENTRY_POINT_NAMES};

EngineEntryPoints g_entry_points;
bool g_bound = false;
// Instances holding the engine: the entry points stay valid while any does.
int g_binding_count = 0;

alignas(16) unsigned char g_info_block[JX_INFO_BLOCK_SIZE];
alignas(16) unsigned char g_record_block[JX_RECORD_BLOCK_SIZE];

template <class Fn>
Fn As(FARPROC proc) {
  Fn fn;
  static_assert(sizeof(fn) == sizeof(proc), "entry point size");
  memcpy(&fn, &proc, sizeof fn);
  return fn;
}

}  // namespace

HMODULE BindEngine() {
  // No dialog for a missing library: the instance goes on without engine.
  UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(kEngineLibraryName);
  SetErrorMode(previous);
  if (module == nullptr) return nullptr;

  FARPROC procs[JX_ENTRY_POINT_COUNT];
  for (int i = 0; i < JX_ENTRY_POINT_COUNT; ++i) {
    procs[i] = GetProcAddress(module, kEntryPointNames[i]);
    if (procs[i] == nullptr) {
      FreeLibrary(module);
      return nullptr;
    }
  }
  // The last eight names are the ones called, in this order.
  const int first = JX_ENTRY_POINT_COUNT - 8;
  g_entry_points.getInfos = As<XZK_GETINFOSJXD_FN>(procs[first + 0]);
  g_entry_points.filter = As<XZK_FILTRE_FN>(procs[first + 1]);
  g_entry_points.dropFilter = As<XZK_DESACTIVEFILTRE_FN>(procs[first + 2]);
  g_entry_points.readRecord = As<XZK_LIREENREG_FN>(procs[first + 3]);
  g_entry_points.writeRecord = As<XZK_ECRIREENREG_FN>(procs[first + 4]);
  g_entry_points.describeFile = As<XZK_DECRITFICHIER_FN>(procs[first + 5]);
  g_entry_points.writeMemo = As<XZK_ECRIREMEMO_FN>(procs[first + 6]);
  g_entry_points.getMemo = As<XZK_GETMEMO_FN>(procs[first + 7]);
  g_entry_points.beginStatement =
      As<XZK_BEGINSTATEMENT_FN>(GetProcAddress(module, "XZK_BeginStatement"));
  g_entry_points.endStatement = As<XZK_ENDSTATEMENT_FN>(GetProcAddress(module, "XZK_EndStatement"));
  g_entry_points.lastError = As<XZK_GETLASTERROR_FN>(GetProcAddress(module, "XZK_GetLastError"));
  g_entry_points.dictionaryStamp =
      As<XZK_GETDICTIONARYSTAMP_FN>(GetProcAddress(module, "XZK_GetDictionaryStamp"));
  g_entry_points.readRun = As<XZK_READRUN_FN>(GetProcAddress(module, "XZK_ReadRun"));
  if (g_entry_points.beginStatement == nullptr || g_entry_points.endStatement == nullptr) {
    g_entry_points.beginStatement = nullptr;
    g_entry_points.endStatement = nullptr;
  }
  // Descriptions kept under another library's stamps mean nothing to
  // this one.
  ForgetDescriptions();
  g_bound = true;
  ++g_binding_count;
  return module;
}

void UnbindEngine(HMODULE module) {
  if (module == nullptr) return;
  if (g_binding_count > 0 && --g_binding_count == 0) {
    // The library may be unloaded now: its addresses must not be called.
    g_bound = false;
    g_entry_points = EngineEntryPoints{};
    ForgetDescriptions();
  }
  FreeLibrary(module);
}

const char* EngineLibraryTried() {
#ifdef _WIN32
  return kEngineLibraryName;
#else
  // The platform's loader opens this path, and only it, when it is set.
  const char* forced = getenv("JXENGINE_LIBRARY");
  return forced != nullptr && forced[0] != '\0' ? forced : kEngineLibraryName;
#endif
}

const EngineEntryPoints* BoundEngine() { return g_bound ? &g_entry_points : nullptr; }

bool RequireEngine(StatementContext* context) {
  if (BoundEngine() != nullptr) return true;
  RecordMessage(context, nullptr, kMsgNoEngine, EngineLibraryTried());
  return false;
}

unsigned char* InfoBlock() { return g_info_block; }
unsigned char* RecordBlock() { return g_record_block; }

}  // namespace zksql
