#include "velmysql/server/server_sql.h"

#include <charconv>
#include <string_view>

namespace velmysql {

std::string StatementForServer(const std::string& sql, int serverVersion) {
    if (serverVersion < 32200 && !sql.empty() && sql.back() == ';') return sql.substr(0, sql.size() - 1);
    return sql;
}

std::string ShowTablesStatement(const std::string& formattedDatabase) {
    if (formattedDatabase.empty()) return "show tables";
    return "show tables from " + formattedDatabase;
}

std::string ShowColumnsStatement(const std::string& formattedDatabase, const std::string& formattedTable) {
    return "show columns from " + formattedDatabase + "." + formattedTable;
}

std::string GetLockStatement(const std::string& escapedName, int timeoutSeconds) {
    return "select get_lock('" + escapedName + "'," + std::to_string(timeoutSeconds) + ");";
}

std::string ReleaseLockStatement(const std::string& escapedName) {
    return "select release_lock('" + escapedName + "');";
}

std::string CatalogueName(const std::string& value) {
    size_t end = value.size();
    while (end > 0 && static_cast<unsigned char>(value[end - 1]) <= ' ') --end;
    return value.substr(0, end);
}

int LockAnswer(const char* value, unsigned long length) {
    if (value == nullptr) return -1;
    std::string_view text(value, length);
    // Whole numbers only, with an optional sign, nothing around them.
    size_t start = (!text.empty() && text.front() == '+') ? 1 : 0;
    int number = 0;
    auto [end, ec] = std::from_chars(text.data() + start, text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size() || text.size() == start) return -1;
    return number;
}

std::string DatabaseScript(const std::string& formattedDatabase, bool dropIfExists,
                           const std::vector<std::string>& tableScripts) {
    std::string script;
    auto add = [&script](const std::string& entry) { script += entry + "\r\n"; };
    if (!formattedDatabase.empty()) {
        if (dropIfExists) add("drop database if exists " + formattedDatabase + ";");
        add("create database if not exists " + formattedDatabase + ";");
        add("use " + formattedDatabase + ";");
    }
    for (const std::string& table : tableScripts) add(table);
    if (!formattedDatabase.empty()) add("use " + formattedDatabase + ";");
    return script;
}

}  // namespace velmysql
