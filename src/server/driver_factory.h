#pragma once
// Creates the driver a driver kind selects, with its option text.

#include <memory>
#include <string>

#include "velmysql/drivers/mysql_base.h"
#include "velmysql/server/server_types.h"

namespace velmysql {

std::unique_ptr<TMySQLBase> CreateMySQLDriver(TMySQLDriverType kind, const std::string& optionText);

}  // namespace velmysql
