// Stored and used results against the live server.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/test_server.h"
#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/mysql_helpers.h"

using namespace velmysql;

namespace {
class ResultLive : public ::testing::Test {
protected:
    void SetUp() override {
        s_ = velmysql::testing::FindTestServer();
        if (s_ == nullptr) GTEST_SKIP() << "no test server (run scripts/test)";
    }
    void connect(TMysqlClient& c, bool compress = false) {
        c.setfcompress(compress);
        ASSERT_TRUE(c.connect(s_->host, s_->user, s_->password, s_->database, s_->port, "", false, 0))
            << c.GetLastError();
    }
    std::unique_ptr<TMysqlResult> run(TMysqlClient& c, const std::string& sql, bool store) {
        bool done = false;
        auto r = c.query(sql, store, done);
        EXPECT_TRUE(done);
        return r;
    }
    const velmysql::testing::TestServer* s_ = nullptr;
};
}  // namespace

TEST_F(ResultLive, NullEmptyLengthsAndDescriptors) {
    for (bool store : {true, false}) {
        SCOPED_TRACE(store ? "stored" : "used");
        TMysqlClient c;
        connect(c);
        auto r = run(c,
                     "select 'abc' as s, '' as e, null as n, 12 as i, cast(1.5 as decimal(5,2)) as d, "
                     "x'00ff00' as b, cast('x' as char(3)) as id, now() as ts",
                     store);
        ASSERT_NE(r, nullptr) << c.GetLastError();
        ASSERT_EQ(r->FieldCount(), 8u);
        EXPECT_STREQ(r->FieldValue(0), "abc");
        ASSERT_NE(r->FieldValue(1), nullptr);
        EXPECT_STREQ(r->FieldValue(1), "");
        EXPECT_EQ(r->FieldValue(2), nullptr);
        EXPECT_EQ(r->FieldValue(8), nullptr);
        EXPECT_EQ(r->FieldValue(-1), nullptr);
        r->FetchLengths();
        EXPECT_EQ(r->FieldLenght(0), 3u);
        EXPECT_EQ(r->FieldLenght(1), 0u);
        EXPECT_EQ(r->FieldLenght(2), 0u);
        EXPECT_EQ(r->FieldLenght(5), 3u);  // binary value with zero bytes
        EXPECT_EQ(std::memcmp(r->FieldValue(5), "\0\xFF\0", 3), 0);
        EXPECT_STREQ(r->FieldDef(0)->name, "s");
        EXPECT_EQ(r->FieldDef(8), nullptr);
        EXPECT_EQ(r->FieldDef(3)->type, FIELD_TYPE_LONG);
        EXPECT_TRUE(IsNUM(r->FieldDef(3)));
        EXPECT_FALSE(IsNUM(r->FieldDef(0)));
        EXPECT_TRUE(IsNUM(r->FieldDef(4)) || r->FieldDef(4)->type == FIELD_TYPE_NEWDECIMAL);
        EXPECT_EQ(r->FieldDef(4)->decimals, 2u);
        EXPECT_STREQ(r->FieldDef(0)->catalog, "def");
        EXPECT_EQ(r->FieldIndexByName("ID", false), 6);
        EXPECT_EQ(r->FieldIndexByName("ID", true), -1);
        EXPECT_EQ(r->FieldIndexByName("", false), -1);
        EXPECT_STREQ(r->FieldValueByName("S", false), "abc");
        EXPECT_EQ(r->FieldDefByName("nope", false), nullptr);
    }
}

TEST_F(ResultLive, StoredNavigationAndMaxLength) {
    TMysqlClient c;
    connect(c);
    auto r = run(c, "select seq, repeat('x', seq % 7) from seq_1_to_1000", true);
    ASSERT_NE(r, nullptr) << c.GetLastError();
    EXPECT_EQ(r->RowCount(), 1000u);
    EXPECT_EQ(c.AffectedRows(), 1000u);
    EXPECT_EQ(r->FieldDef(1)->max_length, 6u);
    EXPECT_EQ(r->FieldDef(0)->max_length, 4u);
    EXPECT_TRUE(r->Bof());
    EXPECT_FALSE(r->Eof());
    EXPECT_EQ(r->RecNo(), 0);
    EXPECT_STREQ(r->FieldValue(0), "1");
    int n = 0;
    for (r->First(); !r->Eof(); r->Next()) ++n;
    EXPECT_EQ(n, 1000);
    EXPECT_STREQ(r->FieldValue(0), "1000");  // Next on the last row stays there
    EXPECT_EQ(r->RecNo(), 999);
    r->Prior();
    EXPECT_STREQ(r->FieldValue(0), "999");
    r->SetRecNo(1000);  // out of range: nothing
    EXPECT_STREQ(r->FieldValue(0), "999");
    r->SetRecNo(10);
    EXPECT_STREQ(r->FieldValue(0), "11");
    EXPECT_EQ(r->RecNo(), 10);
    r->Last();
    EXPECT_STREQ(r->FieldValue(0), "1000");
    EXPECT_TRUE(r->Eof());
    r->First();
    r->Prior();
    EXPECT_TRUE(r->Bof());
    EXPECT_STREQ(r->FieldValue(0), "1");
    EXPECT_TRUE(r->GetLastRowRead());
    EXPECT_FALSE(r->GetHadErrors());
    // The session is free at once.
    auto again = run(c, "select 1", true);
    ASSERT_NE(again, nullptr);
}

TEST_F(ResultLive, EmptyResults) {
    TMysqlClient c;
    connect(c);
    auto s = run(c, "select 1 from dual where false", true);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->RowCount(), 0u);
    EXPECT_TRUE(s->Eof());
    EXPECT_EQ(s->RecNo(), -1);
    EXPECT_EQ(s->CurrentRow(), nullptr);
    s->FetchLengths();
    EXPECT_EQ(s->FieldLenght(0), 0u);

    auto u = run(c, "select 1 from dual where false", false);
    ASSERT_NE(u, nullptr);
    EXPECT_TRUE(u->Eof());
    EXPECT_EQ(u->Session(), nullptr);  // released at once
    EXPECT_EQ(c.Status(), MYSQL_STATUS_READY);
    EXPECT_NE(run(c, "select 2", true), nullptr);

    // A statement without a result set gives no result object.
    EXPECT_EQ(run(c, "do 1", true), nullptr);
    EXPECT_EQ(c.GetLastErrorNo(), 0);
}

TEST_F(ResultLive, UsedResultReadsRowByRowAndBlocksTheSession) {
    for (bool compress : {false, true}) {
        TMysqlClient c;
        connect(c, compress);
        auto r = run(c, "select seq, if(seq % 3 = 0, null, concat('v', seq)) from seq_1_to_1000", false);
        ASSERT_NE(r, nullptr) << c.GetLastError();
        EXPECT_EQ(c.Status(), MYSQL_STATUS_USE_RESULT);
        EXPECT_EQ(c.CurrentResult(), r.get());
        EXPECT_STREQ(r->FieldValue(0), "1");
        EXPECT_TRUE(r->Bof());
        // Any command now fails with 2014 and sends nothing.
        EXPECT_EQ(run(c, "select 5", true), nullptr);
        EXPECT_EQ(c.GetLastErrorNo(), 2014);
        EXPECT_FALSE(c.ping());
        EXPECT_EQ(c.GetLastError(), "Commands out of sync;  You can't run this command now");
        int rows = 1, nulls = 0;
        for (r->Next(); !r->Eof(); r->Next()) {
            ++rows;
            if (r->FieldValue(1) == nullptr) ++nulls;
            EXPECT_EQ(r->FieldLenght(1), r->FieldValue(1) ? std::strlen(r->FieldValue(1)) : 0u);
        }
        EXPECT_EQ(rows, 1000);
        EXPECT_EQ(nulls, 333);
        EXPECT_EQ(r->RowCount(), 1000u);
        EXPECT_EQ(c.AffectedRows(), 1000u);
        EXPECT_EQ(r->FieldDef(1)->max_length, 0u);  // not tracked for used results
        EXPECT_STREQ(r->FieldValue(0), "1000");  // the last row stays
        EXPECT_FALSE(r->GetHadErrors());
        EXPECT_EQ(c.Status(), MYSQL_STATUS_READY);
        EXPECT_NE(run(c, "select 5", true), nullptr);
    }
}

TEST_F(ResultLive, DestroyingUsedResultDrainsItsRows) {
    TMysqlClient c;
    connect(c);
    {
        auto r = run(c, "select seq from seq_1_to_5000", false);
        ASSERT_NE(r, nullptr);
        r->Next();
    }
    EXPECT_EQ(c.Status(), MYSQL_STATUS_READY);
    EXPECT_EQ(c.CurrentResult(), nullptr);
    auto r2 = run(c, "select 'next'", true);
    ASSERT_NE(r2, nullptr) << c.GetLastError();
    EXPECT_STREQ(r2->FieldValue(0), "next");

    // Last reads the rest at once.
    auto r3 = run(c, "select seq from seq_1_to_300", false);
    r3->Last();
    EXPECT_EQ(r3->RowCount(), 300u);
    EXPECT_EQ(r3->RecNo(), 299);
    EXPECT_STREQ(r3->FieldValue(0), "300");
    EXPECT_EQ(c.Status(), MYSQL_STATUS_READY);

    // Closing the session detaches a used result; its reads then end at once.
    auto r4 = run(c, "select seq from seq_1_to_300", false);
    c.close();
    EXPECT_EQ(r4->Session(), nullptr);
    r4->Next();
    EXPECT_TRUE(r4->Eof());
    EXPECT_TRUE(r4->GetHadErrors());
}

TEST_F(ResultLive, LargeValueGrowsAndShrinksTheBuffer) {
    for (bool compress : {false, true}) {
        for (bool store : {true, false}) {
            TMysqlClient c;
            connect(c, compress);
            auto r = run(c, "select repeat('abcdefgh', 700000), 'tail'", store);  // 5.6 MB
            ASSERT_NE(r, nullptr) << c.GetLastError();
            r->FetchLengths();
            EXPECT_EQ(r->FieldLenght(0), 5600000u);
            EXPECT_EQ(std::string(r->FieldValue(0) + 5599992), "abcdefgh");
            EXPECT_STREQ(r->FieldValue(1), "tail");
            if (!store) r->Next();  // end of rows
            EXPECT_EQ(c.Status(), MYSQL_STATUS_READY);
            EXPECT_EQ(c.Net().capacity(), 8192u);
            EXPECT_NE(run(c, "select 1", true), nullptr);
        }
    }
}
