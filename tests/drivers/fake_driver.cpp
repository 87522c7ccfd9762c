#include "fake_driver.h"

#include <cstring>

namespace velmysql::testing {

namespace {

FakeConnection* Conn(MySQLConnectionHandle* h) { return reinterpret_cast<FakeConnection*>(h); }

int Status(MySQLConnectionHandle* h, const char* call) {
    World().calls.push_back(call);
    if (World().statusResult != 0) {
        Conn(h)->errNo = World().statusErrNo;
        Conn(h)->error = World().statusError;
    }
    return World().statusResult;
}

}  // namespace

FakeWorld& World() {
    static FakeWorld world;
    return world;
}

void ResetWorld() { World() = FakeWorld(); }

void FakeDriver::Bind() {
    ++bindCount;
    TMySQLBase::Bind();
    api_.mysql_init = [](MySQLConnectionHandle*) -> MySQLConnectionHandle* {
        World().calls.push_back("init");
        if (World().initFails) return nullptr;
        World().connections.push_back(std::make_unique<FakeConnection>());
        ++World().openConnections;
        return reinterpret_cast<MySQLConnectionHandle*>(World().connections.back().get());
    };
    api_.mysql_options = [](MySQLConnectionHandle*, int option, const void* arg) {
        std::uint32_t v = 0;
        if (option != MYSQL_READ_DEFAULT_GROUP) std::memcpy(&v, arg, sizeof v);
        World().options.emplace_back(option, v);
        return 0;
    };
    api_.mysql_real_connect = [](MySQLConnectionHandle* h, const char*, const char*, const char*, const char*,
                                 unsigned int, const char*, unsigned long) -> MySQLConnectionHandle* {
        World().calls.push_back("connect");
        if (World().connectFails) {
            Conn(h)->errNo = World().connectErrNo;
            Conn(h)->error = World().connectError;
            return nullptr;
        }
        Conn(h)->connected = true;
        Conn(h)->serverInfo = World().serverInfo;
        return h;
    };
    api_.mysql_close = [](MySQLConnectionHandle*) {
        World().calls.push_back("close");
        --World().openConnections;
    };
    api_.mysql_errno = [](MySQLConnectionHandle* h) { return Conn(h)->errNo; };
    api_.mysql_error = [](MySQLConnectionHandle* h) -> const char* { return Conn(h)->error.c_str(); };
    api_.mysql_get_host_info = [](MySQLConnectionHandle*) -> const char* { return nullptr; };
    api_.mysql_get_client_info = []() -> const char* { return World().clientInfo.c_str(); };
    api_.mysql_get_server_info = [](MySQLConnectionHandle* h) -> const char* { return Conn(h)->serverInfo.c_str(); };
    api_.mysql_get_proto_info = [](MySQLConnectionHandle*) -> unsigned int { return 10; };
    api_.mysql_ping = [](MySQLConnectionHandle* h) { return Status(h, "ping"); };
    api_.mysql_thread_id = [](MySQLConnectionHandle*) -> unsigned long { return 7; };
    api_.mysql_kill = [](MySQLConnectionHandle* h, unsigned long) { return Status(h, "kill"); };
    api_.mysql_info = [](MySQLConnectionHandle*) -> const char* { return nullptr; };
    if (!withoutCreateDb) api_.mysql_create_db = [](MySQLConnectionHandle* h, const char*) { return Status(h, "create_db"); };
    else BindProc(api_.mysql_create_db, nullptr, "mysql_create_db");
    api_.mysql_select_db = [](MySQLConnectionHandle* h, const char*) { return Status(h, "select_db"); };
    api_.mysql_drop_db = [](MySQLConnectionHandle* h, const char*) { return Status(h, "drop_db"); };
    api_.mysql_real_query = [](MySQLConnectionHandle* h, const char*, unsigned long) { return Status(h, "query"); };
    api_.mysql_use_result = [](MySQLConnectionHandle*) -> MySQLResultHandle* { return nullptr; };
    api_.mysql_free_result = [](MySQLResultHandle*) { World().calls.push_back("free"); };
    api_.mysql_num_fields = [](MySQLResultHandle*) -> unsigned int { return 0; };
    api_.mysql_num_rows = [](MySQLResultHandle*) -> std::uint64_t { return 0; };
    api_.mysql_fetch_lengths = [](MySQLResultHandle*) -> MySQLLengths { return nullptr; };
    api_.mysql_fetch_field = [](MySQLResultHandle*) -> const TMysql_FieldDef* {
        return static_cast<const TMysql_FieldDef*>(World().field);
    };
    api_.mysql_fetch_row = [](MySQLResultHandle*) -> MySQLRow { return nullptr; };
    api_.mysql_real_escape_string = [](MySQLConnectionHandle*, char* to, const char* from,
                                       unsigned long length) -> unsigned long {
        std::memcpy(to, from, length);
        to[length] = 0;
        return length;
    };
    api_.mysql_insert_id = [](MySQLConnectionHandle*) { return World().insertId; };
    api_.mysql_refresh = [](MySQLConnectionHandle* h, unsigned int) { return Status(h, "refresh"); };
    api_.mysql_affected_rows = [](MySQLConnectionHandle*) { return World().affectedRows; };
}

}  // namespace velmysql::testing
