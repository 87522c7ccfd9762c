// A form holding a server: what is written, and that reading it back gives the same server.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/test_server.h"
#include "velmysql/drivers/mysql_library.h"
#include "velmysql/rtl/formstream.h"
#include "velmysql/rtl/typinfo.h"
#include "velmysql/server/mysql_server.h"

namespace velmysql {
namespace {

std::unique_ptr<TMySQLServer> ReadServer(const std::string& text) {
    std::unique_ptr<TComponent> read = ReadComponentText(text);
    auto* server = dynamic_cast<TMySQLServer*>(read.get());
    if (server == nullptr) return nullptr;
    (void)read.release();
    return std::unique_ptr<TMySQLServer>(server);
}

class ServerFormTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterClass<TMySQLServer>(); }
};

TEST_F(ServerFormTest, ANewServerStoresOnlyWhatIsAlwaysStored) {
    TMySQLServer server(nullptr);
    server.SetName("Server1");
    EXPECT_EQ(WriteComponentText(server),
              "object Server1: TMySQLServer\n"
              "  Host = 'localhost'\n"
              "  UserName = 'root'\n"
              "  Password = ''\n"
              "end\n");
}

TEST_F(ServerFormTest, WrittenAndReadBack) {
    TMySQLServer server(nullptr);
    server.SetName("Shop");
    server.SetDriverKind(dtLibrary);
    static_cast<TMySQLLibrary*>(server.GetDriver())->SetClientDLL("libmariadb.so.3");
    server.SetProtocol(ptPipe);
    server.SetDatabaseName("shop");
    server.SetHost("db.example");
    server.SetPort(3307);
    server.SetLoginPrompt(true);
    server.SetUserName("ann");
    server.SetPassword("it's");
    server.SetOptions(server.Options() + TMySQLServerOptions{soAutoCreate, coCompress});
    server.SetParamsText("[client]\r\nread_timeout=5\r\n");
    const std::string text = WriteComponentText(server);

    std::unique_ptr<TMySQLServer> copy = ReadServer(text);
    ASSERT_NE(copy, nullptr) << text;
    EXPECT_EQ(copy->Name(), "Shop");
    EXPECT_EQ(copy->DriverKind(), dtLibrary);
    ASSERT_NE(dynamic_cast<TMySQLLibrary*>(copy->GetDriver()), nullptr);
    EXPECT_EQ(dynamic_cast<TMySQLLibrary*>(copy->GetDriver())->GetClientDLL(), "libmariadb.so.3");
    EXPECT_EQ(copy->Protocol(), ptPipe);
    EXPECT_EQ(copy->DatabaseName(), "shop");
    EXPECT_EQ(copy->Host(), "db.example");
    EXPECT_EQ(copy->Port(), 3307);
    EXPECT_TRUE(copy->LoginPrompt());
    EXPECT_EQ(copy->UserName(), "ann");
    EXPECT_EQ(copy->Password(), "it's");
    EXPECT_EQ(copy->Options(), server.Options());
    EXPECT_TRUE(copy->Compression());
    EXPECT_EQ(copy->Params().Text(), server.Params().Text());
    EXPECT_EQ(copy->GetDriver()->Options().Text(), server.GetDriver()->Options().Text());
    EXPECT_FALSE(copy->Connected());
    EXPECT_EQ(WriteComponentText(*copy), text);
}

TEST_F(ServerFormTest, StoredConnectedConnectsWhenTheFormIsLoaded) {
    VEL_REQUIRE_TEST_SERVER(ts);
    TMySQLServer server(nullptr);
    server.SetName("Live");
    server.SetHost(ts->host);
    server.SetPort(static_cast<std::uint16_t>(ts->port));
    server.SetUserName(ts->user);
    server.SetPassword(ts->password);
    server.SetDatabaseName(ts->database);
    server.Connect();
    const std::string text = WriteComponentText(server);
    EXPECT_NE(text.find("Connected = True"), std::string::npos) << text;
    server.Disconnect();

    std::unique_ptr<TMySQLServer> copy = ReadServer(text);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->Connected());
    EXPECT_EQ(copy->ConnectionDatabase(), ts->database);
}

}  // namespace
}  // namespace velmysql
