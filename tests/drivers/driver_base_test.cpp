// The shared driver behaviour of TMySQLBase over a scripted C API: load on demand, neutral
// answers, opening and closing, option keys and the composition of error texts.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>

#include <functional>

#include "fake_driver.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/drivers/mysql_library.h"

namespace velmysql {
namespace {

using testing::FakeDriver;
using testing::ResetWorld;
using testing::World;

class DriverBaseTest : public ::testing::Test {
protected:
    void SetUp() override { ResetWorld(); }
    MySQLConnectionHandle* OpenDefault(FakeDriver& d) { return d.Open("db.example", "alice", "pw", 3306, 0, "shop"); }
};

template <class F>
EMySQLError Raised(F&& f) {
    try {
        f();
    } catch (const EMySQLError& e) {
        return e;
    }
    ADD_FAILURE() << "no EMySQLError raised";
    return EMySQLError(-2, "");
}

TEST_F(DriverBaseTest, AbsentHandlesGetNeutralAnswers) {
    FakeDriver d;
    MySQLResultHandle* noResult = nullptr;
    EXPECT_EQ(d.ErrorNo(nullptr), 0);
    EXPECT_EQ(d.ErrorMsg(nullptr), "");
    EXPECT_EQ(d.HostInfo(nullptr), "No server connection");
    EXPECT_EQ(d.ServerInfo(nullptr), "-1");
    EXPECT_EQ(d.QueryInfo(nullptr), "-1");
    EXPECT_EQ(d.ProtoInfo(nullptr), 0u);
    EXPECT_FALSE(d.Ping(nullptr));
    EXPECT_EQ(d.ThreadID(nullptr), 0u);
    d.Kill(nullptr, 5);
    EXPECT_FALSE(d.CreateDatabase(nullptr, "x"));
    EXPECT_FALSE(d.SelectDatabase(nullptr, "x"));
    EXPECT_FALSE(d.DropDatabase(nullptr, "x"));
    EXPECT_EQ(d.OpenQuery(nullptr, "select 1"), nullptr);
    d.CloseQuery(noResult);
    EXPECT_EQ(d.RetrieveColCount(nullptr), 0u);
    EXPECT_EQ(d.RetrieveRowCount(nullptr), 0u);
    EXPECT_EQ(d.RetrieveRow(nullptr), nullptr);
    EXPECT_EQ(d.RetrieveRowFieldLenghts(nullptr), nullptr);
    EXPECT_EQ(d.LastInsertID(nullptr), "");
    EXPECT_EQ(d.AffectedRows(nullptr), "");
    EXPECT_FALSE(d.Refresh(nullptr, 1));
    // None of them reached the table.
    EXPECT_TRUE(World().calls.empty());
}

TEST_F(DriverBaseTest, ServerAndQueryInfoDoNotLoadAndReservedWordsNeedNoLibrary) {
    FakeDriver d;
    MySQLConnectionHandle* someHandle = reinterpret_cast<MySQLConnectionHandle*>(&d);
    EXPECT_EQ(d.ServerInfo(someHandle), "-1");
    EXPECT_EQ(d.QueryInfo(someHandle), "-1");
    EXPECT_TRUE(d.IsReservedWord("Select"));
    EXPECT_FALSE(d.Loaded());
    EXPECT_EQ(d.bindCount, 0);
    EXPECT_EQ(d.ClientInfo(), "4.1.14");  // loads on demand
    EXPECT_TRUE(d.Loaded());
    EXPECT_EQ(d.bindCount, 1);
}

TEST_F(DriverBaseTest, OpenKeepsTheFirstHandleAndReadsBothVersions) {
    FakeDriver d;
    MySQLConnectionHandle* first = OpenDefault(d);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(d.GetConnection(), first);
    EXPECT_EQ(d.ClientVersion(), 40114);
    EXPECT_EQ(d.ServerVersion(), 50045);

    MySQLConnectionHandle* second = OpenDefault(d);
    EXPECT_NE(second, first);
    EXPECT_EQ(d.GetConnection(), first);

    // Closing another handle leaves the driver loaded and its own connection in place.
    d.Close(second);
    EXPECT_EQ(second, nullptr);
    EXPECT_TRUE(d.Loaded());
    EXPECT_EQ(d.GetConnection(), first);
    EXPECT_EQ(World().openConnections, 1);

    // Closing the own connection unloads.
    d.Close(first);
    EXPECT_EQ(first, nullptr);
    EXPECT_FALSE(d.Loaded());
    EXPECT_EQ(d.GetConnection(), nullptr);
    EXPECT_EQ(d.ServerVersion(), 0);
    EXPECT_EQ(d.ClientVersion(), 0);
    EXPECT_EQ(World().openConnections, 0);
}

TEST_F(DriverBaseTest, OpenFailures) {
    {
        FakeDriver d;
        World().initFails = true;
        EMySQLError e = Raised([&] { OpenDefault(d); });
        EXPECT_EQ(e.ErrorCode(), -1);
        EXPECT_EQ(e.Message(), "Could not initialize mysql driver.\r\nClient:4.1.14");
    }
    ResetWorld();
    {
        FakeDriver d;
        World().connectFails = true;
        EMySQLError e = Raised([&] { OpenDefault(d); });
        EXPECT_EQ(e.ErrorCode(), 1045);
        // The failed handle was the own connection while the text was composed; it has no
        // server version yet.
        EXPECT_EQ(e.Message(),
                  "[1045] Access denied: Could not connect to mysql server using:\r\nUser: alice\r\nHost:db.example\r\n"
                  "Port:3306\r\nDB:shop\r\nPlease check the following:\r\n"
                  "> MySQL Server is running on the host and port specified and that you can access it through "
                  "possible firewalls\r\n"
                  "> If the server is available and on a remote machine, check that this username (with password) "
                  "may access it from a remote IP, see MySQL Manual (Security)\r\nClient:4.1.14\r\nServer:");
        EXPECT_EQ(d.GetConnection(), nullptr);
        EXPECT_EQ(World().openConnections, 0);
        EXPECT_TRUE(d.Loaded());
    }
}

TEST_F(DriverBaseTest, FailedStatusRaisesWithTheHandlesError) {
    FakeDriver d;
    MySQLConnectionHandle* h = OpenDefault(d);
    World().statusResult = 1;
    struct Case {
        const char* name;
        std::function<void()> call;
    } cases[] = {
        {"ping", [&] { d.Ping(h); }},
        {"kill", [&] { d.Kill(h, 3); }},
        {"create", [&] { d.CreateDatabase(h, "x"); }},
        {"select", [&] { d.SelectDatabase(h, "x"); }},
        {"drop", [&] { d.DropDatabase(h, "x"); }},
        {"query", [&] { d.OpenQuery(h, "select 1"); }},
        {"refresh", [&] { d.Refresh(h, 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EMySQLError e = Raised(c.call);
        EXPECT_EQ(e.ErrorCode(), 2006);
        EXPECT_EQ(e.Message(), "[2006] MySQL server has gone away: \r\nClient:4.1.14\r\nServer:5.0.45");
    }
    EXPECT_EQ(d.GetConnection(), h);  // state unchanged
    World().statusResult = 0;
    EXPECT_TRUE(d.Ping(h));
}

TEST_F(DriverBaseTest, MySQLErrorComposition) {
    FakeDriver connected;
    MySQLConnectionHandle* h = OpenDefault(connected);
    FakeDriver loadedOnly;
    loadedOnly.Load();

    struct Case {
        const char* name;
        TMySQLBase* driver;
        MySQLConnectionHandle* handle;
        int number;
        const char* message;
        int expectedCode;
        const char* expected;
    } cases[] = {
        {"no driver", nullptr, nullptr, -1, "No dataset server selected for open", -1,
         "No dataset server selected for open"},
        {"no driver, number", nullptr, nullptr, 17, "Boom", 17, "[17] Boom"},
        {"driver without connection", &loadedOnly, nullptr, -1, "No server connection", -1,
         "No server connection\r\nClient:4.1.14"},
        {"own connection", &connected, nullptr, 99, "Dataset server could not connect", 0,
         "[0] : Dataset server could not connect\r\nClient:4.1.14\r\nServer:5.0.45"},
        {"handle", &connected, h, -1, "", 0, "[0] : \r\nClient:4.1.14\r\nServer:5.0.45"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EMySQLError e = Raised([&] { MySQLError(c.driver, c.handle, c.number, c.message, -1, -1); });
        EXPECT_EQ(e.ErrorCode(), c.expectedCode);
        EXPECT_EQ(e.Message(), c.expected);
    }
    // A client that names no version adds no suffix.
    World().clientInfo = "";
    EMySQLError e = Raised([&] { MySQLError(&loadedOnly, nullptr, -1, "m", -1, -1); });
    EXPECT_EQ(e.Message(), "m");
}

TEST_F(DriverBaseTest, MySQLErrorFallsBackWhenComposingFails) {
    // Composing asks the client library for its version, which cannot be loaded.
    TMySQLLibrary d;
    d.SetClientDLL("libvelmysql-no-such-client.so");
    EMySQLError e = Raised([&] { MySQLError(&d, nullptr, 42, "original", -1, -1); });
    EXPECT_EQ(e.ErrorCode(), 42);
    EXPECT_EQ(e.Message(), "original");
}

TEST_F(DriverBaseTest, EMySQLErrorIsADatabaseError) {
    try {
        MySQLError(nullptr, nullptr, -1, "x", -1, -1);
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "x");
        return;
    }
    FAIL() << "not an EDatabaseError";
}

TEST_F(DriverBaseTest, OptionKeysReachMysqlOptions) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::vector<std::pair<int, std::uint32_t>> expected;
    } cases[] = {
        {"none", {}, {}},
        {"pipe with empty value", {"pipe="}, {{MYSQL_OPT_NAMED_PIPE, 0}}},
        {"pipe without =", {"pipe"}, {}},
        {"protocol=PIPE", {"protocol=PIPE"}, {{MYSQL_OPT_NAMED_PIPE, 0}}},
        {"protocol=tcp", {"protocol=tcp"}, {}},
        {"pipe and protocol once", {"PIPE=1", "protocol=pipe"}, {{MYSQL_OPT_NAMED_PIPE, 0}}},
        {"connect_timeout=abc", {"connect_timeout=abc"}, {{MYSQL_OPT_CONNECT_TIMEOUT, 60}}},
        {"read_timeout=", {"read_timeout="}, {{MYSQL_OPT_READ_TIMEOUT, 300}}},
        {"write_timeout=7", {"Write_Timeout=7"}, {{MYSQL_OPT_WRITE_TIMEOUT, 7}}},
        {"first line wins", {"connect_timeout=5", "connect_timeout=9"}, {{MYSQL_OPT_CONNECT_TIMEOUT, 5}}},
        {"autoreconnect=0", {"autoreconnect=0"}, {{MYSQL_OPT_RECONNECT, 0}}},
        {"autoreconnect=yes", {"autoreconnect=yes"}, {{MYSQL_OPT_RECONNECT, 1}}},
        {"autoreconnect=256", {"autoreconnect=256"}, {{MYSQL_OPT_RECONNECT, 1}}},
        {"max_allowed_packet=20000000", {"max_allowed_packet=20000000"}, {{MYSQL_OPT_MAX_ALLOWED_PACKET, 20000000}}},
        {"max_allowed_packet=abc", {"max_allowed_packet=abc"}, {{MYSQL_OPT_MAX_ALLOWED_PACKET, 1u << 30}}},
        {"table order, others ignored",
         {"autoreconnect=1", "datadir=/x", "pipe=", "read_timeout=2", "connect_timeout=3", "write_timeout=4"},
         {{MYSQL_OPT_CONNECT_TIMEOUT, 3},
          {MYSQL_OPT_READ_TIMEOUT, 2},
          {MYSQL_OPT_WRITE_TIMEOUT, 4},
          {MYSQL_OPT_NAMED_PIPE, 0},
          {MYSQL_OPT_RECONNECT, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetWorld();
        FakeDriver d;
        d.SetOptions(c.lines);
        OpenDefault(d);
        EXPECT_EQ(World().options, c.expected);
    }
}

TEST_F(DriverBaseTest, OptionTextIsSplitIntoLines) {
    FakeDriver d("connect_timeout=5\r\npipe=\nread_timeout=1\r\n");
    EXPECT_EQ(d.OptionLines(), (std::vector<std::string>{"connect_timeout=5", "pipe=", "read_timeout=1"}));
    // SetOptions copies the list.
    TStringList lines;
    lines.Add("autoreconnect=0");
    d.SetOptions(lines);
    lines.Add("pipe=");
    EXPECT_EQ(d.Options().Count(), 1);
    EXPECT_EQ(d.Options()[0], "autoreconnect=0");
}

TEST_F(DriverBaseTest, CountsAreSigned64BitTexts) {
    FakeDriver d;
    MySQLConnectionHandle* h = OpenDefault(d);
    World().affectedRows = ~std::uint64_t{0};
    World().insertId = 12345678901234ull;
    EXPECT_EQ(d.AffectedRows(h), "-1");
    EXPECT_EQ(d.LastInsertID(h), "12345678901234");
    World().affectedRows = 3;
    EXPECT_EQ(d.AffectedRows(h), "3");
}

TEST_F(DriverBaseTest, MissingEntryRaisesPlainException) {
    FakeDriver d;
    d.withoutCreateDb = true;
    MySQLConnectionHandle* h = OpenDefault(d);
    try {
        d.CreateDatabase(h, "x");
        FAIL() << "no exception";
    } catch (const EMySQLError&) {
        FAIL() << "missing entry raised EMySQLError";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  std::string("This MySQL API call is not implemented in the library you are using.  "
                              "Please update your library or contact Velcraft, ") +
                      kVelmysqlHomePage + ".");
    }
    // The driver goes on working.
    EXPECT_TRUE(d.SelectDatabase(h, "x"));
}

TEST_F(DriverBaseTest, UnloadAndDestructionCloseTheOwnConnection) {
    {
        FakeDriver d;
        OpenDefault(d);
        d.Load();  // loading again unloads first
        EXPECT_EQ(World().openConnections, 0);
        EXPECT_EQ(d.GetConnection(), nullptr);
        EXPECT_EQ(d.bindCount, 2);
    }
    {
        FakeDriver d;
        OpenDefault(d);
        OpenDefault(d);
        EXPECT_EQ(World().openConnections, 2);
    }
    // The own connection was closed; the other one belongs to whoever opened it.
    EXPECT_EQ(World().openConnections, 1);
}

}  // namespace
}  // namespace velmysql

#include "drivers/field_layouts.h"

namespace velmysql {
namespace {

// Each client series lays its field structure out differently; the client version picks
// the layout that is read.
TEST_F(DriverBaseTest, RetrieveFieldReadsTheClientSeriesLayout) {
    char name[] = "name", orgName[] = "org_name", table[] = "table", orgTable[] = "org_table", db[] = "db",
         catalog[] = "def_catalog", def[] = "default";
    TMysql_FieldDef f411;
    f411.name = name, f411.org_name = orgName, f411.table = table, f411.org_table = orgTable, f411.db = db;
    f411.catalog = catalog, f411.def = def, f411.length = 11, f411.max_length = 4, f411.flags = 515;
    f411.decimals = 2, f411.charsetnr = 8, f411.type = 3, f411.name_length = 4;
    drivers_detail::FieldLayout410 f410{name, orgName, table, orgTable, db, def, 11, 4, 4, 8, 5, 9, 2, 7, 515, 2, 8, 3};
    drivers_detail::FieldLayout40 f40{name, table, orgTable, db, def, 11, 4, 515, 2, 3};
    drivers_detail::FieldLayout323 f323{name, table, def, 3, 11, 4, 515, 2};
    struct Case {
        const char* client;
        const void* field;
        const char* orgName;
    } cases[] = {
        {"10.11.19", &f411, orgName}, {"4.1.1", &f411, orgName}, {"4.1.0", &f410, orgName},
        {"4.0.27", &f40, nullptr},    {"3.23.58", &f323, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.client);
        ResetWorld();
        World().clientInfo = c.client;
        World().field = c.field;
        FakeDriver d;
        MySQLResultHandle* result = reinterpret_cast<MySQLResultHandle*>(&d);
        TMysql_FieldDef f = d.RetrieveField(result);
        EXPECT_EQ(f.name, name);
        EXPECT_EQ(f.org_name, c.orgName);
        EXPECT_EQ(f.table, table);
        EXPECT_EQ(f.def, def);
        // Only the 4.1.1 layout carries org_table and db in a place the driver reads.
        bool modern = c.field == &f411;
        EXPECT_EQ(f.org_table, modern ? orgTable : nullptr);
        EXPECT_EQ(f.db, modern ? db : nullptr);
        EXPECT_EQ(f.catalog, nullptr);
        EXPECT_EQ(f.length, 11u);
        EXPECT_EQ(f.max_length, 4u);
        EXPECT_EQ(f.flags, 515u);
        EXPECT_EQ(f.decimals, 2u);
        EXPECT_EQ(f.type, 3);
        EXPECT_EQ(f.charsetnr, 0u);
        EXPECT_EQ(f.name_length, 0u);

        World().field = nullptr;
        TMysql_FieldDef after = d.RetrieveField(result);
        ASSERT_NE(after.name, nullptr);
        EXPECT_STREQ(after.name, "");
        EXPECT_EQ(after.table, nullptr);
        EXPECT_STREQ(d.RetrieveField(nullptr).name, "");
    }
}

// Client series before 5.1 end their field structure at the type: a structure of exactly
// that size (here the last one of its allocation) is read without touching a byte past it.
TEST_F(DriverBaseTest, RetrieveFieldReadsNoMemberTheSeriesLacks) {
    char name[] = "n";
    const std::size_t size = offsetof(TMysql_FieldDef, extension);
    std::unique_ptr<unsigned char[]> block(new unsigned char[size]);
    TMysql_FieldDef full;
    full.name = name, full.length = 7, full.flags = 3, full.type = 253;
    std::memcpy(block.get(), &full, size);
    ResetWorld();
    World().clientInfo = "5.0.96";
    World().field = block.get();
    FakeDriver d;
    TMysql_FieldDef f = d.RetrieveField(reinterpret_cast<MySQLResultHandle*>(&d));
    EXPECT_EQ(f.name, name);
    EXPECT_EQ(f.length, 7u);
    EXPECT_EQ(f.flags, 3u);
    EXPECT_EQ(f.type, 253);
}

}  // namespace
}  // namespace velmysql
