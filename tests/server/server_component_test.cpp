// The connection component over a scripted driver: what it sends, in which order, and how
// its state follows connecting, failing and disconnecting.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/fake_api.h"
#include "velmysql/db/dataset.h"
#include "velmysql/drivers/mysql_library.h"
#include "velmysql/rtl/dialogs.h"
#include "velmysql/server/mysql_server.h"

namespace velmysql {
namespace {

using testing::Fake;
using testing::FakeApiDriver;

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetFake();
        server = std::make_unique<TMySQLServer>(nullptr);
        server->SetDriver(std::make_unique<FakeApiDriver>());
        auto scripted = std::make_unique<TScriptedDialogs>();
        dialogs = scripted.get();
        previous = SetDialogService(std::move(scripted));
    }
    void TearDown() override {
        server.reset();
        SetDialogService(std::move(previous));
        EXPECT_EQ(Fake().openHandles, 0) << "a connection handle was not given back";
    }
    std::vector<std::string> Statements() const { return Fake().calls; }

    std::unique_ptr<TMySQLServer> server;
    TScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<TDialogService> previous;
};

// A dataset that can be opened without rows, standing in for the dataset side of the
// server's seam.
class ClientDataset : public TDataSet, public TMySQLServerClient {
public:
    explicit ClientDataset(TMySQLServer* server, std::string script = {}, bool autoCreate = false)
        : TDataSet(nullptr), server_(server), script_(std::move(script)), autoCreate_(autoCreate) {
        // Like the datasets: closing when the server disconnects.
        if (server_) server_->RegisterClient(this, [this](TObject*, bool connecting) {
            if (!connecting) Close();
        });
    }
    ~ClientDataset() override {
        CloseOnDestroy();
        if (server_) server_->UnRegisterClient(this);
    }
    bool AutoCreatesTable() const override { return autoCreate_; }
    std::string TableCreationScript() override { return script_; }
    void DetachFromServer() override {
        if (server_) server_->UnRegisterClient(this);
        server_ = nullptr;
    }
    TMySQLServer* Server() const { return server_; }

protected:
    TRecordBuffer AllocRecordBuffer() override { return new char[1]; }
    void FreeRecordBuffer(TRecordBuffer& Buffer) override {
        delete[] static_cast<char*>(Buffer);
        Buffer = nullptr;
    }
    TGetResult GetRecord(TRecordBuffer, TGetMode, bool) override { return grEOF; }
    void InternalOpen() override { open_ = true; }
    void InternalClose() override { open_ = false; }
    bool IsCursorOpen() override { return open_; }
    void InternalInitFieldDefs() override {}
    void InternalHandleException() override {}

private:
    TMySQLServer* server_;
    std::string script_;
    bool autoCreate_;
    bool open_ = false;
};

TEST(ServerDefaults, NewServer) {
    TMySQLServer server(nullptr);
    EXPECT_EQ(server.Host(), "localhost");
    EXPECT_EQ(server.Port(), 3306);
    EXPECT_EQ(server.UserName(), "root");
    EXPECT_EQ(server.Password(), "");
    EXPECT_EQ(server.DatabaseName(), "");
    EXPECT_EQ(server.DriverKind(), dtDirect);
    EXPECT_EQ(server.Protocol(), ptTCP);
    EXPECT_EQ(server.Options(), (TMySQLServerOptions{coInteractive, coTransactions, coProtocol41}));
    EXPECT_EQ(ClientFlags(server.Options()), 9728u);
    EXPECT_FALSE(server.LoginPrompt());
    EXPECT_FALSE(server.Compression());
    EXPECT_FALSE(server.Connected());
    EXPECT_EQ(server.Params().Count(), 0);
    EXPECT_EQ(server.ServerVersion(), "-1");
}

TEST_F(ServerTest, ConnectPassesSettingsAndFlags) {
    server->SetHost("db.example");
    server->SetPort(3307);
    server->SetUserName("ann");
    server->SetPassword("pw");
    server->SetOptions(server->Options() + TMySQLServerOptions{coMultiQueries, coConnectWithDB});
    server->SetDatabaseName("shop");
    server->Connect();
    ASSERT_TRUE(server->Connected());
    ASSERT_EQ(Fake().connects.size(), 1u);
    const auto& c = Fake().connects[0];
    EXPECT_EQ(c.host, "db.example");
    EXPECT_EQ(c.user, "ann");
    EXPECT_EQ(c.password, "pw");
    EXPECT_EQ(c.port, 3307u);
    EXPECT_EQ(c.db, "shop");
    EXPECT_EQ(c.flags, 9728u + 65536u + 8u);
    // With coConnectWithDB the connect call selects the database; nothing else follows.
    EXPECT_TRUE(Statements().empty());
    EXPECT_EQ(server->ServerHandle(), server->GetDriver()->GetConnection());
    server->Disconnect();
    EXPECT_FALSE(server->Connected());
}

TEST_F(ServerTest, ClientSectionOverridesProperties) {
    server->SetParamsText("[client]\r\nhost=other\r\nuser=bob\r\npassword=secret\r\nport=4406\r\n");
    server->Connect();
    ASSERT_EQ(Fake().connects.size(), 1u);
    EXPECT_EQ(Fake().connects[0].host, "other");
    EXPECT_EQ(Fake().connects[0].user, "bob");
    EXPECT_EQ(Fake().connects[0].password, "secret");
    EXPECT_EQ(Fake().connects[0].port, 4406u);
    EXPECT_EQ(server->UserName(), "bob");
    EXPECT_EQ(server->Host(), "other");
    EXPECT_EQ(server->Port(), 4406);
}

TEST_F(ServerTest, PortTextThatIsNoPortKeepsThePort) {
    for (const char* text : {"abc", "70000", "", "12a"}) {
        server->Disconnect();
        server->SetParamsText(std::string("[client]\r\nport=") + text + "\r\n");
        server->Connect();
        EXPECT_EQ(Fake().connects.back().port, 3306u) << text;
    }
}

TEST_F(ServerTest, OnLoginMayChangeTheParameters) {
    server->OnLogin = [this](TMySQLServer* sender, TStrings* params) {
        EXPECT_EQ(sender, server.get());
        params->SetText("[client]\r\nuser=from_handler\r\npassword=handler_pw\r\n");
    };
    server->Connect();
    EXPECT_EQ(Fake().connects.at(0).user, "from_handler");
    EXPECT_EQ(Fake().connects.at(0).password, "handler_pw");
}

TEST_F(ServerTest, LoginPromptAnswered) {
    server->SetLoginPrompt(true);
    server->SetPassword("stored");
    dialogs->AnswerLogin(true, {{"DatabaseName", "typed-host"}, {"Port", "3310"}, {"Password", "typed"}});
    server->Connect();
    ASSERT_EQ(dialogs->Shown().size(), 1u);
    const TLoginPrompt& shown = dialogs->Shown()[0].Prompt;
    EXPECT_EQ(shown.Field("DatabaseName")->Value, "localhost");
    EXPECT_EQ(shown.Field("Port")->Value, "3306");
    EXPECT_EQ(shown.Field("UserName")->Value, "root");
    EXPECT_EQ(shown.Field("Password")->Value, "") << "the password is never pre-filled";
    ASSERT_TRUE(server->Connected());
    EXPECT_EQ(Fake().connects.at(0).host, "typed-host");
    EXPECT_EQ(Fake().connects.at(0).port, 3310u);
    EXPECT_EQ(Fake().connects.at(0).password, "typed");
    EXPECT_EQ(server->Password(), "typed");
}

TEST_F(ServerTest, LoginPromptCancelledLeavesTheServerDisconnected) {
    server->SetLoginPrompt(true);
    server->SetParamsText("[client]\r\nuser=bob\r\n");
    dialogs->AnswerLogin(false);
    int afterConnect = 0;
    server->AfterConnect = [&](TObject*) { ++afterConnect; };
    EXPECT_NO_THROW(server->Connect());
    EXPECT_FALSE(server->Connected());
    EXPECT_EQ(afterConnect, 0) << "AfterConnect told of a connection that was not made";
    EXPECT_TRUE(Fake().connects.empty());
    EXPECT_EQ(server->UserName(), "bob") << "the client section was read before the prompt";
}

TEST_F(ServerTest, ServerOlderThan321IsRefused) {
    Fake().serverInfo = "3.20.32a";
    try {
        server->Connect();
        FAIL() << "connected to a 3.20 server";
    } catch (const EMySQLError& e) {
        EXPECT_EQ(e.ErrorCode(), -1);
        EXPECT_EQ(e.Message(),
                  "Only compatible with MySQL Server 3.21.xx and higher. Your version: 32032\r\nClient:4.1.14");
    }
    EXPECT_FALSE(server->Connected());
    EXPECT_EQ(server->GetDriver()->GetConnection(), nullptr);
}

TEST_F(ServerTest, ExecSQLDropsTheFinalSemicolonOnlyForOldServers) {
    struct Case {
        const char* serverInfo;
        const char* sent;
    };
    for (const Case& c : {Case{"3.21.23", "select 1"}, Case{"4.1.0", "select 1;"}, Case{"3.22.0", "select 1;"}}) {
        server->Disconnect();
        testing::ResetFake();
        Fake().serverInfo = c.serverInfo;
        EXPECT_TRUE(server->ExecSQL("select 1;"));
        EXPECT_EQ(Statements(), std::vector<std::string>{c.sent}) << c.serverInfo;
    }
    server->Disconnect();
}

TEST_F(ServerTest, ExecSQLBatchRunsEveryStatementInOrder) {
    TStringList script;
    script.SetText("-- two statements\r\ninsert into t values (1);\r\n/* then */ update t set a = 'x;y';");
    EXPECT_TRUE(server->ExecSQLBatch(script));
    EXPECT_EQ(Statements(), (std::vector<std::string>{"insert into t values (1);", "update t set a = 'x;y';"}));
}

TEST_F(ServerTest, ExecSQLBatchOfCommentsOnlyRunsNothing) {
    TStringList script;
    script.SetText("-- nothing\r\n/* here */\r\n# either\r\n");
    EXPECT_FALSE(server->ExecSQLBatch(script));
    EXPECT_TRUE(Statements().empty());
}

TEST_F(ServerTest, DatabaseScript) {
    server->SetDatabaseName("shop");
    server->SetOptions(server->Options() + TMySQLServerOptions{soDropIfExists});
    EXPECT_EQ(server->CreateDatabase(false),
              "drop database if exists shop;\r\ncreate database if not exists shop;\r\nuse shop;\r\nuse shop;\r\n");
    server->SetDatabaseName("my shop");
    server->SetOptions(kDefaultServerOptions);
    EXPECT_EQ(server->CreateDatabase(false),
              "create database if not exists `my shop`;\r\nuse `my shop`;\r\nuse `my shop`;\r\n");
    server->SetDatabaseName("");
    EXPECT_EQ(server->CreateDatabase(false), "");
    EXPECT_TRUE(Statements().empty()) << "building the script sends nothing";
}

TEST_F(ServerTest, DatabaseScriptTakesTheTablesOfRegisteredDatasets) {
    ClientDataset asks(server.get(), "create table a (x int);", true);
    ClientDataset doesNot(server.get(), "create table b (x int);", false);
    ClientDataset alsoAsks(server.get(), "create table c (x int);", true);
    server->SetDatabaseName("shop");
    EXPECT_EQ(server->CreateDatabase(false),
              "create database if not exists shop;\r\nuse shop;\r\ncreate table a (x int);\r\n"
              "create table c (x int);\r\nuse shop;\r\n");
}

TEST_F(ServerTest, NamedDatasetsComeFirstAndBelongToTheServer) {
    ClientDataset registered(server.get(), "create table r (x int);", true);
    auto named = std::make_unique<ClientDataset>(server.get(), "create table n (x int);", true);
    ClientDataset* namedPtr = named.get();
    server->AdoptNamedDataset("Orders", std::move(named));
    server->AdoptNamedDataset("orders", std::make_unique<ClientDataset>(nullptr));
    EXPECT_EQ(server->FindDataset("ORDERS"), 0) << "the first of two equal names";
    EXPECT_EQ(server->FindDataset("customers"), -1);
    // The named dataset is registered as well; its table is in the script once.
    EXPECT_EQ(server->CreateDatabase(false), "create table n (x int);\r\ncreate table r (x int);\r\n");

    server->Connect();
    namedPtr->Open();
    EXPECT_FALSE(server->CheckChildrenAllClosed());
    server->CloseClients();
    EXPECT_FALSE(namedPtr->Active());
    EXPECT_TRUE(server->CheckChildrenAllClosed());
    // Frees the named datasets and detaches the registered one.
    server->DisconnectClients();
    EXPECT_EQ(server->NamedDatasetCount(), 0);
    EXPECT_EQ(registered.Server(), nullptr);
    EXPECT_EQ(server->DataSetCount(), 0);
}

TEST_F(ServerTest, CatalogueLists) {
    Fake().results["show databases"] = {{"information_schema"}, {"shop \t\r\n"}, {std::nullopt}};
    Fake().results["show tables from `my db`"] = {{"orders"}};
    Fake().results["show columns from shop.`order`"] = {{"id"}, {"total"}};
    TStringList list;
    list.Add("stale");
    server->GetDatabaseNames(list);
    EXPECT_EQ(list.Text(), "information_schema\r\nshop\r\n\r\n");
    server->GetTableNames("my db", list);
    EXPECT_EQ(list.Text(), "orders\r\n");
    server->GetFieldNames("shop", "order", list);
    EXPECT_EQ(list.Text(), "id\r\ntotal\r\n");
    EXPECT_EQ(Statements(), (std::vector<std::string>{"show databases", "show tables from `my db`",
                                                      "show columns from shop.`order`"}));
}

TEST_F(ServerTest, DatabasesAreCreatedAndDroppedWithStatements) {
    server->CreateDatabase("shop");
    server->DropDatabase("my db");
    EXPECT_EQ(Statements(), (std::vector<std::string>{"create database shop", "drop database `my db`"}));
}

TEST_F(ServerTest, FieldNamesWithoutBothNamesOnlyClearTheList) {
    TStringList list;
    list.Add("stale");
    server->GetFieldNames("", "orders", list);
    EXPECT_EQ(list.Count(), 0);
    list.Add("stale");
    server->GetFieldNames("shop", "", list);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(Statements().empty());
}

TEST_F(ServerTest, StatementWithoutResultLeavesTheListEmpty) {
    TStringList list;
    list.Add("stale");
    server->GetTableNames("", list);
    EXPECT_EQ(Statements(), std::vector<std::string>{"show tables"});
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(ServerTest, Locks) {
    struct Case {
        std::vector<testing::FakeRow> rows;
        int answer;
    };
    const Case cases[] = {
        {{{"1"}}, 1},
        {{{"0"}}, 0},
        {{{std::nullopt}}, -1},
        {{{"x"}}, -1},
        {{{"0"}, {"1"}}, 1},  // the last row counts
        {{}, -1},
    };
    for (const Case& c : cases) {
        Fake().results["select get_lock('job',10);"] = c.rows;
        EXPECT_EQ(server->GetLock("job", 10), c.answer);
    }
    EXPECT_EQ(Statements().back(), "select get_lock('job',10);");
    Fake().results["select release_lock('job');"] = {{"1"}};
    EXPECT_EQ(server->ReleaseLock("job"), 1);
    Fake().results.clear();
    EXPECT_EQ(server->GetLock("job", 10), -1) << "no result";
}

TEST_F(ServerTest, ConnectionDatabase) {
    EXPECT_EQ(server->ConnectionDatabase(), "") << "does not connect";
    EXPECT_TRUE(Statements().empty());
    server->Connect();
    Fake().results["select database() as FDB;"] = {{std::nullopt}, {""}, {"shop"}, {"later"}};
    EXPECT_EQ(server->ConnectionDatabase(), "shop");
}

TEST_F(ServerTest, ChangingASettingDisconnectsOnlyWhenItDiffers) {
    server->Connect();
    server->SetHost("localhost");
    server->SetPort(3306);
    server->SetUserName("root");
    server->SetOptions(server->Options());
    server->SetCompression(false);
    EXPECT_TRUE(server->Connected());
    struct Change {
        const char* what;
        std::function<void(TMySQLServer&)> apply;
    };
    const Change changes[] = {
        {"host", [](TMySQLServer& s) { s.SetHost("elsewhere"); }},
        {"port", [](TMySQLServer& s) { s.SetPort(3307); }},
        {"user", [](TMySQLServer& s) { s.SetUserName("ann"); }},
        {"password", [](TMySQLServer& s) { s.SetPassword("x"); }},
        {"options", [](TMySQLServer& s) { s.SetOptions(s.Options() + TMySQLServerOptions{coFoundRows}); }},
        {"compression", [](TMySQLServer& s) { s.SetCompression(true); }},
        {"params", [](TMySQLServer& s) { s.SetParamsText("[direct]\r\nread_timeout=5\r\n"); }},
    };
    for (const Change& c : changes) {
        server->Connect();
        ASSERT_TRUE(server->Connected());
        c.apply(*server);
        EXPECT_FALSE(server->Connected()) << c.what;
    }
    EXPECT_TRUE(server->Options().Contains(coCompress));
}

TEST_F(ServerTest, DatabaseNameWhileConnectedSelectsAtOnce) {
    server->Connect();
    server->SetDatabaseName("shop");
    server->SetDatabaseName("shop");  // selected again although unchanged
    Fake().missingDatabases.insert("nowhere");
    try {
        server->SetDatabaseName("nowhere");
        FAIL() << "selecting a missing database succeeded";
    } catch (const EMySQLError& e) {
        EXPECT_EQ(e.ErrorCode(), 1049);
        EXPECT_NE(e.Message().find("Unknown database 'nowhere'"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(server->DatabaseName(), "nowhere");
    server->SetDatabaseName("");
    EXPECT_EQ(Statements(), (std::vector<std::string>{"select_db shop", "select_db shop", "select_db nowhere"}));
}

TEST_F(ServerTest, DatabaseIsSelectedAfterConnectWithoutConnectWithDB) {
    server->SetDatabaseName("shop");
    server->Connect();
    EXPECT_EQ(Fake().connects.at(0).db, "shop");
    EXPECT_EQ(Statements(), std::vector<std::string>{"select_db shop"});
}

TEST_F(ServerTest, AutoCreateConnectsWithoutTheDatabaseAndCreatesIt) {
    server->SetOptions(server->Options() + TMySQLServerOptions{soAutoCreate});
    server->SetDatabaseName("shop");
    server->Connect();
    ASSERT_TRUE(server->Connected());
    EXPECT_EQ(Fake().connects.at(0).db, "");
    EXPECT_EQ(server->DatabaseName(), "shop");
    EXPECT_EQ(Statements(), (std::vector<std::string>{"create database if not exists shop;", "use shop;", "use shop;",
                                                      "select_db shop"}));
}

TEST_F(ServerTest, FailedConnectKeepsTheDatabaseNameOfAutoCreate) {
    server->SetDatabaseName("shop");
    Fake().connectFails = true;
    for (bool autoCreate : {false, true}) {
        if (autoCreate) server->SetOptions(server->Options() + TMySQLServerOptions{soAutoCreate});
        EXPECT_THROW(server->Connect(), EMySQLError);
        EXPECT_FALSE(server->Connected());
        EXPECT_EQ(server->DatabaseName(), "shop") << "soAutoCreate " << autoCreate;
    }
    Fake().connectFails = false;
    server->Connect();
    EXPECT_EQ(Statements().at(0), "create database if not exists shop;");
}

TEST_F(ServerTest, AutoCreateWithCloseOnChildrenConnectsOnce) {
    // The script's statements must not close the connection that is being made.
    server->SetOptions(server->Options() + TMySQLServerOptions{soAutoCreate, soCloseOnChildren});
    server->SetDatabaseName("shop");
    server->Connect();
    EXPECT_TRUE(server->Connected());
    EXPECT_EQ(Fake().connects.size(), 1u);
    EXPECT_EQ(Statements(), (std::vector<std::string>{"create database if not exists shop;", "use shop;", "use shop;",
                                                      "select_db shop"}));
    // Afterwards an operation without active datasets closes it again.
    EXPECT_TRUE(server->ExecSQL("do 1"));
    EXPECT_FALSE(server->Connected());
}

TEST_F(ServerTest, FreeConnection) {
    server->Connect();
    MySQLConnectionHandle* shared = server->ServerHandle();
    server->FreeConnection(shared);
    EXPECT_EQ(shared, nullptr);
    EXPECT_TRUE(server->Connected()) << "the shared handle is never closed by a client";

    MySQLConnectionHandle* own = server->AllocConnection();
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own, server->ServerHandle());
    EXPECT_EQ(Fake().openHandles, 2);
    server->FreeConnection(own);
    EXPECT_EQ(own, nullptr);
    EXPECT_EQ(Fake().openHandles, 1);
    EXPECT_TRUE(server->Connected());
}

TEST_F(ServerTest, CloseOnChildrenWaitsForTheLastActiveDataset) {
    server->SetOptions(server->Options() + TMySQLServerOptions{soCloseOnChildren});
    ClientDataset first(server.get()), second(server.get());
    server->Connect();
    first.Open();
    second.Open();
    MySQLConnectionHandle* shared = server->ServerHandle();
    first.Close();
    server->FreeConnection(shared);
    EXPECT_TRUE(server->Connected()) << "one dataset is still active";
    shared = server->ServerHandle();
    second.Close();
    server->FreeConnection(shared);
    EXPECT_FALSE(server->Connected());
    // The next operation connects again.
    EXPECT_TRUE(server->ExecSQL("do 1"));
    EXPECT_EQ(Fake().connects.size(), 2u);
}

TEST_F(ServerTest, ClientsAreClosedAndDetached) {
    auto dataset = std::make_unique<ClientDataset>(server.get());
    server->Connect();
    dataset->Open();
    EXPECT_FALSE(server->CheckChildrenAllClosed());
    server->CloseClients();
    EXPECT_FALSE(dataset->Active());
    EXPECT_EQ(dataset->Server(), server.get()) << "closing keeps them attached";
    dataset->Open();
    server->Disconnect();
    EXPECT_FALSE(dataset->Active()) << "disconnecting closes the registered datasets";
    server->DisconnectClients();
    EXPECT_EQ(dataset->Server(), nullptr);
    EXPECT_EQ(server->DataSetCount(), 0);
}

TEST_F(ServerTest, ProtocolPipeReachesTheDriverSection) {
    server->Connect();
    server->SetProtocol(ptPipe);
    EXPECT_FALSE(server->Connected());
    EXPECT_EQ(server->Params().Text(), "[direct]\r\nprotocol=pipe\r\n");
    EXPECT_EQ(server->GetDriver()->Options().Text(), "protocol=pipe\r\n");
    server->SetProtocol(ptTCP);
    EXPECT_EQ(server->GetDriver()->Options().Text(), "protocol=tcp\r\n");
}

TEST_F(ServerTest, SwitchingTheDriverKind) {
    server->SetParamsText("[client]\r\nread_timeout=9\r\n[embedded]\r\ndatadir=/tmp/x\r\n");
    server->Connect();
    server->SetDriverKind(dtLibrary);
    EXPECT_FALSE(server->Connected());
    ASSERT_NE(dynamic_cast<TMySQLLibrary*>(server->GetDriver()), nullptr);
    // The new driver keeps the text it was created with; the protocol line is written after.
    EXPECT_EQ(server->GetDriver()->Options().Text(), "read_timeout=9\r\n");
    EXPECT_EQ(server->Params().Text(), "[client]\r\nread_timeout=9\r\nprotocol=tcp\r\n[embedded]\r\ndatadir=/tmp/x\r\n");
    server->SetDriverKind(dtEmbedded);
    EXPECT_EQ(server->GetDriver()->Options().Text(), "datadir=/tmp/x\r\n");
    EXPECT_EQ(dynamic_cast<TMySQLLibrary*>(server->GetDriver())->GetClientDLL(), "libmysqld.so");
}

TEST_F(ServerTest, AssignCopiesTheSettings) {
    TMySQLServer source(nullptr);
    source.SetHost("h");
    source.SetPort(1);
    source.SetUserName("u");
    source.SetPassword("p");
    source.SetDatabaseName("d");
    source.SetLoginPrompt(true);
    source.SetOptions({coCompress});
    source.SetParamsText("[client]\r\nuser=x\r\n");
    source.SetDriverKind(dtLibrary);
    static_cast<TMySQLLibrary*>(source.GetDriver())->SetClientDLL("libmariadb.so.3");
    source.SetProtocol(ptPipe);
    server->Assign(&source);
    EXPECT_EQ(server->Host(), "h");
    EXPECT_EQ(server->Port(), 1);
    EXPECT_EQ(server->UserName(), "u");
    EXPECT_EQ(server->Password(), "p");
    EXPECT_EQ(server->DatabaseName(), "d");
    EXPECT_TRUE(server->LoginPrompt());
    EXPECT_EQ(server->Options(), TMySQLServerOptions{coCompress});
    EXPECT_EQ(server->DriverKind(), dtLibrary);
    EXPECT_EQ(dynamic_cast<TMySQLLibrary*>(server->GetDriver())->GetClientDLL(), "libmariadb.so.3");
    EXPECT_EQ(server->Protocol(), ptTCP) << "the protocol is not copied";
}

TEST_F(ServerTest, EmbeddedBasedirWarningAbortKeepsTheServerDisconnected) {
    server->SetDesigning(true);
    server->SetDriverKind(dtEmbedded);
    bool before = false;
    server->BeforeConnect = [&before](TObject*) { before = true; };
    dialogs->AnswerMessage(mrAbort);
    EXPECT_NO_THROW(server->Connect());
    ASSERT_EQ(dialogs->Shown().size(), 1u);
    EXPECT_NE(dialogs->Shown()[0].Text.find("You have not specified a \"basedir\""), std::string::npos);
    EXPECT_TRUE(dialogs->Shown()[0].Buttons.Contains(mbAbort));
    EXPECT_FALSE(before);
    EXPECT_FALSE(server->Connected());
    EXPECT_FALSE(server->GetDriver()->Loaded());
}

TEST_F(ServerTest, QuotingGoesThroughTheDriver) {
    EXPECT_EQ(server->FormatIdentifier("order"), "`order`");
    EXPECT_EQ(server->FormatIdentifier("customer"), "customer");
    EXPECT_EQ(server->EscapeStr("it's"), "it\\'s");
}

TEST_F(ServerTest, LockNamesAreEscapedValues) {
    Fake().results["select get_lock('it\\'s',5);"] = {{"1"}};
    EXPECT_EQ(server->GetLock("it's", 5), 1);
    EXPECT_EQ(Statements().back(), "select get_lock('it\\'s',5);");
    Fake().results["select release_lock('it\\'s');"] = {{"1"}};
    EXPECT_EQ(server->ReleaseLock("it's"), 1);
}

// Closing the datasets while disconnecting gives their connections back; with
// soCloseOnChildren that must not start a second disconnect inside the first.
TEST_F(ServerTest, CloseOnChildrenDisconnectsOnce) {
    server->SetOptions(server->Options() + TMySQLServerOptions{soCloseOnChildren});
    ClientDataset dataset(server.get());
    MySQLConnectionHandle* shared = nullptr;
    TObject user;
    server->RegisterClient(&user, [&](TObject*, bool connecting) {
        if (!connecting) server->FreeConnection(shared);
    });
    int before = 0, after = 0;
    server->BeforeDisconnect = [&](TObject*) { ++before; };
    server->AfterDisconnect = [&](TObject*) { ++after; };
    server->Connect();
    shared = server->ServerHandle();
    dataset.Open();
    server->Disconnect();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    EXPECT_FALSE(server->Connected());
    server->UnRegisterClient(&user);
}

// The data source Link makes belongs to the server and goes with its dataset; a data
// source the application made is never freed by the server.
TEST_F(ServerTest, LinkSourcesGoWithTheirNamedDataset) {
    server->AdoptNamedDataset("master", std::make_unique<ClientDataset>(server.get()));
    server->AdoptNamedDataset("detail", std::make_unique<ClientDataset>(server.get()));
    server->AdoptNamedDataset("other", std::make_unique<ClientDataset>(server.get()));
    auto made = std::make_unique<TDataSource>(nullptr);
    made->SetDataSet(server->NamedDataset(0));
    TDataSource* madePtr = made.get();
    server->SetLinkSource(1, std::move(made));
    EXPECT_EQ(server->LinkSource(1), madePtr);
    TDataSource applications(nullptr);
    applications.SetDataSet(server->NamedDataset(0));

    server->FreeNamedDataset(server->FindDataset("detail"));
    EXPECT_EQ(server->NamedDatasetCount(), 2);
    EXPECT_EQ(server->FindDataset("detail"), -1);
    EXPECT_EQ(server->DataSetCount(), 2) << "the freed dataset left the client list";
    server->DisconnectClients();
    EXPECT_EQ(server->NamedDatasetCount(), 0);
    // The application's data source survived its dataset and was told it went.
    EXPECT_EQ(applications.DataSet(), nullptr);
}

// A client component and the server each forget the other when it goes.
TEST_F(ServerTest, ClientComponentsAndTheServerForgetEachOther) {
    class Holder : public TComponent {
    public:
        using TComponent::TComponent;
        TMySQLServer* server = nullptr;

    protected:
        void Notification(TComponent* component, TOperation operation) override {
            TComponent::Notification(component, operation);
            if (operation == opRemove && component == server) server = nullptr;
        }
    };
    auto gone = std::make_unique<Holder>(nullptr);
    server->RegisterClient(gone.get());
    EXPECT_EQ(server->ClientCount(), 1);
    gone.reset();  // freed without unregistering
    EXPECT_EQ(server->ClientCount(), 0);
    server->Connect();
    server->Disconnect();  // tells the clients: none is left to tell

    Holder stays(nullptr);
    stays.server = server.get();
    server->RegisterClient(&stays);
    server->DisconnectClients();
    server.reset();
    EXPECT_EQ(stays.server, nullptr) << "the dropped client heard that the server went";
}

}  // namespace
}  // namespace velmysql
