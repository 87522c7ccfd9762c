#pragma once
// Coordinates of the private MariaDB that scripts/test starts, read from the
// environment. Suites that need the server call RequireTestServer() first; without the
// server (a plain `ctest` outside scripts/test) those tests are skipped, never passed.

#include <string>

#include <gtest/gtest.h>

namespace velmysql::testing {

struct TestServer {
    std::string host;
    unsigned port = 0;
    std::string socket;
    std::string rootUser, rootPassword;
    std::string user, password;        // 4.1 password
    std::string oldUser, oldPassword;  // pre-4.1 password
    std::string nopwUser;              // no password
    std::string database;              // exists, every test user may use it
    std::string workDir;               // scratch space, e.g. embedded data directories
    std::string ed25519User, ed25519Password;  // identified via ed25519
    std::string sslUser, sslPassword;          // REQUIRE SSL
    std::string sslCa;                         // the CA of the server's certificate
    std::string sslCert, sslKey;               // a client certificate by that CA
    std::string sslOtherCa;                    // a CA that signed nothing of the server's
};

// Null when the variables are not set.
const TestServer* FindTestServer();

}  // namespace velmysql::testing

// Skips the current test when no test server is configured.
#define VEL_REQUIRE_TEST_SERVER(var)                                                      \
    const ::velmysql::testing::TestServer* var = ::velmysql::testing::FindTestServer();   \
    if (var == nullptr) GTEST_SKIP() << "no test server (run scripts/test)"
