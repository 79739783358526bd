// Submitting statements through the exports as a host does, on an engine
// handle the test opened: the status, the error, the column description and
// the rows as ZKSQLValLineN writes them ("|" between values).
#ifndef ZKSQL_TESTS_API_STATEMENT_SUBMIT_H_
#define ZKSQL_TESTS_API_STATEMENT_SUBMIT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zksql.h"

namespace zksql {

struct Answer {
  int16_t status = 0;
  std::string error;
  std::string state;
  uint16_t columns = 0;
  std::string columnText;
  std::vector<std::string> rows;
  bool operator==(const Answer& o) const {
    return status == o.status && error == o.error && state == o.state && columns == o.columns &&
           columnText == o.columnText && rows == o.rows;
  }
};

inline std::string Show(const Answer& a) {
  std::string text = "status " + std::to_string(a.status) + " [" + a.state + "]" + a.error +
                     " columns " + std::to_string(a.columns) + " rows " +
                     std::to_string(a.rows.size());
  for (const std::string& row : a.rows) text += "\n  " + row;
  return text;
}

// Runs one statement and fills everything but the rows; the request handed
// back (null when none was) is the caller's to read and end.
inline void* SubmitOpen(int32_t handle, const std::string& sql, Answer* a) {
  std::vector<char> text(sql.begin(), sql.end());
  text.push_back('\0');
  void* request = nullptr;
  ZKSQLResultInfo info{};
  a->status = ZKSQLExecReq(&request, text.data(), &info, handle, nullptr);
  a->columns = info.columnCount;
  if (info.columnText != nullptr) a->columnText = info.columnText;
  char message[512] = "";
  char state[6] = "";
  ZKSQLErreur(request, message, state);
  a->error = message;
  a->state = state;
  return request;
}

// Fetches every remaining row of a request into a->rows.
inline void FetchRows(void* request, Answer* a) {
  std::vector<char> line(4096);
  while (ZKSQLFetchNext(request) == 0) {
    if (ZKSQLValLineN(request, "|", line.data(), static_cast<int32_t>(line.size())) != 0) break;
    a->rows.push_back(line.data());
  }
}

inline Answer Submit(int32_t handle, const std::string& sql) {
  Answer a;
  void* request = SubmitOpen(handle, sql, &a);
  FetchRows(request, &a);
  ZKSQLFinRequete(request);
  return a;
}

}  // namespace zksql

#endif  // ZKSQL_TESTS_API_STATEMENT_SUBMIT_H_
