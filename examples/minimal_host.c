/*
 * minimal_host.c - the smallest complete host of libzksql: create an
 * instance, run one statement, read its error state, fetch its rows, end
 * the request and the instance. Exits 0 when every call answered as the
 * interface documents.
 *
 *   cc minimal_host.c -Iinclude -Lbuild/lib -lzksql -o minimal_host
 *   ./minimal_host ["SQL statement"]
 */
#include <stdio.h>
#include <string.h>

#include "zksql.h"

int main(int argc, char** argv) {
  char sql[16384] = "SELECT * FROM CLIENTS";
  if (argc > 1) {
    strncpy(sql, argv[1], sizeof sql - 1);
    sql[sizeof sql - 1] = '\0';
  }

  void* instance = NULL;
  if (JX4InitInstance(&instance, 0) != 1 || instance == NULL) {
    fprintf(stderr, "no instance\n");
    return 1;
  }

  void* request = NULL;
  ZKSQLResultInfo info;
  memset(&info, 0, sizeof info);
  int16_t status = ZKSQLExecReq(&request, sql, &info, 1, NULL);

  char text[256];
  char state[6];
  ZKSQLErreur(request, text, state);
  printf("status %d, compiled %d, %u columns, %d rows, error \"%s\" [%s]\n", status,
         info.compiled, info.columnCount, info.rowCount, text, state);

  char row[4096];
  int rows = 0;
  while (ZKSQLFetchNext(request) == 0) {
    if (ZKSQLValLineN(request, "|", row, (int32_t)sizeof row) == 0) printf("%s\n", row);
    ++rows;
  }

  int ok = request != NULL && ZKSQLFinRequete(request) == 0;
  JXSQLFinInstance(instance);
  return ok && rows == info.rowCount ? 0 : 1;
}
