// Master/detail and the filter on every driver: the detail follows its master through the
// condition the server evaluates (master moves, master empty, master value NULL), new
// detail records take the master's value, placeholders named like master fields, the
// circular link refused, and Filter re-running the statements only while Filtered.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "live_server.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/data_source.h"
#include "velmysql/drivers/mysql_error.h"

namespace velmysql::test {
namespace {

class MasterFilterTest : public LiveDataset {
protected:
    void SetUp() override {
        LiveDataset::SetUp();
        if (!server) return;
        Exec("create table cust (id int primary key, code int null)");
        Exec("insert into cust values (1, 10), (2, 20), (3, NULL)");
        Exec("create table ord (oid int primary key, cust_code int null, amount int)");
        Exec("insert into ord values (100, 10, 5), (101, 10, 50), (102, 20, 7), (103, NULL, 9)");
    }
    std::unique_ptr<TMySQLQuery> Query(const std::string& sql) {
        auto q = std::make_unique<TMySQLQuery>(nullptr);
        q->SetServer(server.get());
        q->SQL().SetText(sql);
        q->OnExecSQL = [this](TMySQLDatasetBase*, std::string&, bool&) { ++statements; };
        return q;
    }
    // A detail linked to a master through a data source; both still closed.
    struct Linked {
        std::unique_ptr<TMySQLQuery> master;
        std::unique_ptr<TDataSource> source;
        std::unique_ptr<TMySQLQuery> detail;
    };
    Linked Link(const std::string& masterSql, const std::string& detailSql, const std::string& fields) {
        Linked l{Query(masterSql), std::make_unique<TDataSource>(nullptr), Query(detailSql)};
        l.source->SetDataSet(l.master.get());
        l.detail->SetMasterSource(l.source.get());
        if (!fields.empty()) l.detail->SetMasterFields(fields);
        return l;
    }
    static std::vector<int> Column(TDataSet& ds, const std::string& name) {
        std::vector<int> values;
        for (ds.First(); !ds.Eof(); ds.Next()) values.push_back(ds.FieldByName(name)->AsInteger());
        return values;
    }
    int statements = 0;
};

TEST_P(MasterFilterTest, DetailFollowsItsMaster) {
    auto [master, source, detail] = Link("select * from cust order by id", "select * from ord order by oid",
                                         "cust_code=code");
    master->Open();
    detail->Open();
    EXPECT_EQ(Column(*detail, "oid"), (std::vector<int>{100, 101}));
    EXPECT_EQ(detail->LastStatement(), "select * from ord  where (cust_code=10) order by oid");

    master->Next();
    EXPECT_EQ(Column(*detail, "oid"), (std::vector<int>{102}));
    // A new detail record takes the master's value.
    detail->Append();
    EXPECT_EQ(detail->FieldByName("cust_code")->AsString(), "20");
    detail->Cancel();

    // A master value NULL shows no rows (not the detail rows whose value is NULL too).
    master->Next();
    EXPECT_TRUE(detail->IsEmpty());
    EXPECT_EQ(detail->LastStatement(), "select * from ord  where (cust_code=NULL) order by oid");

    // New pairs take effect at once.
    master->First();
    detail->SetMasterFields("amount=id");
    EXPECT_TRUE(detail->IsEmpty());
    master->Close();
    EXPECT_TRUE(detail->Active());
    EXPECT_TRUE(detail->IsEmpty());
}

TEST_P(MasterFilterTest, EmptyMasterShowsNoDetailRows) {
    auto [master, source, detail] = Link("select * from cust where id < 0", "select * from ord", "cust_code=code");
    master->Open();
    detail->Open();
    EXPECT_TRUE(detail->IsEmpty());
    EXPECT_EQ(detail->LastStatement(), "select * from ord where (cust_code=NULL) ");
}

TEST_P(MasterFilterTest, PlaceholderNamedLikeAMasterFieldTakesItsValue) {
    auto [master, source, detail] = Link("select * from cust order by id",
                                         "select * from ord where cust_code = :code order by oid", "");
    master->Open();
    detail->Open();
    EXPECT_EQ(Column(*detail, "oid"), (std::vector<int>{100, 101}));
    // Without MasterFields the link watches no master field: the value is read each time
    // the statements run.
    master->Next();
    detail->Refresh();
    EXPECT_EQ(Column(*detail, "oid"), (std::vector<int>{102}));
    master->Next();
    detail->Refresh();
    EXPECT_EQ(detail->LastStatement(), "select * from ord where cust_code = NULL order by oid");
}

TEST_P(MasterFilterTest, CircularLinkIsRefused) {
    auto a = Query("select * from cust");
    auto b = Query("select * from ord");
    TDataSource sourceA(nullptr), sourceB(nullptr);
    sourceA.SetDataSet(a.get());
    sourceB.SetDataSet(b.get());
    b->SetMasterSource(&sourceA);
    try {
        a->SetMasterSource(&sourceB);
        FAIL() << "no error";
    } catch (const EMySQLError& e) {
        EXPECT_NE(std::string(e.what()).find("Circular Reference"), std::string::npos) << e.what();
    }
    EXPECT_EQ(a->GetDataSource(), nullptr);
    EXPECT_THROW(a->SetMasterSource(&sourceA), EMySQLError);
}

TEST_P(MasterFilterTest, FilterRunsOnTheServerWhileFiltered) {
    auto q = Query("select * from ord order by oid");
    q->Open();
    EXPECT_EQ(statements, 1);
    q->SetFilter("amount > 6");
    EXPECT_EQ(statements, 1);  // not filtered yet: nothing runs
    EXPECT_EQ(q->RecordCount(), 4);
    q->SetFilteredValue(true);
    EXPECT_EQ(statements, 2);
    EXPECT_EQ(Column(*q, "oid"), (std::vector<int>{101, 102, 103}));
    q->SetFilter("amount > 6 and cust_code = :c");
    q->ParamByName("c")->SetAsInteger(20);
    q->Refresh();
    EXPECT_EQ(Column(*q, "oid"), (std::vector<int>{102}));
    q->SetFilteredValue(false);
    EXPECT_EQ(q->RecordCount(), 4);
    // The framework's record filter is not consulted: the server filters.
    q->OnFilterRecord = [](TDataSet*, bool& accept) { accept = false; };
    q->SetFilter("oid = 100");
    q->SetFilteredValue(true);
    EXPECT_EQ(Column(*q, "oid"), (std::vector<int>{100}));
}

TEST_P(MasterFilterTest, MasterAndFilterTogether) {
    auto [master, source, detail] = Link("select * from cust order by id",
                                         "select * from ord where amount < 100 order by oid", "cust_code=code");
    detail->SetFilter("amount > 6");
    detail->SetFilteredValue(true);
    master->Open();
    detail->Open();
    EXPECT_EQ(detail->GetMasterAndFilter(), "(cust_code=10) AND (amount > 6)");
    EXPECT_EQ(detail->LastStatement(),
              "select * from ord  where (cust_code=10) AND (amount > 6) and amount < 100 order by oid");
    EXPECT_EQ(Column(*detail, "oid"), (std::vector<int>{101}));
}

VEL_DATASET_DRIVERS(MasterFilterTest);

}  // namespace
}  // namespace velmysql::test
