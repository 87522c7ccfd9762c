#include "velmysql/drivers/mysql_direct_driver.h"

#include "velmysql/wire/mysql_direct.h"

namespace velmysql {

void TMySQLDirect::Bind() {
    api_.mysql_init = &velmysql::mysql_init;
    api_.mysql_options = &velmysql::mysql_options;
    api_.mysql_real_connect = &velmysql::mysql_real_connect;
    api_.mysql_close = &velmysql::mysql_close;
    api_.mysql_errno = &velmysql::mysql_errno;
    api_.mysql_error = &velmysql::mysql_error;
    api_.mysql_get_host_info = &velmysql::mysql_get_host_info;
    api_.mysql_get_client_info = &velmysql::mysql_get_client_info;
    api_.mysql_get_server_info = &velmysql::mysql_get_server_info;
    api_.mysql_get_proto_info = &velmysql::mysql_get_proto_info;
    api_.mysql_ping = &velmysql::mysql_ping;
    api_.mysql_thread_id = &velmysql::mysql_thread_id;
    api_.mysql_kill = &velmysql::mysql_kill;
    api_.mysql_info = &velmysql::mysql_info;
    api_.mysql_create_db = &velmysql::mysql_create_db;
    api_.mysql_select_db = &velmysql::mysql_select_db;
    api_.mysql_drop_db = &velmysql::mysql_drop_db;
    api_.mysql_real_query = &velmysql::mysql_real_query;
    api_.mysql_use_result = &velmysql::mysql_use_result;
    api_.mysql_free_result = &velmysql::mysql_free_result;
    api_.mysql_num_fields = &velmysql::mysql_num_fields;
    api_.mysql_num_rows = &velmysql::mysql_num_rows;
    api_.mysql_fetch_lengths = &velmysql::mysql_fetch_lengths;
    api_.mysql_fetch_field = &velmysql::mysql_fetch_field;
    api_.mysql_fetch_row = &velmysql::mysql_fetch_row;
    api_.mysql_real_escape_string = &velmysql::mysql_real_escape_string;
    api_.mysql_insert_id = &velmysql::mysql_insert_id;
    api_.mysql_refresh = &velmysql::mysql_refresh;
    api_.mysql_affected_rows = &velmysql::mysql_affected_rows;
    api_.mysql_store_result = &velmysql::mysql_store_result;
    api_.mysql_more_results = &velmysql::mysql_more_results;
    api_.mysql_next_result = &velmysql::mysql_next_result;
    api_.mysql_get_ssl_cipher = &velmysql::mysql_get_ssl_cipher;
}

}  // namespace velmysql
