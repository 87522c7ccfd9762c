// The session against the live server: logins, commands, query replies, uploads,
// reconnecting and changing the user.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/test_server.h"
#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/mysql_errors.h"
#include "velmysql/wire/mysql_helpers.h"

using namespace velmysql;
using velmysql::testing::TestServer;

namespace {
struct Login {
    std::string user, password;
};

bool connectAs(TMysqlClient& c, const TestServer* s, const Login& l, const std::string& db = "",
               std::uint32_t flags = 0) {
    return c.connect(s->host, l.user, l.password, db, s->port, "", false, flags);
}

// The single value of a one-row query, or "<none>" / "<NULL>".
std::string scalar(TMysqlClient& c, const std::string& sql) {
    bool done;
    auto r = c.query(sql, true, done);
    if (!r) return "<none>";
    const char* v = r->FieldValue(0);
    return v ? std::string(v, strlen(v)) : "<NULL>";
}
}  // namespace

TEST(ClientLive, LoginsOverTcpAndSocketWithAndWithoutCompression) {
    VEL_REQUIRE_TEST_SERVER(s);
    struct Case {
        const char* what;
        Login login;
    } cases[] = {
        {"4.1 password", {s->user, s->password}},
        {"pre-4.1 password", {s->oldUser, s->oldPassword}},
        {"no password", {s->nopwUser, ""}},
    };
    for (const auto& c : cases) {
        for (bool compress : {false, true}) {
            for (bool pipe : {false, true}) {
                SCOPED_TRACE(std::string(c.what) + (compress ? " compressed" : "") + (pipe ? " socket" : " tcp"));
                const std::string saved = MYSQL_NAMEDPIPE_PATH;
                MYSQL_NAMEDPIPE_PATH = s->socket;
                TMysqlClient cl;
                cl.setfcompress(compress);
                cl.SetNamedPipe(pipe);
                ASSERT_TRUE(connectAs(cl, s, c.login, s->database)) << cl.GetLastErrorNo() << " " << cl.GetLastError();
                MYSQL_NAMEDPIPE_PATH = saved;
                EXPECT_EQ(cl.Net().GetVioType(), pipe ? VIO_TYPE_NAMEDPIPE : VIO_TYPE_TCPIP);
                EXPECT_EQ(cl.Net().GetCompress(), compress);
                EXPECT_EQ(cl.GetProtocol_version(), 10);
                EXPECT_NE(cl.ThreadId(), 0u);
                EXPECT_EQ(cl.ServerVersion().substr(0, 6), "5.5.5-");
                EXPECT_EQ(scalar(cl, "select current_user()").substr(0, c.login.user.size()), c.login.user);
                EXPECT_EQ(scalar(cl, "select database()"), s->database);
                if (pipe) {
                    EXPECT_EQ(cl.Host(), ".");
                    EXPECT_EQ(cl.UnixSocket(), "MySQL");
                }
            }
        }
    }
}

TEST(ClientLive, WrongPasswordAndSecureAuth) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMysqlClient c;
    EXPECT_FALSE(connectAs(c, s, {s->user, "wrong"}));
    EXPECT_EQ(c.GetLastErrorNo(), 1045);
    EXPECT_NE(c.GetLastError().find("Access denied for user '" + s->user + "'"), std::string::npos) << c.GetLastError();
    EXPECT_FALSE(c.GetConnected());

    // A wrong old password: the server asks for the old token, then refuses.
    TMysqlClient o;
    EXPECT_FALSE(connectAs(o, s, {s->oldUser, "wrong"}));
    EXPECT_EQ(o.GetLastErrorNo(), 1045);

    // Both hosts empty: false, nothing recorded.
    TMysqlClient e;
    EXPECT_FALSE(e.connect("", "u", "", "", 0, "", false, 0));
    EXPECT_EQ(e.GetLastErrorNo(), 0);
    EXPECT_EQ(e.GetLastError(), "");
}

TEST(ClientLive, LongUserNameTravelsWhole) {
    VEL_REQUIRE_TEST_SERVER(s);
    // An account whose name is the first 16 characters of a longer name must not be
    // the one logged in.
    const std::string longName = "vel_longname_abcdefghij";  // 23 characters
    const std::string prefix = longName.substr(0, 16);
    TMysqlClient root;
    ASSERT_TRUE(connectAs(root, s, {s->rootUser, s->rootPassword}));
    bool done;
    root.query("drop user if exists '" + longName + "'@'%', '" + prefix + "'@'%'", true, done);
    ASSERT_EQ(root.realquery("create user '" + longName + "'@'%' identified by 'long-pw'"), 0);
    ASSERT_EQ(root.realquery("create user '" + prefix + "'@'%' identified by 'long-pw'"), 0);
    TMysqlClient c;
    ASSERT_TRUE(connectAs(c, s, {longName, "long-pw"})) << c.GetLastError();
    EXPECT_EQ(scalar(c, "select user()").substr(0, longName.size() + 1), longName + "@");
    c.close();
    root.realquery("drop user '" + longName + "'@'%', '" + prefix + "'@'%'");
}

TEST(ClientLive, OkPacketsAndCommands) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMysqlClient c;
    ASSERT_TRUE(connectAs(c, s, {s->user, s->password}, s->database));
    ASSERT_EQ(c.realquery("drop table if exists ok_t"), 0);
    ASSERT_EQ(c.realquery("create table ok_t (id int auto_increment primary key, v varchar(10))"), 0);
    ASSERT_EQ(c.realquery("insert into ok_t (v) values ('a'), ('b'), ('c')"), 0);
    EXPECT_EQ(c.AffectedRows(), 3u);
    EXPECT_EQ(c.InsertId(), 1u);
    EXPECT_EQ(c.Info(), "Records: 3  Duplicates: 0  Warnings: 0");
    ASSERT_EQ(c.realquery("update ok_t set v = 'x' where id >= 2"), 0);
    EXPECT_EQ(c.AffectedRows(), 2u);
    EXPECT_EQ(c.Info(), "Rows matched: 2  Changed: 2  Warnings: 0");
    ASSERT_EQ(c.realquery("insert into ok_t (v) values ('d')"), 0);
    EXPECT_EQ(c.InsertId(), 4u);
    EXPECT_EQ(c.Info(), "");
    EXPECT_EQ(c.realquery(""), 0);  // nothing sent

    // A refused statement: the server's number and text, connection kept.
    EXPECT_NE(c.realquery("select * from no_such_table"), 0);
    EXPECT_EQ(c.GetLastErrorNo(), 1146);
    EXPECT_NE(c.GetLastError().find("no_such_table"), std::string::npos);
    EXPECT_TRUE(c.GetConnected());

    EXPECT_TRUE(c.ping());
    std::string st = c.stat();
    EXPECT_EQ(st.substr(0, 7), "Uptime:");
    EXPECT_TRUE(c.refresh(REFRESH_TABLES));
    EXPECT_TRUE(REF_STATUS(&c));
    EXPECT_FALSE(REF_TABLES(nullptr));

    EXPECT_FALSE(c.create_db(""));
    // This server no longer knows the database commands: its refusal comes back as is.
    EXPECT_FALSE(c.create_db("vel_wire_tmp"));
    EXPECT_EQ(c.GetLastErrorNo(), 1047);
    EXPECT_FALSE(c.drop_db("vel_wire_tmp"));
    EXPECT_EQ(c.GetLastErrorNo(), 1047);
    ASSERT_EQ(c.realquery("create database if not exists vel_wire_tmp"), 0);
    ASSERT_TRUE(c.select_db("vel_wire_tmp"));
    EXPECT_EQ(c.Db(), "vel_wire_tmp");
    EXPECT_EQ(scalar(c, "select database()"), "vel_wire_tmp");
    EXPECT_FALSE(c.select_db("no_such_db_x"));
    EXPECT_EQ(c.GetLastErrorNo(), 1049);
    EXPECT_EQ(c.Db(), "vel_wire_tmp");
    ASSERT_EQ(c.realquery("drop database vel_wire_tmp"), 0);

    auto procs = c.list_processes();
    ASSERT_NE(procs, nullptr) << c.GetLastError();
    EXPECT_GE(procs->RowCount(), 1u);
    EXPECT_EQ(procs->FieldIndexByName("Id", true), 0);
    bool found = false;
    for (procs->First(); !procs->Eof(); procs->Next())
        if (std::to_string(c.ThreadId()) == procs->FieldValue(0)) found = true;
    EXPECT_TRUE(found);
}

TEST(ClientLive, RefusedCommandIsNotRepeated) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMysqlClient c;
    ASSERT_TRUE(connectAs(c, s, {s->user, s->password}, s->database));
    ASSERT_TRUE(c.Reconnect());
    // The server counts the database changes it was asked for (value in column 1).
    auto count = [&] {
        bool done;
        auto r = c.query("show session status like 'Com_change_db'", true, done);
        return r ? std::stoi(r->FieldValue(1)) : -1;
    };
    int n0 = count();
    EXPECT_FALSE(c.select_db("no_such_db_y"));
    EXPECT_EQ(c.GetLastErrorNo(), 1049);
    EXPECT_EQ(count(), n0 + 1);  // once, not twice
}

TEST(ClientLive, KillAndReconnect) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMysqlClient victim, killer;
    ASSERT_TRUE(connectAs(victim, s, {s->user, s->password}, s->database));
    ASSERT_TRUE(connectAs(killer, s, {s->user, s->password}));
    const std::uint32_t id = victim.ThreadId();
    ASSERT_TRUE(killer.kill(id)) << killer.GetLastError();
    // The next query pings, finds the connection gone, reconnects with the stored
    // parameters and runs.
    EXPECT_EQ(scalar(victim, "select 41 + 1"), "42") << victim.GetLastError();
    EXPECT_NE(victim.ThreadId(), id);
    EXPECT_EQ(scalar(victim, "select database()"), s->database);

    // Without reconnecting the query fails as a lost connection.
    victim.SetReconnect(false);
    ASSERT_TRUE(killer.kill(victim.ThreadId()));
    EXPECT_NE(victim.realquery("select 1"), 0);
    EXPECT_EQ(victim.GetLastErrorNo(), 2013);
    EXPECT_FALSE(victim.GetConnected());
}

// Work of a transaction dies with its connection: a reconnect inside the transaction
// would let the following statements succeed on a new connection (and a commit after
// them) while the earlier ones are gone. The command that finds the connection lost
// fails with 2013; the next one reconnects.
TEST(ClientLive, LostConnectionInsideATransactionIsNotReconnected) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMysqlClient c, killer;
    ASSERT_TRUE(connectAs(c, s, {s->user, s->password}, s->database));
    ASSERT_TRUE(connectAs(killer, s, {s->user, s->password}, s->database));
    ASSERT_TRUE(c.Reconnect());
    ASSERT_EQ(c.realquery("drop table if exists tx_lost"), 0);
    ASSERT_EQ(c.realquery("create table tx_lost (a int) engine=InnoDB"), 0);
    ASSERT_EQ(c.realquery("start transaction"), 0);
    ASSERT_EQ(c.realquery("insert into tx_lost values (1)"), 0);
    const std::uint32_t id = c.ThreadId();
    ASSERT_TRUE(killer.kill(id)) << killer.GetLastError();
    EXPECT_NE(c.realquery("insert into tx_lost values (2)"), 0);
    EXPECT_EQ(c.GetLastErrorNo(), 2013) << c.GetLastError();
    EXPECT_FALSE(c.GetConnected());
    // Now outside any transaction: reconnecting is allowed again.
    EXPECT_EQ(scalar(c, "select count(*) from tx_lost"), "0") << c.GetLastError();
    EXPECT_NE(c.ThreadId(), id);
    EXPECT_EQ(c.realquery("drop table tx_lost"), 0);
}

// Without reconnecting, the command that finds the connection lost reports 2013 and the
// commands after it report the server as gone (2006), as the C API does.
TEST(ClientLive, CommandsAfterALostConnectionReportServerGone) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMysqlClient c, killer;
    ASSERT_TRUE(connectAs(c, s, {s->user, s->password}, s->database));
    ASSERT_TRUE(connectAs(killer, s, {s->user, s->password}));
    c.SetReconnect(false);
    ASSERT_TRUE(killer.kill(c.ThreadId()));
    EXPECT_NE(c.realquery("select 1"), 0);
    EXPECT_EQ(c.GetLastErrorNo(), 2013);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(c.realquery("select 1"), 0);
        EXPECT_EQ(c.GetLastErrorNo(), 2006);
        EXPECT_EQ(c.GetLastError(), "MySQL server has gone away");
        EXPECT_FALSE(c.ping());
        EXPECT_EQ(c.GetLastErrorNo(), 2006);
    }
}

// A statement longer than the session's max_allowed_packet is refused before anything
// is sent: 1153, the same connection stays open, and its transaction goes on.
TEST(ClientLive, StatementOverTheSettingIsRefusedWithoutTouchingTheConnection) {
    VEL_REQUIRE_TEST_SERVER(s);
    for (bool reconnect : {false, true}) {
        SCOPED_TRACE(reconnect ? "reconnect on" : "reconnect off");
        TMysqlClient c;
        ASSERT_TRUE(connectAs(c, s, {s->user, s->password}, s->database));
        c.SetReconnect(reconnect);
        c.SetMaxAllowedPacket(4096);
        ASSERT_EQ(c.realquery("drop table if exists size_refused"), 0);
        ASSERT_EQ(c.realquery("create table size_refused (a text) engine=InnoDB"), 0);
        ASSERT_EQ(c.realquery("start transaction"), 0);
        ASSERT_EQ(c.realquery("insert into size_refused values ('kept')"), 0);
        const std::uint32_t id = c.ThreadId();
        const std::string tooLong = "insert into size_refused values ('" + std::string(5000, 'x') + "')";
        EXPECT_NE(c.realquery(tooLong), 0);
        EXPECT_EQ(c.GetLastErrorNo(), 1153);
        EXPECT_EQ(c.GetLastError(), "Got a packet bigger than 'max_allowed_packet' bytes");
        EXPECT_TRUE(c.GetConnected());
        EXPECT_EQ(c.ThreadId(), id);
        // A statement of exactly the setting's size less the command byte still goes.
        const std::string head = "select length('", tail = "')";
        const std::string fits = head + std::string(4095 - head.size() - tail.size(), 'y') + tail;
        ASSERT_EQ(fits.size(), 4095u);
        EXPECT_EQ(scalar(c, fits), std::to_string(4095 - head.size() - tail.size())) << c.GetLastError();
        ASSERT_EQ(c.realquery("commit"), 0);
        EXPECT_EQ(scalar(c, "select group_concat(a) from size_refused"), "kept");
        EXPECT_EQ(c.ThreadId(), id);
        EXPECT_EQ(c.realquery("drop table size_refused"), 0);
    }
}

// Statements around the size where the command byte makes the first packet exactly
// 0xFFFFFF bytes, and past it, plain and compressed.
TEST(ClientLive, StatementsAroundTheSinglePacketLimit) {
    VEL_REQUIRE_TEST_SERVER(s);
    for (bool compress : {false, true}) {
        TMysqlClient c;
        c.setfcompress(compress);
        ASSERT_TRUE(connectAs(c, s, {s->user, s->password}, s->database));
        for (std::size_t size : {16777213u, 16777214u, 16777215u, 17000000u}) {
            SCOPED_TRACE(std::to_string(size) + (compress ? " compressed" : ""));
            const std::string head = "select length('", tail = "')";
            std::string q = head + std::string(size - head.size() - tail.size(), 'z') + tail;
            ASSERT_EQ(q.size(), size);
            EXPECT_EQ(scalar(c, q), std::to_string(size - head.size() - tail.size())) << c.GetLastError();
            EXPECT_EQ(scalar(c, "select 7"), "7");
        }
    }
}

TEST(ClientLive, ChangeUser) {
    VEL_REQUIRE_TEST_SERVER(s);
    for (bool compress : {false, true}) {
        TMysqlClient c;
        c.setfcompress(compress);
        ASSERT_TRUE(connectAs(c, s, {s->nopwUser, ""}));
        ASSERT_TRUE(c.change_user(s->user, s->password, s->database)) << c.GetLastError();
        EXPECT_EQ(c.User(), s->user);
        EXPECT_EQ(scalar(c, "select current_user()").substr(0, s->user.size()), s->user);
        EXPECT_EQ(scalar(c, "select database()"), s->database);
        ASSERT_TRUE(c.change_user(s->oldUser, s->oldPassword, "")) << c.GetLastError();
        EXPECT_EQ(scalar(c, "select current_user()").substr(0, s->oldUser.size()), s->oldUser);
        EXPECT_FALSE(c.change_user(s->user, "wrong", ""));
        EXPECT_EQ(c.GetLastErrorNo(), 1045);
        EXPECT_EQ(c.User(), s->oldUser);  // restored
    }
}

TEST(ClientLive, LoadDataLocal) {
    VEL_REQUIRE_TEST_SERVER(s);
    TMysqlClient c;
    ASSERT_TRUE(connectAs(c, s, {s->user, s->password}, s->database));
    ASSERT_EQ(c.realquery("drop table if exists load_t"), 0);
    ASSERT_EQ(c.realquery("create table load_t (a int, b varchar(20))"), 0);
    const std::string file = s->workDir + "/load it.txt";
    {
        std::ofstream out(file);
        for (int i = 0; i < 20000; ++i) out << i << "\tline " << i << "\n";  // over several packets
    }
    ASSERT_EQ(c.realquery("load data local infile '" + EscapeStr(file) + "' into table load_t"), 0)
        << c.GetLastError();
    EXPECT_EQ(c.AffectedRows(), 20000u);
    EXPECT_EQ(scalar(c, "select count(*) from load_t"), "20000");

    // A missing file: error number 0, and the connection stays usable.
    EXPECT_NE(c.realquery("LOAD DATA LOCAL INFILE '/nonexistent/x.txt' INTO TABLE load_t"), 0);
    EXPECT_EQ(c.GetLastErrorNo(), 0);
    EXPECT_EQ(c.GetLastError().substr(0, 32), "File '/nonexistent/x.txt' not fo");
    EXPECT_EQ(scalar(c, "select 7"), "7");
    std::remove(file.c_str());
}
