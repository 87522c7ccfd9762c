#pragma once
// Capability-flag tests and setters, field-flag tests, refresh commands and escaping.

#include <cstdint>
#include <string>
#include <string_view>

#include "velmysql/wire/mysql_ct.h"

namespace velmysql {

class TMysqlClient;

#define VELMYSQL_FLAG_PAIR(NAME, BIT)                                                   \
    inline bool Has##NAME(std::uint32_t flags) { return (flags & (BIT)) != 0; }           \
    inline std::uint32_t Set##NAME(std::uint32_t flags, bool on) {                        \
        return on ? (flags | (BIT)) : (flags & ~static_cast<std::uint32_t>(BIT));         \
    }
VELMYSQL_FLAG_PAIR(LONGPASSWORD, CLIENT_LONG_PASSWORD)
VELMYSQL_FLAG_PAIR(FOUNDROWS, CLIENT_FOUND_ROWS)
VELMYSQL_FLAG_PAIR(LONGFLAG, CLIENT_LONG_FLAG)
VELMYSQL_FLAG_PAIR(CONNECTWITHDB, CLIENT_CONNECT_WITH_DB)
VELMYSQL_FLAG_PAIR(NOSCHEMA, CLIENT_NO_SCHEMA)
VELMYSQL_FLAG_PAIR(COMPRESS, CLIENT_COMPRESS)
VELMYSQL_FLAG_PAIR(ODBC, CLIENT_ODBC)
VELMYSQL_FLAG_PAIR(LOCALFILES, CLIENT_LOCAL_FILES)
VELMYSQL_FLAG_PAIR(IGNORESPACE, CLIENT_IGNORE_SPACE)
VELMYSQL_FLAG_PAIR(INTERACTIVE, CLIENT_INTERACTIVE)
VELMYSQL_FLAG_PAIR(SSL, CLIENT_SSL)
VELMYSQL_FLAG_PAIR(IGNORESIGPIPE, CLIENT_IGNORE_SIGPIPE)
VELMYSQL_FLAG_PAIR(TRANSACTIONS, CLIENT_TRANSACTIONS)
#undef VELMYSQL_FLAG_PAIR

// No capability bit is defined for changing the user: the test is always false and
// the setter leaves the flags as they are in both directions (clearing bit 512 would
// silently drop the 4.1 protocol).
inline bool HasCHANGEUSER(std::uint32_t) { return false; }
inline std::uint32_t SetCHANGEUSER(std::uint32_t flags, bool) { return flags; }

#define VELMYSQL_FIELD_TEST(NAME, BIT)                                                  \
    inline bool Is##NAME(const TMysql_FieldDef* field) {                                  \
        return field != nullptr && (field->flags & (BIT)) != 0;                           \
    }
VELMYSQL_FIELD_TEST(NOTNULL, NOT_NULL_FLAG)
VELMYSQL_FIELD_TEST(PRIKEY, PRI_KEY_FLAG)
VELMYSQL_FIELD_TEST(UNIQUEKEY, UNIQUE_KEY_FLAG)
VELMYSQL_FIELD_TEST(MULTIPLEKEY, MULTIPLE_KEY_FLAG)
VELMYSQL_FIELD_TEST(BLOB, BLOB_FLAG)
VELMYSQL_FIELD_TEST(UNSIGNED, UNSIGNED_FLAG)
VELMYSQL_FIELD_TEST(ZEROFILL, ZEROFILL_FLAG)
VELMYSQL_FIELD_TEST(BINARY, BINARY_FLAG)
VELMYSQL_FIELD_TEST(ENUM, ENUM_FLAG)
VELMYSQL_FIELD_TEST(AUTOINCREMENT, AUTO_INCREMENT_FLAG)
VELMYSQL_FIELD_TEST(TIMESTAMP, TIMESTAMP_FLAG)
VELMYSQL_FIELD_TEST(SET, SET_FLAG)
VELMYSQL_FIELD_TEST(PARTKEY, PART_KEY_FLAG)
VELMYSQL_FIELD_TEST(NUM, NUM_FLAG)
VELMYSQL_FIELD_TEST(GROUP, GROUP_FLAG)
VELMYSQL_FIELD_TEST(UNIQUE, UNIQUE_FLAG)
#undef VELMYSQL_FIELD_TEST

// Each sends COM_REFRESH with its one option; false for an absent session.
bool REF_GRANT(TMysqlClient* session);
bool REF_LOG(TMysqlClient* session);
bool REF_TABLES(TMysqlClient* session);
bool REF_HOSTS(TMysqlClient* session);
bool REF_STATUS(TMysqlClient* session);
bool REF_THREADS(TMysqlClient* session);
bool REF_SLAVE(TMysqlClient* session);
bool REF_MASTER(TMysqlClient* session);
bool REF_READ_LOCK(TMysqlClient* session);
bool REF_FAST(TMysqlClient* session);

// Escapes NUL, tab, LF, CR, both quotes and the backslash for use inside a quoted
// SQL literal; every other byte is copied unchanged. No quotes are added.
std::string EscapeStr(std::string_view text);

}  // namespace velmysql
