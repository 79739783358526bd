// platform.h - the operating-system calls the system is written against.
//
// The SQL library and the storage engine call the Windows API by name
// (global memory blocks, dynamic library binding, string resources, the
// wait cursor, the lstr* text helpers). On Windows this header is simply
// <windows.h>. Elsewhere libzkplatform provides the same calls with the
// behaviour the system relies on; nothing outside platform/ includes an
// operating-system header.
//
// POSIX specifics:
//  - LoadLibraryA("NAME.DLL") opens, in order: the path in the environment
//    variable NAME_LIBRARY when it is set (and only that path); else
//    libname.so in the folder of the module that makes the call; else
//    libname.so through the dynamic loader's search. A name holding a "/"
//    is opened as it is.
//  - LoadStringA finds a module's strings through the table the module
//    exports under the symbol ZkStringTable (see ZkStringResource).
//  - The cursor calls keep track of a current cursor and show nothing.
#ifndef ZKSQL_PLATFORM_PLATFORM_H_
#define ZKSQL_PLATFORM_PLATFORM_H_

#include "zkglobal.h"

#ifdef _WIN32
#include <stdarg.h>
#include <stdio.h>
// The Windows platform layer is a static library linked into each DLL:
// nothing of it is exported.
#ifndef ZKPLATFORM_API
#define ZKPLATFORM_API
#endif
#else
#include <stdarg.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* HMODULE;
typedef void* HINSTANCE;
typedef void* HCURSOR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void (*FARPROC)(void);

#define SEM_FAILCRITICALERRORS 0x0001
#define SEM_NOOPENFILEERRORBOX 0x8000
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define MAKEINTRESOURCEA(i) ((LPCSTR)(unsigned long)(unsigned short)(i))
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)

// Dynamic libraries. NULL / 0 on failure.
ZKPLATFORM_API HMODULE LoadLibraryA(LPCSTR name);
ZKPLATFORM_API FARPROC GetProcAddress(HMODULE module, LPCSTR name);
ZKPLATFORM_API BOOL FreeLibrary(HMODULE module);
// Keeps the process error mode; returns the previous one.
ZKPLATFORM_API UINT SetErrorMode(UINT mode);

// Copies string resource `id` of `module` (NULL = the main program) into
// buffer, cut to size - 1 characters and terminated. Returns the number of
// characters copied, 0 when the module has no such string.
ZKPLATFORM_API int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size);

// Formats like the Windows formatter: at most 1024 characters and a
// terminator are written. Returns the number of characters written.
ZKPLATFORM_API int wsprintfA(LPSTR buffer, LPCSTR format, ...);

ZKPLATFORM_API HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name);
ZKPLATFORM_API HCURSOR SetCursor(HCURSOR cursor);

// Text helpers. Like their Windows originals they return NULL (or 0)
// instead of faulting on a NULL argument.
ZKPLATFORM_API LPSTR lstrcpyA(LPSTR destination, LPCSTR source);
ZKPLATFORM_API LPSTR lstrcpynA(LPSTR destination, LPCSTR source, int size);
ZKPLATFORM_API LPSTR lstrcatA(LPSTR destination, LPCSTR source);
ZKPLATFORM_API int lstrlenA(LPCSTR text);

// One entry of a module's string table; the table ends with id 0.
typedef struct ZkStringResource {
  unsigned int id;
  const char* text;
} ZkStringResource;

// The handle of the loaded module that contains `address` (a function or
// object of that module), as LoadLibraryA would return it; NULL when it
// cannot be found. Plays the part of the handle Windows passes to DllMain.
ZKPLATFORM_API HMODULE ZkModuleOf(const void* address);

#ifdef __cplusplus
}
#endif
#endif  // _WIN32

#ifdef __cplusplus
extern "C" {
#endif
// An exclusive advisory lock on a file, held by one open of it at a time
// across processes, and released when it is closed or its process ends
// (killed included). Every open is its own owner, so a process that forks
// never shares a lock it did not take.
typedef struct ZkFileLock ZkFileLock;
// Opens `path` (creating it when missing) and tries to lock it without
// waiting. Returns the held lock; NULL with *busy set to 1 when another
// open holds it, or with *busy set to 0 when the file cannot be opened or
// locked at all.
ZKPLATFORM_API ZkFileLock* ZkFileLockTry(const char* path, int* busy);
// Releases the lock and closes the file. NULL is ignored.
ZKPLATFORM_API void ZkFileLockRelease(ZkFileLock* lock);
// Suspends the calling thread for about `milliseconds`.
ZKPLATFORM_API void ZkSleepMilliseconds(unsigned milliseconds);
// Tells the system that the process no longer needs the pages of a
// read-only file mapping that hold [address, address + length): they leave
// its resident set and are read back from the file cache at the next
// access. The bytes do not change. Only for file mappings that the process
// never writes through; anything else is left as it is.
ZKPLATFORM_API void ZkReleaseMappedPages(const void* address, size_t length);
#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
extern "C" {
#endif
// Bounded formatting, on every platform: writes at most size - 1
// characters and a terminator (nothing when size < 1). Returns the length
// the full text would have had.
ZKPLATFORM_API int ZkFormat(char* buffer, int size, const char* format, ...);
ZKPLATFORM_API int ZkFormatV(char* buffer, int size, const char* format, va_list args);
#ifdef __cplusplus
}
#endif

#endif  // ZKSQL_PLATFORM_PLATFORM_H_
