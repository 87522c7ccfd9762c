#pragma once
// Small text helpers private to the data-access classes.

#include <string>
#include <string_view>
#include <vector>

namespace velmysql::dbutil {

// Equal ignoring ASCII letter case, as field, parameter and index names compare.
bool SameName(std::string_view a, std::string_view b);
std::string UpperCase(std::string_view s);
// Splits a field list at ";" (the framework's separator), trimming blanks around each
// name and dropping empty names.
std::vector<std::string> SplitFieldNames(const std::string& names);
std::string Trim(std::string_view s);

}  // namespace velmysql::dbutil
