// Proves the test harness: the server scripts/test started answers each test user
// through the mariadb client tool, over TCP and over the Unix socket.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "support/test_server.h"

namespace {

// Runs the client tool and returns its output; the exit status goes to *status.
std::string RunCommand(const std::string& cmd, int* status) {
    std::string out;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) { *status = -1; return out; }
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    *status = pclose(p);
    return out;
}

std::string ClientCmd(const velmysql::testing::TestServer& s, const std::string& user,
                      const std::string& password, bool viaSocket) {
    std::string cmd = "mariadb --no-defaults -N -B -u'" + user + "'";
    if (!password.empty()) cmd += " -p'" + password + "'";
    cmd += viaSocket ? " --protocol=socket -S '" + s.socket + "'"
                     : " --protocol=tcp -h" + s.host + " -P" + std::to_string(s.port);
    return cmd + " -e 'select current_user()'";
}

TEST(Harness, EachTestUserLogsIn) {
    VEL_REQUIRE_TEST_SERVER(s);
    struct Case { std::string user, password; };
    const Case cases[] = {{s->user, s->password}, {s->oldUser, s->oldPassword}, {s->nopwUser, ""}};
    for (const auto& c : cases) {
        for (bool viaSocket : {false, true}) {
            int status = 0;
            std::string out = RunCommand(ClientCmd(*s, c.user, c.password, viaSocket), &status);
            EXPECT_EQ(status, 0) << c.user << ": " << out;
            EXPECT_EQ(out, c.user + "@%\n") << c.user << (viaSocket ? " (socket)" : " (tcp)");
        }
    }
}

TEST(Harness, WrongPasswordIsRefused) {
    VEL_REQUIRE_TEST_SERVER(s);
    int status = 0;
    std::string out = RunCommand(ClientCmd(*s, s->user, "not-the-password", false), &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("1045"), std::string::npos) << out;
}

}  // namespace
