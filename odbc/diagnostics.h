// The diagnostic records of one handle: what the last call on it reported
// (SQLSTATE, native error, UTF-8 message), cleared by the next call, read
// back through SQLGetDiagRec and SQLGetDiagField. A failure inside the
// driver travels as a DriverError exception up to the entry point, which
// files it here and answers SQL_ERROR: nothing is thrown past the C
// boundary.
#ifndef ZKODBC_DIAGNOSTICS_H
#define ZKODBC_DIAGNOSTICS_H

#include <stdint.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace zkodbc {

struct DiagRecord {
  std::string sqlState;  // five characters
  int32_t native = 0;
  std::string message;   // UTF-8
};

class Diagnostics {
 public:
  void Clear() {
    records_.clear();
    rowCount_ = 0;
  }
  void Add(const std::string& sqlState, const std::string& message, int32_t native = 0);
  const std::vector<DiagRecord>& records() const { return records_; }
  // The row count header field: rows the last statement changed.
  int64_t rowCount() const { return rowCount_; }
  void setRowCount(int64_t count) { rowCount_ = count; }

 private:
  std::vector<DiagRecord> records_;
  int64_t rowCount_ = 0;
};

// A failure the driver detects, with the SQLSTATE it is reported under.
class DriverError : public std::runtime_error {
 public:
  DriverError(const std::string& sqlState, const std::string& message, int32_t native = 0)
      : std::runtime_error(message), sqlState_(sqlState), native_(native) {}
  const std::string& sqlState() const { return sqlState_; }
  int32_t native() const { return native_; }

 private:
  std::string sqlState_;
  int32_t native_;
};

// The messages of the driver's own diagnostics start with the vendor and
// component prefixes ODBC asks for.
std::string DriverMessage(const std::string& text);

// The ODBC 3 SQLSTATE of one the library reports in its ODBC 2 form
// ("S1000" is "HY000"); other states are kept as they are.
std::string Odbc3State(const std::string& state);

}  // namespace zkodbc

#endif
