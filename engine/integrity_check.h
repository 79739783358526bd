// integrity_check.h - XZK_CheckDatabase: does the database hold together?
//
// Walks, in one transaction, every record, index entry and memo of the
// database and compares them with the dictionary and with one another, then
// accounts for every page of the file. It only reads; what it finds goes
// into a French report, one line per problem.
#ifndef JXENGINE_INTEGRITY_CHECK_H_
#define JXENGINE_INTEGRITY_CHECK_H_

#include <string>

#include "environment.h"

namespace jx {

// Checks the database as `txn` sees it and appends the report (problem
// lines, then a summary line) to *report. Returns the number of problems.
// LMDB failures are thrown as LmdbError, as everywhere in the engine.
int CheckDatabase(MDB_txn* txn, const Tables& tables, std::string* report);

}  // namespace jx

#endif  // JXENGINE_INTEGRITY_CHECK_H_
