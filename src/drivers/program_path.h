#pragma once
// The running program's full path and its directory.

#include <string>

namespace velmysql::drivers_detail {

std::string ProgramPath();
std::string ProgramDirectory();

}  // namespace velmysql::drivers_detail
