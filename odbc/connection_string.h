// Where a connection's database is: a connection string's DATABASE key
// (or its DSN's), or a data source's Database key read from odbc.ini
// through the installer library, as unixODBC keeps data sources.
#ifndef ZKODBC_CONNECTION_STRING_H
#define ZKODBC_CONNECTION_STRING_H

#include <map>
#include <string>

namespace zkodbc {

// "KEY=VALUE;KEY={VALUE; with ; semicolons}" as upper-cased keys and
// their values; later keys win.
std::map<std::string, std::string> ParseConnectionString(const std::string& text);

// The Database key of data source dsn, "" when it has none.
std::string DataSourceFolder(const std::string& dsn);

}  // namespace zkodbc

#endif
