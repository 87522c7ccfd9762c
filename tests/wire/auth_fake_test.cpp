// The login methods against a scripted server: what the client answers to each request,
// byte for byte, and what it refuses to answer (a password in clear to a server on a
// plain connection, unknown methods, a server out of step).

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <string>
#include <unistd.h>

#include "fake_server.h"
#include "velmysql/wire/auth_plugins.h"
#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/mysql_errors.h"
#include "velmysql/wire/new_password.h"

using namespace velmysql;
using namespace velmysql::testing;

namespace {
constexpr std::uint32_t kCaps = (0xF7FF & ~CLIENT_SSL) | CLIENT_PLUGIN_AUTH;
const std::string kScramble = "abcdefghijklmnopqrst";
const std::string kNonce = [] {
    std::string n;
    for (int i = 1; i < 32; ++i) n.push_back(static_cast<char>(i));
    n.push_back('\0');  // a nonce may end in a zero byte
    return n;
}();
const std::string kNonceSignature =  // "ed-secret" over kNonce, from the reference implementation
    "b452a5774901685a639225412a3ad085b196d84120bcb0688880be3aa8b5c34b"
    "f5f038476fee6240e6f3ff90be8a998eee423118a1201af970796428ef386404";

// What the client sent: the login packet, then each answer, with their numbers.
struct Seen {
    std::vector<std::string> packets;
    std::vector<std::uint8_t> seqs;
};

// Greets, then answers each packet of the client with the next reply (one or more packets,
// a function of what the client just sent); records everything the client sends until it
// closes, except the COM_QUIT of a client that logged in.
using Reply = std::function<std::vector<std::string>(const std::string& fromClient)>;
FakeServer::Script Play(Seen& seen, std::string plugin, std::vector<Reply> replies, std::uint32_t caps = kCaps) {
    return [&seen, plugin, replies, caps](FakeConn& c) {
        c.sendPacket(0, greeting41(caps, plugin, kScramble));
        std::size_t next = 0;
        for (;;) {
            std::string in;
            std::uint8_t seq = 0;
            if (!c.readPacket(in, &seq)) return;
            if (seq == 0 && in == "\x01") continue;
            seen.packets.push_back(in);
            seen.seqs.push_back(seq);
            if (next == replies.size()) {
                c.waitClosed();
                return;
            }
            for (const std::string& out : replies[next++](in)) c.sendPacket(++seq, out);
        }
    };
}

Reply Send(std::string bytes, std::string then = "") {
    return [bytes, then](const std::string&) {
        return then.empty() ? std::vector<std::string>{bytes} : std::vector<std::string>{bytes, then};
    };
}

struct Client {
    TMysqlClient cl;
    std::string password = "pw";
    std::uint32_t flags = 0;
    std::string db;
    explicit Client(std::string pw = "pw") : password(std::move(pw)) {
        cl.setfcompress(false);
        cl.SetConnectTimeout(5);
        cl.SetReconnect(false);
    }
    bool tcp(const FakeServer& srv) { return cl.connect("127.0.0.1", "u", password, db, srv.port(), "", false, flags); }
    // Connects to a scripted server, over TCP/IP or the local socket, and closes again once
    // the script is done; true when the login succeeded.
    bool against(const FakeServer::Script& script, bool overLocalSocket) {
        bool ok;
        if (overLocalSocket) {
            const std::string path = "/tmp/velmysql-auth-" + std::to_string(::getpid()) + ".sock";
            FakeServer srv(script, path);
            ok = local(path);
            cl.close();
            srv.join();
        } else {
            FakeServer srv(script);
            ok = tcp(srv);
            cl.close();
            srv.join();
        }
        return ok;
    }
    bool local(const std::string& path) {
        const std::string saved = MYSQL_NAMEDPIPE_PATH;
        MYSQL_NAMEDPIPE_PATH = path;
        cl.SetNamedPipe(true);
        const bool ok = cl.connect("127.0.0.1", "u", password, db, 0, "", false, flags);
        MYSQL_NAMEDPIPE_PATH = saved;
        return ok;
    }
};

// The fields of a 4.1 login packet with CLIENT_PLUGIN_AUTH.
struct Login {
    std::uint32_t flags = 0;
    std::string user, token, db, plugin;
};
Login ParseLogin(const std::string& p) {
    Login l;
    for (int i = 0; i < 4; ++i) l.flags |= std::uint32_t(static_cast<unsigned char>(p[i])) << (8 * i);
    std::size_t at = 32;
    std::size_t end = p.find('\0', at);
    l.user = p.substr(at, end - at);
    at = end + 1;
    const std::size_t n = static_cast<unsigned char>(p[at]);
    l.token = p.substr(at + 1, n);
    at += 1 + n;
    if (l.flags & CLIENT_CONNECT_WITH_DB) {
        end = p.find('\0', at);
        l.db = p.substr(at, end - at);
        at = end + 1;
    }
    end = p.find('\0', at);
    l.plugin = p.substr(at, end == std::string::npos ? std::string::npos : end - at);
    return l;
}

struct RsaKey {
    EVP_PKEY* key = EVP_RSA_gen(2048);
    std::string publicPem() const {
        BIO* out = BIO_new(BIO_s_mem());
        PEM_write_bio_PUBKEY(out, key);
        char* pem = nullptr;
        const long n = BIO_get_mem_data(out, &pem);
        std::string s(pem, static_cast<std::size_t>(n));
        BIO_free(out);
        return s;
    }
    std::string open(const std::string& sealed) const {
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
        EVP_PKEY_decrypt_init(ctx);
        EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING);
        std::string plain(512, '\0');
        std::size_t n = plain.size();
        const int ok = EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char*>(plain.data()), &n,
                                        reinterpret_cast<const unsigned char*>(sealed.data()), sealed.size());
        EVP_PKEY_CTX_free(ctx);
        return ok == 1 ? plain.substr(0, n) : "<does not open>";
    }
    ~RsaKey() { EVP_PKEY_free(key); }
};

std::string XorScramble(const std::string& password) {
    std::string s = password + std::string(1, '\0');
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>(s[i] ^ kScramble[i % 20]);
    return s;
}
}  // namespace

TEST(AuthFake, LoginPacketNamesTheMethodOfItsToken) {
    struct Case {
        const char* greetingPlugin;
        const char* db;
        std::string plugin, token;
    } cases[] = {
        {"mysql_native_password", "", "mysql_native_password", *mysql_scramble411("pw", kScramble)},
        {"mysql_native_password", "shop", "mysql_native_password", *mysql_scramble411("pw", kScramble)},
        {"caching_sha2_password", "", "caching_sha2_password", caching_sha2_scramble("pw", kScramble)},
        // Methods that need more than the greeting start with the native token.
        {"client_ed25519", "", "mysql_native_password", *mysql_scramble411("pw", kScramble)},
        {"some_future_method", "", "mysql_native_password", *mysql_scramble411("pw", kScramble)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.greetingPlugin) + " db=" + k.db);
        Seen seen;
        FakeServer srv(Play(seen, k.greetingPlugin, {Send(okPacket())}));
        Client c;
        c.db = k.db;
        c.flags = CLIENT_DEPRECATE_EOF | CLIENT_SESSION_TRACK;  // never announced: no reader here speaks them
        ASSERT_TRUE(c.tcp(srv)) << c.cl.GetLastError();
        c.cl.close();
        srv.join();
        ASSERT_EQ(seen.packets.size(), 1u);
        const Login l = ParseLogin(seen.packets[0]);
        EXPECT_TRUE(l.flags & CLIENT_PLUGIN_AUTH);
        EXPECT_FALSE(l.flags & (CLIENT_DEPRECATE_EOF | CLIENT_SESSION_TRACK | CLIENT_SSL));
        EXPECT_EQ(l.user, "u");
        EXPECT_EQ(hex(l.token), hex(k.token));
        EXPECT_EQ(l.db, k.db);
        EXPECT_EQ(l.plugin, k.plugin);
        EXPECT_EQ(seen.packets[0].back(), '\0');
    }
}

TEST(AuthFake, CachingSha2FastAndFullAuthentication) {
    RsaKey rsa;
    const std::string keyFile = "/tmp/velmysql-auth-key-" + std::to_string(::getpid()) + ".pem";
    std::ofstream(keyFile) << rsa.publicPem();
    const std::string fast = std::string("\x01\x03", 2), full = std::string("\x01\x04", 2);
    struct Case {
        const char* what;
        bool local;          // over the local socket
        std::string keyFile;  // server-public-key
        bool askKey;          // get-server-public-key
        std::vector<Reply> replies;
        bool ok;
        std::size_t packets;  // login, answers
        int error;
    } cases[] = {
        {"fast authentication", false, "", false, {Send(fast, okPacket())}, true, 1, 0},
        {"full, local socket: the password itself", true, "", false, {Send(full), Send(okPacket())}, true, 2, 0},
        {"full, TCP/IP, key from a file", false, keyFile, false, {Send(full), Send(okPacket())}, true, 2, 0},
        {"full, TCP/IP, key asked of the server", false, "", true,
         {Send(full), Send("\x01" + rsa.publicPem()), Send(okPacket())}, true, 3, 0},
        // No TLS, no socket, no key: the password is not sent at all.
        {"full, TCP/IP, no key", false, "", false, {Send(full)}, false, 1, CR_AUTH_PLUGIN_ERR},
        {"a key reply that is no key", false, "", true, {Send(full), Send(std::string("\x01garbage"))}, false, 2,
         CR_AUTH_PLUGIN_ERR},
        {"unknown more-data code", false, "", false, {Send(std::string("\x01\x05", 2))}, false, 1,
         CR_SERVER_HANDSHAKE_ERR},
        {"fast authentication twice", false, "", false, {Send(fast, fast)}, false, 1, CR_SERVER_HANDSHAKE_ERR},
        {"wrong password", true, "", false, {Send(full), Send("\xFF\x15\x04#28000Access denied")}, false, 2, 1045},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Seen seen;
        auto script = Play(seen, "caching_sha2_password", k.replies);
        Client c("sha2-secret");
        c.cl.SetServerPublicKeyPath(k.keyFile);
        c.cl.SetGetServerPublicKey(k.askKey);
        const bool ok = c.against(script, k.local);
        EXPECT_EQ(ok, k.ok) << c.cl.GetLastError();
        if (!k.ok) {
            EXPECT_EQ(c.cl.GetLastErrorNo(), k.error) << c.cl.GetLastError();
        }
        ASSERT_EQ(seen.packets.size(), k.packets);
        EXPECT_EQ(hex(ParseLogin(seen.packets[0]).token), "b06d8f80c5fb271d959333ce00d51f322d37ea69cee8e91c5b903c8e1014569c");
        for (std::size_t i = 0; i < seen.seqs.size(); ++i) EXPECT_EQ(seen.seqs[i], 1 + 2 * i);
        if (k.local) {
            EXPECT_EQ(seen.packets[1], std::string("sha2-secret\0", 12));
        } else {
            for (const std::string& p : seen.packets)
                EXPECT_EQ(p.find("sha2-secret"), std::string::npos) << "the password in clear on a plain connection";
        }
        if (k.keyFile == keyFile && k.ok) {
            EXPECT_EQ(rsa.open(seen.packets[1]), XorScramble("sha2-secret"));
        }
        if (k.askKey && k.ok) {
            EXPECT_EQ(seen.packets[1], "\x02");
            EXPECT_EQ(rsa.open(seen.packets[2]), XorScramble("sha2-secret"));
        }
    }
    std::remove(keyFile.c_str());
    // A key file that cannot be read refuses too.
    Seen seen;
    FakeServer srv(Play(seen, "caching_sha2_password", {Send(full)}));
    Client c("sha2-secret");
    c.cl.SetServerPublicKeyPath("/nonexistent/key.pem");
    EXPECT_FALSE(c.tcp(srv));
    EXPECT_EQ(c.cl.GetLastErrorNo(), CR_AUTH_PLUGIN_ERR);
    EXPECT_NE(c.cl.GetLastError().find("/nonexistent/key.pem"), std::string::npos) << c.cl.GetLastError();
    c.cl.close();
    srv.join();
    EXPECT_EQ(seen.packets.size(), 1u);
}

TEST(AuthFake, SwitchRequests) {
    const std::string nativeSalt = "ABCDEFGHIJKLMNOPQRST" + std::string(1, '\0');
    const std::string longName(300, 'n');
    struct Case {
        const char* what;
        bool local;
        std::uint32_t flags;
        std::vector<Reply> replies;
        bool ok;
        std::vector<std::string> answers;  // what the client sends after the login packet
        int error;
        const char* errorText;             // a part of the error text
    } cases[] = {
        {"ed25519: the signature of the nonce", false, 0, {Send(authSwitch("client_ed25519", kNonce)), Send(okPacket())},
         true, {"sig"}, 0, ""},
        {"ed25519 with more data than a nonce signs its first 32 bytes", false, 0,
         {Send(authSwitch("client_ed25519", kNonce + std::string(100000, 'z'))), Send(okPacket())}, true, {"sig"}, 0, ""},
        {"two switches: native, then ed25519", false, 0,
         {Send(authSwitch("mysql_native_password", nativeSalt)), Send(authSwitch("client_ed25519", kNonce)),
          Send(okPacket())},
         true, {*mysql_scramble411("ed-secret", "ABCDEFGHIJKLMNOPQRST"), "sig"}, 0, ""},
        {"a third switch", false, 0,
         {Send(authSwitch("client_ed25519", kNonce)), Send(authSwitch("client_ed25519", kNonce)),
          Send(authSwitch("client_ed25519", kNonce))},
         false, {"sig", "sig"}, CR_SERVER_HANDSHAKE_ERR, "handshake"},
        {"clear password on TCP/IP: refused", false, 0, {Send(authSwitch("mysql_clear_password", ""))}, false, {},
         CR_AUTH_PLUGIN_ERR, "mysql_clear_password"},
        {"clear password on the local socket", true, 0, {Send(authSwitch("mysql_clear_password", "")), Send(okPacket())},
         true, {std::string("ed-secret\0", 10)}, 0, ""},
        {"old password allowed", false, 0, {Send(authSwitch("mysql_old_password", "ABCDEFGH" + std::string(1, '\0'))), Send(okPacket())},
         true, {*mysql_scramble("ed-secret", "ABCDEFGH") + std::string(1, '\0')}, 0, ""},
        {"old password with secure authentication", false, CLIENT_SECURE_CONNECTION,
         {Send(authSwitch("mysql_old_password", "ABCDEFGH" + std::string(1, '\0')))}, false, {}, CR_SECURE_AUTH, ""},
        {"unknown method", false, 0, {Send(authSwitch("dialog", "x"))}, false, {}, CR_AUTH_PLUGIN_CANNOT_LOAD,
         "Authentication plugin 'dialog' cannot be loaded"},
        {"unknown method with a long name", false, 0, {Send(authSwitch(longName, "x"))}, false, {},
         CR_AUTH_PLUGIN_CANNOT_LOAD, ""},
        {"truncated: the name has no end", false, 0, {Send(std::string("\xFE") + "client_ed2")}, false, {},
         CR_SERVER_LOST, ""},
        {"truncated: a nonce too short", false, 0, {Send(authSwitch("client_ed25519", kNonce.substr(0, 16)))}, false, {},
         CR_SERVER_HANDSHAKE_ERR, ""},
        {"truncated: a native salt too short", false, 0, {Send(authSwitch("mysql_native_password", "ABCDE"))}, false, {},
         CR_SERVER_HANDSHAKE_ERR, ""},
        {"more data for ed25519 after its signature", false, 0,
         {Send(authSwitch("client_ed25519", kNonce)), Send(std::string("\x01\x03", 2))},
         false, {"sig"}, CR_SERVER_HANDSHAKE_ERR, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Seen seen;
        auto script = Play(seen, "mysql_native_password", k.replies);
        Client c("ed-secret");
        c.flags = k.flags;
        const bool ok = c.against(script, k.local);
        EXPECT_EQ(ok, k.ok) << c.cl.GetLastError();
        if (!k.ok) {
            EXPECT_EQ(c.cl.GetLastErrorNo(), k.error) << c.cl.GetLastError();
            EXPECT_NE(c.cl.GetLastError().find(k.errorText), std::string::npos) << c.cl.GetLastError();
            EXPECT_LT(c.cl.GetLastError().size(), 200u);
        }
        ASSERT_EQ(seen.packets.size(), 1 + k.answers.size());
        for (std::size_t i = 0; i < k.answers.size(); ++i) {
            if (k.answers[i] == "sig")
                EXPECT_EQ(hex(seen.packets[1 + i]), kNonceSignature) << i;
            else
                EXPECT_EQ(hex(seen.packets[1 + i]), hex(k.answers[i])) << i;
            EXPECT_EQ(seen.seqs[1 + i], 3 + 2 * i);
        }
        if (!k.local) {
            for (const std::string& p : seen.packets) EXPECT_EQ(p.find("ed-secret"), std::string::npos);
        }
    }
}

TEST(AuthFake, ChangeUserNamesItsMethodAndAnswersASwitch) {
    Seen seen;
    std::string changeUser;
    FakeServer srv([&](FakeConn& c) {
        c.sendPacket(0, greeting41(kCaps, "mysql_native_password", kScramble));
        std::string in;
        c.readPacket(in);
        c.sendPacket(2, okPacket());
        c.readPacket(changeUser);
        c.sendPacket(1, authSwitch("client_ed25519", kNonce));
        std::uint8_t seq = 0;
        c.readPacket(in, &seq);
        seen.packets.push_back(in);
        seen.seqs.push_back(seq);
        c.sendPacket(static_cast<std::uint8_t>(seq + 1), okPacket());
        c.waitClosed();
    });
    Client c;
    ASSERT_TRUE(c.tcp(srv)) << c.cl.GetLastError();
    EXPECT_TRUE(c.cl.change_user("ed", "ed-secret", "")) << c.cl.GetLastError();
    EXPECT_EQ(c.cl.AuthPlugin(), "client_ed25519");
    c.cl.close();
    srv.join();
    // COM_CHANGE_USER: user, the native token, database, character set, method name.
    const std::string expected = std::string("\x11") + "ed" + std::string(1, '\0') + "\x14" +
                                 *mysql_scramble411("ed-secret", kScramble) + std::string(1, '\0') +
                                 std::string(2, '\0') + "mysql_native_password" + std::string(1, '\0');
    EXPECT_EQ(hex(changeUser), hex(expected));
    ASSERT_EQ(seen.packets.size(), 1u);
    EXPECT_EQ(hex(seen.packets[0]), kNonceSignature);
    EXPECT_EQ(seen.seqs[0], 2);
}

// REQUIRED and stricter never fall back to a login in clear; nor does a mode text that
// named no mode.
TEST(AuthFake, RequiredTlsAgainstAServerWithoutIt) {
    struct Case {
        TSslMode mode;
        bool invalid;
        const char* errorPart;
    } cases[] = {
        {smRequired, false, "does not offer TLS"},
        {smVerifyCa, false, "does not offer TLS"},
        {smVerifyIdentity, false, "does not offer TLS"},
        {smPreferred, true, "ssl-mode names no known mode"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(SslModeText(k.mode));
        Seen seen;
        FakeServer srv(Play(seen, "mysql_native_password", {Send(okPacket())}));
        Client c;
        TMysqlTlsSettings t;
        t.mode = k.mode;
        t.modeInvalid = k.invalid;
        c.cl.SetTlsSettings(t);
        EXPECT_FALSE(c.tcp(srv));
        EXPECT_EQ(c.cl.GetLastErrorNo(), CR_SSL_CONNECTION_ERROR);
        EXPECT_NE(c.cl.GetLastError().find(k.errorPart), std::string::npos) << c.cl.GetLastError();
        EXPECT_FALSE(c.cl.GetConnected());
        c.cl.close();
        srv.join();
        EXPECT_TRUE(seen.packets.empty()) << "a login went out in clear";
    }
}
