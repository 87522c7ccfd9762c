// What older servers change, through a scripted driver (no real server of those versions
// is at hand): the final ";" below 3.22, compact TIMESTAMP texts below 4.1, BIT columns
// below 5.0.3; and the dataset's properties, defaults and form.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/fields.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/formstream.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql::test {
namespace {

// A driver that answers every statement with one scripted result.
class ScriptedDriver : public TMySQLBase {
public:
    struct Column {
        std::string name;
        unsigned char type;
        unsigned long length;
        unsigned flags = 0;
    };
    explicit ScriptedDriver(int serverVersion) { version_ = serverVersion; }
    std::vector<Column> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::vector<std::string> sent;

    MySQLConnectionHandle* Open(const std::string&, const std::string&, const std::string&, unsigned int, std::uint32_t,
                                const std::string&) override {
        auto* handle = reinterpret_cast<MySQLConnectionHandle*>(&handleStorage_);
        ownConnection_ = handle;
        loaded_ = true;
        serverVersion_ = version_;
        return handle;
    }
    void Close(MySQLConnectionHandle*& handle) override {
        if (handle == ownConnection_) ownConnection_ = nullptr;
        handle = nullptr;
    }
    bool SelectDatabase(MySQLConnectionHandle*, const std::string&) override { return true; }
    MySQLResultHandle* OpenQuery(MySQLConnectionHandle*, std::string_view sql) override {
        sent.emplace_back(sql);
        next_ = 0;
        field_ = 0;
        return reinterpret_cast<MySQLResultHandle*>(&resultStorage_);
    }
    void CloseQuery(MySQLResultHandle*& result) override { result = nullptr; }
    TMysql_FieldDef RetrieveField(MySQLResultHandle*) override {
        TMysql_FieldDef def;
        if (field_ >= columns.size()) {
            def.name = empty_;
            return def;
        }
        const Column& c = columns[field_++];
        def.name = const_cast<char*>(c.name.c_str());
        def.table = const_cast<char*>("t");
        def.db = const_cast<char*>("d");
        def.type = c.type;
        def.length = c.length;
        def.flags = c.flags;
        return def;
    }
    MySQLRow RetrieveRow(MySQLResultHandle*) override {
        if (next_ >= rows.size()) return nullptr;
        auto& row = rows[next_++];
        values_.clear();
        lengths_.clear();
        for (auto& v : row) {
            values_.push_back(v ? v->data() : nullptr);
            lengths_.push_back(v ? v->size() : 0);
        }
        return values_.data();
    }
    MySQLLengths RetrieveRowFieldLenghts(MySQLResultHandle*) override { return lengths_.data(); }
    std::string LastInsertID(MySQLConnectionHandle*) override { return "42"; }
    std::string AffectedRows(MySQLConnectionHandle*) override { return "1"; }
    std::string QueryInfo(MySQLConnectionHandle*) override { return ""; }
    std::string FormatIdentifier(std::string_view name) override { return std::string(name); }

private:
    int version_;
    char handleStorage_ = 0, resultStorage_ = 0;
    char empty_[1] = {0};
    size_t next_ = 0, field_ = 0;
    std::vector<char*> values_;
    std::vector<unsigned long> lengths_;
};

struct Scripted {
    explicit Scripted(int version) {
        auto owned = std::make_unique<ScriptedDriver>(version);
        driver = owned.get();
        server.SetDriver(std::move(owned));
        query.SetServer(&server);
    }
    TMySQLServer server{nullptr};
    ScriptedDriver* driver;
    TMySQLQuery query{nullptr};
};

TEST(DatasetVersions, FinalSemicolonAndInsertIdOfOldServers) {
    struct Case {
        int version;
        const char* sent;
        const char* insertId;
    };
    for (const Case c : {Case{32105, "select a from t", "0"}, Case{32123, "select a from t", "42"},
                         Case{40100, "select a from t;", "42"}}) {
        Scripted s(c.version);
        s.driver->columns = {{"a", 3, 11}};
        s.query.SQL().SetText("select a from t;");
        s.query.Open();
        ASSERT_FALSE(s.driver->sent.empty());
        EXPECT_EQ(s.driver->sent.back(), c.sent) << c.version;
        EXPECT_EQ(s.query.LastInsertID(), c.insertId) << c.version;
    }
}

TEST(DatasetVersions, TimestampsOfServersBefore41AreCompact) {
    Scripted s(40018);
    s.driver->columns = {{"ts", 7, 14}};
    s.driver->rows = {{std::string("20010203040506")}};
    s.query.SQL().SetText("select ts from t");
    s.query.Open();
    TField* ts = s.query.FieldByName("ts");
    EXPECT_NEAR(ts->AsDateTime(), EncodeDate(2001, 2, 3) + EncodeTime(4, 5, 6, 0), 1e-8);
    s.query.Edit();
    ts->SetAsDateTime(EncodeDate(2002, 3, 4) + EncodeTime(5, 6, 7, 0));
    std::string raw;
    ASSERT_TRUE(s.query.GetRawFieldData(ts, raw));
    EXPECT_EQ(raw, "20020304050607");
    s.query.Cancel();

    Scripted modern(40100);
    modern.driver->columns = {{"ts", 7, 19}};
    modern.driver->rows = {{std::string("2001-02-03 04:05:06")}};
    modern.query.SQL().SetText("select ts from t");
    modern.query.Open();
    modern.query.Edit();
    modern.query.FieldByName("ts")->SetAsDateTime(EncodeDate(2002, 3, 4) + EncodeTime(5, 6, 7, 0));
    ASSERT_TRUE(modern.query.GetRawFieldData(modern.query.FieldByName("ts"), raw));
    EXPECT_EQ(raw, "2002-03-04 05:06:07");
    modern.query.Cancel();
}

TEST(DatasetVersions, BitColumnsOfServersBefore503AreBooleans) {
    Scripted old(50002);
    old.driver->columns = {{"b", 16, 1}};
    old.driver->rows = {{std::string("\x01", 1)}, {std::string("\x00", 1)}};
    old.query.SQL().SetText("select b from t");
    old.query.Open();
    TField* b = old.query.FieldByName("b");
    ASSERT_EQ(b->DataType(), ftBoolean);
    EXPECT_TRUE(b->AsBoolean());
    old.query.Next();
    EXPECT_FALSE(b->AsBoolean()) << "a zero byte is false, not NULL";
    EXPECT_FALSE(b->IsNull());
    // Writing keeps the column's binary form.
    old.query.Edit();
    b->SetAsBoolean(true);
    std::string raw;
    ASSERT_TRUE(old.query.GetRawFieldData(b, raw));
    EXPECT_EQ(raw, std::string("\x01", 1));
    old.query.Cancel();

    Scripted current(50003);
    current.driver->columns = {{"b", 16, 1}};
    current.driver->rows = {{std::string("\x01", 1)}};
    current.query.SQL().SetText("select b from t");
    current.query.Open();
    EXPECT_EQ(current.query.FieldByName("b")->DataType(), ftWord);
}

TEST(DatasetProperties, DefaultsAndSideEffects) {
    TMySQLQuery q(nullptr);
    TMySQLTable t(nullptr);
    EXPECT_EQ(q.Options().Bits(), 538625u);
    EXPECT_EQ(t.Options().Bits(), 540161u);
    EXPECT_EQ(q.Cursor(), -17);
    EXPECT_EQ(q.AffectedRows(), "0");
    EXPECT_EQ(q.LastInsertID(), "0");
    EXPECT_EQ(q.ResultType(), rtLocal);

    q.SetResultType(rtIncremental);
    EXPECT_FALSE(q.ShareConnection()) << "a streaming result cannot share the connection";
    q.SetShareConnection(true);
    EXPECT_EQ(q.ResultType(), rtLocal);
    q.SetOptions(TMySQLDatasetOptions{doSetToWord});
    EXPECT_TRUE(q.Options().Contains(doRetrieveFieldValues));
    // Switching cached updates off on a closed dataset only clears the bit.
    q.SetCachedUpdates(true);
    q.SetCachedUpdates(false);
    EXPECT_FALSE(q.CachedUpdates());
}

TEST(DatasetProperties, FormRoundTrip) {
    TComponent form(nullptr);
    form.SetName("Form1");
    auto* server = OwnedComponent<TMySQLServer>(form);
    server->SetName("Server1");
    auto* d = OwnedComponent<TMySQLDataset>(form);
    d->SetName("Data1");
    d->SetServer(server);
    d->SetTableName("orders");
    d->SQL().SetText("select * from orders");
    d->SetResultType(rtIncremental);
    auto* q = OwnedComponent<TMySQLQuery>(form);
    q->SetName("Query1");
    q->SetServer(server);
    q->SetReadOnly(true);
    auto* t = OwnedComponent<TMySQLTable>(form);
    t->SetName("Table1");
    t->SetFieldName("id");
    auto* source = OwnedComponent<TDataSource>(form);
    source->SetName("Source1");
    source->SetDataSet(q);
    d->SetMasterSource(source);
    d->SetMasterFields("cust_id=id");
    // A master that leads back to the dataset itself is refused.
    auto* own = OwnedComponent<TDataSource>(form);
    own->SetName("Own1");
    own->SetDataSet(d);
    EXPECT_THROW(d->SetMasterSource(own), EMySQLError);
    const std::string text = WriteComponentText(form);
    // What each class stores, and what it leaves out.
    EXPECT_NE(text.find("object Data1: TMySQLDataset"), std::string::npos) << text;
    EXPECT_NE(text.find("ResultType = rtIncremental"), std::string::npos) << text;
    EXPECT_NE(text.find("IndexFieldNames = 'id'"), std::string::npos) << text;
    EXPECT_EQ(text.find("SQLBatch"), std::string::npos) << "an empty batch is not stored";

    TComponent copy(nullptr);
    ReadComponentTextInto(copy, text);
    auto* d2 = dynamic_cast<TMySQLDataset*>(copy.FindComponent("Data1"));
    auto* q2 = dynamic_cast<TMySQLQuery*>(copy.FindComponent("Query1"));
    auto* t2 = dynamic_cast<TMySQLTable*>(copy.FindComponent("Table1"));
    ASSERT_TRUE(d2 && q2 && t2);
    EXPECT_EQ(d2->Server(), copy.FindComponent("Server1"));
    EXPECT_EQ(d2->TableName(), "orders");
    EXPECT_EQ(d2->SQL().Text(), "select * from orders\r\n");
    EXPECT_EQ(d2->ResultType(), rtIncremental);
    EXPECT_EQ(d2->MasterFields(), "cust_id=id");
    EXPECT_EQ(d2->GetDataSource(), copy.FindComponent("Source1"));
    EXPECT_TRUE(q2->ReadOnly());
    EXPECT_EQ(t2->FieldName(), "id");
    EXPECT_EQ(t2->Options().Bits(), 540161u);
    EXPECT_EQ(WriteComponentText(copy), text) << "written again, the form is the same";

    // The obsolete keys are read and switch their options.
    const std::string old = "object Form1: TComponent\n  object Old: TMySQLQuery\n    MacrosEnabled = False\n"
                            "    AllFieldValues = True\n  end\nend\n";
    TComponent oldForm(nullptr);
    ReadComponentTextInto(oldForm, old);
    auto* oldQuery = dynamic_cast<TMySQLQuery*>(oldForm.FindComponent("Old"));
    ASSERT_NE(oldQuery, nullptr);
    EXPECT_FALSE(oldQuery->Options().Contains(doMacrosEnabled));
    EXPECT_TRUE(oldQuery->Options().Contains(doRetrieveFieldValues));
}

}  // namespace
}  // namespace velmysql::test
