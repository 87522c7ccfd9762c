// Opening and fetching through every driver: statement scripts, results without rows, the
// three result modes, record numbers, refresh, joins, custom columns, blobs, and the
// dataset's life with its server.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "live_server.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/fields.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/rtl/stream.h"

namespace velmysql::test {
namespace {

class OpenFetchTest : public LiveDataset {
protected:
    // A table "n" of the numbers 1..count with their names.
    void Numbers(int count) {
        Exec("create table n (id int primary key, name varchar(20)) default charset=latin1");
        std::string insert = "insert into n values ";
        for (int i = 1; i <= count; ++i) insert += (i > 1 ? ",(" : "(") + std::to_string(i) + ",'n" + std::to_string(i) + "')";
        Exec(insert);
    }
    std::unique_ptr<TMySQLQuery> Query(const std::string& sql, TMySQLResultOptions mode = rtLocal) {
        auto q = std::make_unique<TMySQLQuery>(nullptr);
        q->SetServer(server.get());
        q->SetResultType(mode);
        q->SQL().SetText(sql);
        return q;
    }
    static std::vector<int> Ids(TDataSet& ds) {
        std::vector<int> ids;
        for (ds.First(); !ds.Eof(); ds.Next()) ids.push_back(ds.FieldByName("id")->AsInteger());
        return ids;
    }
};

TEST_P(OpenFetchTest, ScriptShowsTheLastStatementsRows) {
    Numbers(3);
    auto q = Query("insert into n values (10, 'ten'); insert into n values (11, 'a'), (12, 'b');\r\n"
                   "select * from n where id > 2 order by id");
    q->Open();
    EXPECT_EQ(Ids(*q), (std::vector<int>{3, 10, 11, 12}));
    EXPECT_EQ(q->LastStatement(), "select * from n where id > 2 order by id");

    // A statement without rows opens a dataset without columns and records.
    auto update = Query("update n set name = 'x' where id = 10");
    update->Open();
    EXPECT_TRUE(update->Active());
    EXPECT_EQ(update->FieldCount(), 0);
    EXPECT_TRUE(update->IsEmpty());
    EXPECT_EQ(update->AffectedRows(), "1");
}

TEST_P(OpenFetchTest, OpenFailuresLeaveTheDatasetClosed) {
    auto q = Query("select * from no_such_table");
    try {
        q->Open();
        FAIL() << "opened a missing table";
    } catch (const EMySQLError& e) {
        EXPECT_EQ(e.ErrorCode(), 1146);
    }
    EXPECT_FALSE(q->Active());
    auto empty = Query("");
    EXPECT_THROW(empty->Open(), EMySQLError);
    // OnExecSQL may refuse the statement: a silent abort.
    auto refused = Query("select 1");
    refused->OnExecSQL = [](TMySQLDatasetBase*, std::string&, bool& carryOn) { carryOn = false; };
    EXPECT_THROW(refused->Open(), EAbort);
    EXPECT_FALSE(refused->Active());
    // A dataset without a server.
    TMySQLQuery orphan(nullptr);
    orphan.SQL().SetText("select 1");
    try {
        orphan.Open();
        FAIL();
    } catch (const EMySQLError& e) {
        EXPECT_NE(std::string(e.what()).find("No dataset server selected for open"), std::string::npos) << e.what();
    }
}

TEST_P(OpenFetchTest, IncrementalFetchesAsNavigationReachesRows) {
    Numbers(50);
    auto q = Query("select * from n order by id", rtIncremental);
    EXPECT_FALSE(q->ShareConnection()) << "a streaming result needs its own connection";
    q->Open();
    EXPECT_LT(q->RowCount(), 50);
    EXPECT_EQ(q->RecordCount(), q->RowCount() + 1) << "one more than fetched until the last row";
    EXPECT_EQ(q->RecNo(), 0);
    q->Last();
    EXPECT_EQ(q->FieldByName("id")->AsInteger(), 50);
    EXPECT_EQ(q->RecordCount(), 50);
    EXPECT_TRUE(q->AllFetched());
    q->SetRecNoValue(9);
    EXPECT_EQ(q->FieldByName("id")->AsInteger(), 10);
    EXPECT_EQ(q->RecNo(), 9);
    EXPECT_EQ(Ids(*q).size(), 50u);
}

TEST_P(OpenFetchTest, UnidirectionalKeepsOnlyTheNewestRow) {
    Numbers(20);
    auto q = Query("select * from n order by id", rtUnidirectional);
    q->Open();
    const TBookmark first = q->GetBookmark();
    q->Next();
    q->Next();
    EXPECT_EQ(q->FieldByName("id")->AsInteger(), 3);
    // A prior request shows the current row again.
    q->Prior();
    EXPECT_EQ(q->FieldByName("id")->AsInteger(), 3);
    // Rows whose storage was released cannot be shown again.
    EXPECT_THROW(q->GotoBookmark(first), EDatabaseError);
    EXPECT_THROW(q->SetRecNoValue(0), EDatabaseError);
    // The last-record request shows the newest row.
    q->Last();
    EXPECT_EQ(q->FieldByName("id")->AsInteger(), 20);
    EXPECT_EQ(q->RowCount(), 20);
    EXPECT_THROW(q->First(), EDatabaseError) << "the first row is gone";
}

TEST_P(OpenFetchTest, RefreshKeepsThePositionAndNoticesNewColumns) {
    Numbers(5);
    auto q = Query("select * from n order by id");
    q->Open();
    q->SetRecNoValue(2);
    Exec("update n set name = 'changed' where id = 3");
    q->Refresh();
    EXPECT_EQ(q->FieldByName("id")->AsInteger(), 3);
    EXPECT_EQ(q->FieldByName("name")->AsString(), "changed");

    Exec("alter table n add column extra int");
    try {
        q->Refresh();
        FAIL() << "refreshed over a changed column list";
    } catch (const EMySQLError& e) {
        EXPECT_NE(std::string(e.what()).find("Columns have changed. Please close and reopen."), std::string::npos);
    }
    EXPECT_TRUE(q->IsEmpty());
    q->Close();
    q->Open();
    EXPECT_EQ(q->FieldCount(), 3);
}

TEST_P(OpenFetchTest, JoinKeysAndOrigins) {
    Exec("create table a (id int primary key, v int)");
    Exec("create table b (id int primary key, a_id int, key (a_id))");
    Exec("insert into a values (1, 10)");
    Exec("insert into b values (7, 1)");
    auto q = Query("select a.id, b.id, v from a join b on b.a_id = a.id");
    q->Open();
    ASSERT_EQ(q->FieldCount(), 3);
    EXPECT_EQ(q->Fields()[0]->FieldName(), "a.id");
    EXPECT_EQ(q->Fields()[1]->FieldName(), "b.id");
    EXPECT_EQ(q->Fields()[2]->FieldName(), "v");
    EXPECT_EQ(q->FieldByName("b.id")->AsInteger(), 7);
    EXPECT_EQ(q->TableInfos().size(), 2u);
    EXPECT_EQ(q->Fields()[2]->Origin(), "a.v") << "one database: no database in the origin";

    auto single = Query("select id, v from a");
    single->Open();
    EXPECT_EQ(single->Fields()[0]->FieldName(), "id");
    EXPECT_EQ(single->Fields()[0]->Origin(), "id");
    EXPECT_EQ(single->PrimaryKeyList(), "id");
    EXPECT_TRUE(single->FieldByName("id")->Required());
}

TEST_P(OpenFetchTest, CustomColumnsAreFilledByOnCustomValue) {
    Numbers(3);
    TMySQLDataset ds(nullptr);
    ds.SetServer(server.get());
    ds.SQL().SetText("select * from n order by id");
    ds.CustomFieldDefs().Add("label", ftString, 10);
    ds.OnCustomValue = [](TMySQLDatasetBase*, const std::string& field, int64_t index, std::string& value) {
        if (field == "label") value = "row " + std::to_string(index);
    };
    ds.Open();
    ds.Next();
    EXPECT_EQ(ds.FieldByName("label")->AsString(), "row 1");
    EXPECT_EQ(ds.FieldByName("name")->AsString(), "n2");
}

TEST_P(OpenFetchTest, BlobStreams) {
    Exec("create table bl (id int primary key, data longblob)");
    Exec("insert into bl values (1, x'0001020304'), (2, null)");
    auto q = Query("select * from bl order by id");
    q->Open();
    auto* data = dynamic_cast<TBlobField*>(q->FieldByName("data"));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->AsString(), std::string("\0\1\2\3\4", 5));
    {
        std::unique_ptr<TStream> read = q->CreateBlobStream(data, bmRead);
        EXPECT_EQ(read->Size(), 5);
        char two[2];
        read->Seek(3, soBeginning);
        EXPECT_EQ(read->Read(two, 2), 2u);
        EXPECT_EQ(std::string(two, 2), std::string("\3\4", 2));
        EXPECT_EQ(read->Read(two, 2), 0u);
        // A read stream does not write.
        EXPECT_EQ(read->Write("x", 1), 0u);
    }
    EXPECT_THROW(q->CreateBlobStream(data, bmWrite), EMySQLError) << "not in edit mode";
    q->Next();
    EXPECT_TRUE(data->IsNull());
    q->Edit();
    {
        // Writing past the end of an empty value fills the gap with zero bytes.
        std::unique_ptr<TStream> write = q->CreateBlobStream(data, bmReadWrite);
        write->Seek(5, soBeginning);
        write->WriteBuffer("0123456789", 10);
    }
    EXPECT_EQ(data->AsString(), std::string(5, '\0') + "0123456789");
    {
        std::unique_ptr<TStream> truncate = q->CreateBlobStream(data, bmWrite);
    }
    EXPECT_TRUE(data->IsNull()) << "a write stream empties the value";
    q->Cancel();
    EXPECT_TRUE(data->IsNull());
    q->First();
    EXPECT_EQ(data->AsString().size(), 5u);
}

TEST_P(OpenFetchTest, EditingWritesThroughAndCancelRestores) {
    Numbers(2);
    auto q = Query("select * from n order by id");
    q->Open();
    TField* name = q->FieldByName("name");
    name->OnValidate = [](TField* f) {
        if (f->AsString() == "bad") throw EDatabaseError("refused");
    };
    q->Edit();
    name->SetAsString("new");
    EXPECT_EQ(name->AsString(), "new");
    // A refused value leaves the one before.
    EXPECT_THROW(name->SetAsString("bad"), EDatabaseError);
    EXPECT_EQ(name->AsString(), "new");
    q->Cancel();
    EXPECT_EQ(name->AsString(), "n1");
    // A post that the server refuses keeps the edit, which Cancel still undoes.
    q->Edit();
    name->SetAsString("x");
    q->FieldByName("id")->SetAsInteger(2);
    EXPECT_THROW(q->Post(), EMySQLError);
    q->Cancel();
    EXPECT_EQ(name->AsString(), "n1");
    EXPECT_EQ(q->FieldByName("id")->AsInteger(), 1);
}

TEST_P(OpenFetchTest, NewRecordsTakeTheColumnDefaults) {
    Exec("create table d (id int primary key, qty int default 5, note varchar(10), code varchar(5) default 'x')");
    TMySQLTable t(nullptr);
    t.SetServer(server.get());
    t.SQL().SetText("select * from d");
    t.OnDefaultValue = [](TMySQLDatasetBase*, const std::string& field, int64_t, std::string& value) {
        if (field == "code") value = "y";
    };
    t.Open();
    t.Append();
    EXPECT_EQ(t.FieldByName("qty")->AsInteger(), 5) << "the server's default, read after the last row";
    EXPECT_TRUE(t.FieldByName("note")->IsNull());
    EXPECT_EQ(t.FieldByName("code")->AsString(), "y") << "OnDefaultValue changed it";
    EXPECT_TRUE(t.FieldInfo(1).Modified) << "a column with a default counts as assigned";
    EXPECT_FALSE(t.FieldInfo(2).Modified);
    t.Cancel();
    EXPECT_TRUE(t.IsEmpty());
}

TEST_P(OpenFetchTest, DisconnectingTheServerClosesItsDatasets) {
    server->SetOptions(server->Options() - TMySQLServerOptions{soDropIfExists});  // reconnects keep the table
    server->Connect();
    Numbers(2);
    auto shared = Query("select * from n");
    auto own = Query("select * from n", rtIncremental);
    shared->Open();
    own->Open();
    server->Disconnect();
    EXPECT_FALSE(shared->Active());
    EXPECT_FALSE(own->Active());
    // Opening again connects the server again.
    shared->Open();
    EXPECT_TRUE(server->Connected());
    EXPECT_EQ(shared->RecordCount(), 2);
    // A server that goes away detaches its datasets.
    server.reset();
    EXPECT_EQ(shared->Server(), nullptr);
    EXPECT_FALSE(shared->Active());
}

VEL_DATASET_DRIVERS(OpenFetchTest);

}  // namespace
}  // namespace velmysql::test
