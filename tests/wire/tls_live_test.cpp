// TLS and the login methods against the live server: every ssl-mode, certificate and
// name verification, an account that requires TLS, an account identified via ed25519,
// compression and a 20 MB value over TLS.

#include <gtest/gtest.h>

#include <netdb.h>
#include <string>

#include "support/test_server.h"
#include "velmysql/wire/auth_plugins.h"
#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/mysql_errors.h"

using namespace velmysql;
using velmysql::testing::TestServer;

namespace {
std::string scalar(TMysqlClient& c, const std::string& sql) {
    bool done;
    auto r = c.query(sql, true, done);
    if (!r) return "<none: " + c.GetLastError() + ">";
    r->FetchLengths();
    const char* v = r->FieldValue(0);
    return v ? std::string(v, r->FieldLenght(0)) : "<NULL>";
}

struct Tls {
    Tls(TSslMode m, std::string ca_ = "", std::string cert_ = "", std::string key_ = "", std::string cipher_ = "",
        std::string version_ = "")
        : mode(m), ca(std::move(ca_)), cert(std::move(cert_)), key(std::move(key_)), cipher(std::move(cipher_)),
          version(std::move(version_)) {}
    TSslMode mode;
    std::string ca, cert, key, cipher, version;
};

bool Connect(TMysqlClient& c, const TestServer* s, const Tls& t, const std::string& host, const std::string& user,
             const std::string& password, bool local = false, bool compress = false) {
    TMysqlTlsSettings settings;
    settings.mode = t.mode;
    settings.ca = t.ca;
    settings.cert = t.cert;
    settings.key = t.key;
    settings.cipher = t.cipher;
    settings.tlsVersion = t.version;
    c.SetTlsSettings(settings);
    c.SetReconnect(false);
    c.setfcompress(compress);
    const std::string saved = MYSQL_NAMEDPIPE_PATH;
    MYSQL_NAMEDPIPE_PATH = s->socket;
    c.SetNamedPipe(local);
    const bool ok = c.connect(host, user, password, "", s->port, "", false, 0);
    MYSQL_NAMEDPIPE_PATH = saved;
    return ok;
}

std::string Base64(const std::string& bytes) {
    static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        for (int k = 18; k >= 0; k -= 6) out.push_back(a[(v >> k) & 63]);
    }
    if (i + 1 == bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += {a[(v >> 18) & 63], a[(v >> 12) & 63]};
    } else if (i + 2 == bytes.size()) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += {a[(v >> 18) & 63], a[(v >> 12) & 63], a[(v >> 6) & 63]};
    }
    return out;  // without padding, the form the server stores
}
}  // namespace

TEST(TlsLive, EachSslMode) {
    VEL_REQUIRE_TEST_SERVER(s);
    struct Case {
        const char* what;
        Tls tls;
        bool local;
        bool ok, encrypted;
        const char* errorPart;
    } cases[] = {
        {"DISABLED", {smDisabled}, false, true, false, ""},
        {"PREFERRED over TCP/IP", {smPreferred}, false, true, true, ""},
        {"PREFERRED over the local socket", {smPreferred}, true, true, false, ""},
        {"REQUIRED", {smRequired}, false, true, true, ""},
        {"REQUIRED over the local socket", {smRequired}, true, true, true, ""},
        {"VERIFY_CA with the server's CA", {smVerifyCa, s->sslCa}, false, true, true, ""},
        {"VERIFY_CA with another CA", {smVerifyCa, s->sslOtherCa}, false, false, false, "certificate verify failed"},
        {"VERIFY_IDENTITY for 127.0.0.1", {smVerifyIdentity, s->sslCa}, false, true, true, ""},
        {"VERIFY_IDENTITY with another CA", {smVerifyIdentity, s->sslOtherCa}, false, false, false,
         "certificate verify failed"},
        {"VERIFY_IDENTITY over the local socket (localhost)", {smVerifyIdentity, s->sslCa}, true, true, true, ""},
        {"with a client certificate", {smVerifyIdentity, s->sslCa, s->sslCert, s->sslKey}, false, true, true, ""},
        {"a key that is not the certificate's", {smRequired, "", s->sslCert, s->sslCa}, false, false, false, "ssl-key"},
        {"TLS 1.2 with one cipher", {smRequired, "", "", "", "ECDHE-RSA-AES128-GCM-SHA256"}, false, true, true, ""},
        {"TLS 1.2 only", {smRequired, "", "", "", "", "TLSv1.2"}, false, true, true, ""},
        {"an unknown cipher", {smRequired, "", "", "", "NO-SUCH-CIPHER"}, false, false, false, "NO-SUCH-CIPHER"},
        {"an unknown version", {smRequired, "", "", "", "", "TLSv9"}, false, false, false, "TLSv9"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TMysqlClient c;
        const bool ok = Connect(c, s, k.tls, s->host, s->user, s->password, k.local);
        EXPECT_EQ(ok, k.ok) << c.GetLastErrorNo() << " " << c.GetLastError();
        if (!k.ok) {
            EXPECT_EQ(c.GetLastErrorNo(), CR_SSL_CONNECTION_ERROR);
            EXPECT_NE(c.GetLastError().find(k.errorPart), std::string::npos) << c.GetLastError();
            EXPECT_FALSE(c.GetConnected());
            continue;
        }
        EXPECT_EQ(c.UseSSL(), k.encrypted);
        // The server's view of the same session.
        const std::string cipher = scalar(c, "select variable_value from information_schema.session_status "
                                             "where variable_name = 'Ssl_cipher'");
        EXPECT_EQ(cipher, k.encrypted ? c.SslCipher() : std::string());
        if (k.encrypted) {
            EXPECT_FALSE(c.SslCipher().empty());
        }
        if (!k.tls.cipher.empty()) {
            EXPECT_EQ(c.SslCipher(), k.tls.cipher);
        }
        if (!k.tls.cipher.empty() || !k.tls.version.empty()) {
            EXPECT_EQ(c.SslVersion(), "TLSv1.2");
        }
        EXPECT_EQ(scalar(c, "select 1 + 1"), "2");
    }
}

// The certificate names 127.0.0.1 and localhost; another name of the same address fails
// the name check but not the CA check.
TEST(TlsLive, VerifyIdentityChecksTheName) {
    VEL_REQUIRE_TEST_SERVER(s);
    const std::string otherName = "127.1";  // resolves to 127.0.0.1, is no address text
    addrinfo* res = nullptr;
    if (::getaddrinfo(otherName.c_str(), nullptr, nullptr, &res) != 0) GTEST_SKIP() << "127.1 does not resolve here";
    ::freeaddrinfo(res);
    for (const std::string& host : {std::string("localhost"), otherName}) {
        SCOPED_TRACE(host);
        TMysqlClient ca, identity;
        EXPECT_TRUE(Connect(ca, s, {smVerifyCa, s->sslCa}, host, s->user, s->password)) << ca.GetLastError();
        const bool named = host != otherName;
        EXPECT_EQ(Connect(identity, s, {smVerifyIdentity, s->sslCa}, host, s->user, s->password), named)
            << identity.GetLastError();
        if (!named) {
            EXPECT_EQ(identity.GetLastErrorNo(), CR_SSL_CONNECTION_ERROR);
            EXPECT_NE(identity.GetLastError().find("mismatch"), std::string::npos) << identity.GetLastError();
        }
    }
}

TEST(TlsLive, AccountThatRequiresTls) {
    VEL_REQUIRE_TEST_SERVER(s);
    for (TSslMode mode : {smDisabled, smPreferred, smRequired}) {
        SCOPED_TRACE(SslModeText(mode));
        TMysqlClient c;
        const bool ok = Connect(c, s, {mode}, s->host, s->sslUser, s->sslPassword);
        EXPECT_EQ(ok, mode != smDisabled) << c.GetLastError();
        if (!ok) {
            EXPECT_EQ(c.GetLastErrorNo(), 1045) << c.GetLastError();
        } else {
            EXPECT_EQ(scalar(c, "select current_user()").substr(0, s->sslUser.size()), s->sslUser);
        }
    }
}

TEST(TlsLive, Ed25519Account) {
    VEL_REQUIRE_TEST_SERVER(s);
    // The key the server stores is the one this client derives from the password.
    {
        TMysqlClient root;
        ASSERT_TRUE(Connect(root, s, {smPreferred}, s->host, s->rootUser, s->rootPassword)) << root.GetLastError();
        const std::string stored =
            scalar(root, "select json_value(priv, '$.authentication_string') from mysql.global_priv where user = '" +
                             s->ed25519User + "'");
        EXPECT_EQ(stored, Base64(ed25519_password_public_key(s->ed25519Password)));
    }
    struct Case {
        const char* what;
        TSslMode mode;
        bool local;
        std::string password;
        bool ok;
    } cases[] = {
        {"plain TCP/IP", smDisabled, false, s->ed25519Password, true},
        {"TLS", smRequired, false, s->ed25519Password, true},
        {"local socket", smPreferred, true, s->ed25519Password, true},
        {"wrong password", smDisabled, false, "wrong", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TMysqlClient c;
        const bool ok = Connect(c, s, {k.mode}, s->host, s->ed25519User, k.password, k.local);
        EXPECT_EQ(ok, k.ok) << c.GetLastError();
        if (ok) {
            EXPECT_EQ(c.AuthPlugin(), "client_ed25519");
            EXPECT_EQ(scalar(c, "select current_user()").substr(0, s->ed25519User.size()), s->ed25519User);
        } else {
            EXPECT_EQ(c.GetLastErrorNo(), 1045) << c.GetLastError();
        }
    }
    // Changing to the account and back on one TLS connection.
    TMysqlClient c;
    ASSERT_TRUE(Connect(c, s, {smRequired}, s->host, s->user, s->password)) << c.GetLastError();
    ASSERT_TRUE(c.change_user(s->ed25519User, s->ed25519Password, "")) << c.GetLastError();
    EXPECT_EQ(scalar(c, "select current_user()").substr(0, s->ed25519User.size()), s->ed25519User);
    ASSERT_TRUE(c.change_user(s->user, s->password, "")) << c.GetLastError();
    EXPECT_EQ(scalar(c, "select current_user()").substr(0, s->user.size()), s->user);
    EXPECT_FALSE(c.change_user(s->ed25519User, "wrong", ""));
    EXPECT_EQ(c.GetLastErrorNo(), 1045);
}

TEST(TlsLive, CompressionAndLargeValuesOverTls) {
    VEL_REQUIRE_TEST_SERVER(s);
    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "plain");
        TMysqlClient c;
        ASSERT_TRUE(Connect(c, s, {smRequired}, s->host, s->user, s->password, false, compress)) << c.GetLastError();
        EXPECT_TRUE(c.UseSSL());
        EXPECT_EQ(c.Net().GetCompress(), compress);
        // 20 MB each way: a value sent in the statement and the same value read back.
        const std::size_t size = 20u << 20;
        std::string value(size, '\0');
        for (std::size_t i = 0; i < size; ++i) value[i] = static_cast<char>('a' + (i * 7919 % 26));
        ASSERT_EQ(c.realquery("select md5('" + value + "'), '" + value + "'"), 0) << c.GetLastError();
        auto r = c.store_result();
        ASSERT_NE(r, nullptr) << c.GetLastError();
        r->FetchLengths();
        ASSERT_EQ(r->FieldLenght(1), size);
        EXPECT_TRUE(std::string(r->FieldValue(1), size) == value);
        r.reset();
        bool done;
        auto u = c.query("select repeat('xyz', 7000000)", false, done);
        ASSERT_NE(u, nullptr) << c.GetLastError();
        u->FetchLengths();
        EXPECT_EQ(u->FieldLenght(0), 21000000u);
        u.reset();
        EXPECT_EQ(scalar(c, "select 'after'"), "after");
    }
}
