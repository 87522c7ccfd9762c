#pragma once
// A driver whose operation table is a scripted C API: it records what the driver layer
// calls and answers what a test sets. One world per process; tests reset it.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "velmysql/drivers/mysql_base.h"

namespace velmysql::testing {

struct FakeConnection {
    bool connected = false;
    unsigned errNo = 0;
    std::string error;
    std::string serverInfo;
};

struct FakeWorld {
    std::string clientInfo = "4.1.14";
    std::string serverInfo = "5.0.45";
    bool initFails = false;
    bool connectFails = false;
    unsigned connectErrNo = 1045;
    std::string connectError = "Access denied";
    int statusResult = 0;  // what ping, kill, *_db, real_query and refresh answer
    unsigned statusErrNo = 2006;
    std::string statusError = "MySQL server has gone away";
    std::uint64_t affectedRows = 0;
    std::uint64_t insertId = 0;
    const void* field = nullptr;  // what mysql_fetch_field answers, in any layout
    std::vector<std::pair<int, std::uint32_t>> options;  // number and 32-bit value
    std::vector<std::string> calls;
    std::vector<std::unique_ptr<FakeConnection>> connections;
    int openConnections = 0;
};

FakeWorld& World();
void ResetWorld();

class FakeDriver : public TMySQLBase {
public:
    using TMySQLBase::TMySQLBase;
    ~FakeDriver() override { Shutdown(); }
    void Bind() override;
    int bindCount = 0;
    // Leaves mysql_create_db bound to the missing-entry operation, as a library without it.
    bool withoutCreateDb = false;
};

}  // namespace velmysql::testing
