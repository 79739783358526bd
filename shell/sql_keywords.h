// The single words of the SQL dialect's keywords (a two-word keyword such
// as "ORDER BY" gives both words). Every one is reserved: none can name a
// table or a column, which is why .import prefixes a header name that is
// one, and completion offers them where a keyword may go.
#ifndef ZKSHELL_SQL_KEYWORDS_H
#define ZKSHELL_SQL_KEYWORDS_H

#include <vector>

namespace zkshell {

// In alphabetical order; the list lives as long as the program.
const std::vector<const char*>& SqlKeywords();

}  // namespace zkshell

#endif
