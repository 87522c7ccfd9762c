#pragma once
// A driver over a scripted C API for the server component's tests: it records what the
// component asks of the driver (connects with their arguments, statements, database calls)
// and answers from a small world a test sets up. One world per process; tests reset it.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "velmysql/drivers/mysql_base.h"

namespace velmysql::testing {

using FakeRow = std::vector<std::optional<std::string>>;

struct FakeConnectCall {
    std::string host, user, password, db;
    unsigned port = 0;
    unsigned long flags = 0;
};

struct FakeApiWorld {
    std::string clientInfo = "4.1.14";
    std::string serverInfo = "5.0.45";
    bool connectFails = false;
    std::vector<FakeConnectCall> connects;
    // Every statement, and "select_db NAME", in order.
    std::vector<std::string> calls;
    // Rows answered for a statement; a statement without an entry answers no result.
    std::map<std::string, std::vector<FakeRow>> results;
    // select_db of these names fails with error 1049.
    std::set<std::string> missingDatabases;
    int openHandles = 0;
};

FakeApiWorld& Fake();
void ResetFake();

class FakeApiDriver : public TMySQLBase {
public:
    using TMySQLBase::TMySQLBase;
    ~FakeApiDriver() override { Shutdown(); }
    void Bind() override;
};

}  // namespace velmysql::testing
