#pragma once
// The SQL texts the connection component sends on its own (catalogue reads, named locks,
// the database script) and the small text rules around them. Pure functions: the
// component decides when and on which connection they run.
//
// Names reach these functions already formatted by the driver (FormatIdentifier), and
// lock names are placed between the quotes unchanged: a caller that may pass quotes in a
// lock name escapes it first.

#include <string>
#include <vector>

namespace velmysql {

// Before 3.22 the server refused a statement ending in ";": the one last ";" is removed
// for those servers.
std::string StatementForServer(const std::string& sql, int serverVersion);

// "show tables", or "show tables from " + database when one is given.
std::string ShowTablesStatement(const std::string& formattedDatabase);
// "show columns from " + database + "." + table.
std::string ShowColumnsStatement(const std::string& formattedDatabase, const std::string& formattedTable);
// "select get_lock('name',timeout);" and "select release_lock('name');", with the
// name already escaped for a quoted value.
std::string GetLockStatement(const std::string& escapedName, int timeoutSeconds);
std::string ReleaseLockStatement(const std::string& escapedName);
// Asks a connection which database it has selected.
inline constexpr const char* kConnectionDatabaseStatement = "select database() as FDB;";

// A catalogue value as the lists hold it: trailing blanks and control characters removed.
std::string CatalogueName(const std::string& value);

// A lock answer: the value read as a whole number, -1 when NULL or not a number.
int LockAnswer(const char* value, unsigned long length);

// The database script: for a named database ("" for none) the drop (when asked), create
// and use lines, then every table script in order, then "use" once more so the script
// ends on the database whatever the table scripts selected. Every entry is followed by
// CR LF.
std::string DatabaseScript(const std::string& formattedDatabase, bool dropIfExists,
                           const std::vector<std::string>& tableScripts);

}  // namespace velmysql
