/*
 * host.c - a host program built only from an installation: the headers and
 * libraries under a prefix, found through pkg-config. It opens a new
 * database with the engine, makes a table with a binary memo column
 * through the engine's file description, and drives the SQL library: a
 * CREATE TABLE, INSERTs (one with a memo block), SELECTs read back as text
 * and as a memo, and an error with its SQLSTATE. Exits 0 when every answer
 * is the expected one, else prints what differed and exits 1.
 *
 *   host DIR
 */
#include <stdio.h>
#include <string.h>

#include "jxengine.h"
#include "zkglobal.h"
#include "zksql.h"

static int failures = 0;

static void Check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "host: %s\n", what);
    ++failures;
  }
}

/* Runs one statement; returns its status and leaves the request in *out
 * (or ends it when out is NULL). */
static int16_t Run(int32_t db, const char* text, const ZKSQLMemoTable* memos, void** out,
                   ZKSQLResultInfo* info) {
  char sql[512];
  void* request = NULL;
  ZKSQLResultInfo ignored;
  if (info == NULL) info = &ignored;
  memset(info, 0, sizeof *info);
  snprintf(sql, sizeof sql, "%s", text);
  int16_t status = ZKSQLExecReq(&request, sql, info, db, memos);
  if (status != 0 && request != NULL) {
    char message[256] = "";
    char state[6] = "";
    ZKSQLErreur(request, message, state);
    fprintf(stderr, "host: [%s]%s\n  for %s\n", state, message, text);
  }
  if (out != NULL) {
    *out = request;
  } else if (request != NULL) {
    ZKSQLFinRequete(request);
  }
  return status;
}

/* A table DOCS (ID INTEGER, SCAN binary memo), which CREATE TABLE cannot
 * make, described to the engine directly. */
static int MakeMemoTable(int32_t db) {
  unsigned char fd[JX_FD_SIZE_BYTES];
  memset(fd, 0, sizeof fd);
  strcpy((char*)fd + JX_FD_TABLE, "DOCS");
  memcpy(fd + JX_FD_SEPARATOR, "__", 2);
  if (XZK_DECRITFICHIER(db, JX_DESCRIBE_BEGIN_FILE, fd) != JX_OK) return 0;
  strcpy((char*)fd + JX_FD_NAME, "ID");
  fd[JX_FD_TYPE] = 'L';
  if (XZK_DECRITFICHIER(db, JX_DESCRIBE_ADD_COLUMN, fd) != JX_OK) return 0;
  memset(fd + JX_FD_NAME, 0, JX_NAME_FIELD_SIZE);
  strcpy((char*)fd + JX_FD_NAME, "SCAN");
  fd[JX_FD_TYPE] = 'G';
  if (XZK_DECRITFICHIER(db, JX_DESCRIBE_ADD_COLUMN, fd) != JX_OK) return 0;
  return XZK_DECRITFICHIER(db, JX_DESCRIBE_COMPLETE, fd) == JX_OK;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: host DIR\n");
    return 2;
  }
  int32_t db = XZK_nInit(argv[1], JX_INIT_CREATE);
  if (db <= 0) {
    fprintf(stderr, "host: cannot create the database in %s (%d)\n", argv[1], (int)db);
    return 1;
  }
  void* instance = NULL;
  Check(JX4InitInstance(&instance, 0) == 1 && instance != NULL, "no instance");

  Check(Run(db, "CREATE TABLE T (A INTEGER, B CHAR(10))", NULL, NULL, NULL) == 0, "CREATE TABLE");
  /* Texts are Windows-1252: "\xE9t\xE9" is "été". */
  Check(Run(db, "INSERT INTO T VALUES (1, '\xE9t\xE9')", NULL, NULL, NULL) == 0, "INSERT 1");
  Check(Run(db, "INSERT INTO T VALUES (2, 'hiver')", NULL, NULL, NULL) == 0, "INSERT 2");

  void* request = NULL;
  ZKSQLResultInfo info;
  Check(Run(db, "SELECT A, B FROM T WHERE A = 1", NULL, &request, &info) == 0, "SELECT");
  Check(info.columnCount == 2 && info.rowCount == 1, "the SELECT's counts");
  char row[256] = "";
  Check(ZKSQLFetchNext(request) == 0 && ZKSQLValLineN(request, "|", row, sizeof row) == 0,
        "fetching the row");
  Check(strcmp(row, "1|\xE9t\xE9") == 0, "the row's text");
  Check(ZKSQLFetchNext(request) != 0, "a second row");
  ZKSQLFinRequete(request);

  /* A memo travels in a global memory block: header size at 3, data
   * length at 52, the data after the header; the table lists its address. */
  Check(MakeMemoTable(db), "the memo table");
  static const char memo[] = "m\xE9mo\0binaire";
  HGLOBAL handle = GlobalAlloc(GHND, 64 + sizeof memo);
  unsigned char* block = (unsigned char*)GlobalLock(handle);
  int16_t header = 64;
  int32_t length = (int32_t)sizeof memo;
  memcpy(block + 3, &header, sizeof header);
  memcpy(block + 52, &length, sizeof length);
  memcpy(block + 64, memo, sizeof memo);
  ZKSQLMemoTable memos;
  memos.reserved = 0;
  memos.blocks[0] = block;
  Check(Run(db, "INSERT INTO DOCS VALUES (7, {JXMemoBinaire('scan')})", &memos, NULL, NULL) == 0,
        "INSERT with a memo");
  GlobalUnlock(handle);
  GlobalFree(handle);

  Check(Run(db, "SELECT SCAN FROM DOCS", NULL, &request, &info) == 0, "SELECT of the memo");
  void* read = NULL;
  Check(ZKSQLFetchNext(request) == 0 && ZKSQLGetLongData(request, 1, &read) == 0 && read != NULL,
        "reading the memo");
  if (read != NULL) {
    const unsigned char* bytes = (const unsigned char*)GlobalLock(read);
    int16_t readHeader = 0;
    int32_t readLength = 0;
    memcpy(&readHeader, bytes + 3, sizeof readHeader);
    memcpy(&readLength, bytes + 52, sizeof readLength);
    Check(readLength == length && memcmp(bytes + readHeader, memo, sizeof memo) == 0,
          "the memo's bytes");
    GlobalUnlock(read);
    GlobalFree(read);
  }
  ZKSQLFinRequete(request);

  /* A failed statement: the French message and its SQLSTATE. */
  char sql[] = "SELECT A FROM NOWHERE";
  request = NULL;
  Check(ZKSQLExecReq(&request, sql, &info, db, NULL) == -1 && request != NULL, "the error");
  char message[256] = "";
  char state[6] = "";
  ZKSQLErreur(request, message, state);
  Check(strcmp(state, "00123") == 0 && strstr(message, "NOWHERE") != NULL, "the error's text");
  ZKSQLFinRequete(request);

  JXSQLFinInstance(instance);
  Check(XZK_Termine(db) == JX_OK, "closing the database");
  if (failures == 0) printf("host: every answer as expected\n");
  return failures == 0 ? 0 : 1;
}
