#pragma once
// The wire client behind the MySQL C-API-shaped entry points of the C-API operation table.
// A connection handle is a TMySQLDirectClient, a result handle a TMySQLDirectResult; the
// functions convert between the C API's conventions (NUL-terminated texts, 0/1 status
// answers, null for absent) and the wire client's. Every function answers a neutral value
// for an absent handle and never reaches the wire client then.
//
// The functions have C++ linkage inside namespace velmysql, so a program may link a MySQL
// client library beside this one.

#include <cstdint>
#include <string>

#include "velmysql/wire/mysql_capi.h"
#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/mysql_result.h"

namespace velmysql {

class TMySQLDirectClient : public TMysqlClient {
public:
    TMySQLDirectClient();
    // The copy of the last error text handed out by mysql_error; keeps it alive.
    std::string errorText;
    // The copy of the cipher name handed out by mysql_get_ssl_cipher.
    std::string cipherText;
};

class TMySQLDirectResult : public TMysqlResult {
public:
    using TMysqlResult::TMysqlResult;
    // The index of the descriptor mysql_fetch_field returned last; -1 before the first.
    std::int32_t fieldCursor = -1;
};

// Server status bit: the server takes backslashes literally inside string literals.
inline constexpr std::uint32_t SERVER_STATUS_NO_BACKSLASH_ESCAPES = 512;

// The escaping of mysql_real_escape_string. Without NO_BACKSLASH_ESCAPES: the backslash
// escapes of EscapeStr. With it: a single quote is doubled and every other byte is copied,
// as the server then reads backslashes literally.
std::string EscapeForServerStatus(std::string_view text, std::uint32_t serverStatus);

MySQLConnectionHandle* mysql_init(MySQLConnectionHandle* mysql);
int mysql_options(MySQLConnectionHandle* mysql, int option, const void* arg);
// Answers the handle on success (the C API's convention), null on failure.
MySQLConnectionHandle* mysql_real_connect(MySQLConnectionHandle* mysql, const char* host, const char* user,
                                          const char* passwd, const char* db, unsigned int port,
                                          const char* unix_socket, unsigned long client_flag);
void mysql_close(MySQLConnectionHandle* mysql);
unsigned int mysql_errno(MySQLConnectionHandle* mysql);
const char* mysql_error(MySQLConnectionHandle* mysql);
const char* mysql_get_host_info(MySQLConnectionHandle* mysql);
const char* mysql_get_client_info();
const char* mysql_get_server_info(MySQLConnectionHandle* mysql);
unsigned int mysql_get_proto_info(MySQLConnectionHandle* mysql);
// The TLS cipher of the connection (e.g. "TLS_AES_256_GCM_SHA384"); null without TLS.
const char* mysql_get_ssl_cipher(MySQLConnectionHandle* mysql);
int mysql_ping(MySQLConnectionHandle* mysql);
unsigned long mysql_thread_id(MySQLConnectionHandle* mysql);
int mysql_kill(MySQLConnectionHandle* mysql, unsigned long pid);
const char* mysql_info(MySQLConnectionHandle* mysql);
int mysql_create_db(MySQLConnectionHandle* mysql, const char* db);
int mysql_select_db(MySQLConnectionHandle* mysql, const char* db);
int mysql_drop_db(MySQLConnectionHandle* mysql, const char* db);
// Sends exactly `length` bytes of q, zero bytes included.
int mysql_real_query(MySQLConnectionHandle* mysql, const char* q, unsigned long length);
MySQLResultHandle* mysql_use_result(MySQLConnectionHandle* mysql);
void mysql_free_result(MySQLResultHandle* result);
unsigned int mysql_num_fields(MySQLResultHandle* result);
std::uint64_t mysql_num_rows(MySQLResultHandle* result);
MySQLLengths mysql_fetch_lengths(MySQLResultHandle* result);
const TMysql_FieldDef* mysql_fetch_field(MySQLResultHandle* result);
MySQLRow mysql_fetch_row(MySQLResultHandle* result);
// Escapes exactly `length` bytes of from into to (room for 2 * length + 1 bytes), adds a
// terminating 0 and answers the escaped length. The mode follows the connection's server
// status; without a connection the backslash escapes apply.
unsigned long mysql_real_escape_string(MySQLConnectionHandle* mysql, char* to, const char* from,
                                       unsigned long length);
std::uint64_t mysql_insert_id(MySQLConnectionHandle* mysql);
int mysql_refresh(MySQLConnectionHandle* mysql, unsigned int options);
std::uint64_t mysql_affected_rows(MySQLConnectionHandle* mysql);
// All rows of the pending result read at once; null when the statement returned no rows
// or on failure (the error then is the connection's).
MySQLResultHandle* mysql_store_result(MySQLConnectionHandle* mysql);
// 1 while another result of the last statement text follows the one read to its end.
char mysql_more_results(MySQLConnectionHandle* mysql);
// Reads the next result's reply: 0 read (mysql_use_result or mysql_store_result then
// give its rows, or null for a statement without rows), -1 no more results, a positive
// number on failure (the error is the connection's).
int mysql_next_result(MySQLConnectionHandle* mysql);

}  // namespace velmysql
