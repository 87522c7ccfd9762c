#pragma once
// The shapes of the MySQL C API as the C-API operation table sees them: opaque connection
// and result handles, the row and length arrays and the option numbers of mysql_options.
// The field structure is TMysql_FieldDef, which has the C API's layout.
//
// These types are ABI-compatible with the C API of the client libraries (a handle is a
// pointer whose target only its own library knows), so the same table can hold the wire
// client's facade functions or functions looked up in a loaded library.

#include <cstdint>

namespace velmysql {

// Connection handle (the C API's MYSQL*) and result handle (MYSQL_RES*). Never defined:
// the library behind the table decides what they point to.
struct MySQLConnectionHandle;
struct MySQLResultHandle;

// One row: one pointer per column, a null pointer for SQL NULL (MYSQL_ROW).
using MySQLRow = char**;
// The byte lengths of the current row's values, one per column.
using MySQLLengths = unsigned long*;

// The option numbers of mysql_options.
enum mysql_option : int {
    MYSQL_OPT_CONNECT_TIMEOUT = 0,
    MYSQL_OPT_COMPRESS = 1,
    MYSQL_OPT_NAMED_PIPE = 2,
    MYSQL_INIT_COMMAND = 3,
    MYSQL_READ_DEFAULT_FILE = 4,
    MYSQL_READ_DEFAULT_GROUP = 5,
    MYSQL_SET_CHARSET_DIR = 6,
    MYSQL_SET_CHARSET_NAME = 7,
    MYSQL_OPT_LOCAL_INFILE = 8,
    MYSQL_OPT_PROTOCOL = 9,
    MYSQL_SHARED_MEMORY_BASE_NAME = 10,
    MYSQL_OPT_READ_TIMEOUT = 11,
    MYSQL_OPT_WRITE_TIMEOUT = 12,
    MYSQL_OPT_USE_RESULT = 13,
    MYSQL_OPT_USE_REMOTE_CONNECTION = 14,
    MYSQL_OPT_USE_EMBEDDED_CONNECTION = 15,
    MYSQL_OPT_GUESS_CONNECTION = 16,
    MYSQL_SET_CLIENT_IP = 17,
    MYSQL_SECURE_AUTH = 18,
    MYSQL_REPORT_DATA_TRUNCATION = 19,
    MYSQL_OPT_RECONNECT = 20,
    // TLS and the server's public key, numbered as libmariadb numbers them. The three
    // Booleans are one byte; the others are NUL-terminated texts (a null pointer clears).
    MYSQL_OPT_SSL_VERIFY_SERVER_CERT = 21,
    MYSQL_OPT_SSL_KEY = 25,
    MYSQL_OPT_SSL_CERT = 26,
    MYSQL_OPT_SSL_CA = 27,
    MYSQL_OPT_SSL_CAPATH = 28,
    MYSQL_OPT_SSL_CIPHER = 29,
    MYSQL_SERVER_PUBLIC_KEY = 35,
    MYSQL_OPT_SSL_ENFORCE = 38,
    MARIADB_OPT_TLS_VERSION = 7005,
    // The wire client's own: the ssl-mode as a TSslMode number (-1: a text that named no
    // mode), and whether caching_sha2_password may ask the server for its public key
    // (a one-byte Boolean). Client libraries do not know these numbers.
    VELMYSQL_OPT_SSL_MODE = 30001,
    VELMYSQL_OPT_GET_SERVER_PUBLIC_KEY = 30002,
    // The largest packet the client sends or accepts; the value is an unsigned long.
    // Numbered as the client library (libmariadb) numbers it.
    MYSQL_OPT_MAX_ALLOWED_PACKET = 39,
};

}  // namespace velmysql
