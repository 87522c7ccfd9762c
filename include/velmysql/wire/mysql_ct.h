#pragma once
// Vocabulary of the wire client: enumerations, protocol constants, the process-wide
// timeouts and local socket path, and the column descriptor record.

#include <atomic>
#include <cstdint>
#include <string>

namespace velmysql {

enum TEnumVioType : std::uint8_t {
    VIO_CLOSED = 0,
    VIO_TYPE_TCPIP = 1,
    VIO_TYPE_SOCKET = 2,
    VIO_TYPE_NAMEDPIPE = 3,
    VIO_TYPE_SSL = 4,
};

enum TMysql_Status : std::uint8_t {
    MYSQL_STATUS_READY = 0,
    MYSQL_STATUS_GET_RESULT = 1,
    MYSQL_STATUS_USE_RESULT = 2,
};

// The value is the command byte sent on the wire.
enum TEnumServerCommand : std::uint8_t {
    COM_SLEEP = 0,
    COM_QUIT = 1,
    COM_INIT_DB = 2,
    COM_QUERY = 3,
    COM_FIELD_LIST = 4,
    COM_CREATE_DB = 5,
    COM_DROP_DB = 6,
    COM_REFRESH = 7,
    COM_SHUTDOWN = 8,
    COM_STATISTICS = 9,
    COM_PROCESS_INFO = 10,
    COM_CONNECT = 11,
    COM_PROCESS_KILL = 12,
    COM_DEBUG = 13,
    COM_PING = 14,
    COM_TIME = 15,
    COM_DELAYED_INSERT = 16,
    COM_CHANGE_USER = 17,
    COM_BINLOG_DUMP = 18,
    COM_TABLE_DUMP = 19,
    COM_CONNECT_OUT = 20,
};

// Seconds; the default timeout of new sessions and of a transport opened with timeout 0.
// Any thread may set it (an option of any connection does) while others open sessions.
extern std::atomic<std::int32_t> NET_READ_TIMEOUT;
// The local server's Unix-domain socket, which stands in for the named pipe "MySQL".
extern std::string MYSQL_NAMEDPIPE_PATH;

inline constexpr unsigned MYSQL_PORT = 3306;
inline constexpr const char* LOCAL_HOST = "localhost";
inline constexpr const char* LOCAL_HOST_NAMEDPIPE = ".";
inline constexpr const char* MYSQL_NAMEDPIPE = "MySQL";
inline constexpr const char* MYSQL_CLIENT_VERSION = "4.1.14";
inline constexpr int PROTOCOL_VERSION = 10;
inline constexpr int NET_BUFFER_LENGTH = 8192;
// A packet of this length is continued by the next one: a longer payload travels as a
// run of such packets ended by a shorter one (possibly empty).
inline constexpr std::uint32_t MAX_PACKET_LENGTH = 0xFFFFFF;
// The default of the largest payload a session sends or accepts (announced in the login).
inline constexpr std::uint32_t MAX_ALLOWED_PACKET = 0x40000000;
inline constexpr std::uint32_t CLIENT_ALWAYS_FLAGS = 41605;    // 0xA285

// Capability flags.
inline constexpr std::uint32_t CLIENT_LONG_PASSWORD = 1;
inline constexpr std::uint32_t CLIENT_FOUND_ROWS = 2;
inline constexpr std::uint32_t CLIENT_LONG_FLAG = 4;
inline constexpr std::uint32_t CLIENT_CONNECT_WITH_DB = 8;
inline constexpr std::uint32_t CLIENT_NO_SCHEMA = 16;
inline constexpr std::uint32_t CLIENT_COMPRESS = 32;
inline constexpr std::uint32_t CLIENT_ODBC = 64;
inline constexpr std::uint32_t CLIENT_LOCAL_FILES = 128;
inline constexpr std::uint32_t CLIENT_IGNORE_SPACE = 256;
inline constexpr std::uint32_t CLIENT_PROTOCOL_41 = 512;
inline constexpr std::uint32_t CLIENT_INTERACTIVE = 1024;
inline constexpr std::uint32_t CLIENT_SSL = 2048;
inline constexpr std::uint32_t CLIENT_IGNORE_SIGPIPE = 4096;
inline constexpr std::uint32_t CLIENT_TRANSACTIONS = 8192;
inline constexpr std::uint32_t CLIENT_SECURE_CONNECTION = 32768;
inline constexpr std::uint32_t CLIENT_MULTI_STATEMENTS = 65536;
inline constexpr std::uint32_t CLIENT_MULTI_RESULTS = 131072;
// The upper half of the capability word, announced in the greeting of 4.1 servers.
inline constexpr std::uint32_t CLIENT_PLUGIN_AUTH = 1u << 19;
inline constexpr std::uint32_t CLIENT_CONNECT_ATTRS = 1u << 20;
inline constexpr std::uint32_t CLIENT_PLUGIN_AUTH_LENENC_CLIENT_DATA = 1u << 21;
inline constexpr std::uint32_t CLIENT_SESSION_TRACK = 1u << 23;
inline constexpr std::uint32_t CLIENT_DEPRECATE_EOF = 1u << 24;

// Field flags.
inline constexpr std::uint32_t NOT_NULL_FLAG = 1;
inline constexpr std::uint32_t PRI_KEY_FLAG = 2;
inline constexpr std::uint32_t UNIQUE_KEY_FLAG = 4;
inline constexpr std::uint32_t MULTIPLE_KEY_FLAG = 8;
inline constexpr std::uint32_t BLOB_FLAG = 16;
inline constexpr std::uint32_t UNSIGNED_FLAG = 32;
inline constexpr std::uint32_t ZEROFILL_FLAG = 64;
inline constexpr std::uint32_t BINARY_FLAG = 128;
inline constexpr std::uint32_t ENUM_FLAG = 256;
inline constexpr std::uint32_t AUTO_INCREMENT_FLAG = 512;
inline constexpr std::uint32_t TIMESTAMP_FLAG = 1024;
inline constexpr std::uint32_t SET_FLAG = 2048;
inline constexpr std::uint32_t PART_KEY_FLAG = 16384;
inline constexpr std::uint32_t NUM_FLAG = 32768;
inline constexpr std::uint32_t GROUP_FLAG = 32768;
inline constexpr std::uint32_t UNIQUE_FLAG = 65536;

// Refresh options (argument of COM_REFRESH).
inline constexpr std::uint32_t REFRESH_GRANT = 1;
inline constexpr std::uint32_t REFRESH_LOG = 2;
inline constexpr std::uint32_t REFRESH_TABLES = 4;
inline constexpr std::uint32_t REFRESH_HOSTS = 8;
inline constexpr std::uint32_t REFRESH_STATUS = 16;
inline constexpr std::uint32_t REFRESH_THREADS = 32;
inline constexpr std::uint32_t REFRESH_SLAVE = 64;
inline constexpr std::uint32_t REFRESH_MASTER = 128;
inline constexpr std::uint32_t REFRESH_READ_LOCK = 16384;
inline constexpr std::uint32_t REFRESH_FAST = 32768;

// Server status bits.
inline constexpr std::uint32_t SERVER_STATUS_IN_TRANS = 1;
inline constexpr std::uint32_t SERVER_STATUS_AUTOCOMMIT = 2;
// Another result of the same statement text follows the one just ended.
inline constexpr std::uint32_t SERVER_MORE_RESULTS_EXISTS = 8;

// Column type numbers.
enum TMysqlFieldType : std::uint8_t {
    FIELD_TYPE_DECIMAL = 0,
    FIELD_TYPE_TINY = 1,
    FIELD_TYPE_SHORT = 2,
    FIELD_TYPE_LONG = 3,
    FIELD_TYPE_FLOAT = 4,
    FIELD_TYPE_DOUBLE = 5,
    FIELD_TYPE_NULL = 6,
    FIELD_TYPE_TIMESTAMP = 7,
    FIELD_TYPE_LONGLONG = 8,
    FIELD_TYPE_INT24 = 9,
    FIELD_TYPE_DATE = 10,
    FIELD_TYPE_TIME = 11,
    FIELD_TYPE_DATETIME = 12,
    FIELD_TYPE_YEAR = 13,
    FIELD_TYPE_NEWDATE = 14,
    FIELD_TYPE_VARCHAR = 15,
    FIELD_TYPE_BIT = 16,
    FIELD_TYPE_NEWDECIMAL = 246,
    FIELD_TYPE_ENUM = 247,
    FIELD_TYPE_SET = 248,
    FIELD_TYPE_TINY_BLOB = 249,
    FIELD_TYPE_MEDIUM_BLOB = 250,
    FIELD_TYPE_LONG_BLOB = 251,
    FIELD_TYPE_BLOB = 252,
    FIELD_TYPE_VAR_STRING = 253,
    FIELD_TYPE_STRING = 254,
    FIELD_TYPE_GEOMETRY = 255,
};

// The column descriptor. Its layout is that of the C API's field structure on this
// platform (texts, then the two lengths as unsigned long, seven text lengths, flags,
// decimals, charset, the type in the low byte of a 4-byte slot and a trailing pointer),
// so an array of client-library field structures can be read through this type.
// The texts are NUL-terminated and owned by whoever holds the descriptor array; an
// absent text is a null pointer.
struct TMysql_FieldDef {
    char* name = nullptr;
    char* org_name = nullptr;
    char* table = nullptr;
    char* org_table = nullptr;
    char* db = nullptr;
    char* catalog = nullptr;
    char* def = nullptr;
    unsigned long length = 0;
    unsigned long max_length = 0;
    unsigned int name_length = 0;
    unsigned int org_name_length = 0;
    unsigned int table_length = 0;
    unsigned int org_table_length = 0;
    unsigned int db_length = 0;
    unsigned int catalog_length = 0;
    unsigned int def_length = 0;
    unsigned int flags = 0;
    unsigned int decimals = 0;
    unsigned int charsetnr = 0;
    unsigned char type = 0;
    unsigned char type_pad_[3] = {0, 0, 0};
    void* extension = nullptr;
};

}  // namespace velmysql
