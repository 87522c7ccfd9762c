// What data links hear: controls disabled and enabled, calculated fields, and the
// master/detail link.

#include <gtest/gtest.h>

#include "db_fixture.h"

namespace velmysql::test {
namespace {

TEST(NotificationTest, DisableControlsHoldsEventsUntilEnabled) {
    auto ds = NumberedDataSet(5);
    TDataSource source(nullptr);
    RecordingLink link;
    link.SetDataSource(&source);
    source.SetDataSet(ds.get());
    int dataChanges = 0;
    source.OnDataChange = [&](TObject*, TField*) { ++dataChanges; };
    ds->Open();
    EXPECT_EQ(link.log, (std::vector<std::string>{"active"}));
    link.log.clear();
    dataChanges = 0;

    ds->DisableControls();
    ds->DisableControls();  // nested
    ds->Next();
    ds->Next();
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("x");
    ds->Post();
    EXPECT_TRUE(link.log.empty());
    EXPECT_EQ(dataChanges, 0);
    ds->EnableControls();
    EXPECT_TRUE(link.log.empty()) << "still disabled once";
    ds->EnableControls();
    // One summary event for everything that happened meanwhile.
    EXPECT_EQ(link.log, (std::vector<std::string>{"dataset-changed"}));
    EXPECT_EQ(dataChanges, 1);

    // Closing while disabled is reported as a state change when enabled.
    link.log.clear();
    ds->DisableControls();
    ds->Close();
    EXPECT_TRUE(link.log.empty());
    ds->EnableControls();
    EXPECT_EQ(link.log, (std::vector<std::string>{"inactive"}));
}

TEST(NotificationTest, LinksHearScrollsEditsAndFieldChanges) {
    LinkedRows rows(5, 2);
    auto& ds = rows.ds;
    auto& link = rows.link;
    ds->Open();
    link.log.clear();
    ds->Next();                // inside the window
    ds->Next();                // the window turns: the link's rows move up by one
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("y");
    ds->Cancel();
    EXPECT_EQ(link.log, (std::vector<std::string>{"scrolled 0", "scrolled 1", "editing", "record-changed",
                                                   "record-changed NAME", "not-editing", "dataset-changed"}));
    // A detached data source tells its links they are inactive.
    link.log.clear();
    rows.source.SetDataSet(nullptr);
    EXPECT_EQ(link.log, (std::vector<std::string>{"inactive"}));
    EXPECT_FALSE(link.Active());
}

TEST(NotificationTest, CalculatedFieldsFollowTheRecord) {
    auto ds = NumberedDataSet(4);
    auto* twice = OwnedComponent<TIntegerField>(*ds);
    // Persistent fields: the data fields must exist too, or they would not be created.
    auto* id = OwnedComponent<TIntegerField>(*ds);
    id->SetFieldName("ID");
    id->SetDataSet(ds.get());
    twice->SetFieldName("TWICE");
    twice->SetFieldKind(fkCalculated);
    twice->SetDataSet(ds.get());
    int calcs = 0;
    ds->OnCalcFields = [&](TDataSet* d) {
        ++calcs;
        d->FieldByName("TWICE")->SetAsInteger(d->FieldByName("ID")->AsInteger() * 2);
    };
    ds->Open();
    EXPECT_FALSE(ds->DefaultFields());
    EXPECT_EQ(ds->FindField("NAME"), nullptr);
    EXPECT_EQ(twice->FieldNo(), -1);
    EXPECT_EQ(twice->AsInteger(), 2);
    ds->Next();
    ds->Next();
    EXPECT_EQ(twice->AsInteger(), 6);
    ds->Last();
    EXPECT_EQ(twice->AsInteger(), 8);
    // Changing a data field while editing recalculates at once.
    ds->Edit();
    id->SetAsInteger(21);
    EXPECT_EQ(twice->AsInteger(), 42);
    ds->Cancel();
    EXPECT_EQ(twice->AsInteger(), 8);
    EXPECT_GT(calcs, 4);
    // Calculated fields are written only while calculating.
    EXPECT_THROW(twice->SetAsInteger(1), EDatabaseError);
}

TEST(NotificationTest, LookupFieldTakesItsValueFromTheOtherDataSet) {
    MemoryDataSet names(nullptr, {{"CODE", ftInteger}, {"TEXT", ftString, 10}});
    names.AddRow({MemoryDataSet::Native<int32_t>(1), MemoryDataSet::Text("one")});
    names.AddRow({MemoryDataSet::Native<int32_t>(2), MemoryDataSet::Text("two")});
    names.Open();
    MemoryDataSet orders(nullptr, {{"CODE", ftInteger}});
    orders.AddRow({MemoryDataSet::Native<int32_t>(2)});
    orders.AddRow({MemoryDataSet::Native<int32_t>(3)});
    orders.AddRow({MemoryDataSet::Native<int32_t>(1)});
    TStringField* text = AddNameLookup(orders, names);
    orders.Open();
    std::vector<std::string> seen;
    for (; !orders.Eof(); orders.Next()) seen.push_back(text->IsNull() ? "<null>" : text->AsString());
    EXPECT_EQ(seen, (std::vector<std::string>{"two", "<null>", "one"}));
    orders.Close();
    // An incomplete lookup definition is refused when the dataset opens.
    text->SetLookupResultField("");
    EXPECT_THROW(orders.Open(), EDatabaseError);
    EXPECT_FALSE(orders.Active());
}

TEST(NotificationTest, MasterLinkReportsMovesFieldChangesAndClosing) {
    auto master = NumberedDataSet(3);
    auto detail = NumberedDataSet(1);
    TDataSource source(nullptr);
    source.SetDataSet(master.get());
    TMasterDataLink link(detail.get());
    std::vector<std::string> log;
    link.OnMasterChange = [&](TObject*) { log.push_back("change"); };
    link.OnMasterDisable = [&](TObject*) { log.push_back("disable"); };
    link.SetFieldNames("ID");
    link.SetDataSource(&source);
    detail->Open();
    master->Open();  // the link becomes active with one field: change
    ASSERT_EQ(link.Fields().size(), 1u);
    EXPECT_EQ(link.Fields()[0]->FieldName(), "ID");
    master->Next();  // change
    master->Edit();  // record change: change
    master->FieldByName("NAME")->SetAsString("not linked");  // not a linked field: silent
    master->FieldByName("ID")->SetAsInteger(20);             // linked: heard
    master->Post();   // the record is read again: change
    master->Close();  // disable
    EXPECT_EQ(log, (std::vector<std::string>{"change", "change", "change", "change", "change", "disable"}));

    // An unknown master field name is an error when the link resolves its fields.
    master->Open();
    EXPECT_THROW(link.SetFieldNames("NOPE"), EDatabaseError);
    EXPECT_TRUE(link.Fields().empty());
}

TEST(NotificationTest, CircularDataSourceIsRefused) {
    // A detail whose master chain leads back to itself.
    class DetailDataSet : public MemoryDataSet {
    public:
        using MemoryDataSet::MemoryDataSet;
        TDataSource* master = nullptr;
        TDataSource* GetDataSource() override { return master; }
    };
    DetailDataSet a(nullptr, {{"ID", ftInteger}});
    DetailDataSet b(nullptr, {{"ID", ftInteger}});
    TDataSource toA(nullptr), toB(nullptr);
    toA.SetDataSet(&a);
    b.master = &toA;  // b follows a
    EXPECT_TRUE(b.IsLinkedTo(&toA) == false);
    EXPECT_TRUE(a.IsLinkedTo(&toA));
    a.master = &toB;
    EXPECT_THROW(toB.SetDataSet(&b), EDatabaseError);  // a -> b -> a
    EXPECT_EQ(toB.DataSet(), nullptr);
}

}  // namespace
}  // namespace velmysql::test
