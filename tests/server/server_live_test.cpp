// The connection component against the private test server, through each driver that can
// reach it: the client library and, where this build has it, the direct driver; the
// embedded server on a data directory of its own.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_server.h"
#include "velmysql/server/mysql_server.h"
#include "velmysql/wire/mysql_ct.h"

namespace velmysql {
namespace {

using testing::TestServer;

// The client library reads where the local socket is once, when it initialises; so the
// path is set before anything can load it.
const bool socketPathSet = [] {
    if (const char* socket = std::getenv("VELMYSQL_TEST_SOCKET")) setenv("MYSQL_UNIX_PORT", socket, 1);
    return true;
}();

std::string KindName(TMySQLDriverType kind) { return kind == dtLibrary ? "library" : "direct"; }


std::unique_ptr<TMySQLServer> NewServer(TMySQLDriverType kind, const TestServer& ts) {
    auto server = std::make_unique<TMySQLServer>(nullptr);
    server->SetDriverKind(kind);
    server->SetHost(ts.host);
    server->SetPort(static_cast<std::uint16_t>(ts.port));
    server->SetUserName(ts.rootUser);
    server->SetPassword(ts.rootPassword);
    return server;
}

// The first column of the first row of a statement run on the server's connection.
std::optional<std::string> QueryValue(TMySQLServer& server, const std::string& sql) {
    TMySQLBase& driver = *server.GetDriver();
    MySQLResultHandle* result = driver.OpenQuery(server.ServerHandle(), sql);
    std::optional<std::string> value;
    bool first = true;
    while (MySQLRow row = driver.RetrieveRow(result)) {
        if (first && row[0] != nullptr) value = std::string(row[0], driver.RetrieveRowFieldLenghts(result)[0]);
        first = false;
    }
    driver.CloseQuery(result);
    return value;
}

bool Contains(const TStrings& list, const std::string& s) { return list.IndexOf(s) >= 0; }

// The tables of a database and the fields of one of them, each list as its text.
void ExpectCatalogue(TMySQLServer& server, const std::string& db, const std::string& table,
                     const std::string& tablesText, const std::string& fieldsText) {
    TStringList tables;
    server.GetTableNames(db, tables);
    EXPECT_EQ(tables.Text(), tablesText);
    TStringList fields;
    server.GetFieldNames(db, table, fields);
    EXPECT_EQ(fields.Text(), fieldsText);
}

class LiveServerTest : public ::testing::TestWithParam<TMySQLDriverType> {
protected:
    std::string Name(const std::string& stem) const { return stem + "_" + KindName(GetParam()); }
};

TEST_P(LiveServerTest, ClientSectionChoosesTheUser) {
    VEL_REQUIRE_TEST_SERVER(ts);
    auto server = NewServer(GetParam(), *ts);
    server->SetParamsText("[client]\r\nuser=" + ts->user + "\r\npassword=" + ts->password + "\r\n");
    server->Connect();
    ASSERT_TRUE(server->Connected());
    EXPECT_EQ(server->UserName(), ts->user);
    auto user = QueryValue(*server, "select current_user()");
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->substr(0, user->find('@')), ts->user);
    EXPECT_GT(server->ServerVer(), 50000);
    EXPECT_TRUE(server->Ping());
    server->Disconnect();
    EXPECT_FALSE(server->Ping());
    EXPECT_EQ(server->ServerVersion(), "-1");
}

TEST_P(LiveServerTest, WrongPasswordFailsAndStaysDisconnected) {
    VEL_REQUIRE_TEST_SERVER(ts);
    auto server = NewServer(GetParam(), *ts);
    server->SetUserName(ts->user);
    server->SetPassword("wrong");
    try {
        server->Connect();
        FAIL() << "connected with a wrong password";
    } catch (const EMySQLError& e) {
        EXPECT_EQ(e.ErrorCode(), 1045) << e.Message();
        EXPECT_NE(e.Message().find("Could not connect to mysql server using:"), std::string::npos);
    }
    EXPECT_FALSE(server->Connected());
    EXPECT_EQ(server->GetDriver()->GetConnection(), nullptr);
}

TEST_P(LiveServerTest, DatabaseSelectionWhileConnected) {
    VEL_REQUIRE_TEST_SERVER(ts);
    auto server = NewServer(GetParam(), *ts);
    server->Connect();
    EXPECT_EQ(server->ConnectionDatabase(), "");
    server->SetDatabaseName(ts->database);
    EXPECT_EQ(server->ConnectionDatabase(), ts->database);
    try {
        server->SetDatabaseName("vel_no_such_database");
        FAIL() << "selected a missing database";
    } catch (const EMySQLError& e) {
        EXPECT_EQ(e.ErrorCode(), 1049) << e.Message();
    }
    EXPECT_EQ(server->DatabaseName(), "vel_no_such_database");
    EXPECT_EQ(server->ConnectionDatabase(), ts->database);
    EXPECT_TRUE(server->Connected());
}

TEST_P(LiveServerTest, AutoCreateMakesTheDatabaseAndBatchesRun) {
    VEL_REQUIRE_TEST_SERVER(ts);
    const std::string db = Name("vel_auto");
    auto root = NewServer(GetParam(), *ts);
    root->ExecSQL("drop database if exists " + db);

    auto server = NewServer(GetParam(), *ts);
    server->SetOptions(server->Options() + TMySQLServerOptions{soAutoCreate});
    server->SetDatabaseName(db);
    server->Connect();
    EXPECT_EQ(server->ConnectionDatabase(), db);
    TStringList names;
    server->GetDatabaseNames(names);
    EXPECT_TRUE(Contains(names, db));

    TStringList script;
    script.SetText("create table `my table` (id int, note varchar(20));\r\n"
                   "-- the second statement\r\n"
                   "insert into `my table` values (1, 'a;b'), (2, null);");
    EXPECT_TRUE(server->ExecSQLBatch(script));
    EXPECT_EQ(QueryValue(*server, "select count(*) from `my table`"), "2");
    script.SetText("-- only\r\n/* comments */");
    EXPECT_FALSE(server->ExecSQLBatch(script));

    ExpectCatalogue(*server, db, "my table", "my table\r\n", "id\r\nnote\r\n");

    server->ExecSQL("drop database `" + db + "`");
    server->GetDatabaseNames(names);
    EXPECT_FALSE(Contains(names, db));
}

// Current servers refuse the old create and drop commands and current client libraries
// lack the calls: the server creates and drops with statements, also for a name that
// needs backquotes, and a second create of the same database is the server's error.
TEST_P(LiveServerTest, CreateAndDropDatabase) {
    VEL_REQUIRE_TEST_SERVER(ts);
    const std::string db = Name("vel calls");
    auto server = NewServer(GetParam(), *ts);
    server->ExecSQL("drop database if exists `" + db + "`");
    TStringList names;

    server->CreateDatabase(db);
    server->GetDatabaseNames(names);
    EXPECT_TRUE(Contains(names, db));
    try {
        server->CreateDatabase(db);
        FAIL() << "created the same database twice";
    } catch (const EMySQLError& e) {
        EXPECT_EQ(e.ErrorCode(), 1007) << e.Message();
    }

    server->DropDatabase(db);
    server->GetDatabaseNames(names);
    EXPECT_FALSE(Contains(names, db));
    EXPECT_THROW(server->DropDatabase(db), EMySQLError);
}

TEST_P(LiveServerTest, AnErrorInABatchStopsIt) {
    VEL_REQUIRE_TEST_SERVER(ts);
    auto server = NewServer(GetParam(), *ts);
    server->SetDatabaseName(ts->database);
    const std::string table = Name("vel_batch");
    server->ExecSQL("drop table if exists " + table);
    TStringList script;
    script.SetText("create table " + table + " (a int);\r\nselect * from vel_missing_table;\r\ninsert into " + table +
                   " values (1);");
    EXPECT_THROW(server->ExecSQLBatch(script), EMySQLError);
    EXPECT_EQ(QueryValue(*server, "select count(*) from " + table), "0") << "the statement after the error ran";
    server->ExecSQL("drop table " + table);
}

TEST_P(LiveServerTest, TableNamesOfADatabaseThatNeedsQuotes) {
    VEL_REQUIRE_TEST_SERVER(ts);
    const std::string db = Name("vel my db");
    auto server = NewServer(GetParam(), *ts);
    server->ExecSQL("drop database if exists `" + db + "`");
    server->ExecSQL("create database `" + db + "`");
    EXPECT_TRUE(server->ExecSQL("create table `" + db + "`.t1 (a int, `b c` int)"));
    ExpectCatalogue(*server, db, "t1", "t1\r\n", "a\r\nb c\r\n");
    server->ExecSQL("drop database `" + db + "`");
}

TEST_P(LiveServerTest, LockHeldByAnotherConnection) {
    VEL_REQUIRE_TEST_SERVER(ts);
    const std::string lock = Name("vel_lock");
    auto holder = NewServer(GetParam(), *ts);
    auto other = NewServer(GetParam(), *ts);
    EXPECT_EQ(holder->GetLock(lock, 1), 1);
    EXPECT_EQ(other->GetLock(lock, 1), 0) << "another connection holds it";
    EXPECT_EQ(other->ReleaseLock(lock), 0);
    EXPECT_EQ(holder->ReleaseLock(lock), 1);
    EXPECT_EQ(other->GetLock(lock, 1), 1);
    EXPECT_EQ(other->ReleaseLock(lock), 1);
}

TEST_P(LiveServerTest, ProtocolPipeConnectsOverTheLocalSocket) {
    VEL_REQUIRE_TEST_SERVER(ts);
    auto server = NewServer(GetParam(), *ts);
    // The local socket stands in for the named pipe: the wire client finds its path in a
    // process-wide variable, the client library in its environment (set above).
    MYSQL_NAMEDPIPE_PATH = ts->socket;
    ASSERT_TRUE(socketPathSet);
    server->SetHost("localhost");
    server->SetProtocol(ptPipe);
    const std::string section = DriverSection(GetParam());
    EXPECT_EQ(server->Params().Text(), "[" + section + "]\r\nprotocol=pipe\r\n");
    EXPECT_EQ(server->GetDriver()->Options().Text(), "protocol=pipe\r\n");
    server->Connect();
    ASSERT_TRUE(server->Connected());
    const std::string info = server->GetDriver()->HostInfo(server->ServerHandle());
    EXPECT_EQ(info.find("TCP/IP"), std::string::npos) << info;
    EXPECT_EQ(QueryValue(*server, "select 1"), "1");
}

TEST_P(LiveServerTest, CloseOnChildrenClosesAfterEachOperation) {
    VEL_REQUIRE_TEST_SERVER(ts);
    auto server = NewServer(GetParam(), *ts);
    server->SetOptions(server->Options() + TMySQLServerOptions{soCloseOnChildren});
    EXPECT_TRUE(server->ExecSQL("do 1"));
    EXPECT_FALSE(server->Connected());
    TStringList names;
    server->GetDatabaseNames(names);
    EXPECT_TRUE(Contains(names, ts->database));
    EXPECT_FALSE(server->Connected());
    server->Connect();
    MySQLConnectionHandle* shared = server->ServerHandle();
    server->FreeConnection(shared);
    EXPECT_FALSE(server->Connected()) << "the last client gave its connection back";
}

TEST_P(LiveServerTest, PrivateConnectionsBesideTheServerHandle) {
    VEL_REQUIRE_TEST_SERVER(ts);
    auto server = NewServer(GetParam(), *ts);
    server->Connect();
    MySQLConnectionHandle* mine = server->AllocConnection();
    ASSERT_NE(mine, nullptr);
    TMySQLBase& driver = *server->GetDriver();
    EXPECT_NE(driver.ThreadID(mine), driver.ThreadID(server->ServerHandle()));
    EXPECT_TRUE(server->SelectDatabase(ts->database, mine));
    EXPECT_EQ(server->ConnectionDatabase(mine), ts->database);
    EXPECT_EQ(server->ConnectionDatabase(), "");
    server->FreeConnection(mine);
    EXPECT_EQ(mine, nullptr);
    EXPECT_TRUE(server->Ping());
}

INSTANTIATE_TEST_SUITE_P(Drivers, LiveServerTest, ::testing::Values(dtDirect, dtLibrary),
                         [](const auto& info) { return KindName(info.param); });

// The embedded server starts once per process and runs until the process ends, so every
// embedded case lives in this one test.
TEST(EmbeddedServer, AutoCreateScriptsAndCatalogue) {
    VEL_REQUIRE_TEST_SERVER(ts);
    const std::filesystem::path datadir = std::filesystem::path(ts->workDir) / "server-embedded";
    std::filesystem::create_directories(datadir);
    auto server = std::make_unique<TMySQLServer>(nullptr);
    server->SetParamsText("[embedded]\r\nno-defaults\r\ndatadir=" + datadir.string() + "\r\n");
    server->SetDriverKind(dtEmbedded);
    server->SetOptions(server->Options() + TMySQLServerOptions{soAutoCreate, soDropIfExists});
    server->SetDatabaseName("vel embedded");
    server->Connect();
    ASSERT_TRUE(server->Connected());
    EXPECT_NE(server->ServerVersion().find("embedded"), std::string::npos) << server->ServerVersion();
    EXPECT_EQ(server->ConnectionDatabase(), "vel embedded");

    TStringList script;
    script.SetText("create table t (a int primary key, b varchar(10));\r\ninsert into t values (1, 'x');");
    EXPECT_TRUE(server->ExecSQLBatch(script));
    ExpectCatalogue(*server, "vel embedded", "t", "t\r\n", "a\r\nb\r\n");

    // Disconnecting and connecting again works on the running embedded server; the drop of
    // soDropIfExists starts the database afresh.
    server->Disconnect();
    server->Connect();
    TStringList tables;
    server->GetTableNames("vel embedded", tables);
    EXPECT_EQ(tables.Count(), 0);
    server->Disconnect();
}

}  // namespace
}  // namespace velmysql
