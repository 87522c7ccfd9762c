#pragma once
// The C-API operation table: the MySQL C API entry points every driver fills, in their
// fixed order. Each entry has the signature of the C API function of the same name on
// this platform, so a function looked up in a loaded client library can be stored as is.
// Only the driver layer calls through the table.

#include <cstdint>

#include "velmysql/wire/mysql_capi.h"

namespace velmysql {

struct TMysql_FieldDef;

struct MySQLApiTable {
    MySQLConnectionHandle* (*mysql_init)(MySQLConnectionHandle*) = nullptr;
    int (*mysql_options)(MySQLConnectionHandle*, int option, const void* arg) = nullptr;
    // Non-null on success (the client libraries return the handle).
    MySQLConnectionHandle* (*mysql_real_connect)(MySQLConnectionHandle*, const char* host, const char* user,
                                                 const char* passwd, const char* db, unsigned int port,
                                                 const char* unix_socket, unsigned long client_flag) = nullptr;
    void (*mysql_close)(MySQLConnectionHandle*) = nullptr;
    unsigned int (*mysql_errno)(MySQLConnectionHandle*) = nullptr;
    const char* (*mysql_error)(MySQLConnectionHandle*) = nullptr;
    const char* (*mysql_get_host_info)(MySQLConnectionHandle*) = nullptr;
    const char* (*mysql_get_client_info)() = nullptr;
    const char* (*mysql_get_server_info)(MySQLConnectionHandle*) = nullptr;
    unsigned int (*mysql_get_proto_info)(MySQLConnectionHandle*) = nullptr;
    int (*mysql_ping)(MySQLConnectionHandle*) = nullptr;
    unsigned long (*mysql_thread_id)(MySQLConnectionHandle*) = nullptr;
    int (*mysql_kill)(MySQLConnectionHandle*, unsigned long pid) = nullptr;
    const char* (*mysql_info)(MySQLConnectionHandle*) = nullptr;
    int (*mysql_create_db)(MySQLConnectionHandle*, const char* db) = nullptr;
    int (*mysql_select_db)(MySQLConnectionHandle*, const char* db) = nullptr;
    int (*mysql_drop_db)(MySQLConnectionHandle*, const char* db) = nullptr;
    int (*mysql_real_query)(MySQLConnectionHandle*, const char* q, unsigned long length) = nullptr;
    MySQLResultHandle* (*mysql_use_result)(MySQLConnectionHandle*) = nullptr;
    void (*mysql_free_result)(MySQLResultHandle*) = nullptr;
    unsigned int (*mysql_num_fields)(MySQLResultHandle*) = nullptr;
    std::uint64_t (*mysql_num_rows)(MySQLResultHandle*) = nullptr;
    MySQLLengths (*mysql_fetch_lengths)(MySQLResultHandle*) = nullptr;
    // Points to a field structure in the layout of the client's series; only client series
    // 4.1.1 and later have the layout of TMysql_FieldDef (see RetrieveField).
    const TMysql_FieldDef* (*mysql_fetch_field)(MySQLResultHandle*) = nullptr;
    MySQLRow (*mysql_fetch_row)(MySQLResultHandle*) = nullptr;
    unsigned long (*mysql_real_escape_string)(MySQLConnectionHandle*, char* to, const char* from,
                                              unsigned long length) = nullptr;
    std::uint64_t (*mysql_insert_id)(MySQLConnectionHandle*) = nullptr;
    int (*mysql_refresh)(MySQLConnectionHandle*, unsigned int options) = nullptr;
    std::uint64_t (*mysql_affected_rows)(MySQLConnectionHandle*) = nullptr;
    // Several results per statement text. Client libraries older than 4.1 lack them: the
    // entries then stay null and a text has one result.
    MySQLResultHandle* (*mysql_store_result)(MySQLConnectionHandle*) = nullptr;
    char (*mysql_more_results)(MySQLConnectionHandle*) = nullptr;
    int (*mysql_next_result)(MySQLConnectionHandle*) = nullptr;
    // The connection's TLS cipher, null without TLS; libraries without TLS lack it.
    const char* (*mysql_get_ssl_cipher)(MySQLConnectionHandle*) = nullptr;
};

// The two entries the embedded-server library adds after the 29 above.
struct MySQLEmbeddedApiTable {
    int (*mysql_server_init)(int argc, char** argv, char** groups) = nullptr;
    void (*mysql_server_end)() = nullptr;
};

}  // namespace velmysql
