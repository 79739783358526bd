/*
 * zkglobal.h - global memory blocks shared by the SQL library, the storage
 * engine and their hosts.
 *
 * Memo values travel between libraries as global memory blocks: the engine
 * makes one, the SQL library hands it to the host, the host frees it. A block
 * made by any of them can be locked, sized and freed by any other, because one
 * implementation (libzkplatform) serves the whole process.
 *
 * On Windows these are the kernel's own functions and this header only pulls
 * in <windows.h>. Elsewhere they are provided by libzkplatform with the same
 * names and the same behaviour for the flags listed here.
 *
 * A memo block, as exchanged with the host and the engine, is laid out as:
 *   offset 3:  int16  header size (data starts at this offset)
 *   offset 52: int32  data length in bytes
 * and its data follows the header.
 */
#ifndef ZKGLOBAL_H
#define ZKGLOBAL_H

#ifdef _WIN32
#include <windows.h>
#else
#include <stddef.h>

#if defined(__GNUC__)
#define ZKPLATFORM_API __attribute__((visibility("default")))
#else
#define ZKPLATFORM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void* HGLOBAL;
typedef unsigned int UINT;
typedef int BOOL;
typedef size_t SIZE_T;

/* Flags for GlobalAlloc and GlobalReAlloc. Every block is moveable: the
 * handle must be locked to reach the bytes, whatever the flags say. */
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

/* Allocates a block of `bytes` bytes (zero-filled with GMEM_ZEROINIT).
 * Returns its handle, or NULL when memory is short. A block of 0 bytes is
 * valid and has a size of 0. */
ZKPLATFORM_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);

/* Locks the block and returns the address of its first byte; every lock
 * adds one to the block's lock count. NULL for a NULL or unknown handle. */
ZKPLATFORM_API void* GlobalLock(HGLOBAL block);

/* Undoes one GlobalLock. Returns non-zero while the block stays locked,
 * 0 once its lock count is 0 (or for a NULL or unknown handle). */
ZKPLATFORM_API BOOL GlobalUnlock(HGLOBAL block);

/* The handle of the block whose first byte is at `address` (as returned by
 * GlobalLock), or NULL when the address is not the start of a block. */
ZKPLATFORM_API HGLOBAL GlobalHandle(const void* address);

/* Resizes the block, keeping its contents up to the smaller size; with
 * GMEM_ZEROINIT the added bytes read as zeros. The handle stays the same;
 * the address that GlobalLock gives may change. Returns the handle, or NULL
 * (and the block unchanged) when memory is short. */
ZKPLATFORM_API HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags);

/* Size in bytes of the block; 0 for a NULL or unknown handle. */
ZKPLATFORM_API SIZE_T GlobalSize(HGLOBAL block);

/* Releases the block whatever its lock count. Returns NULL on success, the
 * handle itself when it was not a block. A NULL handle is ignored. */
ZKPLATFORM_API HGLOBAL GlobalFree(HGLOBAL block);

#ifdef __cplusplus
}
#endif
#endif /* _WIN32 */

#endif /* ZKGLOBAL_H */
