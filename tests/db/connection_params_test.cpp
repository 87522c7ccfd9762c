// TCustomConnection's connect and disconnect sequences, and parameter collections.

#include <gtest/gtest.h>

#include "db_fixture.h"
#include "velmysql/db/custom_connection.h"
#include "velmysql/db/params.h"

namespace velmysql::test {
namespace {

class LoggingConnection : public TCustomConnection {
public:
    explicit LoggingConnection(std::vector<std::string>& log) : TCustomConnection(nullptr), log_(log) {
        BeforeConnect = [this](TObject*) { log_.push_back("BeforeConnect"); };
        AfterConnect = [this](TObject*) { log_.push_back("AfterConnect"); };
        BeforeDisconnect = [this](TObject*) { log_.push_back("BeforeDisconnect"); };
        AfterDisconnect = [this](TObject*) { log_.push_back("AfterDisconnect"); };
    }
    bool GetConnected() override { return connected_; }
    bool failConnect = false;
    bool declineConnect = false;  // returns without connecting, as a cancelled login does
    using TCustomConnection::Loaded;

protected:
    void DoConnect() override {
        log_.push_back("DoConnect");
        if (failConnect) throw EDatabaseError("cannot connect");
        connected_ = !declineConnect;
    }
    void DoDisconnect() override {
        log_.push_back("DoDisconnect");
        connected_ = false;
    }

private:
    std::vector<std::string>& log_;
    bool connected_ = false;
};

// A dataset that logs the connect-change events it hears and closes on disconnect.
class ClientDataSet : public MemoryDataSet {
public:
    ClientDataSet(std::vector<std::string>& log) : MemoryDataSet(nullptr, {{"ID", ftInteger}}), log_(log) {}
    void DataEvent(TDataEvent event, intptr_t info) override {
        if (event == deConnectChange) {
            log_.push_back(info != 0 ? "dataset: connected" : "dataset: disconnected");
            if (info == 0) Close();
        }
        MemoryDataSet::DataEvent(event, info);
    }

private:
    std::vector<std::string>& log_;
};

TEST(ConnectionTest, SequencesTellRegisteredClients) {
    std::vector<std::string> log;
    LoggingConnection conn(log);
    ClientDataSet ds(log);
    TObject plain;
    conn.RegisterClient(&ds, [&](TObject*, bool c) { log.push_back(c ? "event: up" : "event: down"); });
    conn.RegisterClient(&plain);
    EXPECT_EQ(conn.ClientCount(), 2);
    ASSERT_EQ(conn.GetDataSetCount(), 1);
    EXPECT_EQ(conn.GetDataSet(0), &ds);

    conn.Open();
    conn.Open();  // already connected: nothing
    ds.Open();
    conn.Close();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect", "event: up", "dataset: connected",
                                              "AfterConnect", "BeforeDisconnect", "event: down",
                                              "dataset: disconnected", "DoDisconnect", "AfterDisconnect"}));
    EXPECT_FALSE(ds.Active()) << "the dataset closed before the connection went";

    conn.UnRegisterClient(&ds);
    EXPECT_EQ(conn.GetDataSetCount(), 0);
    EXPECT_EQ(conn.ClientCount(), 1);

    // A failed connect stops the sequence: no client hears of it, no After event.
    log.clear();
    conn.failConnect = true;
    EXPECT_THROW(conn.Open(), EDatabaseError);
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect"}));
    EXPECT_FALSE(conn.Connected());

    // A DoConnect that returns without connecting and without an error ends it the same
    // way: a client told "connected" would use a connection that does not exist.
    log.clear();
    conn.failConnect = false;
    conn.declineConnect = true;
    EXPECT_NO_THROW(conn.Open());
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect"}));
    EXPECT_FALSE(conn.Connected());
}

TEST(ConnectionTest, ClientThatUnregistersDuringTheEventDoesNotDisturbTheOthers) {
    std::vector<std::string> log;
    LoggingConnection conn(log);
    TObject a, b, c;
    conn.RegisterClient(&a, [&](TObject*, bool) {
        log.push_back("a");
        conn.UnRegisterClient(&a);
        conn.UnRegisterClient(&b);
    });
    conn.RegisterClient(&b, [&](TObject*, bool) { log.push_back("b"); });
    conn.RegisterClient(&c, [&](TObject*, bool) { log.push_back("c"); });
    conn.Open();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect", "a", "c", "AfterConnect"}));
    EXPECT_EQ(conn.ClientCount(), 1);
}

TEST(ParamsTest, NamesValuesAndCopies) {
    TParams params;
    params.CreateParam(ftString, "Name", ptInput)->SetAsString("abc");
    params.CreateParam(ftUnknown, "Limit", ptUnknown)->SetValue(Variant(int64_t{10}));
    params.AddParam()->SetName("Empty");
    EXPECT_EQ(params.FindParam("name"), params[0]);
    EXPECT_EQ(params.FindParam("missing"), nullptr);
    EXPECT_THROW(params.ParamByName("missing"), EDatabaseError);
    EXPECT_EQ(params.ParamByName("LIMIT")->DataType(), ftLargeint) << "type taken from the value";
    EXPECT_EQ(params.ParamByName("limit")->AsInteger(), 10);
    EXPECT_TRUE(params.ParamByName("Empty")->IsNull());
    EXPECT_FALSE(params.ParamByName("Empty")->Bound());

    TParams other;
    other.CreateParam(ftInteger, "NAME", ptInput)->SetAsInteger(7);
    other.CreateParam(ftInteger, "unrelated", ptInput)->SetAsInteger(1);
    params.AssignValues(other);
    EXPECT_EQ(params.Count(), 3) << "only parameters present on both sides take values";
    EXPECT_EQ(params[0]->AsInteger(), 7);
    EXPECT_EQ(params[0]->DataType(), ftInteger);

    TParams copy;
    copy.Assign(&params);
    EXPECT_TRUE(copy.IsEqual(params));
    copy[1]->SetAsString("x");
    EXPECT_FALSE(copy.IsEqual(params));

    // Changing the data type keeps a value that converts and drops one that does not.
    TParam p;
    p.SetAsString("12");
    p.SetDataType(ftInteger);
    EXPECT_EQ(p.AsInteger(), 12);
    p.SetAsString("twelve");
    p.SetDataType(ftInteger);
    EXPECT_TRUE(p.IsNull());
}

}  // namespace
}  // namespace velmysql::test
