// Writing through every driver: edits, inserts and deletes reach the server as the
// statements of the templates and the local rows show what the server holds; failures
// keep the record in its edit state; transactions, cached statements and one statement
// per table of a join.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "live_server.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/fields.h"
#include "velmysql/drivers/mysql_error.h"

namespace velmysql::test {
namespace {

class PostTest : public LiveDataset {
protected:
    std::unique_ptr<TMySQLQuery> Query(const std::string& sql, const std::string& table = std::string()) {
        auto q = std::make_unique<TMySQLQuery>(nullptr);
        q->SetServer(server.get());
        q->SQL().SetText(sql);
        q->SetTableName(table);
        q->OnExecSQL = [this](TMySQLDatasetBase*, std::string& text, bool&) { sent.push_back(text); };
        return q;
    }
    std::string Scalar(const std::string& sql) {
        TMySQLQuery q(nullptr);
        q.SetServer(server.get());
        q.SQL().SetText(sql);
        q.Open();
        return q.Fields()[0]->IsNull() ? "NULL" : q.Fields()[0]->AsString();
    }
    // Creates and fills a table, then opens a query on sql that posts to it.
    std::unique_ptr<TMySQLQuery> Opened(const std::string& create, const std::string& insert, const std::string& sql,
                                        const std::string& table = "t") {
        Exec(create);
        Exec(insert);
        auto q = Query(sql, table);
        q->Open();
        return q;
    }
    static std::vector<std::string> Names(TDataSet& ds) {
        std::vector<std::string> names;
        for (ds.First(); !ds.Eof(); ds.Next()) names.push_back(ds.FieldByName("name")->AsString());
        return names;
    }
    std::vector<std::string> sent;
};

TEST_P(PostTest, EditPostsAnUpdateOfTheChangedColumns) {
    auto q = Opened("create table t (id int primary key, name varchar(20), qty int)",
                    "insert into t values (1,'a',10),(2,'b',20)", "select * from t order by id");
    q->Next();
    q->Edit();
    q->FieldByName("name")->SetAsString("it's b");
    q->Post();
    EXPECT_EQ(q->LastStatement(), "update t set name='it\\'s b' where (id=2)");
    EXPECT_EQ(Scalar("select name from t where id=2"), "it's b");
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"a", "it's b"}));

    // Changing the key moves the row: the condition names it by its old key.
    q->First();
    q->Edit();
    q->FieldByName("id")->SetAsInteger(7);
    q->Post();
    EXPECT_EQ(q->LastStatement(), "update t set id=7,name='a',qty=10 where (id=1)");
    EXPECT_EQ(Scalar("select count(*) from t where id=7 and name='a'"), "1");

    // Nothing changed: every column is written from the record.
    q->Edit();
    q->Post();
    EXPECT_EQ(q->LastStatement(), "update t set id=7,name='a',qty=10 where (id=7)");
}

TEST_P(PostTest, InsertTakesTheInsertIdAndLeavesUnsetColumnsOut) {
    auto q = Opened("create table t (id int auto_increment primary key, name varchar(20), d int default 5)",
                    "insert into t (name) values ('a'),('b')", "select * from t order by id");
    q->Append();
    q->FieldByName("name")->SetAsString("c");
    q->Post();
    EXPECT_EQ(q->LastStatement(), "insert into t set name='c'");
    EXPECT_EQ(q->FieldByName("id")->AsInteger(), 3);
    EXPECT_EQ(q->LastInsertID(), "3");
    // The server's own default is not in the local row, which holds what was sent.
    EXPECT_TRUE(q->FieldByName("d")->IsNull());
    EXPECT_EQ(Scalar("select d from t where id=3"), "5");
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"a", "b", "c"}));

    // Insert goes before the current record.
    q->First();
    q->Next();
    q->Insert();
    q->FieldByName("name")->SetAsString("x");
    q->Post();
    EXPECT_EQ(q->FieldByName("name")->AsString(), "x");
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"a", "x", "b", "c"}));
    EXPECT_EQ(Scalar("select count(*) from t"), "4");
}

TEST_P(PostTest, DeleteRemovesTheRowHereAndThere) {
    auto q = Opened("create table t (id int primary key, name varchar(20))",
                    "insert into t values (1,'a'),(2,'b')", "select * from t order by id");
    q->Delete();
    EXPECT_EQ(q->LastStatement(), "delete from t where (id=1)");
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"b"}));
    q->Delete();
    EXPECT_TRUE(q->IsEmpty());
    EXPECT_EQ(Scalar("select count(*) from t"), "0");
}

TEST_P(PostTest, RowWithoutKeyAndWithNullIsFoundOnTheServer) {
    auto q = Opened("create table t (a int, b varchar(5))",
                    "insert into t values (1, NULL), (1, 'x')", "select * from t order by b");
    ASSERT_TRUE(q->FieldByName("b")->IsNull());
    q->Edit();
    q->FieldByName("a")->SetAsInteger(2);
    q->Post();
    EXPECT_EQ(q->LastStatement(), "update t set a=2 where (a=1) AND (b IS NULL)");
    EXPECT_EQ(Scalar("select a from t where b is null"), "2");
    EXPECT_EQ(Scalar("select a from t where b = 'x'"), "1");
    q->Delete();
    EXPECT_EQ(Scalar("select count(*) from t"), "1");
}

TEST_P(PostTest, CancelRestoresAndAFailedPostKeepsTheEdit) {
    auto q = Opened("create table t (id int primary key, name varchar(20))",
                    "insert into t values (1,'a'),(2,'b')", "select * from t order by id");
    q->Edit();
    q->FieldByName("name")->SetAsString("changed");
    q->Cancel();
    EXPECT_EQ(q->FieldByName("name")->AsString(), "a");

    q->Edit();
    q->FieldByName("id")->SetAsInteger(2);  // a duplicate key
    EXPECT_THROW(q->Post(), EMySQLError);
    EXPECT_EQ(q->State(), dsEdit);
    q->FieldByName("id")->SetAsInteger(3);
    q->Post();
    EXPECT_EQ(Scalar("select group_concat(id order by id) from t"), "2,3");
    EXPECT_EQ(q->LastStatement(), "update t set id=3,name='a' where (id=1)");
}

TEST_P(PostTest, TransactionsBracketEveryChange) {
    Exec("create table t (id int primary key, name varchar(20)) engine=InnoDB");
    Exec("insert into t values (1,'a'),(2,'b')");
    auto q = Query("select * from t order by id", "t");
    q->SetOptions(q->Options() + TMySQLDatasetOptions{doTransactions});
    q->Open();
    sent.clear();
    q->Edit();
    q->FieldByName("name")->SetAsString("z");
    q->Post();
    EXPECT_EQ(sent, (std::vector<std::string>{"start transaction;", "update t set name='z' where (id=1)", "commit;"}));
    EXPECT_FALSE(q->InTransaction());

    sent.clear();
    q->Edit();
    q->FieldByName("id")->SetAsInteger(2);
    EXPECT_THROW(q->Post(), EMySQLError);
    EXPECT_EQ(sent, (std::vector<std::string>{"start transaction;", "update t set id=2,name='z' where (id=1)",
                                              "rollback;"}));
    q->Cancel();

    // A commit without a start starts first; a second start commits the first.
    sent.clear();
    q->CommitTransaction();
    q->StartTransaction();
    q->StartTransaction();
    q->RollbackTransaction();
    EXPECT_EQ(sent, (std::vector<std::string>{"start transaction;", "commit;", "start transaction;", "commit;",
                                              "start transaction;", "rollback;"}));
}

TEST_P(PostTest, CachedStatementsAreCollectedNotSent) {
    auto q = Opened("create table t (id int primary key, name varchar(20))",
                    "insert into t values (1,'a')", "select * from t");
    q->SetCachedUpdates(true);
    sent.clear();
    q->Edit();
    q->FieldByName("name")->SetAsString("b");
    q->Post();
    q->Append();
    q->FieldByName("id")->SetAsInteger(2);
    q->Post();
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(q->SQLCached().Text(), "update t set name='b' where (id=1);\r\ninsert into t set id=2;\r\n");
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"b", ""}));
    EXPECT_EQ(Scalar("select name from t"), "a");
    q->ApplyUpdates();
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_EQ(q->SQLCached().Count(), 0);
    EXPECT_EQ(Scalar("select group_concat(concat(id, name) order by id) from t"), "1b");
    EXPECT_EQ(Scalar("select count(*) from t where id=2"), "1");

    // Closing sends what was collected.
    q->First();
    q->Edit();
    q->FieldByName("name")->SetAsString("c");
    q->Post();
    q->Close();
    EXPECT_EQ(Scalar("select name from t where id=1"), "c");
}

TEST_P(PostTest, FailedApplySendsNothingTwice) {
    Exec("create table t (id int primary key) engine=InnoDB");
    Exec("insert into t values (1)");
    auto q = Query("select * from t", "t");
    q->SQLCached().SetText("insert into t values (3);\r\ninsert into t values (1);\r\ninsert into t values (4);");
    EXPECT_THROW(q->ApplyUpdates(), EMySQLError);
    EXPECT_EQ(q->SQLCached().Text(), "insert into t values (1);\r\ninsert into t values (4);\r\n");
    Exec("delete from t where id=1");
    q->ApplyUpdates();
    EXPECT_EQ(Scalar("select group_concat(id order by id) from t"), "1,3,4");

    // Transactions in the cache: a committed one leaves it, the failing one is rolled
    // back and stays whole.
    q->SetOptions(q->Options() + TMySQLDatasetOptions{doTransactions, doCachedUpdates});
    q->Open();
    for (int id : {5, 3}) {
        q->Append();
        q->FieldByName("id")->SetAsInteger(id);
        q->Post();
    }
    EXPECT_EQ(q->SQLCached().Count(), 6);
    EXPECT_THROW(q->ApplyUpdates(), EMySQLError);
    EXPECT_EQ(q->SQLCached().Text(), "start transaction;\r\n;\r\ninsert into t set id=3;\r\ncommit;\r\n;\r\n");
    EXPECT_FALSE(q->InTransaction());
    Exec("delete from t where id=3");
    q->ApplyUpdates();
    EXPECT_EQ(Scalar("select group_concat(id order by id) from t"), "1,3,4,5");
}

TEST_P(PostTest, JoinedResultUpdatesEachTableWithItsColumns) {
    Exec("create table a (id int primary key, v int)");
    Exec("create table b (id int primary key, w int)");
    Exec("insert into a values (1, 10)");
    Exec("insert into b values (1, 20)");
    auto q = Query("select a.id, a.v, b.id as bid, b.w from a join b on b.id = a.id");
    q->SetOptions(q->Options() + TMySQLDatasetOptions{doRecursiveUpdates});
    q->Open();
    sent.clear();
    q->Edit();
    q->FieldByName("w")->SetAsInteger(21);
    q->Post();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Scalar("select w from b"), "21");
    EXPECT_EQ(Scalar("select v from a"), "10");
    sent.clear();
    q->Delete();
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_EQ(Scalar("select count(*) from a") + Scalar("select count(*) from b"), "00");
}

TEST_P(PostTest, ExecSQLEdges) {
    Exec("create table t (id int primary key)");
    auto q = Query("select * from t", "t");
    EXPECT_TRUE(q->ExecSQL(""));  // opens
    EXPECT_TRUE(q->Active());
    sent.clear();
    EXPECT_TRUE(q->ExecSQL(";"));
    EXPECT_TRUE(sent.empty());
    q->OnExecSQL = [](TMySQLDatasetBase*, std::string& text, bool&) { text = "insert into t values (9)"; };
    q->ExecSQL("insert into t values (1)");
    EXPECT_EQ(q->LastStatement(), "insert into t values (9)");
    EXPECT_EQ(Scalar("select group_concat(id) from t"), "9");
    EXPECT_EQ(q->AffectedRows(), "1");
    q->OnExecSQL = [](TMySQLDatasetBase*, std::string&, bool& carryOn) { carryOn = false; };
    EXPECT_TRUE(q->ExecSQL("insert into t values (2)"));
    EXPECT_EQ(Scalar("select count(*) from t"), "1");
    // With Parse the statement is expanded for the current record.
    q->OnExecSQL = nullptr;
    q->Refresh();
    q->ExecSQL("update [$TABLENAME] set id = :id + 1 where [$PRIMARYFIELDS&VALUES]", true);
    EXPECT_EQ(q->LastStatement(), "update t set id = 9 + 1 where (id=9)");
    EXPECT_EQ(Scalar("select id from t"), "10");
}

VEL_DATASET_DRIVERS(PostTest);

}  // namespace
}  // namespace velmysql::test
