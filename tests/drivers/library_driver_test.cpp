// What only the drivers over loaded libraries do: file names, load failures, releasing the
// library on disconnect and the once-per-process embedded server.

#include <gtest/gtest.h>

#include "drivers_live.h"
#include "velmysql/drivers/mysql_embedded.h"
#include "velmysql/drivers/mysql_library.h"

namespace velmysql {
namespace {

TEST(LibraryDriver, DefaultFileNames) {
    TMySQLLibrary library;
    EXPECT_EQ(library.GetClientDLL(), "libmysqlclient.so");
    TMySQLEmbedded embedded;
    EXPECT_EQ(embedded.GetClientDLL(), "libmysqld.so");
    library.SetClientDLL("libmariadb.so.3");
    EXPECT_EQ(library.GetClientDLL(), "libmariadb.so.3");
    // The default name loads the client library installed with the development files.
    TMySQLLibrary byDefault;
    EXPECT_FALSE(byDefault.ClientInfo().empty());
    EXPECT_NE(byDefault.Module(), nullptr);
}

TEST(LibraryDriver, MissingFileRaisesTheLoadTextAndIsTriedAgain) {
    TMySQLLibrary d;
    const std::string file = "libvelmysql-missing-client.so";
    d.SetClientDLL(file);
    try {
        d.ClientInfo();
        FAIL() << "no exception";
    } catch (const EMySQLError& e) {
        FAIL() << "load failure raised EMySQLError: " << e.Message();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), LibraryLoadFailureText(file));
        EXPECT_EQ(e.Message(), "Could not load MySQL library " + file + " (available from " +
                                   kMySQLClientVendorAddress + "). Please place " + file +
                                   " in your program's directory or alternatively in your system32 folder or a "
                                   "system folder (included in your PATH).");
    }
    EXPECT_FALSE(d.Loaded());
    EXPECT_EQ(d.Module(), nullptr);
    // The next operation tries to load again, and succeeds once the name is right.
    EXPECT_THROW(d.ClientInfo(), Exception);
    d.SetClientDLL(testing::kTestClientLibrary);
    EXPECT_FALSE(d.ClientInfo().empty());
    EXPECT_TRUE(d.Loaded());
}

TEST(LibraryDriver, SettingTheFileNameWaitsForTheNextLoad) {
    TMySQLLibrary d;
    d.SetClientDLL(testing::kTestClientLibrary);
    d.Load();
    void* module = d.Module();
    d.SetClientDLL("libvelmysql-missing-client.so");
    EXPECT_EQ(d.Module(), module);
    EXPECT_FALSE(d.ClientInfo().empty());
    EXPECT_THROW(d.Load(), Exception);
    EXPECT_FALSE(d.Loaded());
}

TEST(LibraryDriver, EscapingNeedsAConnection) {
    // A client library reads the connection's character set; it is never handed none.
    TMySQLLibrary d;
    d.SetClientDLL(testing::kTestClientLibrary);
    try {
        d.EscapeStr("x");
        FAIL() << "no exception";
    } catch (const EMySQLError& e) {
        EXPECT_EQ(e.ErrorCode(), -1);
        EXPECT_EQ(e.Message(), "No server connection\r\nClient:" + d.ClientInfo());
    }
}

TEST(LibraryDriver, DisconnectReleasesTheLibraryAndUseLoadsItAgain) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMySQLLibrary d;
    d.SetClientDLL(testing::kTestClientLibrary);
    MySQLConnectionHandle* h = d.Open(s->host, s->user, s->password, s->port, 0, s->database);
    EXPECT_NE(d.Module(), nullptr);
    d.Close(h);
    EXPECT_EQ(d.Module(), nullptr);
    EXPECT_FALSE(d.Loaded());
    EXPECT_EQ(d.ServerInfo(nullptr), "-1");
    EXPECT_FALSE(d.ClientInfo().empty());
    EXPECT_NE(d.Module(), nullptr);
}

TEST(EmbeddedDriver, ServerRunsOncePerProcessAcrossUnloads) {
    VEL_REQUIRE_TEST_SERVER(s);
    auto d = testing::MakeDriver(testing::DriverKind::Embedded, *s);
    d->Load();
    EXPECT_TRUE(TMySQLEmbedded::ServerStarted("libmysqld.so"));
    auto& embedded = static_cast<TMySQLEmbedded&>(*d);
    EXPECT_NE(embedded.EmbeddedApi().mysql_server_init, nullptr);
    EXPECT_NE(embedded.EmbeddedApi().mysql_server_end, nullptr);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        MySQLConnectionHandle* h = d->Open("", "root", "", 0, 0, "");
        MySQLResultHandle* r = d->OpenQuery(h, "select 1");
        ASSERT_NE(r, nullptr);
        MySQLRow row = d->RetrieveRow(r);
        ASSERT_NE(row, nullptr);
        EXPECT_STREQ(row[0], "1");
        d->CloseQuery(r);
        d->Close(h);  // unloads the driver; the server keeps running
        EXPECT_FALSE(d->Loaded());
        EXPECT_TRUE(TMySQLEmbedded::ServerStarted("libmysqld.so"));
    }
    // Another name of the same library finds its server running instead of starting it again.
    EXPECT_FALSE(TMySQLEmbedded::ServerStarted("libmariadbd.so.19"));
    TMySQLEmbedded other;
    other.SetClientDLL("libmariadbd.so.19");
    other.Load();
    EXPECT_TRUE(TMySQLEmbedded::ServerStarted("libmariadbd.so.19"));
    d->Load();
    EXPECT_EQ(other.Module(), static_cast<TMySQLLibrary&>(*d).Module());
    MySQLConnectionHandle* h = other.Open("", "root", "", 0, 0, "");
    EXPECT_TRUE(other.Ping(h));
    other.Close(h);
}

}  // namespace
}  // namespace velmysql

namespace velmysql {
namespace {

// Runs in a fresh process (the embedded server of this one may already run): a server that
// refuses its arguments leaves the driver unloaded, so that later operations raise again
// instead of reaching mysql_init, which crashes after a failed start.
int FailedEmbeddedStart(const std::string& dataDir) {
    TMySQLEmbedded d("no-defaults\r\ndatadir=" + dataDir + "\r\nvelmysql-no-such-server-option=1");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (attempt == 0) d.Load();
            else d.Open("", "root", "", 0, 0, "");
            return 10 + attempt;
        } catch (const EMySQLError& e) {
            if (e.ErrorCode() != -1 || e.Message().rfind("\r\nClient:", 0) != 0) return 20 + attempt;
        }
        if (d.Loaded()) return 30 + attempt;
    }
    return TMySQLEmbedded::ServerStarted("libmysqld.so") ? 40 : 0;
}

TEST(EmbeddedDriverDeathTest, FailedStartLeavesTheDriverUnloaded) {
    VEL_REQUIRE_TEST_SERVER(s);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string dir = s->workDir + "/embedded-data";
    EXPECT_EXIT(std::exit(FailedEmbeddedStart(dir)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace velmysql
