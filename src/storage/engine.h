// The storage engine binding.
//
// The library never touches data files: it loads the engine library
// ("JXENGINE.DLL") when an instance is created and binds its 33 entry points
// by name. All of them must be present, or the library is released and the
// instance has no engine. Only eight are called; their addresses are kept
// process-wide, since requests carry an engine handle but not the instance.
//
// The blocks exchanged with the engine (InfoBlock, RecordBlock) are single
// process-wide buffers too: one engine call at a time in the process.
#ifndef ZKSQL_STORAGE_ENGINE_H_
#define ZKSQL_STORAGE_ENGINE_H_

#include "base/statement_context.h"
#include "jxengine.h"
#include "platform.h"

namespace zksql {

// The entry points the library calls. The last five are optional: an
// engine without statement scopes runs each statement call by call, one
// without a dictionary stamp has its descriptions read for every
// statement, and one without runs of records is walked a record a call.
struct EngineEntryPoints {
  XZK_GETINFOSJXD_FN getInfos;
  XZK_LIREENREG_FN readRecord;
  XZK_ECRIREENREG_FN writeRecord;
  XZK_ECRIREMEMO_FN writeMemo;
  XZK_GETMEMO_FN getMemo;
  XZK_FILTRE_FN filter;
  XZK_DESACTIVEFILTRE_FN dropFilter;
  XZK_DECRITFICHIER_FN describeFile;
  XZK_BEGINSTATEMENT_FN beginStatement;
  XZK_ENDSTATEMENT_FN endStatement;
  XZK_GETLASTERROR_FN lastError;
  XZK_GETDICTIONARYSTAMP_FN dictionaryStamp;
  XZK_READRUN_FN readRun;
};

// The engine library's file name, as the host platform knows it.
constexpr const char* kEngineLibraryName = "JXENGINE.DLL";

// The library the binding tried to load, for messages: the path given in
// JXENGINE_LIBRARY where the platform honours it, else the name above.
const char* EngineLibraryTried();

// Loads the engine library and binds every entry point. Returns the module
// handle, or null (nothing left loaded) when the library or one of the 33
// entry points is missing. On success the entry points become the bound
// ones of the process.
HMODULE BindEngine();

// Releases a module that BindEngine returned. When no instance holds the
// engine any more, the process has no bound entry points.
void UnbindEngine(HMODULE module);

// The bound entry points, or null when no engine is bound.
const EngineEntryPoints* BoundEngine();

// True when a storage engine is bound; otherwise records the error saying
// so (message 4301, naming the library tried) and returns false. Every
// phase that must call the engine asks first.
bool RequireEngine(StatementContext* context);

// The process-wide parameter blocks, zero-filled at start, aligned for the
// pointer fields they carry.
unsigned char* InfoBlock();
unsigned char* RecordBlock();

}  // namespace zksql

#endif  // ZKSQL_STORAGE_ENGINE_H_
