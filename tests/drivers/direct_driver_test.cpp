// The direct driver binds the wire client's facade and nothing else.

#include <gtest/gtest.h>

#include "support/test_server.h"
#include "velmysql/drivers/mysql_direct_driver.h"
#include "velmysql/wire/mysql_direct.h"

namespace velmysql {
namespace {

TEST(DirectDriver, BindsTheFacadeAndKeepsOnlyOptionsAcrossReloads) {
    TMySQLDirect d("connect_timeout=9");
    EXPECT_FALSE(d.Loaded());
    EXPECT_EQ(d.ClientInfo(), "4.1.14");
    EXPECT_TRUE(d.Loaded());
    EXPECT_EQ(d.ClientVersion(), 0);  // read when the first connection opens
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const MySQLApiTable& api = d.Api();
        EXPECT_EQ(api.mysql_init, &mysql_init);
        EXPECT_EQ(api.mysql_real_connect, &mysql_real_connect);
        EXPECT_EQ(api.mysql_real_query, &mysql_real_query);
        EXPECT_EQ(api.mysql_fetch_field, &mysql_fetch_field);
        EXPECT_EQ(api.mysql_real_escape_string, &mysql_real_escape_string);
        EXPECT_EQ(api.mysql_affected_rows, &mysql_affected_rows);
        d.UnLoad();
        EXPECT_FALSE(d.Loaded());
        d.Load();
    }
    EXPECT_EQ(d.OptionLines(), std::vector<std::string>{"connect_timeout=9"});
    // Escaping needs no connection here.
    EXPECT_EQ(d.EscapeStr(std::string("a'\0", 3)), "a\\'\\0");
}

TEST(DirectDriver, ClientVersionAtFirstOpen) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMySQLDirect d;
    MySQLConnectionHandle* h = d.Open(s->host, s->user, s->password, s->port, 0, s->database);
    EXPECT_EQ(d.ClientVersion(), 40114);
    EXPECT_EQ(d.HostInfo(h), "");  // the facade names no host
    d.Close(h);
    EXPECT_EQ(d.ClientVersion(), 0);
}

}  // namespace
}  // namespace velmysql
