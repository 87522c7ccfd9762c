// The default Locate and Lookup, and blob fields through the dataset's streams.

#include <gtest/gtest.h>

#include "db_fixture.h"

namespace velmysql::test {
namespace {

struct LocateCase {
    const char* fields;
    Variant key;
    TLocateOptions options;
    int expectedId;  // 0: not found
};

TEST(SearchTest, LocateFindsAndMovesOrStays) {
    auto ds = NumberedDataSet(6);
    ds->Open();
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("Apple");
    ds->Post();
    ds->Next();
    ds->Edit();
    ds->FieldByName("NAME")->Clear();
    ds->Post();
    const LocateCase cases[] = {
        {"ID", Variant(int32_t{4}), {}, 4},
        {"NAME", Variant("row5"), {}, 5},
        {"NAME", Variant("ROW5"), {}, 0},
        {"NAME", Variant("ROW5"), {loCaseInsensitive}, 5},
        {"NAME", Variant("ap"), {loPartialKey, loCaseInsensitive}, 1},
        {"NAME", Variant("ap"), {loPartialKey}, 0},
        {"NAME", Variant::Null(), {}, 2},  // NULL matches NULL only
        {"ID;NAME", Variant(std::vector<Variant>{Variant(int32_t{3}), Variant("row3")}), {}, 3},
        {"ID;NAME", Variant(std::vector<Variant>{Variant(int32_t{3}), Variant("row4")}), {}, 0},
        {"ID", Variant(int32_t{99}), {}, 0},
    };
    for (const LocateCase& c : cases) {
        SCOPED_TRACE(std::string(c.fields) + " = " + ((c.key.VarType() == varArray || c.key.IsClear()) ? std::string("[...]") : c.key.ToString()));
        ds->SetRecNoValue(6);
        const bool found = ds->Locate(c.fields, c.key, c.options);
        EXPECT_EQ(found, c.expectedId != 0);
        EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), found ? c.expectedId : 6) << "a miss keeps the record";
    }
    EXPECT_THROW(ds->Locate("NOPE", Variant(1), {}), EDatabaseError);

    // Lookup answers the values without moving.
    ds->First();
    EXPECT_EQ(ds->Lookup("ID", Variant(int32_t{5}), "NAME").ToString(), "row5");
    const Variant both = ds->Lookup("ID", Variant(int32_t{3}), "ID;NAME");
    ASSERT_EQ(both.VarType(), varArray);
    EXPECT_EQ(both.Items()[1].ToString(), "row3");
    EXPECT_TRUE(ds->Lookup("ID", Variant(int32_t{77}), "NAME").IsNull());
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);

    auto empty = NumberedDataSet(0);
    empty->Open();
    EXPECT_FALSE(empty->Locate("ID", Variant(1), {}));
}

TEST(BlobTest, ValuesGoThroughStreams) {
    MemoryDataSet ds(nullptr, {{"ID", ftInteger}, {"DATA", ftBlob, 0}, {"NOTE", ftMemo, 0}});
    ds.AddRow({MemoryDataSet::Native<int32_t>(1)});
    ds.Open();
    auto* data = dynamic_cast<TBlobField*>(ds.FieldByName("DATA"));
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->IsNull());
    EXPECT_EQ(data->DisplayText(), "(blob)");
    EXPECT_THROW(data->SetAsString("x"), EDatabaseError) << "not in edit mode";
    ds.Edit();
    const std::string bytes("a\0b\xff", 4);
    data->SetAsString(bytes);
    ds.FieldByName("NOTE")->SetAsString("hello");
    ds.Post();
    EXPECT_EQ(data->AsString(), bytes) << "binary safe";
    EXPECT_EQ(data->BlobSize(), 4);
    EXPECT_EQ(data->DisplayText(), "(BLOB)");
    EXPECT_EQ(ds.FieldByName("NOTE")->Text(), "hello");
    TMemoryStream out;
    data->SaveToStream(out);
    EXPECT_EQ(out.DataString(), bytes);
    ds.Edit();
    data->Clear();
    ds.Post();
    EXPECT_TRUE(data->IsNull());
}

}  // namespace
}  // namespace velmysql::test
