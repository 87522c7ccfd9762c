// The REF_* helpers: one refresh command each.

#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/mysql_helpers.h"

namespace velmysql {

namespace {
bool refreshWith(TMysqlClient* session, std::uint32_t option) {
    return session != nullptr && session->refresh(option);
}
}  // namespace

bool REF_GRANT(TMysqlClient* s) { return refreshWith(s, REFRESH_GRANT); }
bool REF_LOG(TMysqlClient* s) { return refreshWith(s, REFRESH_LOG); }
bool REF_TABLES(TMysqlClient* s) { return refreshWith(s, REFRESH_TABLES); }
bool REF_HOSTS(TMysqlClient* s) { return refreshWith(s, REFRESH_HOSTS); }
bool REF_STATUS(TMysqlClient* s) { return refreshWith(s, REFRESH_STATUS); }
bool REF_THREADS(TMysqlClient* s) { return refreshWith(s, REFRESH_THREADS); }
bool REF_SLAVE(TMysqlClient* s) { return refreshWith(s, REFRESH_SLAVE); }
bool REF_MASTER(TMysqlClient* s) { return refreshWith(s, REFRESH_MASTER); }
bool REF_READ_LOCK(TMysqlClient* s) { return refreshWith(s, REFRESH_READ_LOCK); }
bool REF_FAST(TMysqlClient* s) { return refreshWith(s, REFRESH_FAST); }

}  // namespace velmysql
