#pragma once
// A connected TMySQLServer for each driver the dataset tests run through: the direct and
// the client-library driver against the private test server, and the embedded server on
// a data directory of its own (it starts once per process).

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/test_server.h"
#include "velmysql/server/mysql_server.h"

namespace velmysql::test {

inline std::string KindName(TMySQLDriverType kind) {
    return kind == dtDirect ? "direct" : (kind == dtLibrary ? "library" : "embedded");
}

// Connected to a database of its own, created afresh; null when the test server is absent.
inline std::unique_ptr<TMySQLServer> ConnectedServer(TMySQLDriverType kind, const std::string& database) {
    const testing::TestServer* ts = testing::FindTestServer();
    if (ts == nullptr) return nullptr;
    // The client library reads the socket path once, when it first starts.
    setenv("MYSQL_UNIX_PORT", ts->socket.c_str(), 1);
    auto server = std::make_unique<TMySQLServer>(nullptr);
    if (kind == dtEmbedded) {
        const std::filesystem::path datadir = std::filesystem::path(ts->workDir) / "dataset-embedded";
        std::filesystem::create_directories(datadir);
        server->SetParamsText("[embedded]\r\nno-defaults\r\ndatadir=" + datadir.string() + "\r\n");
    } else {
        server->SetHost(ts->host);
        server->SetPort(static_cast<std::uint16_t>(ts->port));
        server->SetUserName(ts->rootUser);
        server->SetPassword(ts->rootPassword);
    }
    server->SetDriverKind(kind);
    server->SetOptions(server->Options() + TMySQLServerOptions{soAutoCreate, soDropIfExists});
    server->SetDatabaseName(database);
    server->Connect();
    return server;
}

class LiveDataset : public ::testing::TestWithParam<TMySQLDriverType> {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string db = "vds_" + KindName(GetParam()) + "_";
        for (char c : name) db += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        server = ConnectedServer(GetParam(), db.substr(0, 60));
        if (!server) GTEST_SKIP() << "no test server (run scripts/test)";
        ASSERT_TRUE(server->Connected());
    }
    void TearDown() override {
        if (server) server->ExecSQL("drop database if exists " + server->FormatIdentifier(server->DatabaseName()));
    }
    void Exec(const std::string& sql) { server->ExecSQL(sql); }
    std::unique_ptr<TMySQLServer> server;
};

inline std::string PrintKind(const ::testing::TestParamInfo<TMySQLDriverType>& info) { return KindName(info.param); }

#define VEL_DATASET_DRIVERS(Suite) \
    INSTANTIATE_TEST_SUITE_P(Drivers, Suite, ::testing::Values(dtDirect, dtLibrary, dtEmbedded), PrintKind)

}  // namespace velmysql::test
