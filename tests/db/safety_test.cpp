// What a dataset engine relies on from the framework: exceptions from the descendant or
// from event handlers leave a consistent dataset, destruction never calls out or throws,
// string values keep their bytes, and the per-record paths do no needless work.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db_fixture.h"
#include "velmysql/rtl/stream.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql::test {
namespace {

// Walks from the current record to the end; answers the IDs seen.
std::vector<int> IdsToEnd(TDataSet& ds) {
    std::vector<int> ids;
    for (; !ds.Eof(); ds.Next()) ids.push_back(ds.FieldByName("ID")->AsInteger());
    return ids;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> v;
    for (int i = from; i <= to; ++i) v.push_back(i);
    return v;
}

TEST(SafetyTest, CloseThatRaisesStillCloses) {
    auto ds = NumberedDataSet(5);
    ds->Open();
    ds->failInternalClose = true;
    EXPECT_THROW(ds->Close(), EDatabaseError);
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->allocated, 0) << "the buffers are freed";
    // The next open starts from nothing: a full window and every record.
    ds->failInternalClose = false;
    ds->Open();
    EXPECT_EQ(IdsToEnd(*ds), Range(1, 5));
}

TEST(SafetyTest, OpenThatFailsWhileFillingTheWindowLeavesItClosed) {
    LinkedRows rows(10, 4);
    int afterOpen = 0;
    rows.ds->AfterOpen = [&](TDataSet*) { ++afterOpen; };
    rows.ds->failFetchAt = 2;  // the second record of the window
    EXPECT_THROW(rows.ds->Open(), EDatabaseError);
    EXPECT_FALSE(rows.ds->Active());
    EXPECT_EQ(afterOpen, 0);
    EXPECT_EQ(rows.ds->allocated, 0);
    EXPECT_EQ(rows.ds->FieldCount(), 0) << "the default fields of the failed open are gone";
    rows.ds->Open();
    EXPECT_EQ(afterOpen, 1);
    EXPECT_EQ(IdsToEnd(*rows.ds), Range(1, 10));
}

// Insert and Append that fail at each step leave the window as it was: browse state, the
// same current record, and every record reachable.
TEST(SafetyTest, FailedInsertOrAppendRestoresTheWindow) {
    struct Case {
        const char* name;
        std::function<void(MemoryDataSet&)> arm;
    };
    const Case failures[] = {
        {"InitRecord", [](MemoryDataSet& ds) { ds.failInitRecord = true; }},
        {"InternalInsert", [](MemoryDataSet& ds) { ds.failInternalInsert = true; }},
        {"OnNewRecord", [](MemoryDataSet& ds) { ds.OnNewRecord = [](TDataSet*) { Abort(); }; }},
    };
    for (const Case& failure : failures) {
        for (bool append : {false, true}) {
            SCOPED_TRACE(std::string(failure.name) + (append ? " / Append" : " / Insert"));
            LinkedRows rows(10, 4);
            MemoryDataSet& ds = *rows.ds;
            ds.Open();
            ds.MoveBy(5);
            failure.arm(ds);
            EXPECT_ANY_THROW(append ? ds.Append() : ds.Insert());
            EXPECT_EQ(ds.State(), dsBrowse);
            EXPECT_FALSE(ds.FieldByName("ID")->IsNull());
            EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 6);
            EXPECT_EQ(IdsToEnd(ds), Range(6, 10));
            ds.First();
            EXPECT_EQ(IdsToEnd(ds), Range(1, 10));
        }
    }
}

TEST(SafetyTest, FailedAppendToAnEmptyDataSetLeavesItEmpty) {
    auto ds = NumberedDataSet(0);
    ds->Open();
    ds->failInitRecord = true;
    EXPECT_THROW(ds->Append(), EDatabaseError);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(ds->Eof());
}

// Destroying an open dataset closes it without events, and nothing an event or the
// descendant raises escapes a destructor.
TEST(SafetyTest, DestructionClosesSilently) {
    std::vector<std::string> log;
    auto ds = NumberedDataSet(3);
    ds->BeforeClose = [&](TDataSet*) {
        log.push_back("BeforeClose");
        Abort();
    };
    ds->AfterClose = [&](TDataSet*) { log.push_back("AfterClose"); };
    ds->Open();
    ds->failInternalClose = true;
    ds.reset();
    EXPECT_TRUE(log.empty());
}

TEST(SafetyTest, FieldFreedWhileItsDataSetIsOpen) {
    auto ds = NumberedDataSet(3);
    auto* id = OwnedComponent<TIntegerField>(*ds);
    id->SetFieldName("ID");
    id->SetDataSet(ds.get());
    ds->BeforeClose = [](TDataSet*) { Abort(); };
    ds->Open();
    delete id;  // the Abort cannot refuse a destructor: the dataset closes anyway
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->allocated, 0);
    EXPECT_EQ(ds->FindField("ID"), nullptr);
}

// The engine replaces the required-field check (its server fills unassigned columns);
// the framework's own check stays the default.
TEST(SafetyTest, RequiredFieldCheckIsTheDataSetsToReplace) {
    class ServerFilled : public MemoryDataSet {
    public:
        using MemoryDataSet::MemoryDataSet;

    protected:
        void CheckRequiredFields() override {}
    };
    const std::vector<Column> columns{{"ID", ftInteger, 0, true}, {"NAME", ftString, 10}};
    MemoryDataSet strict(nullptr, columns);
    ServerFilled lenient(nullptr, columns);
    for (MemoryDataSet* ds : {static_cast<MemoryDataSet*>(&strict), static_cast<MemoryDataSet*>(&lenient)}) {
        ds->Open();
        ds->Append();
        ds->FieldByName("NAME")->SetAsString("x");
    }
    EXPECT_THROW(strict.Post(), EDatabaseError);
    lenient.Post();
    EXPECT_EQ(lenient.Rows().size(), 1u);
    EXPECT_TRUE(lenient.FieldByName("ID")->IsNull());
}

TEST(SafetyTest, CalculatedFields) {
    auto ds = NumberedDataSet(2);
    auto* id = OwnedComponent<TIntegerField>(*ds);
    id->SetFieldName("ID");
    id->SetDataSet(ds.get());
    auto* unset = OwnedComponent<TIntegerField>(*ds);
    unset->SetFieldName("UNSET");
    unset->SetFieldKind(fkCalculated);
    unset->SetDataSet(ds.get());
    auto* label = OwnedComponent<TStringField>(*ds);
    label->SetFieldName("LABEL");
    label->SetSize(8);
    label->SetFieldKind(fkCalculated);
    label->SetDataSet(ds.get());
    ds->OnCalcFields = [&](TDataSet*) { label->SetAsString("no. " + id->AsString()); };
    ds->Open();
    EXPECT_TRUE(unset->IsNull()) << "a calculated field nobody set reads NULL, not 0";
    EXPECT_EQ(label->AsString(), "no. 1");
    ds->Next();
    EXPECT_EQ(label->AsString(), "no. 2");
    ds->Close();

    // A Variant owns heap memory and cannot live in the byte area of calculated fields.
    auto* anything = OwnedComponent<TVariantField>(*ds);
    anything->SetFieldName("ANY");
    anything->SetFieldKind(fkCalculated);
    anything->SetDataSet(ds.get());
    EXPECT_THROW(ds->Open(), EDatabaseError);
    EXPECT_FALSE(ds->Active());
}

TEST(SafetyTest, LookupScansOncePerKeyAndLeavesTheLookupDataSetWhereItWas) {
    MemoryDataSet names(nullptr, {{"CODE", ftInteger}, {"TEXT", ftString, 10}});
    for (int code = 1; code <= 3; ++code)
        names.AddRow({MemoryDataSet::Native<int32_t>(code), MemoryDataSet::Text("name" + std::to_string(code))});
    names.Open();
    names.Next();
    int namesScrolls = 0;
    names.AfterScroll = [&](TDataSet*) { ++namesScrolls; };

    MemoryDataSet orders(nullptr, {{"CODE", ftInteger}});
    for (int i = 0; i < 30; ++i) orders.AddRow({MemoryDataSet::Native<int32_t>(i % 2 + 1)});
    TStringField* text = AddNameLookup(orders, names);
    orders.Open();
    std::vector<std::string> seen;
    for (; !orders.Eof(); orders.Next()) seen.push_back(text->AsString());
    ASSERT_EQ(seen.size(), 30u);
    EXPECT_EQ(seen[0], "name1");
    EXPECT_EQ(seen[29], "name2");
    // Two keys: two scans of a few moves each, not one per record.
    EXPECT_LT(namesScrolls, 15);
    EXPECT_EQ(names.FieldByName("CODE")->AsInteger(), 2) << "the lookup dataset stays on its record";

    // A change of the lookup rows is seen at the next calculation.
    names.First();
    names.Edit();
    names.FieldByName("TEXT")->SetAsString("renamed");
    names.Post();
    orders.First();
    EXPECT_EQ(text->AsString(), "renamed");
}

TEST(SafetyTest, IndexFieldsAreTheDataSetsToName) {
    class Indexed : public MemoryDataSet {
    public:
        using MemoryDataSet::MemoryDataSet;

    protected:
        bool GetIsIndexField(TField* field) override { return field->FieldName() == "ID"; }
    };
    Indexed ds(nullptr, {{"ID", ftInteger}, {"NAME", ftString, 10}});
    ds.Open();
    EXPECT_TRUE(ds.FieldByName("ID")->IsIndexField());
    EXPECT_FALSE(ds.FieldByName("NAME")->IsIndexField());
}

TEST(SafetyTest, DataSetPublishesActiveFilterAndEvents) {
    const TClassInfo& info = TDataSet::ClassInfo();
    for (const char* name : {"Active", "Filter", "Filtered", "BeforeOpen", "AfterScroll", "OnCalcFields",
                             "OnFilterRecord", "OnNewRecord", "OnPostError", "OnDeleteError", "OnEditError"})
        EXPECT_NE(info.FindProperty(name), nullptr) << name;
}

// String values travel as their bytes: zero bytes and long values included, both ways,
// and OnValidate sees the bytes about to be stored.
TEST(SafetyTest, StringValuesKeepTheirBytes) {
    MemoryDataSet ds(nullptr, {{"KEY", ftString, 16}, {"TEXT", ftString, 65535}});
    const std::string key("ab\0cd\0\0e", 8);
    const std::string text(70000, 'x');
    ds.AddRow({MemoryDataSet::Text(key), MemoryDataSet::Text(text.substr(0, 65535))});
    ds.Open();
    TField* keyField = ds.FieldByName("KEY");
    EXPECT_EQ(keyField->AsString(), key);
    EXPECT_EQ(ds.FieldByName("TEXT")->AsString().size(), 65535u);
    std::string validated;
    keyField->OnValidate = [&](TField* f) { validated = f->AsString(); };
    ds.Edit();
    const std::string other("\0\x01\x02z", 4);
    keyField->SetAsString(other);
    EXPECT_EQ(validated, other);
    ds.FieldByName("TEXT")->SetAsString(text);
    ds.Post();
    EXPECT_EQ(*ds.Rows()[0].values[0], other);
    EXPECT_EQ(ds.Rows()[0].values[1]->size(), 65535u) << "a longer value is cut at the field's size";
}

TEST(SafetyTest, BlobIsReadInOneCall) {
    MemoryDataSet ds(nullptr, {{"DATA", ftBlob}});
    std::string bytes(100000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    ds.AddRow({MemoryDataSet::Text(bytes)});
    ds.Open();
    EXPECT_EQ(ds.FieldByName("DATA")->AsString(), bytes);
    EXPECT_EQ(ds.blobReads, 1);
}

}  // namespace
}  // namespace velmysql::test
