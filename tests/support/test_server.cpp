#include "support/test_server.h"

#include <cstdlib>

namespace velmysql::testing {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

TestServer Load() {
    TestServer s;
    s.host = Env("VELMYSQL_TEST_HOST");
    s.port = static_cast<unsigned>(std::strtoul(Env("VELMYSQL_TEST_PORT").c_str(), nullptr, 10));
    s.socket = Env("VELMYSQL_TEST_SOCKET");
    s.rootUser = Env("VELMYSQL_TEST_ROOT_USER");
    s.rootPassword = Env("VELMYSQL_TEST_ROOT_PASSWORD");
    s.user = Env("VELMYSQL_TEST_USER");
    s.password = Env("VELMYSQL_TEST_PASSWORD");
    s.oldUser = Env("VELMYSQL_TEST_OLD_USER");
    s.oldPassword = Env("VELMYSQL_TEST_OLD_PASSWORD");
    s.nopwUser = Env("VELMYSQL_TEST_NOPW_USER");
    s.database = Env("VELMYSQL_TEST_DATABASE");
    s.workDir = Env("VELMYSQL_TEST_WORKDIR");
    s.ed25519User = Env("VELMYSQL_TEST_ED25519_USER");
    s.ed25519Password = Env("VELMYSQL_TEST_ED25519_PASSWORD");
    s.sslUser = Env("VELMYSQL_TEST_SSL_USER");
    s.sslPassword = Env("VELMYSQL_TEST_SSL_PASSWORD");
    s.sslCa = Env("VELMYSQL_TEST_SSL_CA");
    s.sslCert = Env("VELMYSQL_TEST_SSL_CERT");
    s.sslKey = Env("VELMYSQL_TEST_SSL_KEY");
    s.sslOtherCa = Env("VELMYSQL_TEST_SSL_OTHER_CA");
    return s;
}

}  // namespace

const TestServer* FindTestServer() {
    static const TestServer server = Load();
    return server.host.empty() || server.port == 0 ? nullptr : &server;
}

}  // namespace velmysql::testing
