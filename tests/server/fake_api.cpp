#include "server/fake_api.h"

#include <cstring>
#include <memory>

#include "velmysql/wire/mysql_ct.h"

namespace velmysql::testing {

namespace {

FakeApiWorld world;

struct Conn {
    unsigned errNo = 0;
    std::string error;
    std::vector<FakeRow> pending;  // rows of the last statement, until mysql_use_result
    bool hasResult = false;
};

struct Result {
    std::vector<FakeRow> rows;
    size_t next = 0;
    std::vector<char*> values;
    std::vector<unsigned long> lengths;
};

Conn* C(MySQLConnectionHandle* h) { return reinterpret_cast<Conn*>(h); }
Result* R(MySQLResultHandle* r) { return reinterpret_cast<Result*>(r); }

MySQLConnectionHandle* FakeInit(MySQLConnectionHandle*) {
    ++world.openHandles;
    return reinterpret_cast<MySQLConnectionHandle*>(new Conn);
}
int FakeOptions(MySQLConnectionHandle*, int, const void*) { return 0; }
MySQLConnectionHandle* FakeRealConnect(MySQLConnectionHandle* h, const char* host, const char* user, const char* pw,
                                   const char* db, unsigned port, const char*, unsigned long flags) {
    world.connects.push_back({host ? host : "", user ? user : "", pw ? pw : "", db ? db : "", port, flags});
    if (world.connectFails) {
        C(h)->errNo = 2003;
        C(h)->error = "Can't connect to MySQL server";
        return nullptr;
    }
    return h;
}
void FakeClose(MySQLConnectionHandle* h) {
    --world.openHandles;
    delete C(h);
}
unsigned FakeErrno(MySQLConnectionHandle* h) { return C(h)->errNo; }
const char* FakeError(MySQLConnectionHandle* h) { return C(h)->error.c_str(); }
const char* FakeHostInfo(MySQLConnectionHandle*) { return "fake via TCP/IP"; }
const char* FakeClientInfo() { return world.clientInfo.c_str(); }
const char* FakeServerInfo(MySQLConnectionHandle*) { return world.serverInfo.c_str(); }
unsigned FakeProtoInfo(MySQLConnectionHandle*) { return 10; }
int FakePing(MySQLConnectionHandle*) { return 0; }
unsigned long FakeThreadId(MySQLConnectionHandle*) { return 7; }
int FakeKill(MySQLConnectionHandle*, unsigned long) { return 0; }
const char* FakeInfo(MySQLConnectionHandle*) { return nullptr; }
int FakeSelectDb(MySQLConnectionHandle* h, const char* db) {
    world.calls.push_back(std::string("select_db ") + db);
    if (world.missingDatabases.count(db)) {
        C(h)->errNo = 1049;
        C(h)->error = std::string("Unknown database '") + db + "'";
        return 1;
    }
    return 0;
}
int FakeRealQuery(MySQLConnectionHandle* h, const char* q, unsigned long n) {
    std::string sql(q, n);
    world.calls.push_back(sql);
    auto it = world.results.find(sql);
    C(h)->hasResult = it != world.results.end();
    C(h)->pending = C(h)->hasResult ? it->second : std::vector<FakeRow>{};
    return 0;
}
MySQLResultHandle* FakeUseResult(MySQLConnectionHandle* h) {
    if (!C(h)->hasResult) return nullptr;
    auto* r = new Result;
    r->rows = std::move(C(h)->pending);
    C(h)->hasResult = false;
    return reinterpret_cast<MySQLResultHandle*>(r);
}
void FakeFreeResult(MySQLResultHandle* r) { delete R(r); }
unsigned FakeNumFields(MySQLResultHandle*) { return 1; }
std::uint64_t FakeNumRows(MySQLResultHandle* r) { return R(r)->rows.size(); }
MySQLLengths FakeFetchLengths(MySQLResultHandle* r) { return R(r)->lengths.data(); }
const TMysql_FieldDef* FakeFetchField(MySQLResultHandle*) { return nullptr; }
MySQLRow FakeFetchRow(MySQLResultHandle* res) {
    Result* r = R(res);
    if (r->next >= r->rows.size()) return nullptr;
    FakeRow& row = r->rows[r->next++];
    r->values.clear();
    r->lengths.clear();
    for (auto& v : row) {
        r->values.push_back(v ? v->data() : nullptr);
        r->lengths.push_back(v ? v->size() : 0);
    }
    return r->values.data();
}
unsigned long FakeEscape(MySQLConnectionHandle*, char* to, const char* from, unsigned long n) {
    unsigned long o = 0;
    for (unsigned long i = 0; i < n; ++i) {
        if (from[i] == '\'') to[o++] = '\\';
        to[o++] = from[i];
    }
    to[o] = '\0';
    return o;
}
std::uint64_t FakeInsertId(MySQLConnectionHandle*) { return 0; }
int FakeRefresh(MySQLConnectionHandle*, unsigned) { return 0; }
std::uint64_t FakeAffectedRows(MySQLConnectionHandle*) { return 0; }

}  // namespace

FakeApiWorld& Fake() { return world; }
void ResetFake() { world = FakeApiWorld{}; }

void FakeApiDriver::Bind() {
    TMySQLBase::Bind();
    api_.mysql_init = FakeInit;
    api_.mysql_options = FakeOptions;
    api_.mysql_real_connect = FakeRealConnect;
    api_.mysql_close = FakeClose;
    api_.mysql_errno = FakeErrno;
    api_.mysql_error = FakeError;
    api_.mysql_get_host_info = FakeHostInfo;
    api_.mysql_get_client_info = FakeClientInfo;
    api_.mysql_get_server_info = FakeServerInfo;
    api_.mysql_get_proto_info = FakeProtoInfo;
    api_.mysql_ping = FakePing;
    api_.mysql_thread_id = FakeThreadId;
    api_.mysql_kill = FakeKill;
    api_.mysql_info = FakeInfo;
    api_.mysql_select_db = FakeSelectDb;
    api_.mysql_real_query = FakeRealQuery;
    api_.mysql_use_result = FakeUseResult;
    api_.mysql_free_result = FakeFreeResult;
    api_.mysql_num_fields = FakeNumFields;
    api_.mysql_num_rows = FakeNumRows;
    api_.mysql_fetch_lengths = FakeFetchLengths;
    api_.mysql_fetch_field = FakeFetchField;
    api_.mysql_fetch_row = FakeFetchRow;
    api_.mysql_real_escape_string = FakeEscape;
    api_.mysql_insert_id = FakeInsertId;
    api_.mysql_refresh = FakeRefresh;
    api_.mysql_affected_rows = FakeAffectedRows;
}

}  // namespace velmysql::testing
