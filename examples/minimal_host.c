/*
 * minimal_host.c - the smallest complete host of libzksql, from an empty
 * folder to rows on the screen:
 *
 *   1. open the database with the storage engine (XZK_nInit, creating it
 *      when the folder holds none): the handle it gives goes with every
 *      statement;
 *   2. create an SQL library instance (JX4InitInstance);
 *   3. run statements (ZKSQLExecReq): CREATE TABLE, INSERT, SELECT; a
 *      failed one is explained by ZKSQLErreur (French text and SQLSTATE);
 *   4. fetch the SELECT's rows one by one as text (ZKSQLFetchNext,
 *      ZKSQLValLineN);
 *   5. end every request (ZKSQLFinRequete), then the instance
 *      (JXSQLFinInstance), then the engine handle (XZK_Termine).
 *
 * Build and run:
 *   cc minimal_host.c $(pkg-config --cflags --libs zksql) -o minimal_host
 *   ./minimal_host [DIR]        (DIR: the database folder, by default
 *                                minimal_host_db in the current folder)
 * Exits 0 when every call succeeded, else 1 after printing the failure.
 */
#include <stdio.h>
#include <string.h>

#include "jxengine.h"
#include "zksql.h"

/* Runs one statement on the database `db`. On success the request is
 * handed back in *request (the caller ends it) when request is not NULL,
 * and ended here otherwise. On failure 0 is returned, after the library's
 * message and SQLSTATE are printed when `report` is set. */
static int Run(int32_t db, const char* statement, void** request, ZKSQLResultInfo* info,
               int report) {
  /* The library may rewrite date escapes in place: the text must be
   * writable. */
  char sql[512];
  snprintf(sql, sizeof sql, "%s", statement);
  void* req = NULL;
  memset(info, 0, sizeof *info);
  int16_t status = ZKSQLExecReq(&req, sql, info, db, NULL);
  if (status != 0 && report) {
    char message[256] = "";
    char state[6] = "";
    if (req != NULL) ZKSQLErreur(req, message, state);
    fprintf(stderr, "minimal_host: %s\n  [%s] %s\n", statement, state, message);
  }
  if (status == 0 && request != NULL) {
    *request = req;
  } else if (req != NULL) {
    ZKSQLFinRequete(req);
  }
  return status == 0;
}

/* The statements that fill the table. Texts go to the library in
 * Windows-1252 and come back in it ("\xE9" would be an e with an acute
 * accent); these are plain ASCII. */
static const char* const kInserts[] = {
    "INSERT INTO FRUITS VALUES ('pomme', 2.5, 120)",
    "INSERT INTO FRUITS VALUES ('poire', 3.2, 45)",
    "INSERT INTO FRUITS VALUES ('abricot', 4.75, 8)",
};

int main(int argc, char** argv) {
  const char* folder = argc > 1 ? argv[1] : "minimal_host_db";

  /* 1. The database: a handle > 0, or minus an engine code. */
  int32_t db = XZK_nInit(folder, JX_INIT_CREATE);
  if (db <= 0) {
    char why[256] = "";
    XZK_GetLastError(0, why, sizeof why);
    fprintf(stderr, "minimal_host: cannot open %s (engine code %d): %s\n", folder, (int)-db, why);
    return 1;
  }

  /* 2. The SQL library: 1 when the instance was made. */
  void* instance = NULL;
  if (JX4InitInstance(&instance, 0) != 1 || instance == NULL) {
    fprintf(stderr, "minimal_host: cannot create the SQL library instance\n");
    XZK_Termine(db);
    return 1;
  }

  /* 3. A table and three rows. On a second run the table is there from
   * the first (CREATE TABLE fails): it is emptied instead. */
  ZKSQLResultInfo info;
  int ok = Run(db, "CREATE TABLE FRUITS (NOM CHAR(20), PRIX DOUBLE PRECISION, STOCK INTEGER)", NULL,
               &info, 0);
  if (!ok) ok = Run(db, "DELETE FROM FRUITS", NULL, &info, 1);
  for (size_t i = 0; ok && i < sizeof kInserts / sizeof kInserts[0]; ++i) {
    ok = Run(db, kInserts[i], NULL, &info, 1);
  }

  /* 4. The rows, each fetched as one text with the columns joined by " | ". */
  void* request = NULL;
  if (ok && Run(db, "SELECT NOM, PRIX, STOCK FROM FRUITS ORDER BY PRIX", &request, &info, 1)) {
    printf("%u columns, %d rows\n", (unsigned)info.columnCount, (int)info.rowCount);
    char row[1024];
    while (ZKSQLFetchNext(request) == 0) {
      if (ZKSQLValLineN(request, " | ", row, (int32_t)sizeof row) != 0) {
        fprintf(stderr, "minimal_host: a row could not be read\n");
        ok = 0;
        break;
      }
      printf("%s\n", row);
    }
    /* 5. Every request handed back is ended, success or not. */
    ZKSQLFinRequete(request);
  } else {
    ok = 0;
  }

  JXSQLFinInstance(instance);
  XZK_Termine(db);
  return ok ? 0 : 1;
}
