// A value of the current row written into an application buffer as the C
// type it asks for (SQLGetData, and SQLFetch for bound columns): texts in
// UTF-8 or UTF-16, numbers parsed from the library's text form, dates
// (YYYYMMDD) and times (HHMM) into their structures, memos as bytes. Long
// texts and bytes are read in pieces: each call goes on where the last one
// stopped, and the call after the last piece answers SQL_NO_DATA.
#ifndef ZKODBC_CONVERSION_H
#define ZKODBC_CONVERSION_H

#include <sql.h>
#include <sqlext.h>

#include "columns.h"
#include "diagnostics.h"
#include "result_set.h"

namespace zkodbc {

struct Target {
  SQLSMALLINT cType;
  SQLPOINTER buffer;
  SQLLEN bufferLength;
  SQLLEN* length;     // may be NULL
  SQLLEN* indicator;  // may be NULL; often the same as length
};

// Writes cell into target. *offset (bytes of the converted value already
// handed out) is advanced for texts and bytes; pass NULL to read the value
// from its start without keeping a position (bound columns). Returns
// SQL_SUCCESS, SQL_SUCCESS_WITH_INFO (the value was cut: 01004, or a
// number lost its fraction: 01S07, filed in diag) or SQL_NO_DATA once a
// value was read whole. Throws DriverError for a value the type cannot
// take (22018, 22003) or a conversion not offered (07006).
SQLRETURN WriteValue(const Cell& cell, const ColumnInfo& column, const Target& target,
                     size_t* offset, Diagnostics* diag);

}  // namespace zkodbc

#endif
