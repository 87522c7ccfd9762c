#include "velmysql/wire/mysql_ct.h"

namespace velmysql {

std::atomic<std::int32_t> NET_READ_TIMEOUT{30};
std::string MYSQL_NAMEDPIPE_PATH = "/run/mysqld/mysqld.sock";

}  // namespace velmysql
