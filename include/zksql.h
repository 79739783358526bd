/*
 * zksql.h - the C interface of libzksql, the SQL library.
 *
 * A host creates an instance (which binds the storage engine library),
 * then submits one statement at a time with ZKSQLExecReq. For each
 * statement it receives a status, a description of the result columns and
 * the number of result rows; it fetches the rows one by one as text, reads
 * memo columns on demand, reads the French error text and SQLSTATE of a
 * failed statement, and ends every request it was handed with
 * ZKSQLFinRequete. Finally it ends the instance.
 *
 * Calling order:
 *   JX4InitInstance once;
 *   per statement: ZKSQLExecReq; on success ZKSQLFetchNext and, while it
 *   returns 0, ZKSQLValLineN (and ZKSQLGetLongData for memo columns); on
 *   failure ZKSQLErreur; in both cases ZKSQLFinRequete for any request
 *   handed back;
 *   JXSQLFinInstance at the end.
 *
 * Threads: the library keeps process-wide state (engine parameter blocks,
 * the bound engine); a process calls it from one thread at a time and
 * works on one request at a time. ZKSQLInterrupt alone may be called from
 * any thread or from a signal handler while a statement runs.
 *
 * Texts are Windows-1252, zero-terminated. Statuses are 16-bit. A NULL
 * request, buffer or out pointer never crashes: the call returns -1 (or
 * what its description says). Nothing is ever thrown across this boundary.
 *
 * On Windows the functions use the WINAPI (__stdcall) calling convention,
 * as hosts declare them, and are exported under their plain names.
 */
#ifndef ZKSQL_H
#define ZKSQL_H

#include <stdint.h>

#ifdef _WIN32
#define ZKSQL_CALL __stdcall
#ifdef ZKSQL_BUILDING
#define ZKSQL_API __declspec(dllexport)
#else
#define ZKSQL_API
#endif
#else
#define ZKSQL_CALL
#define ZKSQL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Filled by ZKSQLExecReq; owned by the host. */
typedef struct ZKSQLResultInfo {
  int16_t compiled;     /* 1 once the statement was parsed and analysed */
  uint16_t columnCount; /* result columns; 0 without a result table */
  int32_t rowCount;     /* result rows; 0 without a result table */
  char* columnText;     /* column description, owned by the request, valid
                           until ZKSQLFinRequete: one line per column,
                           "name\tletter\thosttype\twidth", lines joined by
                           "\r\n" (see below) */
} ZKSQLResultInfo;

/* The column description, field by field:
 *   name      the column's name as the result names it.
 *   letter    N: a number (or a value without a text form, shown as
 *                "<type inconnu>");
 *             T: a text, a memo, a date or a time.
 *   hosttype  the stored kind of the value, as a decimal number:
 *              2  8-bit signed integer                         (width 1)
 *             12  8-bit unsigned, 16-bit signed or unsigned
 *                 integer                                      (width 1 or 2)
 *              3  32-bit signed or unsigned integer            (width 4)
 *             15  4-byte floating-point number                 (width 4)
 *             14  8-byte floating-point number                 (width 8)
 *             16  decimal number                               (width 10)
 *              9  text: fixed, counted or zero-terminated, or a
 *                 text memo                                    (width: its
 *                 length in characters without terminator; for a memo,
 *                 the size the file declares)
 *             17  date, a digit text YYYYMMDD (or YYMMDD)      (width 8 or 6)
 *             18  time, a digit text HHMM                      (width 4)
 *              0  anything else: raw bytes (letter N) or a binary memo
 *                 (letter T)                                   (width: the
 *                 item's size)
 *   width     in bytes, as given beside each host type above.
 * Whatever its host type, a value is fetched as text (ZKSQLValLineN,
 * ZKSQLColumnText): a number with six decimals at most, trailing zeros
 * and a bare point removed; a value of host type 15 with seven
 * significant digits instead. */

/* Memo values handed with a statement. A statement refers to memo number
 * e + 1 with a memo marker; blocks[e] is then a memo block (a global memory
 * block, see zkglobal.h: int16 header size at offset 3, int32 data length at
 * offset 52, data after the header). The host keeps ownership. */
typedef struct ZKSQLMemoTable {
  int16_t reserved;      /* not read */
  const void* blocks[1]; /* as many entries as the statement's markers */
} ZKSQLMemoTable;

/* Creates an instance and binds the storage engine library ("JXENGINE.DLL";
 * here: the path in $JXENGINE_LIBRARY when set, else libjxengine.so in the
 * folder of libzksql.so, else libjxengine.so through the loader's search).
 *   instance: out; receives the new instance.
 *   unused:   accepted and ignored.
 * Returns 1 when the instance was created, even if the engine could not be
 * bound (statements that need it then fail with a clear error); 0 when
 * instance is NULL or memory is short. */
ZKSQL_API int16_t ZKSQL_CALL JX4InitInstance(void** instance, int32_t unused);

/* Releases the engine library (when bound) and the instance. NULL is
 * ignored. The engine's own termination entry points are not called: the
 * host closes its engine handles itself. */
ZKSQL_API void ZKSQL_CALL JXSQLFinInstance(void* instance);

/* Runs one statement.
 *   request:      out; receives the request (NULL first). Whenever it is set,
 *                 the host must end it with ZKSQLFinRequete, success or not.
 *   sql:          the statement, zero-terminated; ODBC date escapes
 *                 {d '...'} are rewritten in this buffer before anything
 *                 else (the rewritten text is never longer).
 *   info:         receives compiled, the column and row counts and the
 *                 column description.
 *   engineHandle: the storage engine handle (XZK_nInit) passed first to every
 *                 engine call of this request.
 *   memos:        the host's memo values for memo markers; may be NULL when
 *                 the statement carries none.
 * Returns 0 when the statement ran; -1 when it failed: read the error with
 * ZKSQLErreur when a request was handed back (none is handed back when
 * request, sql or info is NULL, or memory is short). A statement longer
 * than 16382 bytes (it is copied with a ";" into a 16384-byte buffer) is
 * refused: the request is handed back with the error and nothing runs. */
ZKSQL_API int16_t ZKSQL_CALL ZKSQLExecReq(void** request, char* sql, ZKSQLResultInfo* info,
                                          int32_t engineHandle, const ZKSQLMemoTable* memos);

/* Moves to the next result row (the first call reads row 1).
 * Returns 0 when a row is current; -1 past the last row (and on every
 * later call), for NULL, or for a request without a result table. */
ZKSQL_API int16_t ZKSQL_CALL ZKSQLFetchNext(void* request);

/* Writes the current row as text into out: the columns in order, joined
 * by separator (NULL = "\t"). Composite keys read "<clé composée>", values
 * without a text form "<type inconnu>". The size of out cannot be known:
 * prefer ZKSQLValLineN. Returns 0, or -1 for NULL or without a result
 * table, and when memory is short (out then holds ""). */
ZKSQL_API int16_t ZKSQL_CALL ZKSQLValLine(void* request, const char* separator, char* out);

/* As ZKSQLValLine, never writing more than size bytes: the text is cut to
 * size - 1 bytes and terminated. Returns 0 when the whole row fitted, -1
 * when it was cut (out then holds the cut text), for NULL arguments, a size
 * below 1, a request without a result table, or when memory is short (out
 * then holds ""). */
ZKSQL_API int16_t ZKSQL_CALL ZKSQLValLineN(void* request, const char* separator, char* out,
                                           int32_t size);

/* Reads the memo of column `column` (1-based) of the current row.
 *   memoHandle: out; receives a global memory memo block (see zkglobal.h:
 *               int16 header size at offset 3, int32 data length at 52) that
 *               the host releases with GlobalFree; NULL when there is none.
 * Returns 0 when a memo was handed out; 100 for a memo column without data;
 * -1 for a column that is not a memo, a column number outside 1..count, a
 * request without a result table, or NULL arguments. */
ZKSQL_API int16_t ZKSQL_CALL ZKSQLGetLongData(void* request, int16_t column, void** memoHandle);

/* Ends a request: releases it and everything it owns (the result, the
 * column description). Returns 0, or -1 for NULL or a request that is not
 * live (already ended). */
ZKSQL_API int16_t ZKSQL_CALL ZKSQLFinRequete(void* request);

/* Reads the request's error.
 *   text:     NULL, or a buffer of at least 255 bytes: the message ("" when
 *             there is none).
 *   sqlState: NULL, or a buffer of at least 6 bytes: the SQLSTATE ("00000"
 *             when there is no error).
 * Returns 0, or -1 for a NULL request. */
ZKSQL_API int16_t ZKSQL_CALL ZKSQLErreur(void* request, char* text, char* sqlState);

/* Per-column values, changed-row counts and interrupts: added beside the
 * calls above for hosts (an ODBC driver) that must tell values apart, report
 * how many rows a write changed and stop a long statement. */

/* Copies the text of column `column` (1-based) of the current row into
 * out: the same text ZKSQLValLine writes for that column, cut to size - 1
 * bytes and terminated. out may be NULL when size is 0, to learn the
 * length alone.
 * Returns the full length of the column's text in bytes, without the
 * terminator: when it is size or more the text was cut, and the caller may
 * retry with a buffer of length + 1 bytes. Returns -1 (out, when size > 0,
 * then holds "") for a request that is NULL or not live, without a result
 * table or without a current row (before the first ZKSQLFetchNext or past
 * the last row), a column outside 1..columnCount, a NULL out with size > 0,
 * a negative size, or when memory is short. */
ZKSQL_API int32_t ZKSQL_CALL ZKSQLColumnText(void* request, int16_t column, char* out,
                                             int32_t size);

/* The number of records the request's INSERT, UPDATE or DELETE wrote or
 * removed; 0 for any other statement and for a statement that failed
 * (its writes were undone). Returns -1 for a request that is NULL or not
 * live. */
ZKSQL_API int32_t ZKSQL_CALL ZKSQLChangedRows(void* request);

/* Asks the statement that is running in this process, if any, to stop. It
 * may be called from a signal handler or from another thread than the one
 * running the statement; it only sets a flag. The statement stops at the
 * next record it reads or writes and fails with the message of "HY008"
 * (operation cancelled): its writes are undone, no half-written row is
 * left, and an open host transaction stays open. The next statement runs
 * normally: an interrupt that arrives while no statement runs is dropped.
 * Returns 1 when a statement was running, 0 otherwise. */
ZKSQL_API int16_t ZKSQL_CALL ZKSQLInterrupt(void);

/* Memo parameter sets: find the memo constructs {JXMemoBinaire('text')} and
 * {JXMemoBinaire('text','Champ')} in a statement, so that the host knows
 * which memo values to supply. A set is an opaque pointer; every call
 * below answers a set that is not live (freed, or never handed out by
 * ZKSQL_JXMS_Alloc) as it answers NULL.
 * ZKSQL_JXMS_Alloc: a new empty set, or NULL when memory is short. */
ZKSQL_API void* ZKSQL_CALL ZKSQL_JXMS_Alloc(void);
/* Releases a set and the texts it holds; NULL is ignored. */
ZKSQL_API void ZKSQL_CALL ZKSQL_JXMS_Free(void* set);
/* Clears the set, scans text and records every construct (256 at most;
 * later ones are not recorded). Each construct's first string is kept cut
 * to 127 characters, with a doubled quote inside it kept as two
 * characters. Returns the number recorded: 0 for a NULL set, and for a
 * NULL text (which still clears the set). */
ZKSQL_API int32_t ZKSQL_CALL ZKSQL_JXMS_Scan(void* set, const char* text);
/* Copies construct index's first string into buffer (cut to bufferSize - 1
 * characters and terminated) and its kind (1 = the second string is
 * "Champ" or "Field", case-insensitively, else 0) into *kind; a NULL
 * buffer, a bufferSize below 1 or a NULL kind receives nothing. Returns 1,
 * or 0 (nothing written) for a NULL set or an index outside 0..count-1. */
ZKSQL_API int32_t ZKSQL_CALL ZKSQL_JXMS_GetMemoInfo(void* set, int32_t index, char* buffer,
                                                    int32_t bufferSize, int32_t* kind);
/* Replaces construct index in text (a buffer of bufferSize bytes, holding
 * the text that was scanned) by replacement, shifting the recorded
 * positions of later constructs. Nothing is read or written past
 * bufferSize. Returns 1, or 0 (text and set unchanged) for a NULL
 * argument, an index outside 0..count-1, a text not terminated within
 * bufferSize or too short to hold the construct, or a result that would
 * not fit (text length + replacement length - construct length >
 * bufferSize - 1). */
ZKSQL_API int32_t ZKSQL_CALL ZKSQL_JXMS_ReplaceMemo(void* set, char* text, int32_t index,
                                                    const char* replacement, int32_t bufferSize);

#ifdef __cplusplus
}
#endif

#endif /* ZKSQL_H */
