// The server's dataset factory through every driver: named datasets made,
// found, given a statement and freed; links between them through data sources the
// server makes and frees; the error texts; DisconnectClients and the server's
// destruction freeing what the factory made.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "live_server.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/fields.h"
#include "velmysql/drivers/mysql_error.h"

namespace velmysql::test {
namespace {

// Hears when the components it watches are freed.
class Watcher : public TComponent {
public:
    Watcher() : TComponent(nullptr) {}
    // A component freed earlier may leave its address to a new one: watching starts afresh.
    void Watch(TComponent* component) {
        gone_.erase(component);
        FreeNotification(component);
    }
    bool Gone(TComponent* component) const { return gone_.count(component) != 0; }

protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == opRemove) gone_.insert(component);
    }

private:
    std::set<TComponent*> gone_;
};

class FactoryTest : public LiveDataset {
protected:
    void SetUp() override {
        LiveDataset::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Exec("create table customers (id int primary key, name varchar(20)) default charset=latin1");
        Exec("insert into customers values (1, 'Ann'), (2, 'Ben')");
        Exec("create table orders (id int primary key, cust_id int, item varchar(20)) default charset=latin1");
        Exec("insert into orders values (10, 1, 'pen'), (11, 2, 'ink'), (12, 1, 'pad')");
    }
    struct Linked {
        TMySQLDataset* cust;
        TMySQLDataset* ord;
        TDataSource* source;  // the data source by which ord follows cust
    };
    // A master "cust" and a detail "ord", both open, the detail linked to the master; the
    // watcher, when given, watches the three.
    Linked MasterAndDetail(Watcher* watcher = nullptr) {
        Linked linked{server->DatasetFrom("select * from customers order by id", "cust", true),
                      server->DatasetFrom("select * from orders order by id", "ord", true, "cust", "cust_id=id"),
                      nullptr};
        linked.source = linked.ord->GetDataSource();
        if (watcher != nullptr)
            for (TComponent* c : std::initializer_list<TComponent*>{linked.cust, linked.ord, linked.source})
                watcher->Watch(c);
        return linked;
    }
    TMySQLDataset* Named(const std::string& name) {
        const int index = server->FindDataset(name);
        return index < 0 ? nullptr : dynamic_cast<TMySQLDataset*>(server->NamedDataset(index));
    }
    TDataSource* LinkSourceOf(const std::string& name) { return server->LinkSource(server->FindDataset(name)); }
    // The message and number of the EMySQLError that Call raises.
    template <class F>
    static std::pair<int, std::string> ErrorOf(F call) {
        try {
            call();
        } catch (const EMySQLError& e) {
            return {e.ErrorCode(), e.Message()};
        }
        ADD_FAILURE() << "nothing was raised";
        return {0, std::string()};
    }
};

TEST_P(FactoryTest, DatasetTwiceAnswersTheSameDataset) {
    TMySQLDataset* orders = server->Dataset("Orders", "orders");
    ASSERT_NE(orders, nullptr);
    EXPECT_EQ(orders->TableName(), "orders");
    EXPECT_EQ(orders->Server(), server.get());
    EXPECT_EQ(orders->Owner(), nullptr);
    EXPECT_FALSE(orders->Options().Contains(doRetrieveFieldValues));
    EXPECT_FALSE(orders->Options().Contains(doRetrieveIndexDefs));
    EXPECT_TRUE(orders->Options().Contains(doShareConnection));
    EXPECT_FALSE(orders->Active());
    EXPECT_EQ(server->Dataset("ORDERS", "customers"), orders) << "names compare without letter case";
    EXPECT_EQ(orders->TableName(), "orders") << "an existing dataset keeps its table name";
    EXPECT_EQ(server->NamedDatasetCount(), 1);
    EXPECT_EQ(server->Dataset("Empty", "")->TableName(), "");

    // NewDataset adds a second dataset of the same name; lookups find the first.
    TMySQLDataset* second = server->NewDataset("orders", "customers");
    EXPECT_NE(second, orders);
    EXPECT_EQ(server->NamedDatasetCount(), 3);
    EXPECT_EQ(server->Dataset("orders", ""), orders);
    EXPECT_EQ(server->NamedDataset(server->FindDataset("orders")), orders);

    // A name held by another kind of dataset: Dataset refuses it, Link takes it.
    server->AdoptNamedDataset("query", std::make_unique<TMySQLQuery>(nullptr));
    auto [code, text] = ErrorOf([&] { server->Dataset("Query", ""); });
    EXPECT_NE(text.find("Dataset \"Query\" is not a TMySQLDataset."), std::string::npos) << text;
    server->Link("query", "Orders", "cust_id=id");
    auto* query = dynamic_cast<TMySQLQuery*>(server->NamedDataset(server->FindDataset("query")));
    ASSERT_NE(query, nullptr);
    ASSERT_NE(query->GetDataSource(), nullptr);
    EXPECT_EQ(query->GetDataSource()->DataSet(), orders);

    // Opening through Dataset: the statement as written.
    orders->SQL().SetText("select * from orders order by id");
    EXPECT_EQ(server->Dataset("Orders", "orders", true), orders);
    EXPECT_TRUE(orders->Active());
    EXPECT_EQ(orders->RecordCount(), 3);
}

TEST_P(FactoryTest, DatasetOpensItsTableAndFollowsItsMaster) {
    TMySQLDataset* cust = server->Dataset("cust", "customers", true);
    TMySQLDataset* ord = server->Dataset("ord", "orders", true, "cust", "cust_id=id");
    ASSERT_TRUE(cust->Active() && ord->Active());
    EXPECT_EQ(cust->RecordCount(), 2);
    auto items = [&] {
        std::set<std::string> found;
        for (ord->First(); !ord->Eof(); ord->Next()) found.insert(ord->FieldByName("item")->AsString());
        return found;
    };
    EXPECT_EQ(items(), (std::set<std::string>{"pen", "pad"}));
    cust->Next();
    EXPECT_EQ(items(), (std::set<std::string>{"ink"}));
    server->UnLink("ord");
    EXPECT_EQ(items(), (std::set<std::string>{"pen", "ink", "pad"}));
}

TEST_P(FactoryTest, DatasetFromReplacesOnlyAnotherStatement) {
    TMySQLDataset* ds = server->DatasetFrom("select * from orders order by id", "o", true);
    ASSERT_NE(ds, nullptr);
    EXPECT_TRUE(ds->Active());
    EXPECT_EQ(ds->RecordCount(), 3);
    EXPECT_EQ(ds->TableName(), "");
    const std::string written = ds->SQL().Text();

    // The same statement in other letters (and with a line break) is left as it is.
    EXPECT_EQ(server->DatasetFrom("SELECT * FROM ORDERS ORDER BY ID", "O"), ds);
    EXPECT_EQ(ds->SQL().Text(), written);
    EXPECT_EQ(server->DatasetFrom("select * from orders order by id\r\n", "o"), ds);
    EXPECT_EQ(ds->SQL().Text(), written);
    EXPECT_TRUE(ds->Active());
    EXPECT_EQ(server->NamedDatasetCount(), 1);

    // Another statement replaces it.
    ds->Close();
    EXPECT_EQ(server->DatasetFrom("select id from orders where cust_id = 1", "o", true), ds);
    EXPECT_EQ(ds->SQL().Text(), "select id from orders where cust_id = 1\r\n");
    EXPECT_EQ(ds->FieldCount(), 1);
    EXPECT_EQ(ds->RecordCount(), 2);
}

TEST_P(FactoryTest, LinkAndUnLink) {
    Watcher watcher;
    auto [cust, ord, source] = MasterAndDetail(&watcher);
    EXPECT_EQ(Named("cust"), cust);
    EXPECT_EQ(Named("ord"), ord);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->DataSet(), cust);
    EXPECT_EQ(source->Owner(), nullptr);
    EXPECT_EQ(LinkSourceOf("ord"), source) << "the server keeps the data source it made";
    EXPECT_EQ(ord->MasterFields(), "cust_id=id");
    EXPECT_EQ(LinkSourceOf("cust"), nullptr);
    EXPECT_EQ(cust->GetDataSource(), nullptr);

    // The same master and fields (letter case ignored): nothing changes.
    server->Link("ORD", "Cust", "CUST_ID=ID");
    EXPECT_EQ(ord->GetDataSource(), source);
    EXPECT_FALSE(watcher.Gone(source));
    EXPECT_EQ(ord->MasterFields(), "cust_id=id");

    // Other fields: a new data source on the same master, the old one freed.
    server->Link("ord", "cust", "id=id");
    EXPECT_TRUE(watcher.Gone(source));
    source = ord->GetDataSource();
    ASSERT_NE(source, nullptr);
    watcher.Watch(source);
    EXPECT_EQ(source->DataSet(), cust);
    EXPECT_EQ(LinkSourceOf("ord"), source);
    EXPECT_EQ(ord->MasterFields(), "id=id");

    // UnLink frees it and clears the detail.
    server->UnLink("ord");
    EXPECT_TRUE(watcher.Gone(source));
    EXPECT_EQ(ord->GetDataSource(), nullptr);
    EXPECT_EQ(ord->MasterFields(), "");
    EXPECT_EQ(LinkSourceOf("ord"), nullptr);
    EXPECT_TRUE(ord->Active());
    server->UnLink("ord");  // nothing left to unlink
    EXPECT_EQ(ord->GetDataSource(), nullptr);

    // Dataset with a master name links too.
    EXPECT_EQ(server->Dataset("ord", "", false, "cust", "cust_id=id"), ord);
    ASSERT_NE(ord->GetDataSource(), nullptr);
    EXPECT_EQ(ord->GetDataSource()->DataSet(), cust);
}

TEST_P(FactoryTest, CircularLinksAreRefused) {
    Watcher watcher;
    auto [cust, ord, source] = MasterAndDetail(&watcher);
    // The master already follows... the detail: cust would follow ord, which follows cust.
    EXPECT_THROW(server->Link("cust", "ord", "id=cust_id"), EMySQLError);
    EXPECT_EQ(cust->GetDataSource(), nullptr) << "the refused detail stays unlinked";
    EXPECT_EQ(cust->MasterFields(), "");
    EXPECT_EQ(LinkSourceOf("cust"), nullptr);
    EXPECT_FALSE(watcher.Gone(source)) << "the other link stays";
    EXPECT_EQ(ord->GetDataSource(), source);
    EXPECT_EQ(source->DataSet(), cust);
    // A dataset cannot follow itself.
    EXPECT_THROW(server->Link("cust", "cust", "id=id"), EMySQLError);
    EXPECT_EQ(cust->GetDataSource(), nullptr);
}

// A data source the application set is let go by UnLink, not freed.
TEST_P(FactoryTest, UnLinkLeavesTheApplicationsDataSource) {
    Watcher watcher;
    auto [cust, ord, made] = MasterAndDetail(&watcher);
    TDataSource mine(nullptr);
    mine.SetDataSet(cust);
    ord->SetMasterSource(&mine);
    server->UnLink("ord");
    EXPECT_TRUE(watcher.Gone(made)) << "the server's own data source is freed all the same";
    EXPECT_EQ(ord->GetDataSource(), nullptr);
    EXPECT_EQ(ord->MasterFields(), "");
    EXPECT_EQ(mine.DataSet(), cust);
}

TEST_P(FactoryTest, ErrorTextsWithTheServerHandle) {
    server->Dataset("ord", "orders");
    TMySQLBase* driver = server->GetDriver();
    MySQLConnectionHandle* handle = server->ServerHandle();
    ASSERT_NE(handle, nullptr);
    const int number = driver->ErrorNo(handle);
    const std::string prefix = "[" + std::to_string(number) + "] " + driver->ErrorMsg(handle) + ": ";
    auto [code, text] = ErrorOf([&] { server->Link("ord", "nomaster", "a=b"); });
    EXPECT_EQ(code, number);
    EXPECT_EQ(text.rfind(prefix + "Master dataset \"nomaster\" not found.\r\nClient:", 0), 0u) << text;
    std::tie(code, text) = ErrorOf([&] { server->Link("nodetail", "ord", "a=b"); });
    EXPECT_EQ(text.rfind(prefix + "Detail dataset \"nodetail\" not found.\r\nClient:", 0), 0u) << text;
    std::tie(code, text) = ErrorOf([&] { server->UnLink("nodetail"); });
    EXPECT_EQ(text.rfind(prefix + "Detail dataset \"nodetail\" not found.\r\nClient:", 0), 0u) << text;
    // With both names missing, the master is reported.
    std::tie(code, text) = ErrorOf([&] { server->Link("nodetail", "nomaster", ""); });
    EXPECT_NE(text.find("Master dataset \"nomaster\" not found."), std::string::npos) << text;
    EXPECT_EQ(Named("ord")->GetDataSource(), nullptr);
}

TEST_P(FactoryTest, ErrorTextsWithoutAServerHandle) {
    server->Dataset("ord", "orders");
    server->Disconnect();
    ASSERT_EQ(server->ServerHandle(), nullptr);
    auto [code, text] = ErrorOf([&] { server->Link("ord", "nomaster", "a=b"); });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(text.rfind("[1] Master dataset \"nomaster\" not found.", 0), 0u) << text;
    std::tie(code, text) = ErrorOf([&] { server->Link("nodetail", "ord", "a=b"); });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(text.rfind("[1] Detail dataset \"nodetail\" not found.", 0), 0u) << text;
    std::tie(code, text) = ErrorOf([&] { server->UnLink("NoDetail"); });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(text.rfind("[1] Detail dataset \"NoDetail\" not found.", 0), 0u) << text;
}

TEST_P(FactoryTest, FreeDataset) {
    Watcher watcher;
    auto [cust, ord, source] = MasterAndDetail(&watcher);
    const int clients = server->DataSetCount();

    server->FreeDataset("nosuch");  // an absent name: nothing
    EXPECT_EQ(server->NamedDatasetCount(), 2);
    EXPECT_EQ(server->DataSetCount(), clients);

    // Freeing the detail frees its data source too.
    server->FreeDataset("ORD");
    EXPECT_TRUE(watcher.Gone(ord));
    EXPECT_TRUE(watcher.Gone(source));
    EXPECT_EQ(server->FindDataset("ord"), -1);
    EXPECT_EQ(server->NamedDatasetCount(), 1);
    EXPECT_EQ(server->DataSetCount(), clients - 1) << "the freed dataset left the client list";
    EXPECT_TRUE(cust->Active());

    // Freeing a master first leaves its detail's data source without a dataset.
    const Linked again = MasterAndDetail();
    EXPECT_EQ(again.cust, cust);
    server->FreeDataset("cust");
    EXPECT_TRUE(watcher.Gone(cust));
    EXPECT_EQ(again.source->DataSet(), nullptr);
    EXPECT_EQ(again.ord->GetDataSource(), again.source);
    server->UnLink("ord");
    EXPECT_EQ(again.ord->GetDataSource(), nullptr);
    server->FreeDataset("ord");
    EXPECT_EQ(server->NamedDatasetCount(), 0);
}

TEST_P(FactoryTest, DisconnectClientsFreesTheNamedDatasets) {
    Watcher watcher;
    auto [cust, ord, source] = MasterAndDetail(&watcher);
    TMySQLQuery mine(nullptr);
    mine.SetServer(server.get());
    mine.SQL().SetText("select * from customers");
    mine.Open();

    server->DisconnectClients();
    EXPECT_EQ(server->NamedDatasetCount(), 0);
    EXPECT_TRUE(watcher.Gone(cust));
    EXPECT_TRUE(watcher.Gone(ord));
    EXPECT_TRUE(watcher.Gone(source));
    EXPECT_EQ(mine.Server(), nullptr) << "registered datasets are detached, not freed";
    EXPECT_FALSE(mine.Active());
    EXPECT_EQ(server->DataSetCount(), 0);
    EXPECT_TRUE(server->Connected());
}

TEST_P(FactoryTest, TheServersDestructionFreesTheNamedDatasets) {
    Watcher watcher;
    auto [cust, ord, source] = MasterAndDetail(&watcher);
    // A detail of the detail, and an application dataset following the master.
    TMySQLDataset* more = server->DatasetFrom("select * from orders", "more", true, "ord", "id=id");
    watcher.Watch(more);
    watcher.Watch(more->GetDataSource());
    TDataSource follow(nullptr);
    follow.SetDataSet(cust);
    TMySQLQuery mine(nullptr);
    mine.SetServer(server.get());
    mine.SetMasterSource(&follow);
    mine.SQL().SetText("select * from orders");
    mine.Open();

    const std::string database = server->DatabaseName();
    server.reset();
    EXPECT_TRUE(watcher.Gone(cust));
    EXPECT_TRUE(watcher.Gone(ord));
    EXPECT_TRUE(watcher.Gone(more));
    EXPECT_TRUE(watcher.Gone(source));
    EXPECT_EQ(follow.DataSet(), nullptr);
    EXPECT_EQ(mine.Server(), nullptr);
    EXPECT_FALSE(mine.Active());
    // The next server drops the database in TearDown.
    server = ConnectedServer(GetParam(), database);
}

VEL_DATASET_DRIVERS(FactoryTest);

}  // namespace
}  // namespace velmysql::test
