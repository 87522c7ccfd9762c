#pragma once
// TMySQLDirect: the driver that needs no outside library; its operation table holds the
// functions of the wire client's C-API facade.

#include <string_view>

#include "velmysql/drivers/mysql_base.h"

namespace velmysql {

class TMySQLDirect : public TMySQLBase {
public:
    using TMySQLBase::TMySQLBase;
    ~TMySQLDirect() override { Shutdown(); }
    // Binds the 29 facade functions; the client version number keeps its value.
    void Bind() override;
};

}  // namespace velmysql
