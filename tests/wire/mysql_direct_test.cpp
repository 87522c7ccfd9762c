// The C-API facade over the wire client: neutral answers, options, the statement and escape
// byte counts, and the row, field and length answers against the live server.

#include <gtest/gtest.h>

#include <cstring>

#include "support/test_server.h"
#include "velmysql/wire/mysql_direct.h"

namespace velmysql {
namespace {

TEST(MySQLDirect, AbsentHandlesGetNeutralAnswers) {
    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(mysql_options(nullptr, MYSQL_OPT_COMPRESS, nullptr), 0);
    EXPECT_EQ(mysql_real_connect(nullptr, "h", "u", "p", "d", 1, nullptr, 0), nullptr);
    mysql_close(nullptr);
    EXPECT_EQ(mysql_errno(nullptr), 1u);
    EXPECT_EQ(mysql_error(nullptr), nullptr);
    EXPECT_EQ(mysql_get_host_info(nullptr), nullptr);
    EXPECT_STREQ(mysql_get_client_info(), "4.1.14");
    EXPECT_EQ(mysql_get_server_info(nullptr), nullptr);
    EXPECT_EQ(mysql_get_proto_info(nullptr), 0u);
    EXPECT_EQ(mysql_ping(nullptr), 1);
    EXPECT_EQ(mysql_thread_id(nullptr), 0u);
    EXPECT_EQ(mysql_kill(nullptr, 1), 1);
    EXPECT_EQ(mysql_info(nullptr), nullptr);
    EXPECT_EQ(mysql_create_db(nullptr, "x"), 1);
    EXPECT_EQ(mysql_select_db(nullptr, "x"), 1);
    EXPECT_EQ(mysql_drop_db(nullptr, "x"), 1);
    EXPECT_EQ(mysql_real_query(nullptr, "select 1", 8), 1);
    EXPECT_EQ(mysql_use_result(nullptr), nullptr);
    mysql_free_result(nullptr);
    EXPECT_EQ(mysql_num_fields(nullptr), 0u);
    EXPECT_EQ(mysql_num_rows(nullptr), 0u);
    EXPECT_EQ(mysql_fetch_lengths(nullptr), nullptr);
    EXPECT_EQ(mysql_fetch_field(nullptr), nullptr);
    EXPECT_EQ(mysql_fetch_row(nullptr), nullptr);
    EXPECT_EQ(mysql_insert_id(nullptr), 0u);
    EXPECT_EQ(mysql_refresh(nullptr, 1), 0);
    EXPECT_EQ(mysql_affected_rows(nullptr), 0u);
    // Escaping needs no connection: the backslash escapes apply.
    EXPECT_EQ(mysql_real_escape_string(nullptr, buffer, "a'b", 3), 4u);
    EXPECT_STREQ(buffer, "a\\'b");
}

TEST(MySQLDirect, FreshConnectionState) {
    MySQLConnectionHandle* h = mysql_init(nullptr);
    ASSERT_NE(h, nullptr);
    ASSERT_NE(mysql_error(h), nullptr);
    EXPECT_STREQ(mysql_error(h), "");
    EXPECT_EQ(mysql_errno(h), 0u);
    auto* c = reinterpret_cast<TMySQLDirectClient*>(h);
    EXPECT_FALSE(c->Reconnect());
    EXPECT_FALSE(c->Compress());
    EXPECT_EQ(c->ConnectTimeout(), static_cast<std::uint32_t>(NET_READ_TIMEOUT));
    // No statement reaches an unconnected session through an empty query.
    EXPECT_EQ(mysql_real_query(h, "", 0), 0);
    EXPECT_EQ(mysql_refresh(h, 4), 0);
    mysql_close(h);
}

TEST(MySQLDirect, Options) {
    MySQLConnectionHandle* h = mysql_init(nullptr);
    auto* c = reinterpret_cast<TMySQLDirectClient*>(h);
    std::uint32_t seconds = 17;
    mysql_options(h, MYSQL_OPT_CONNECT_TIMEOUT, &seconds);
    EXPECT_EQ(c->ConnectTimeout(), 17u);

    // The value of the reconnect option counts: 0 turns it off.
    unsigned char on = 1, off = 0;
    mysql_options(h, MYSQL_OPT_RECONNECT, &on);
    EXPECT_TRUE(c->Reconnect());
    mysql_options(h, MYSQL_OPT_RECONNECT, &off);
    EXPECT_FALSE(c->Reconnect());
    std::uint32_t wideOn = 1;  // what the driver layer passes
    mysql_options(h, MYSQL_OPT_RECONNECT, &wideOn);
    EXPECT_TRUE(c->Reconnect());

    mysql_options(h, MYSQL_OPT_COMPRESS, nullptr);
    EXPECT_TRUE(c->Compress());
    mysql_options(h, MYSQL_OPT_NAMED_PIPE, nullptr);
    EXPECT_TRUE(c->NamedPipe());
    EXPECT_TRUE(c->TrySock());

    // Read and write time-outs change the process-wide default, not this session.
    std::int32_t saved = NET_READ_TIMEOUT;
    std::uint32_t t = 45;
    mysql_options(h, MYSQL_OPT_READ_TIMEOUT, &t);
    EXPECT_EQ(NET_READ_TIMEOUT, 45);
    t = 46;
    mysql_options(h, MYSQL_OPT_WRITE_TIMEOUT, &t);
    EXPECT_EQ(NET_READ_TIMEOUT, 46);
    EXPECT_EQ(c->ConnectTimeout(), 17u);
    MySQLConnectionHandle* later = mysql_init(nullptr);
    EXPECT_EQ(reinterpret_cast<TMySQLDirectClient*>(later)->ConnectTimeout(), 46u);
    NET_READ_TIMEOUT = saved;
    mysql_close(later);
    mysql_close(h);
}

TEST(MySQLDirect, EscapingFollowsTheServerMode) {
    const std::string all = std::string("a'b\\c\"d\0e\tf\ng\rh\x1a\xff", 16);
    EXPECT_EQ(EscapeForServerStatus(all, 2), std::string("a\\'b\\\\c\\\"d\\0e\\tf\\ng\\rh\x1a\xff", 23));
    // With NO_BACKSLASH_ESCAPES only the single quote is doubled.
    EXPECT_EQ(EscapeForServerStatus(all, 2 | SERVER_STATUS_NO_BACKSLASH_ESCAPES),
              std::string("a''b\\c\"d\0e\tf\ng\rh\x1a\xff", 17));
    EXPECT_EQ(EscapeForServerStatus("", 512), "");
}

TEST(MySQLDirect, EscapeCountsEveryGivenByte) {
    char out[16];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(mysql_real_escape_string(nullptr, out, "a\0b", 3), 4u);
    EXPECT_EQ(std::string(out, 5), std::string("a\\0b\0", 5));
}

class MySQLDirectLive : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = testing::FindTestServer();
        if (server_ == nullptr) GTEST_SKIP() << "no test server (run scripts/test)";
        h_ = mysql_init(nullptr);
        ASSERT_NE(mysql_real_connect(h_, server_->host.c_str(), server_->user.c_str(), server_->password.c_str(),
                                     server_->database.c_str(), server_->port, nullptr, 0),
                  nullptr)
            << mysql_error(h_);
    }
    void TearDown() override { mysql_close(h_); }
    int Query(const std::string& sql) { return mysql_real_query(h_, sql.data(), static_cast<unsigned long>(sql.size())); }

    const testing::TestServer* server_ = nullptr;
    MySQLConnectionHandle* h_ = nullptr;
};

TEST_F(MySQLDirectLive, ConnectAnswers) {
    EXPECT_EQ(mysql_get_host_info(h_), nullptr);
    EXPECT_EQ(mysql_get_proto_info(h_), 10u);
    EXPECT_NE(std::string(mysql_get_server_info(h_)), "");
    EXPECT_GT(mysql_thread_id(h_), 0u);
    EXPECT_EQ(mysql_ping(h_), 0);
    // A failed connect answers null and leaves the number and text; the handle can connect
    // again afterwards.
    MySQLConnectionHandle* h = mysql_init(nullptr);
    std::string bad = server_->password + "-wrong";
    EXPECT_EQ(mysql_real_connect(h, server_->host.c_str(), server_->user.c_str(), bad.c_str(), "", server_->port,
                                 nullptr, 0),
              nullptr);
    EXPECT_EQ(mysql_errno(h), 1045u);
    EXPECT_NE(std::string(mysql_error(h)).find("Access denied"), std::string::npos);
    EXPECT_EQ(mysql_real_connect(h, server_->host.c_str(), server_->user.c_str(), server_->password.c_str(), "",
                                 server_->port, nullptr, 0),
              h);
    mysql_close(h);
}

TEST_F(MySQLDirectLive, QuerySendsEveryGivenByte) {
    // A zero byte inside a literal reaches the server; cutting at it would leave "select 'a".
    const std::string sql("select 'a\0b'", 12);
    ASSERT_EQ(Query(sql), 0) << mysql_error(h_);
    MySQLResultHandle* r = mysql_use_result(h_);
    ASSERT_NE(r, nullptr);
    MySQLRow row = mysql_fetch_row(r);
    ASSERT_NE(row, nullptr);
    MySQLLengths len = mysql_fetch_lengths(r);
    ASSERT_EQ(len[0], 3u);
    EXPECT_EQ(std::string(row[0], 3), std::string("a\0b", 3));
    mysql_free_result(r);
}

TEST_F(MySQLDirectLive, RowsFieldsAndCounts) {
    ASSERT_EQ(Query("drop table if exists drv_direct"), 0);
    ASSERT_EQ(Query("create table drv_direct (id int primary key, v varchar(10))"), 0);
    ASSERT_EQ(Query("insert into drv_direct values (1, 'one'), (2, null)"), 0);
    ASSERT_EQ(Query("update drv_direct set v = 'x' where id > 0"), 0);
    EXPECT_EQ(mysql_use_result(h_), nullptr);  // an update has no rows
    EXPECT_EQ(mysql_affected_rows(h_), 2u);
    EXPECT_STREQ(mysql_info(h_), "Rows matched: 2  Changed: 2  Warnings: 0");

    ASSERT_EQ(Query("select id, v from drv_direct order by id"), 0);
    MySQLResultHandle* r = mysql_use_result(h_);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(mysql_num_fields(r), 2u);
    const TMysql_FieldDef* f0 = mysql_fetch_field(r);
    const TMysql_FieldDef* f1 = mysql_fetch_field(r);
    ASSERT_NE(f0, nullptr);
    ASSERT_NE(f1, nullptr);
    EXPECT_STREQ(f0->name, "id");
    EXPECT_STREQ(f1->name, "v");
    EXPECT_EQ(mysql_fetch_field(r), nullptr);
    EXPECT_EQ(mysql_fetch_field(r), nullptr);
    MySQLRow row = mysql_fetch_row(r);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row[0], "1");
    EXPECT_EQ(mysql_fetch_lengths(r)[1], 1u);
    row = mysql_fetch_row(r);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row[0], "2");
    EXPECT_EQ(mysql_fetch_row(r), nullptr);
    EXPECT_EQ(mysql_fetch_row(r), nullptr);
    EXPECT_EQ(mysql_num_rows(r), 2u);
    mysql_free_result(r);

    ASSERT_EQ(Query("select id from drv_direct where id < 0"), 0);
    r = mysql_use_result(h_);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(mysql_num_rows(r), 0u);
    EXPECT_EQ(mysql_fetch_row(r), nullptr);
    mysql_free_result(r);

    // Freeing a result with unread rows frees the connection for the next command.
    ASSERT_EQ(Query("select id from drv_direct"), 0);
    r = mysql_use_result(h_);
    ASSERT_NE(r, nullptr);
    mysql_free_result(r);
    EXPECT_EQ(Query("drop table drv_direct"), 0) << mysql_error(h_);
}

// A result that the server ends with an error after some rows, or whose connection
// breaks, ends with that error: mysql_fetch_row answers null and mysql_errno/mysql_error
// tell it from the normal end. The connection stays usable after a server error.
TEST_F(MySQLDirectLive, RowReadErrorIsKeptForErrno) {
    // The subquery returns two rows from the 3000th row on: error 1242 after 2999 rows.
    ASSERT_EQ(Query("select s.seq, (select 1 from seq_1_to_2 where s.seq >= 3000) from seq_1_to_5000 s"), 0)
        << mysql_error(h_);
    MySQLResultHandle* r = mysql_use_result(h_);
    ASSERT_NE(r, nullptr);
    int rows = 0;
    while (mysql_fetch_row(r) != nullptr) ++rows;
    EXPECT_EQ(rows, 2999);
    EXPECT_EQ(mysql_errno(h_), 1242u);
    EXPECT_NE(std::string(mysql_error(h_)).find("more than 1 row"), std::string::npos) << mysql_error(h_);
    mysql_free_result(r);
    ASSERT_EQ(Query("select 5"), 0) << mysql_error(h_);
    r = mysql_use_result(h_);
    ASSERT_NE(r, nullptr);
    MySQLRow row = mysql_fetch_row(r);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row[0], "5");
    EXPECT_EQ(mysql_fetch_row(r), nullptr);
    EXPECT_EQ(mysql_errno(h_), 0u);  // a normal end
    mysql_free_result(r);

    // A connection killed while its rows are read.
    MySQLConnectionHandle* killer = mysql_init(nullptr);
    ASSERT_NE(mysql_real_connect(killer, server_->host.c_str(), server_->user.c_str(), server_->password.c_str(), "",
                                 server_->port, nullptr, 0),
              nullptr);
    ASSERT_EQ(Query("select a.seq, b.seq from seq_1_to_100000 a, seq_1_to_100 b"), 0);
    r = mysql_use_result(h_);
    ASSERT_NE(r, nullptr);
    ASSERT_NE(mysql_fetch_row(r), nullptr);
    EXPECT_EQ(mysql_kill(killer, mysql_thread_id(h_)), 0) << mysql_error(killer);
    rows = 1;
    while (mysql_fetch_row(r) != nullptr) ++rows;
    EXPECT_LT(rows, 10000000);
    EXPECT_EQ(mysql_errno(h_), 2013u);
    mysql_free_result(r);
    mysql_close(killer);
}

// With multi-statements on, a text of several statements has several results, each
// read in turn with mysql_next_result; a procedure's results the same way. An error in a
// later statement comes after the results before it, and the connection stays usable.
TEST_F(MySQLDirectLive, SeveralResultsPerStatementText) {
    MySQLConnectionHandle* h = mysql_init(nullptr);
    ASSERT_NE(mysql_real_connect(h, server_->host.c_str(), server_->user.c_str(), server_->password.c_str(),
                                 server_->database.c_str(), server_->port, nullptr, 65536 | 131072),
              nullptr)
        << mysql_error(h);
    auto query = [&](const std::string& sql) {
        return mysql_real_query(h, sql.data(), static_cast<unsigned long>(sql.size()));
    };
    // Each result as text: "rows:a,b" for a result set, "ok:N" for a statement without rows,
    // "error:N" for a failed one; reading stops after an error.
    auto results = [&](const std::string& sql) {
        std::vector<std::string> out;
        if (query(sql) != 0) {
            out.push_back("error:" + std::to_string(mysql_errno(h)));
            return out;
        }
        for (;;) {
            if (MySQLResultHandle* r = mysql_use_result(h)) {
                std::string text = "rows:";
                while (MySQLRow row = mysql_fetch_row(r)) text += std::string(row[0] ? row[0] : "NULL") + ",";
                mysql_free_result(r);
                out.push_back(text);
            } else {
                out.push_back("ok:" + std::to_string(mysql_affected_rows(h)));
            }
            const int next = mysql_next_result(h);
            if (next < 0) break;
            if (next > 0) {
                out.push_back("error:" + std::to_string(mysql_errno(h)));
                break;
            }
        }
        EXPECT_EQ(mysql_more_results(h), 0);
        return out;
    };
    ASSERT_EQ(query("drop table if exists multi_r"), 0);
    ASSERT_EQ(query("create table multi_r (a int)"), 0);
    ASSERT_EQ(query("drop procedure if exists multi_p"), 0);
    ASSERT_EQ(query("create procedure multi_p() begin select 7; select a from multi_r order by a; end"), 0);
    struct Case {
        const char* sql;
        std::vector<std::string> expected;
    } cases[] = {
        {"select 1; select 2", {"rows:1,", "rows:2,"}},
        {"select 1 union select 2; insert into multi_r values (5), (6); select 3", {"rows:1,2,", "ok:2", "rows:3,"}},
        {"select 1; select * from no_such_table_x; select 3", {"rows:1,", "error:1146"}},
        {"call multi_p()", {"rows:7,", "rows:5,6,", "ok:0"}},
        {"select 4", {"rows:4,"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(results(c.sql), c.expected);
        // The connection is in step for the next command.
        ASSERT_EQ(query("select 9"), 0) << mysql_error(h);
        MySQLResultHandle* r = mysql_use_result(h);
        ASSERT_NE(r, nullptr);
        mysql_free_result(r);
    }
    // A new command while results are pending is out of sync, as in the C API.
    ASSERT_EQ(query("select 1; select 2"), 0);
    mysql_free_result(mysql_use_result(h));
    EXPECT_NE(query("select 3"), 0);
    EXPECT_EQ(mysql_errno(h), 2014u);
    EXPECT_EQ(mysql_next_result(h), 0);
    mysql_free_result(mysql_use_result(h));
    EXPECT_EQ(mysql_next_result(h), -1);
    EXPECT_EQ(query("drop procedure multi_p"), 0);
    EXPECT_EQ(query("drop table multi_r"), 0);
    mysql_close(h);
}

}  // namespace
}  // namespace velmysql
