// The session against a scripted server: greetings, logins and replies that a real
// server does not send, malformed packets, and the rogue file request.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "fake_server.h"
#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/mysql_errors.h"
#include "velmysql/wire/new_password.h"

using namespace velmysql;
using namespace velmysql::testing;

namespace {
constexpr std::uint32_t kCaps41 = 0xF7FF & ~CLIENT_SSL;  // a 4.1 server, compression offered
const std::string kScramble = "abcdefghijklmnopqrst";

// Greets, takes the login packet, answers OK. The login payload is kept.
void acceptLogin(FakeConn& c, std::string* login = nullptr, std::uint32_t caps = kCaps41) {
    c.sendPacket(0, greeting(caps));
    std::string l;
    c.readPacket(l);
    if (login) *login = l;
    c.sendPacket(2, okPacket());
}

bool connectTo(TMysqlClient& cl, const FakeServer& srv, const std::string& user = "u",
               const std::string& pw = "pw", const std::string& db = "", std::uint32_t flags = 0) {
    cl.setfcompress(false);
    cl.SetConnectTimeout(5);
    cl.SetReconnect(false);  // with it on, every query would ping first
    return cl.connect("127.0.0.1", user, pw, db, srv.port(), "", false, flags);
}

std::uint32_t flagsOf(const std::string& login) {
    return static_cast<unsigned char>(login[0]) | (static_cast<unsigned char>(login[1]) << 8) |
           (static_cast<unsigned char>(login[2]) << 16) | (static_cast<std::uint32_t>(static_cast<unsigned char>(login[3])) << 24);
}

// Answers one command with the given packets (sequence numbers from 1).
void reply(FakeConn& c, const std::vector<std::string>& packets, std::string* command = nullptr) {
    std::string cmd;
    c.readPacket(cmd);
    if (command) *command = cmd;
    std::uint8_t seq = 1;
    for (const auto& p : packets) c.sendPacket(seq++, p);
}
}  // namespace

TEST(ClientFake, GreetingProtocolVersions) {
    // Protocol 8: refused with both versions named.
    {
        FakeServer srv([](FakeConn& c) {
            c.sendPacket(0, greeting(kCaps41, true, 8));
            c.waitClosed();
        });
        TMysqlClient cl;
        EXPECT_FALSE(connectTo(cl, srv));
        EXPECT_EQ(cl.GetLastErrorNo(), 2007);
        EXPECT_EQ(cl.GetLastError(), "Protocol mismatch. Server Version = 8 Client Version = 10");
        EXPECT_FALSE(cl.GetConnected());
    }
    // Protocol 9: accepted; its error packets carry no number.
    {
        FakeServer srv([](FakeConn& c) {
            c.sendPacket(0, greeting(0x0004 | 0x0008 | 0x2000, false, 9));
            std::string l;
            c.readPacket(l);
            c.sendPacket(2, "\xFF" "Access denied");
        });
        TMysqlClient cl;
        EXPECT_FALSE(connectTo(cl, srv));
        EXPECT_EQ(cl.GetProtocol_version(), 9);
        EXPECT_EQ(cl.GetLastErrorNo(), 2000);
        EXPECT_EQ(cl.GetLastError(), "Access denied");
        EXPECT_FALSE(cl.GetConnected());
    }
}

TEST(ClientFake, TruncatedGreetingsFailAsHandshakeError) {
    const std::string full = greeting(kCaps41);
    const size_t v = std::string("5.5.5-fake").size();
    struct Case {
        std::string payload;
    } cases[] = {
        {full.substr(0, 1)},          // protocol byte only
        {full.substr(0, 6)},          // version text without its end
        {full.substr(0, v + 4)},      // connection id cut
        {full.substr(0, v + 10)},     // first scramble part cut
    };
    for (const auto& c : cases) {
        FakeServer srv([&](FakeConn& conn) {
            conn.sendPacket(0, c.payload);
            conn.waitClosed();
        });
        TMysqlClient cl;
        EXPECT_FALSE(connectTo(cl, srv)) << c.payload.size();
        EXPECT_EQ(cl.GetLastErrorNo(), 2012) << c.payload.size();
        EXPECT_EQ(cl.GetLastError(), "Error in server handshake");
        EXPECT_FALSE(cl.GetConnected());
    }
    // A greeting that stops after the first scramble part (and one byte of the
    // capability word) is complete enough: no capabilities, the pre-4.1 login.
    std::string login;
    FakeServer srv([&](FakeConn& conn) {
        conn.sendPacket(0, full.substr(0, v + 16));
        conn.readPacket(login);
        conn.sendPacket(2, std::string("\0\0\0", 3));
        conn.waitClosed();
    });
    TMysqlClient cl;
    EXPECT_TRUE(connectTo(cl, srv)) << cl.GetLastError();
    EXPECT_EQ(cl.ServerCapabilities(), 0u);
    cl.close();
    srv.join();
    ASSERT_GE(login.size(), 5u);
    EXPECT_EQ(login.substr(5, 2), std::string("u\0", 2));  // pre-4.1 form: user at offset 5
}

TEST(ClientFake, LoginPacketForms) {
    struct Case {
        const char* what;
        std::uint32_t serverCaps;
        bool secondPart;
        std::string user, pw, db;
        bool compress;
        std::uint32_t expectFlags;
        std::string expectTail;  // bytes from the user name on
    } cases[] = {
        {"4.1 with password", kCaps41, true, "u", "pw", "", false, 1 | 4 | 128 | 512 | 8192 | 32768,
         std::string("u\0\x14", 3) + *mysql_scramble411("pw", kScramble)},
        {"4.1 with db and compression", kCaps41, true, "u", "", "mydb", true,
         1 | 4 | 8 | 32 | 128 | 512 | 8192 | 32768, std::string("u\0\0mydb\0", 8)},
        {"no second scramble part: old token", kCaps41, false, "u", "pw", "", false, 1 | 4 | 128 | 512 | 8192,
         std::string("u\0", 2) + *mysql_scramble("pw", kScramble.substr(0, 8)) + std::string(1, '\0')},
        {"user name of 20 characters travels whole", kCaps41, true, "abcdefghijklmnopqrst", "", "", false,
         1 | 4 | 128 | 512 | 8192 | 32768, std::string("abcdefghijklmnopqrst\0\0", 22)},
        {"user name cut at 80", kCaps41, true, std::string(90, 'n'), "", "", false,
         1 | 4 | 128 | 512 | 8192 | 32768, std::string(80, 'n') + std::string("\0\0", 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string login;
        FakeServer srv([&](FakeConn& conn) {
            conn.sendPacket(0, greeting(c.serverCaps, c.secondPart, 10, kScramble));
            conn.readPacket(login);
            conn.sendPacket(2, okPacket());
            conn.waitClosed();
        });
        TMysqlClient cl;
        cl.setfcompress(c.compress);
        cl.SetConnectTimeout(5);
        ASSERT_TRUE(cl.connect("127.0.0.1", c.user, c.pw, c.db, srv.port(), "", false, 0)) << cl.GetLastError();
        EXPECT_EQ(cl.ClientFlag(), c.expectFlags);
        EXPECT_EQ(cl.Net().GetCompress(), c.compress);
        cl.close();
        srv.join();
        ASSERT_GE(login.size(), 32u);
        EXPECT_EQ(flagsOf(login), c.expectFlags);
        EXPECT_EQ(login.substr(4, 4), std::string("\0\0\0\x40", 4));  // the session's max_allowed_packet, 1 GB
        EXPECT_EQ(login.substr(32), c.expectTail);
    }
}

TEST(ClientFake, OldTokenOnRequestAndSecureAuth) {
    std::string token;
    std::uint8_t seq = 0;
    FakeServer srv([&](FakeConn& c) {
        c.sendPacket(0, greeting(kCaps41));
        std::string l;
        c.readPacket(l);
        c.sendPacket(2, "\xFE");  // asks for the pre-4.1 token
        c.readPacket(token, &seq);
        c.sendPacket(4, okPacket());
        c.waitClosed();
    });
    TMysqlClient cl;
    ASSERT_TRUE(connectTo(cl, srv, "u", "pw")) << cl.GetLastError();
    cl.close();
    srv.join();
    EXPECT_EQ(seq, 3);
    EXPECT_EQ(token, *mysql_scramble("pw", kScramble.substr(0, 8)) + std::string(1, '\0'));
    EXPECT_EQ(token.size(), 9u);

    // Secure authentication asked for, the server cannot: refused before the login.
    FakeServer old([](FakeConn& c) {
        c.sendPacket(0, greeting(kCaps41, false));
        c.waitClosed();
    });
    TMysqlClient s;
    EXPECT_FALSE(connectTo(s, old, "u", "pw", "", CLIENT_SECURE_CONNECTION));
    EXPECT_EQ(s.GetLastErrorNo(), 2049);
    EXPECT_EQ(s.GetLastError(), "No secure authentication available to this MySQL server.");
    // ... but never refuses an empty password.
    FakeServer old2([](FakeConn& c) {
        c.sendPacket(0, greeting(kCaps41, false));
        std::string l;
        c.readPacket(l);
        c.sendPacket(2, okPacket());
        c.waitClosed();
    });
    TMysqlClient s2;
    EXPECT_TRUE(connectTo(s2, old2, "u", "", "", CLIENT_SECURE_CONNECTION));
}

TEST(ClientFake, ReplySequenceMismatchIsLostConnection) {
    FakeServer srv([](FakeConn& c) {
        acceptLogin(c);
        std::string q;
        c.readPacket(q);
        c.sendPacket(3, okPacket());  // expected 1
        c.waitClosed();
    });
    TMysqlClient cl;
    ASSERT_TRUE(connectTo(cl, srv));
    cl.SetReconnect(false);
    EXPECT_NE(cl.realquery("select 1"), 0);
    EXPECT_EQ(cl.GetLastErrorNo(), 2013);
    EXPECT_FALSE(cl.GetConnected());
}

TEST(ClientFake, OkPacketFields) {
    std::string info;
    FakeServer srv([&](FakeConn& c) {
        acceptLogin(c);
        reply(c, {std::string("\0\1\5\2\0", 5)});
        reply(c, {std::string("\0\xFB\xFC\x10\x27\0\0\0\0", 9)});
        reply(c, {std::string("\0\0\0\0\0\0\0", 7) + lenencStr("Rows matched: 1")});
        c.waitClosed();
    });
    TMysqlClient cl;
    ASSERT_TRUE(connectTo(cl, srv));
    cl.SetReconnect(false);
    ASSERT_EQ(cl.realquery("q1"), 0);
    EXPECT_EQ(cl.AffectedRows(), 1u);
    EXPECT_EQ(cl.InsertId(), 5u);
    EXPECT_EQ(cl.ServerStatus(), 2u);
    EXPECT_EQ(cl.Info(), "");
    ASSERT_EQ(cl.realquery("q2"), 0);
    EXPECT_EQ(cl.AffectedRows(), ~std::uint64_t(0));  // a lone 251
    EXPECT_EQ(cl.InsertId(), 10000u);
    EXPECT_EQ(cl.ServerStatus(), 0u);
    ASSERT_EQ(cl.realquery("q3"), 0);
    EXPECT_EQ(cl.Info(), "Rows matched: 1");
}

TEST(ClientFake, MalformedRepliesAreLostConnection) {
    const std::string hdr = std::string("\x02", 1);
    const std::string f1 = field41("a", FIELD_TYPE_LONG), f2 = field41("b", FIELD_TYPE_VAR_STRING);
    struct Case {
        const char* what;
        std::vector<std::string> packets;
        bool store;
    } cases[] = {
        {"OK packet cut in a number", {std::string("\0\xFC\x01", 3)}, true},
        {"OK packet without its status", {std::string("\0\0\0\x02", 4)}, true},
        {"field count with a cut length", {std::string("\xFD\x01", 2)}, true},
        {"descriptor running past its packet", {hdr, f1, f2.substr(0, f2.size() - 5), eofPacket()}, true},
        {"descriptor with a short fixed block", {hdr, f1, f2.substr(0, f2.size() - 13) + lenencStr("12345"), eofPacket()}, true},
        {"fewer descriptors than columns", {hdr, f1, eofPacket()}, true},
        {"row value running past its packet (stored)", {hdr, f1, f2, eofPacket(), row({"1"}) + "\x05" "ab", eofPacket()}, true},
        {"row value running past its packet (used)", {hdr, f1, f2, eofPacket(), row({"1"}) + "\x05" "ab", eofPacket()}, false},
        {"row with a cut length-coded number", {hdr, f1, f2, eofPacket(), row({"1"}) + "\xFC\x01", eofPacket()}, true},
        {"row with too few values", {hdr, f1, f2, eofPacket(), row({"1"}), eofPacket()}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServer srv([&](FakeConn& conn) {
            acceptLogin(conn);
            reply(conn, c.packets);
            conn.waitClosed();
        });
        TMysqlClient cl;
        ASSERT_TRUE(connectTo(cl, srv));
        cl.SetReconnect(false);
        bool done;
        auto r = cl.query("select", c.store, done);
        if (r) {
            // A used result fails on the row it reads.
            EXPECT_FALSE(c.store);
            EXPECT_TRUE(r->GetHadErrors());
            EXPECT_TRUE(r->Eof());
        }
        EXPECT_EQ(cl.GetLastErrorNo(), 2013);
        EXPECT_EQ(cl.GetLastError(), "Lost connection to MySQL server during query");
        EXPECT_FALSE(cl.GetConnected());
    }
}

TEST(ClientFake, DescriptorFlags) {
    FakeServer srv([&](FakeConn& conn) {
        acceptLogin(conn);
        reply(conn, {std::string("\x04", 1), field41("b", FIELD_TYPE_BLOB, 65535, 0), field41("t19", FIELD_TYPE_TIMESTAMP, 19),
                     field41("t14", FIELD_TYPE_TIMESTAMP, 14), field41("y", FIELD_TYPE_YEAR, 4), eofPacket(),
                     row({"x", "2001-01-01 00:00:00", "20010101000000", "2001"}), eofPacket()});
        conn.waitClosed();
    });
    TMysqlClient cl;
    ASSERT_TRUE(connectTo(cl, srv));
    bool done;
    auto r = cl.query("select", true, done);
    ASSERT_NE(r, nullptr) << cl.GetLastError();
    EXPECT_EQ(r->FieldDef(0)->flags & BLOB_FLAG, BLOB_FLAG);
    EXPECT_EQ(r->FieldDef(0)->length, 65535u);
    EXPECT_EQ(r->FieldDef(1)->flags & NUM_FLAG, 0u);
    EXPECT_EQ(r->FieldDef(2)->flags & NUM_FLAG, NUM_FLAG);
    EXPECT_EQ(r->FieldDef(3)->flags & NUM_FLAG, NUM_FLAG);
    EXPECT_EQ(r->FieldDef(1)->charsetnr, 8u);
    EXPECT_STREQ(r->FieldDef(0)->db, "db");
    EXPECT_EQ(r->FieldDef(0)->def, nullptr);
    EXPECT_EQ(r->FieldDef(1)->max_length, 19u);
}

TEST(ClientFake, PreFourOneDescriptors) {
    // A server without the 4.1 protocol sends descriptors of 5 columns.
    const std::uint32_t caps = CLIENT_LONG_FLAG | CLIENT_TRANSACTIONS | CLIENT_CONNECT_WITH_DB;
    auto oldField = [](const std::string& table, const std::string& name, std::uint32_t len, std::uint8_t type,
                       std::uint16_t flags, std::uint8_t dec) {
        return lenencStr(table) + lenencStr(name) + lenencStr(le(len, 3)) + lenencStr(le(type, 1)) +
               lenencStr(le(flags, 2) + le(dec, 1));
    };
    FakeServer srv([&](FakeConn& conn) {
        conn.sendPacket(0, greeting(caps, false));
        std::string l;
        conn.readPacket(l);
        conn.sendPacket(2, std::string("\0\0\0\2\0", 5));
        reply(conn, {std::string("\x02", 1), oldField("t", "id", 11, FIELD_TYPE_LONG, 3, 0),
                     oldField("t", "v", 10, FIELD_TYPE_VAR_STRING, 0, 0), eofPacket(), row({"1", nullptr}), eofPacket()});
        conn.waitClosed();
    });
    TMysqlClient cl;
    ASSERT_TRUE(connectTo(cl, srv, "u", ""));
    EXPECT_EQ(cl.ClientFlag() & CLIENT_PROTOCOL_41, 0u);
    bool done;
    auto r = cl.query("select", true, done);
    ASSERT_NE(r, nullptr) << cl.GetLastError();
    EXPECT_STREQ(r->FieldDef(0)->name, "id");
    EXPECT_STREQ(r->FieldDef(0)->table, "t");
    EXPECT_EQ(r->FieldDef(0)->org_name, nullptr);
    EXPECT_EQ(r->FieldDef(0)->flags, 3u | NUM_FLAG);
    EXPECT_EQ(r->FieldDef(0)->length, 11u);
    EXPECT_EQ(r->FieldDef(1)->type, FIELD_TYPE_VAR_STRING);
    EXPECT_STREQ(r->FieldValue(0), "1");
    EXPECT_EQ(r->FieldValue(1), nullptr);
}

TEST(ClientFake, RogueFileRequestIsRefused) {
    struct Case {
        const char* what;
        std::string statement;
        std::string requested;
        std::string expectError;
    } cases[] = {
        {"request after a select", "select 1", "/etc/passwd",
         "File '/etc/passwd' was not requested by this statement"},
        {"another file than the statement's", "LOAD DATA LOCAL INFILE '/tmp/mine.txt' INTO TABLE t",
         "/etc/shadow", "File '/etc/shadow' was not requested by this statement"},
        {"long name cut to 64", "select 2", "/" + std::string(100, 'p'),
         "File '/" + std::string(63, 'p') + "' was not requested by this statement"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string upload = "unset";
        std::string next;
        FakeServer srv([&](FakeConn& conn) {
            acceptLogin(conn);
            reply(conn, {"\xFB" + c.requested});
            conn.readPacket(upload);
            conn.sendPacket(3, okPacket());
            reply(conn, {okPacket(7)}, &next);
            conn.waitClosed();
        });
        TMysqlClient cl;
        ASSERT_TRUE(connectTo(cl, srv));
        cl.SetReconnect(false);
        EXPECT_NE(cl.realquery(c.statement), 0);
        EXPECT_EQ(cl.GetLastErrorNo(), 0);
        EXPECT_EQ(cl.GetLastError(), c.expectError);
        EXPECT_TRUE(cl.GetConnected());
        // The server's answer to the empty upload was read: the next command is in step.
        ASSERT_EQ(cl.realquery("next"), 0) << cl.GetLastError();
        EXPECT_EQ(cl.AffectedRows(), 7u);
        cl.close();
        srv.join();
        EXPECT_EQ(upload, "");
        EXPECT_EQ(next, "\x03next");
    }
}

TEST(ClientFake, LocalInfileNames) {
    struct Case {
        std::string statement;
        std::optional<std::string> name;
    } cases[] = {
        {"LOAD DATA LOCAL INFILE 'a.txt' INTO TABLE t", "a.txt"},
        {"  /* c */ load data low_priority local infile \"b\\\\c.txt\" into table t", "b\\c.txt"},
        {"load data concurrent local infile 'it''s' into table t", "it's"},
        {"load data infile 'server.txt' into table t", std::nullopt},
        {"select 'load data local infile'", std::nullopt},
        {"load data local infile 'unterminated", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(LocalInfileName(c.statement), c.name) << c.statement;
}

TEST(ClientFake, ChangeUserTokenFollowsTheAuthentication) {
    struct Case {
        const char* what;
        bool secondPart;
        std::string expectArg;
    } cases[] = {
        {"4.1 authentication", true,
         std::string("someone\0\x14", 9) + *mysql_scramble411("pw", kScramble) + std::string("db\0", 3)},
        {"pre-4.1 authentication", false,
         std::string("someone\0", 8) + *mysql_scramble("pw", kScramble.substr(0, 8)) + std::string("\0db\0", 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string cmd;
        FakeServer srv([&](FakeConn& conn) {
            conn.sendPacket(0, greeting(kCaps41, c.secondPart, 10, kScramble));
            std::string l;
            conn.readPacket(l);
            conn.sendPacket(2, okPacket());
            reply(conn, {okPacket()}, &cmd);
            conn.waitClosed();
        });
        TMysqlClient cl;
        ASSERT_TRUE(connectTo(cl, srv, "u", ""));
        ASSERT_TRUE(cl.change_user("someone", "pw", "db")) << cl.GetLastError();
        EXPECT_EQ(cl.User(), "someone");
        cl.close();
        srv.join();
        ASSERT_FALSE(cmd.empty());
        EXPECT_EQ(cmd[0], COM_CHANGE_USER);
        EXPECT_EQ(cmd.substr(1), c.expectArg);
    }
}

TEST(ClientFake, StatWithEmptyReply) {
    FakeServer srv([&](FakeConn& conn) {
        acceptLogin(conn);
        reply(conn, {std::string("\0", 1)});
        conn.waitClosed();
    });
    TMysqlClient cl;
    ASSERT_TRUE(connectTo(cl, srv));
    EXPECT_EQ(cl.stat(), "");
    EXPECT_EQ(cl.GetLastErrorNo(), 2009);
    EXPECT_EQ(cl.GetLastError(), "Wrong host info");
}

TEST(ClientFake, CompressedSession) {
    // After a login with compression every exchange is in frames; a reply of several
    // packets arrives in one frame.
    std::string q;
    FakeServer srv([&](FakeConn& conn) {
        acceptLogin(conn);
        std::uint8_t seq = 9;
        conn.readFrame(q, &seq);
        std::string inner;
        std::vector<std::string> packets = {std::string("\x01", 1), field41("a", FIELD_TYPE_LONG), eofPacket(),
                                            row({"1"}), row({"2"}), eofPacket()};
        std::uint8_t n = 1;
        for (auto& p : packets) inner += le(p.size(), 3) + std::string(1, static_cast<char>(n++)) + p;
        conn.sendFrame(1, inner, true);
        conn.waitClosed();
    });
    TMysqlClient cl;
    cl.SetConnectTimeout(5);
    cl.SetReconnect(false);
    cl.setfcompress(true);
    ASSERT_TRUE(cl.connect("127.0.0.1", "u", "", "", srv.port(), "", false, 0));
    bool done;
    auto r = cl.query("select a", true, done);
    ASSERT_NE(r, nullptr) << cl.GetLastError();
    EXPECT_EQ(r->RowCount(), 2u);
    r->Next();
    EXPECT_STREQ(r->FieldValue(0), "2");
    cl.close();
    srv.join();
    EXPECT_EQ(q, le(9, 3) + std::string("\0\x03select a", 10));
}

// After the authentication exchange only an OK packet means success: a third switch
// request or a packet of more authentication data is a protocol error and the login
// fails with the connection closed.
TEST(ClientFake, UnexpectedRepliesAfterAuthenticationFailTheLogin) {
    const std::string switchToNative = std::string("\xFE") + "mysql_native_password" + std::string(1, '\0') +
                                       "ABCDEFGHIJKLMNOPQRST" + std::string(1, '\0');
    struct Case {
        const char* what;
        std::vector<std::string> replies;  // answers to the login and to each token
        bool ok;
    } cases[] = {
        {"OK", {okPacket()}, true},
        {"one switch, then OK", {switchToNative, okPacket()}, true},
        {"two switches, then OK", {switchToNative, switchToNative, okPacket()}, true},
        {"a third switch", {switchToNative, switchToNative, switchToNative}, false},
        {"more authentication data", {std::string("\x01\x03", 2)}, false},
        {"more data after a switch", {switchToNative, std::string("\x01\x04", 2)}, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        FakeServer srv([&](FakeConn& c) {
            c.sendPacket(0, greeting(kCaps41));
            std::uint8_t seq = 1;
            for (const std::string& r : k.replies) {
                std::string in;
                if (!c.readPacket(in, &seq)) return;
                c.sendPacket(static_cast<std::uint8_t>(seq + 1), r);
            }
            c.waitClosed();
        });
        TMysqlClient cl;
        EXPECT_EQ(connectTo(cl, srv), k.ok);
        EXPECT_EQ(cl.GetConnected(), k.ok);
        if (!k.ok) {
            EXPECT_EQ(cl.GetLastErrorNo(), 2012);
        }
        cl.close();
        srv.join();
    }
}

// A write to a server that stops reading ends within the connection's timeout instead
// of waiting forever.
TEST(ClientFake, WriteToAServerThatStopsReadingTimesOut) {
    std::atomic<bool> clientDone{false};
    FakeServer srv([&](FakeConn& c) {
        acceptLogin(c);
        // Read nothing more; give up after 20 s so a client that hangs cannot hang the test.
        for (int i = 0; i < 200 && !clientDone; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    TMysqlClient cl;
    cl.setfcompress(false);
    cl.SetReconnect(false);
    cl.SetConnectTimeout(1);  // the transport's timeout for reads and writes
    ASSERT_TRUE(cl.connect("127.0.0.1", "u", "pw", "", srv.port(), "", false, 0));
    const auto start = std::chrono::steady_clock::now();
    // Below one packet's 16 MB, far above what the socket buffers take.
    const std::string q = "select '" + std::string(15u << 20, 'w') + "'";
    EXPECT_NE(cl.realquery(q), 0);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    clientDone = true;
    EXPECT_EQ(cl.GetLastErrorNo(), 2006);
    EXPECT_LT(seconds, 15);
    srv.join();
}

// A used result whose next row does not parse is emptied: no value of the row points
// into the copy of the previous (large) row, which the read has let go.
TEST(ClientFake, MalformedUsedRowLeavesNoStaleValues) {
    FakeServer srv([](FakeConn& c) {
        acceptLogin(c);
        std::string big(2u << 20, 'b');
        std::string bad = lenencStr("x") + std::string("\xFC\x64\x00", 3) + "short";  // announces 100 bytes
        reply(c, {std::string("\x02", 1), field41("a", FIELD_TYPE_BLOB), field41("b", FIELD_TYPE_BLOB), eofPacket(),
                  lenencStr(big) + lenencStr("tail"), bad});
        c.waitClosed();
    });
    TMysqlClient cl;
    ASSERT_TRUE(connectTo(cl, srv));
    bool done;
    auto r = cl.query("select a, b", false, done);
    ASSERT_NE(r, nullptr) << cl.GetLastError();
    EXPECT_EQ(r->FieldLenght(0), 2u << 20);
    r->Next();
    EXPECT_TRUE(r->GetHadErrors());
    EXPECT_EQ(cl.GetLastErrorNo(), 2013);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(r->FieldValue(i), nullptr);
        EXPECT_EQ(r->FieldLenght(i), 0u);
    }
    r.reset();
    srv.join();
}
