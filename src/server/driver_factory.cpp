#include "server/driver_factory.h"

#include "velmysql/drivers/mysql_direct_driver.h"
#include "velmysql/drivers/mysql_embedded.h"
#include "velmysql/drivers/mysql_library.h"

namespace velmysql {

std::unique_ptr<TMySQLBase> CreateMySQLDriver(TMySQLDriverType kind, const std::string& optionText) {
    switch (kind) {
        case dtEmbedded: return std::make_unique<TMySQLEmbedded>(optionText);
        case dtLibrary: return std::make_unique<TMySQLLibrary>(optionText);
        case dtDirect: break;
    }
    return std::make_unique<TMySQLDirect>(optionText);
}

}  // namespace velmysql
