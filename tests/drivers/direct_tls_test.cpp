// TLS settings as driver options and as keys of the server's Params: they reach the wire
// client, and a setting that cannot be met fails the connect instead of weakening it.

#include <gtest/gtest.h>

#include "support/test_server.h"
#include "velmysql/drivers/connect_options.h"
#include "velmysql/drivers/mysql_direct_driver.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/server/mysql_server.h"
#include "velmysql/wire/mysql_tls.h"

namespace velmysql {
namespace {

TEST(DirectTls, OptionKeysParse) {
    const MySQLConnectOptions o = ParseConnectOptions(
        {"SSL-Mode= verify_identity ", "ssl-ca=/ca.pem", "ssl-capath=/certs", "ssl-cert=/c.pem", "ssl-key=/k.pem",
         "ssl-cipher=AES128-SHA", "tls-version=TLSv1.2", "server-public-key-path=/pub.pem", "get-server-public-key=1"});
    EXPECT_EQ(o.sslMode, std::optional<std::int32_t>(smVerifyIdentity));
    EXPECT_EQ(o.sslCa, "/ca.pem");
    EXPECT_EQ(o.sslCapath, "/certs");
    EXPECT_EQ(o.sslCert, "/c.pem");
    EXPECT_EQ(o.sslKey, "/k.pem");
    EXPECT_EQ(o.sslCipher, "AES128-SHA");
    EXPECT_EQ(o.tlsVersion, "TLSv1.2");
    EXPECT_EQ(o.serverPublicKey, "/pub.pem");
    EXPECT_EQ(o.getServerPublicKey, std::optional<bool>(true));
    // A text that names no mode is kept as such, so that the connect refuses it.
    EXPECT_EQ(ParseConnectOptions({"ssl-mode=sometimes"}).sslMode, std::optional<std::int32_t>(-1));
    EXPECT_FALSE(ParseConnectOptions({}).sslMode.has_value());
    EXPECT_TRUE(IsConnectOptionLine("ssl-ca=/x"));  // not handed to an embedded server as an argument
}

TEST(DirectTls, DriverOptionsReachTheConnection) {
    VEL_REQUIRE_TEST_SERVER(s);
    struct Case {
        const char* what;
        std::vector<std::string> options;
        bool ok;
        const char* cipher;  // "" none, "*" any
    } cases[] = {
        {"default over TCP/IP: encrypted", {}, true, "*"},
        {"DISABLED", {"ssl-mode=DISABLED"}, true, ""},
        {"VERIFY_IDENTITY with the CA", {"ssl-mode=VERIFY_IDENTITY", "ssl-ca=" + s->sslCa}, true, "*"},
        {"one TLS 1.2 cipher", {"ssl-mode=REQUIRED", "ssl-cipher=ECDHE-RSA-AES256-GCM-SHA384"}, true,
         "ECDHE-RSA-AES256-GCM-SHA384"},
        {"VERIFY_CA with another CA", {"ssl-mode=VERIFY_CA", "ssl-ca=" + s->sslOtherCa}, false, ""},
        {"a mode that names none", {"ssl-mode=sometimes"}, false, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TMySQLDirect d;
        d.SetOptions(k.options);
        try {
            MySQLConnectionHandle* h = d.Open(s->host, s->user, s->password, s->port, 0, s->database);
            EXPECT_TRUE(k.ok);
            const std::string cipher = d.SslCipher(h);
            if (std::string(k.cipher) == "*")
                EXPECT_FALSE(cipher.empty());
            else
                EXPECT_EQ(cipher, k.cipher);
            d.Close(h);
        } catch (const EMySQLError& e) {
            EXPECT_FALSE(k.ok) << e.Message();
            EXPECT_NE(e.Message().find("SSL connection error"), std::string::npos) << e.Message();
        }
    }
}

TEST(DirectTls, ServerParamsSection) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMySQLServer server(nullptr);
    server.SetHost(s->host);
    server.SetPort(static_cast<std::uint16_t>(s->port));
    server.SetUserName(s->sslUser);
    server.SetPassword(s->sslPassword);
    server.SetParamsText("[direct]\nssl-mode=DISABLED");
    EXPECT_THROW(server.Connect(), EMySQLError);  // the account requires TLS
    server.SetParamsText("[direct]\nssl-mode=VERIFY_IDENTITY\nssl-ca=" + s->sslCa);
    server.Connect();
    EXPECT_TRUE(server.GetConnected());
    EXPECT_FALSE(server.GetDriver()->SslCipher(server.ServerHandle()).empty());
}

}  // namespace
}  // namespace velmysql
