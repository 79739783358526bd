// Records are kept in the order they were filed; the library's own errors
// carry its French text and its SQLSTATE, mapped to the ODBC 3 names where
// the library still uses the ODBC 2 ones.
#include "diagnostics.h"

#include <cstring>

namespace zkodbc {

void Diagnostics::Add(const std::string& sqlState, const std::string& message, int32_t native) {
  DiagRecord record;
  record.sqlState = sqlState.size() == 5 ? sqlState : "HY000";
  record.native = native;
  record.message = message;
  records_.push_back(std::move(record));
}

std::string DriverMessage(const std::string& text) {
  return "[zksql][ODBC] " + text;
}

std::string Odbc3State(const std::string& state) {
  static const char* const kRenamed[][2] = {
      {"S0001", "42S01"}, {"S0002", "42S02"}, {"S0011", "42S11"}, {"S0012", "42S12"},
      {"S0021", "42S21"}, {"S0022", "42S22"}, {"S1T00", "HYT00"}, {"S1009", "HY024"},
  };
  for (const auto& pair : kRenamed) {
    if (state == pair[0]) return pair[1];
  }
  if (state.size() == 5 && state.compare(0, 2, "S1") == 0) return "HY" + state.substr(2);
  return state;
}

}  // namespace zkodbc
