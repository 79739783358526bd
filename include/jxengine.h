/*
 * jxengine.h - the storage engine's C interface.
 *
 * The SQL library loads the engine ("JXENGINE.DLL" on Windows,
 * libjxengine.so elsewhere) and binds its entry points by name; hosts may
 * also link it directly to open and close databases. A database is a
 * directory. Every entry point takes the handle XZK_nInit returned first.
 *
 * Texts are Windows-1252, zero-terminated. Entry points never throw and
 * never crash on a bad handle, a NULL pointer, an unknown file or an
 * over-long name: they report through their result and the block's status
 * fields. Unless said otherwise a result of 0 means done.
 *
 * The engine and the SQL library exchange three fixed-layout blocks whose
 * fields sit at the byte offsets named below (integers little-endian,
 * pointers the platform's width).
 */
#ifndef JXENGINE_H
#define JXENGINE_H

#include <stdint.h>

#ifdef _WIN32
#define JXENGINE_CALL __stdcall
#ifdef JXENGINE_BUILDING
#define JXENGINE_API __declspec(dllexport)
#else
#define JXENGINE_API
#endif
#else
#define JXENGINE_CALL
#define JXENGINE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Names ----
 * File and item names (columns, indexes, keys) are at most
 * JX_NAME_MAX_LENGTH characters. The blocks carry a name in a field of
 * JX_NAME_FIELD_SIZE bytes, a name field: the name, then zeros to the
 * field's end, so that a name of the greatest length still ends with its
 * terminator. (The InfoBlock's item name at JX_INFO_ITEM_NAME has a wider
 * field.) A longer name names no file or item. */
#define JX_NAME_MAX_LENGTH 30
#define JX_NAME_FIELD_SIZE 31

/* ---- InfoBlock: exchanged with XZK_GETINFOSJXD (120 bytes) ---- */
#define JX_INFO_BLOCK_SIZE 120
#define JX_INFO_FILE_NAME 0       /* name field: file name */
#define JX_INFO_ITEM_INDEX 31     /* int16: item index from 0 (item call) */
#define JX_INFO_ITEM_COUNT 33     /* int16: items of the file; <= 0 unknown */
#define JX_INFO_COMPONENT 35      /* int16: component from 0 (component call) */
#define JX_INFO_RECORD_SIZE 37    /* int16: record size in bytes */
#define JX_INFO_ITEM_SIZE 39      /* int16: item size in bytes */
#define JX_INFO_ITEM_TYPE 43      /* int16: storage type code */
#define JX_INFO_ITEM_DIMENSION 47 /* int16: number of elements (< 2 = one) */
#define JX_INFO_KEY_KIND 51       /* uint8: 0 none, 1 unique, 2 duplicates */
#define JX_INFO_COMPOSITE 53      /* int16: non-zero for a composite key */
#define JX_INFO_ITEM_NAME 55      /* 65 bytes: item name, zero-terminated */

#define JX_INFO_DESCRIBE_FILE 0
#define JX_INFO_DESCRIBE_ITEM 1
/* The component call describes column number JX_INFO_COMPONENT of the
 * composite key that is item number JX_INFO_ITEM_INDEX, filling the item
 * fields (size, type, dimension, key kind, composite flag, name) as the
 * item call does for that column. JX_ERR_UNKNOWN_ITEM when the item is no
 * composite key or has no such component. Hosts that rebuild a dictionary
 * learn a composite key's columns from it; the SQL library never asks. */
#define JX_INFO_DESCRIBE_COMPONENT 2

/* ---- RecordBlock: exchanged with XZK_LIREENREG, XZK_ECRIREENREG and
 *      XZK_ECRIREMEMO (at least 1902 bytes; callers use 2048) ---- */
#define JX_RECORD_BLOCK_SIZE 2048
#define JX_REC_LENGTH 327      /* int16: record length */
#define JX_REC_END 341         /* int16: 1 = no record (past the end) */
#define JX_REC_NUMBER 345      /* int32: record number */
#define JX_REC_ERROR 349       /* int16: 0 none, 1-2 warnings, > 2 failure */
#define JX_REC_DUPLICATE 355   /* int16: non-zero = unique key duplicated */
#define JX_REC_VALID 359       /* int16: 0 = no valid record at that number */
#define JX_REC_MODE 377        /* char: access mode, see JX_MODE_* */
#define JX_REC_MEMO_NUMBER 380 /* int16: memo ordinal among memo items, from 1 */
#define JX_REC_KEY_NAME 977    /* name field: key item name for keyed reads */
#define JX_REC_MEMO_DATA 1018  /* pointer: memo data for XZK_ECRIREMEMO */
#define JX_REC_DATA 1062       /* pointer: record data */
#define JX_REC_STATUS 1900     /* int16: JX_CALL_COMPLETED when done */

#define JX_CALL_COMPLETED 2450
#define JX_MODE_BY_NUMBER 'L'
#define JX_MODE_FIRST_BY_KEY 'P'
#define JX_MODE_NEXT_BY_KEY 'S'

/* Record numbers for XZK_ECRIREENREG. */
#define JX_WRITE_APPEND 0
#define JX_WRITE_DELETE_LAST_READ (-1)

/* ---- FileDescription: exchanged with XZK_DECRITFICHIER (1299 bytes) ---- */
#define JX_FD_SIZE_BYTES 1299
#define JX_FD_TABLE 0      /* name field: file name */
#define JX_FD_SEPARATOR 31 /* "__" */
#define JX_FD_NAME 34      /* name field: column or index name */
#define JX_FD_COLUMNS 65   /* indexed column names joined with "," */
#define JX_FD_TYPE 779     /* char: type letter */
#define JX_FD_SIZE 780     /* int16: size */
#define JX_FD_UNIQUE 782   /* 1 = unique (key), 2 = duplicates allowed */
#define JX_FD_STATUS 784   /* int16: > 0 = failure */
#define JX_FD_MESSAGE 786  /* 513 bytes: French message on failure */
#define JX_FD_MESSAGE_SIZE 513

#define JX_DESCRIBE_BEGIN_FILE 0
#define JX_DESCRIBE_ADD_COLUMN 1
#define JX_DESCRIBE_INDEX 2
#define JX_DESCRIBE_COMPLETE 3

/* ---- Memos ---- */
#define JX_MEMO_TEXT 12   /* XZK_GETMEMO mode: engine-owned [int16 length][text] */
#define JX_MEMO_BLOCK 22  /* XZK_GETMEMO mode: new global memory memo block */
#define JX_MEMO_HEADER_SIZE 3  /* int16 in a memo block: data offset */
#define JX_MEMO_DATA_LENGTH 52 /* int32 in a memo block: data length */

/* ---- Filters: value type codes of XZK_FILTRE ---- */
#define JX_FILTER_INT32 5  /* size 4 */
#define JX_FILTER_REAL 9   /* size 8 */
#define JX_FILTER_TEXT 15  /* size 0: zero-terminated texts */

/* ---- Databases ---- */
#define JX_INIT_CREATE 1    /* XZK_nInit flag: create a missing database */
#define JX_INIT_READ_ONLY 2 /* XZK_nInit flag: open read-only (every write
                               answers JX_ERR_READ_ONLY) */

/* Opens the database in `directory`; returns a handle > 0, or minus an
 * engine code: JX_ERR_BAD_ARGUMENT, JX_ERR_NOT_OPEN (no database there, or
 * it cannot be opened) or JX_ERR_DAMAGED (a data file shorter than its last
 * used page, or meta pages that do not hold together); XZK_GetLastError(0)
 * explains. A database whose folder or files may not be written opens
 * read-only: it reads, and every write answers JX_ERR_READ_ONLY. */
JXENGINE_API int32_t JXENGINE_CALL XZK_nInit(const char* directory, int32_t flags);
/* Closes a handle. */
JXENGINE_API int16_t JXENGINE_CALL XZK_Termine(int32_t handle);

/* Describes a file (mode 0), one of its items (mode 1) or a column of a
 * composite key (mode 2) in an InfoBlock. */
JXENGINE_API int16_t JXENGINE_CALL XZK_GETINFOSJXD(int32_t handle, int16_t mode, void* infoBlock);
/* Reads a record (see the access modes); fills the RecordBlock. */
JXENGINE_API int16_t JXENGINE_CALL XZK_LIREENREG(int32_t handle, const char* file, int32_t record,
                                                 void* recordBlock);
/* Appends (0), rewrites (n > 0) or deletes the record last read (-1). */
JXENGINE_API int16_t JXENGINE_CALL XZK_ECRIREENREG(int32_t handle, const char* file,
                                                   int32_t record, void* recordBlock);
/* Attaches memo data to a memo item of the record last written. */
JXENGINE_API int16_t JXENGINE_CALL XZK_ECRIREMEMO(int32_t handle, int32_t length,
                                                  void* recordBlock);
/* Hands out a memo by reference (mode JX_MEMO_TEXT or JX_MEMO_BLOCK). */
JXENGINE_API int16_t JXENGINE_CALL XZK_GETMEMO(int32_t handle, const char* file, int32_t reference,
                                               int16_t mode, void** memo);
/* Restricts keyed reads of `file` along key item `column` to [low, high]. */
JXENGINE_API int16_t JXENGINE_CALL XZK_FILTRE(int32_t handle, const char* file,
                                              const char* column, const void* low,
                                              const void* high, int16_t size, uint8_t typeCode);
/* Removes the filter of `file`. */
JXENGINE_API int16_t JXENGINE_CALL XZK_DESACTIVEFILTRE(int32_t handle, const char* file);
/* Creates files and indexes from a FileDescription (JX_DESCRIBE_*). */
JXENGINE_API int16_t JXENGINE_CALL XZK_DECRITFICHIER(int32_t handle, int16_t command,
                                                     void* description);

/* ---- Error codes ----
 * Written to the RecordBlock's error code (offset 349) and returned by the
 * entry points. 0 means done; the SQL library tolerates 1 and 2 and treats
 * anything above 2 as a failure, so every engine failure is above 2. A
 * refused duplicate is not an error code: it sets the duplicate flag (355),
 * leaves the error code 0, and the call returns JX_ERR_DUPLICATE. */
#define JX_OK 0
#define JX_ERR_BAD_ARGUMENT 3   /* NULL pointer, bad mode, bad record number */
#define JX_ERR_BAD_HANDLE 4     /* handle not open */
#define JX_ERR_UNKNOWN_FILE 5   /* no file of that name (or name too long) */
#define JX_ERR_UNKNOWN_ITEM 6   /* no item of that name / index in the file */
#define JX_ERR_NOT_A_KEY 7      /* keyed read or filter on an item that is no key */
#define JX_ERR_NOT_FOUND 8      /* rewrite/delete of a record that is not there */
#define JX_ERR_BAD_LENGTH 9     /* record length differs from the file's */
#define JX_ERR_DUPLICATE 10     /* unique key duplicated (result only, see above) */
#define JX_ERR_STORAGE 11       /* LMDB reported a failure */
#define JX_ERR_BUSY 12          /* another connection (of this process or
                                   another) holds the database's write lock
                                   and kept it past the busy timeout */
#define JX_ERR_NO_MEMORY 13     /* allocation failed */
#define JX_ERR_TRANSACTION 14   /* begin inside a transaction or a statement
                                   scope, commit or rollback outside one,
                                   commit with a statement scope open, end of
                                   a scope that is not open */
#define JX_ERR_NO_MEMO 15       /* no memo for that reference / ordinal */
#define JX_ERR_DESCRIPTION 16   /* XZK_DECRITFICHIER refused (status 784 > 0) */
#define JX_ERR_NOT_OPEN 17      /* XZK_nInit: no database there, or it cannot
                                   be opened (returned negated) */
#define JX_ERR_MAP_FULL 18      /* the map filled up: the work of the call (or
                                   of the statement scope it ran in) was
                                   undone and the map enlarged, so running it
                                   again may succeed */
#define JX_ERR_ROLLED_BACK 19   /* the host transaction (or the outermost
                                   write scope) was rolled back by a failure
                                   (full map, storage error): nothing of it
                                   stays, and every call that would use it
                                   answers this code until the host ends it
                                   (commit or rollback; the scope's end) */
#define JX_ERR_READ_ONLY 20     /* the database was opened read-only (its
                                   folder or files may not be written) */
#define JX_ERR_DAMAGED 21       /* the data file is damaged: truncated,
                                   inconsistent meta pages, or a tree whose
                                   keys do not ascend (returned negated by
                                   XZK_nInit) */
#define JX_ERR_DATABASE_FULL 22 /* the map is full and may not grow
                                   (JXENGINE_MAP_LIMIT, or the address space
                                   is exhausted): the work was undone */

/* Copies into `text` (size bytes, cut and zero-terminated) the French
 * explanation of the last failure reported on `handle` by
 * XZK_BeginStatement, XZK_EndStatement, the host transaction calls or a
 * write that met a full map, a busy database or a read-only one, and
 * returns its code (0 with an empty text when there was none since the
 * handle opened). Handle 0 asks about the last XZK_nInit of the process
 * that failed. `text` may be NULL to ask for the code alone. */
JXENGINE_API int16_t JXENGINE_CALL XZK_GetLastError(int32_t handle, char* text, int32_t size);

/* ---- Reading records in runs ----
 * Reads the records of `file` from number `first` on, as a walk by number
 * with XZK_LIREENREG (mode JX_MODE_BY_NUMBER) would read them one call after
 * another: deleted numbers are stepped over, and the walk ends where that
 * one ends. The records are copied into `buffer` (size bytes) as entries
 * one after the other: the record's number (int32, native order), then its
 * image, the file's record size long (stored in *recordSize, also when no
 * entry is written). At most maxRecords entries are written, fewer when the
 * next would not fit in size bytes.
 *   count: receives the number of entries written.
 *   end:   receives 1 when the walk ended after the last entry (no record
 *          follows it), 0 when records may follow: read on from the number
 *          after the last entry's.
 * The runs see what XZK_LIREENREG would see at the same moment (the same
 * transaction or statement scope); the record that a delete of the last
 * record read targets is not changed. Returns JX_OK, JX_ERR_BAD_HANDLE,
 * JX_ERR_BAD_ARGUMENT (a NULL pointer, first < 1, maxRecords < 1, or a
 * buffer too small for one entry), JX_ERR_UNKNOWN_FILE or a storage
 * failure; *count and *end are then 0. */
JXENGINE_API int16_t JXENGINE_CALL XZK_ReadRun(int32_t handle, const char* file, int32_t first,
                                               int32_t maxRecords, void* buffer, int32_t size,
                                               int32_t* count, int32_t* recordSize,
                                               int16_t* end);

/* ---- Dictionary stamp ----
 * Stores in *stamp a number naming the dictionary the handle sees now (in
 * its transaction or statement scope when one is open). The number changes
 * whenever that dictionary may have changed since the last call (a file or
 * index created by this handle or any other connection, or undone by a
 * rollback), and no number is ever handed out twice in the process, to this
 * handle or another: whoever keeps file descriptions under the stamp they
 * were read with can tell at once whether they still hold. Returns JX_OK,
 * JX_ERR_BAD_HANDLE, JX_ERR_BAD_ARGUMENT (stamp NULL) or a storage failure
 * (*stamp is then 0). */
JXENGINE_API int16_t JXENGINE_CALL XZK_GetDictionaryStamp(int32_t handle, uint64_t* stamp);

/* ---- Host transactions ----
 * Between XZK_BeginTransaction and XZK_CommitTransaction every write of the
 * handle (records, memos, file and index creation) goes into one LMDB write
 * transaction: it is durable at commit and undone by rollback, and the
 * handle's own reads see it. One writer at a time per database: the handle
 * holds the database's write lock (a lock file every writer of this engine
 * honours, and LMDB's own) from begin to commit or rollback, so no other
 * writer can slip in between. Readers never wait: they read the last commit.
 * A writer that finds the lock taken waits up to the busy timeout, then
 * fails with JX_ERR_BUSY. XZK_Termine rolls back a transaction still open.
 * A full map or a storage failure inside the transaction rolls all of it
 * back at once (the map is enlarged for the next one): the failing call
 * answers JX_ERR_MAP_FULL, JX_ERR_DATABASE_FULL or JX_ERR_STORAGE, and later
 * calls JX_ERR_ROLLED_BACK until the host ends it.
 * Begin returns JX_OK, JX_ERR_BAD_HANDLE, JX_ERR_TRANSACTION, JX_ERR_BUSY,
 * JX_ERR_READ_ONLY or JX_ERR_STORAGE. Commit returns JX_OK, or a failure
 * after which nothing of the transaction stays (JX_ERR_ROLLED_BACK,
 * JX_ERR_MAP_FULL, JX_ERR_DATABASE_FULL, JX_ERR_STORAGE), or
 * JX_ERR_TRANSACTION (none open, or a statement scope still open: nothing
 * changes). Rollback ends the transaction (closing any open statement
 * scope) and returns JX_OK, or JX_ERR_TRANSACTION when none is open.
 * Outside a transaction and a statement scope each write call is its own
 * durable (synced) LMDB transaction. */
JXENGINE_API int16_t JXENGINE_CALL XZK_BeginTransaction(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_CommitTransaction(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_RollbackTransaction(int32_t handle);

/* ---- Statement scopes ----
 * A statement scope groups the calls of one SQL statement so that it reads
 * one consistent state and its writes are all kept or all undone.
 * XZK_BeginStatement opens one on the handle; XZK_EndStatement closes the
 * innermost one. Scopes nest (at most JX_STATEMENT_MAX_DEPTH).
 *  - JX_STATEMENT_READ: outside a transaction, the scope reads one snapshot
 *    of the last commit and never waits for a writer; inside one, it reads
 *    the transaction's own state.
 *  - JX_STATEMENT_WRITE: outside a host transaction and any write scope,
 *    the scope takes the write lock (waiting up to the busy timeout) and
 *    its writes become durable together when it ends with JX_STATEMENT_KEEP;
 *    inside a host transaction or another write scope, it is a savepoint:
 *    ending it with JX_STATEMENT_UNDO undoes exactly the writes made since it
 *    began, and the enclosing transaction goes on, usable and consistent.
 * A full map or a storage failure loses the whole write transaction: the
 * failing call answers the cause, every later call inside it answers
 * JX_ERR_ROLLED_BACK, and XZK_EndStatement reports the loss whatever `keep`
 * asked.
 * XZK_BeginStatement returns JX_OK, JX_ERR_BAD_HANDLE, JX_ERR_BAD_ARGUMENT,
 * JX_ERR_TRANSACTION (too deep), JX_ERR_BUSY, JX_ERR_READ_ONLY (a write
 * scope on a read-only database), JX_ERR_ROLLED_BACK (inside a host
 * transaction already rolled back) or JX_ERR_STORAGE.
 * XZK_EndStatement returns JX_OK when the scope ended as asked (kept, or
 * undone); otherwise the scope's work is gone and the code says why:
 * for the scope that began the write transaction, JX_ERR_MAP_FULL (the map
 * was enlarged: the statement may simply be run again),
 * JX_ERR_DATABASE_FULL, JX_ERR_STORAGE, JX_ERR_NO_MEMORY or JX_ERR_DAMAGED;
 * for a scope inside a host transaction or inside another write scope,
 * JX_ERR_ROLLED_BACK (what encloses it was rolled back: the host must end
 * that). JX_ERR_TRANSACTION when no scope is open.
 * XZK_GetLastError explains any failure. */
#define JX_STATEMENT_READ 0
#define JX_STATEMENT_WRITE 1
#define JX_STATEMENT_UNDO 0
#define JX_STATEMENT_KEEP 1
#define JX_STATEMENT_MAX_DEPTH 32
JXENGINE_API int16_t JXENGINE_CALL XZK_BeginStatement(int32_t handle, int32_t mode);
JXENGINE_API int16_t JXENGINE_CALL XZK_EndStatement(int32_t handle, int32_t keep);

/* Sets how long (milliseconds, >= 0) a write of `handle` waits for the
 * database's write lock held by another connection before failing with
 * JX_ERR_BUSY. The default is JX_BUSY_TIMEOUT_DEFAULT, or the value of the
 * environment variable JXENGINE_BUSY_TIMEOUT (milliseconds) when set.
 * Returns JX_OK, JX_ERR_BAD_HANDLE or JX_ERR_BAD_ARGUMENT. */
#define JX_BUSY_TIMEOUT_DEFAULT 5000
JXENGINE_API int16_t JXENGINE_CALL XZK_SetBusyTimeout(int32_t handle, int32_t milliseconds);

/* ---- Integrity check ----
 * Walks every record, index entry and memo of the handle's database (and
 * through them every page of its trees) in one read snapshot and compares
 * them: each record's image has its file's size and a number within the
 * file's last record; each key item has exactly one index entry per record,
 * holding the record's own key; unique keys hold no duplicates; every memo
 * reference names a stored memo and every memo is referenced once; the
 * pages of the trees and the free list account for the whole file.
 * Writes the problems into `report` (one French line each, then a summary
 * line; cut to size - 1 bytes and zero-terminated; NULL for none) and
 * returns how many were found (0 = consistent), or minus an engine code
 * (bad handle, storage failure, damaged beyond reading). */
JXENGINE_API int32_t JXENGINE_CALL XZK_CheckDatabase(int32_t handle, char* report, int32_t size);

/* ---- Memo size ----
 * The largest memo the engine stores, in bytes: XZK_ECRIREMEMO refuses a
 * longer one with JX_ERR_BAD_LENGTH. Hosts check files against it before
 * reading them. */
#define JX_MEMO_MAX_BYTES 1073741824

/* ---- Catalogue ----
 * Copies into `name` (a name field: JX_NAME_FIELD_SIZE bytes, zero-terminated,
 * upper case) the name of file number `index` (from 0, in name order) of the
 * handle's database. Returns 0 while index names a file and non-zero past the
 * last one (or on a bad handle, NULL name or negative index). Hosts list files
 * with it and describe each one with XZK_GETINFOSJXD. */
JXENGINE_API int16_t JXENGINE_CALL XZK_GetFileName(int32_t handle, int32_t index,
                                                   char name[JX_NAME_FIELD_SIZE]);

/* ---- Item type letters of XZK_DECRITFICHIER (offset 779) ----
 * The eight the SQL executor sends; the size at 780 is ignored except for
 * text (T), whose item holds the declared length + 1 bytes, and dates:
 *   A date 98 (size 9: 8 characters YYYYMMDD; with size 6 at 780, a
 *     6-character YYMMDD date of size 7)
 *   L 32-bit integer 5 (4)    H time 99 (4)          E 16-bit integer 3 (2)
 *   S 32-bit float 7 (4)      D 64-bit real 9 (8)    C 8-bit integer 1 (1)
 *   T zero-terminated text 15 (declared length + 1)
 * The engine's own letters for the other item types:
 *   B unsigned 8-bit 2 (1)    W unsigned 16-bit 4 (2)  U unsigned 32-bit 6 (4)
 *   N 10-byte fixed-point decimal 10 (10)
 *   M text memo 12 (4)        G binary memo 22 (4)
 *   F fixed text 13 (declared length)
 *   P length-prefixed text 14 (declared length + 1)
 *   R raw bytes 0, Q raw 8, V raw 11, Y raw 16, Z raw 17 (declared length)
 * Letters are accepted in either case. */
#define JX_FD_DIMENSION 65 /* int16, command 1 only: number of elements of
                              the new item; 0 or 1 = one. Memos have one. */
/* Command 1 with 1 at JX_FD_UNIQUE makes the new item a unique key, with 2 a
 * key with duplicates. Key items (and composite keys, summed) hold at most
 * JX_KEY_MAX_BYTES bytes; memos cannot be keys. Inside the engine a key
 * value takes 8 bytes per number element and length + 1 per text element,
 * and may take at most JX_KEY_MAX_ENCODED bytes: a key of more than 50
 * numeric elements is refused. */
#define JX_KEY_MAX_BYTES 255
#define JX_KEY_MAX_ENCODED 400

/* Entry points bound by name but not called by the SQL library. */
#define JX_NOT_SUPPORTED 1
JXENGINE_API int16_t JXENGINE_CALL XZK_nAppel(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_Partage(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_nLiaison(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_nRubrique(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_nRubriqueSimple(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_SetMode(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_bSetEnDehors(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_Buffer(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_dwGetInfo(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_bSetInfo(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_nCle(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_bInitInstance(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_FinInstance(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_bRazRubriques(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_pSauveMemo(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_RestaureMemo(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_MMOLitDiffere(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_bGetMemoData(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_bSetMemoData(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_bSetIDReplica(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_UnstorePosition(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_bStorePosition(int32_t handle);
JXENGINE_API int16_t JXENGINE_CALL XZK_bRestorePosition(int32_t handle);

/* The 33 entry points the SQL library binds, in binding order. */
#define JX_ENTRY_POINT_COUNT 33
#define JX_ENTRY_POINT_NAMES                                                                    \
  "XZK_nAppel", "XZK_nInit", "XZK_Termine", "XZK_Partage", "XZK_nLiaison", "XZK_nRubrique",     \
      "XZK_nRubriqueSimple", "XZK_SetMode", "XZK_bSetEnDehors", "XZK_Buffer", "XZK_dwGetInfo",  \
      "XZK_bSetInfo", "XZK_nCle", "XZK_bInitInstance", "XZK_FinInstance", "XZK_bRazRubriques",  \
      "XZK_pSauveMemo", "XZK_RestaureMemo", "XZK_MMOLitDiffere", "XZK_bGetMemoData",            \
      "XZK_bSetMemoData", "XZK_bSetIDReplica", "XZK_UnstorePosition", "XZK_bStorePosition",     \
      "XZK_bRestorePosition", "XZK_GETINFOSJXD", "XZK_FILTRE", "XZK_DESACTIVEFILTRE",           \
      "XZK_LIREENREG", "XZK_ECRIREENREG", "XZK_DECRITFICHIER", "XZK_ECRIREMEMO", "XZK_GETMEMO"

/* Pointer types for binding by name. */
typedef int16_t(JXENGINE_CALL* XZK_GETINFOSJXD_FN)(int32_t, int16_t, void*);
typedef int16_t(JXENGINE_CALL* XZK_LIREENREG_FN)(int32_t, const char*, int32_t, void*);
typedef int16_t(JXENGINE_CALL* XZK_ECRIREENREG_FN)(int32_t, const char*, int32_t, void*);
typedef int16_t(JXENGINE_CALL* XZK_ECRIREMEMO_FN)(int32_t, int32_t, void*);
typedef int16_t(JXENGINE_CALL* XZK_GETMEMO_FN)(int32_t, const char*, int32_t, int16_t, void**);
typedef int16_t(JXENGINE_CALL* XZK_FILTRE_FN)(int32_t, const char*, const char*, const void*,
                                              const void*, int16_t, uint8_t);
typedef int16_t(JXENGINE_CALL* XZK_DESACTIVEFILTRE_FN)(int32_t, const char*);
typedef int16_t(JXENGINE_CALL* XZK_DECRITFICHIER_FN)(int32_t, int16_t, void*);
/* The calls beyond the 33, which the SQL library uses when the engine has
 * them (statement scopes and their explanations, the dictionary stamp, runs
 * of records). */
typedef int16_t(JXENGINE_CALL* XZK_BEGINSTATEMENT_FN)(int32_t, int32_t);
typedef int16_t(JXENGINE_CALL* XZK_ENDSTATEMENT_FN)(int32_t, int32_t);
typedef int16_t(JXENGINE_CALL* XZK_GETLASTERROR_FN)(int32_t, char*, int32_t);
typedef int16_t(JXENGINE_CALL* XZK_GETDICTIONARYSTAMP_FN)(int32_t, uint64_t*);
typedef int16_t(JXENGINE_CALL* XZK_READRUN_FN)(int32_t, const char*, int32_t, int32_t, void*,
                                               int32_t, int32_t*, int32_t*, int16_t*);

#ifdef __cplusplus
}
#endif

#endif /* JXENGINE_H */
