// .dump [TABLE]: the statements that make the database's tables again with
// their rows, written to the current output. For each table (or the one
// named), the statements of .schema, then one INSERT per row in the
// table's read order; the whole is one transaction (.begin ... .commit),
// so that `zksql --create NEWDB < dump.sql` loads it at once or not at
// all. Memo values cannot be written as literals: each goes to a file of
// its own in a folder beside the dump file (dump.sql: dump.memos/
// TABLE_COLUMN_ROW.memo), which the INSERT reads back with
// {JXMemoBinaire('FILE')}; a dump holding memos is refused, before
// anything is written, when the output is no file.
#ifndef ZKSHELL_DUMP_H
#define ZKSHELL_DUMP_H

#include <string>
#include <vector>

namespace zkshell {

class Shell;

// Runs `.dump` with its words; failures are reported through the shell.
void Dump(Shell* shell, const std::vector<std::string>& words);

}  // namespace zkshell

#endif
