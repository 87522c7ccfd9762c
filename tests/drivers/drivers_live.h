#pragma once
// The three drivers as the live tests use them: how to make each one and where it connects.

#include <memory>
#include <string>

#include "support/test_server.h"
#include "velmysql/drivers/mysql_base.h"

namespace velmysql::testing {

enum class DriverKind { Direct, Library, Embedded };

const char* KindName(DriverKind kind);

// The client library the library driver loads in the tests.
inline constexpr const char* kTestClientLibrary = "libmariadb.so.3";

struct DriverTarget {
    std::string host, user, password, database;
    unsigned port = 0;
};

// A fresh driver of the kind; the embedded one runs its server on a data directory under
// the test server's work directory.
std::unique_ptr<TMySQLBase> MakeDriver(DriverKind kind, const TestServer& server);
// Where a driver of the kind connects; the database exists once PrepareDatabase ran.
DriverTarget TargetFor(DriverKind kind, const TestServer& server);
// Creates the target database where the test server does not provide it (embedded).
void PrepareDatabase(DriverKind kind, const TestServer& server);

}  // namespace velmysql::testing
