// Field values: native formats, NULL, conversions and their errors.

#include <gtest/gtest.h>

#include <cstring>

#include "db_fixture.h"
#include "velmysql/db/index_defs.h"
#include "velmysql/rtl/datetime.h"

namespace velmysql::test {
namespace {

std::unique_ptr<MemoryDataSet> TypedDataSet() {
    auto ds = std::make_unique<MemoryDataSet>(
        nullptr, std::vector<Column>{{"S", ftString, 5},
                                     {"I", ftInteger},
                                     {"SM", ftSmallint},
                                     {"W", ftWord},
                                     {"L", ftLargeint},
                                     {"B", ftBoolean},
                                     {"F", ftFloat},
                                     {"D", ftDate},
                                     {"T", ftTime},
                                     {"DT", ftDateTime},
                                     {"M", ftMemo}});
    ds->AddRow({});  // every column NULL
    return ds;
}

TEST(FieldTest, NullReadsAsEmptyAndZero) {
    auto ds = TypedDataSet();
    ds->Open();
    for (TField* f : ds->Fields()) {
        SCOPED_TRACE(f->FieldName());
        EXPECT_TRUE(f->IsNull());
        EXPECT_EQ(f->AsString(), "");
        EXPECT_TRUE(f->AsVariant().IsNull());
    }
    EXPECT_EQ(ds->FieldByName("I")->AsInteger(), 0);
    EXPECT_EQ(ds->FieldByName("F")->AsFloat(), 0.0);
    EXPECT_FALSE(ds->FieldByName("B")->AsBoolean());
    EXPECT_EQ(ds->FieldByName("M")->DisplayText(), "(memo)");
}

TEST(FieldTest, NativeFormatsAreWhatTheDataSetStores) {
    auto ds = TypedDataSet();
    ds->Open();
    ds->Edit();
    ds->FieldByName("B")->SetAsBoolean(true);
    ds->FieldByName("SM")->SetAsInteger(-5);
    ds->FieldByName("D")->SetAsDateTime(EncodeDate(2024, 2, 29));
    ds->FieldByName("T")->SetAsDateTime(EncodeTime(13, 45, 30, 250));
    ds->FieldByName("DT")->SetAsDateTime(EncodeDate(2000, 1, 1) + EncodeTime(0, 0, 1, 0));
    ds->Post();
    const auto& v = ds->Rows()[0].values;
    int16_t b;
    std::memcpy(&b, v[5]->data(), 2);
    EXPECT_EQ(v[5]->size(), 2u);
    EXPECT_EQ(static_cast<uint16_t>(b), 0xFFFF) << "true is all bits set";
    int32_t sm;
    std::memcpy(&sm, v[2]->data(), 4);
    EXPECT_EQ(sm, -5) << "small integers travel as 32 bits";
    int32_t day;
    std::memcpy(&day, v[7]->data(), 4);
    EXPECT_EQ(day, DateTimeToTimeStamp(EncodeDate(2024, 2, 29)).Date);
    int32_t ms;
    std::memcpy(&ms, v[8]->data(), 4);
    EXPECT_EQ(ms, ((13 * 60 + 45) * 60 + 30) * 1000 + 250);
    double dtms;
    std::memcpy(&dtms, v[9]->data(), 8);
    EXPECT_EQ(dtms, (static_cast<double>(DateDelta) + 36526.0) * MSecsPerDay + 1000.0);
    // And back.
    EXPECT_EQ(ds->FieldByName("D")->AsDateTime(), EncodeDate(2024, 2, 29));
    EXPECT_EQ(ds->FieldByName("T")->AsString(), "13:45:30");
    EXPECT_EQ(ds->FieldByName("DT")->AsString(), "2000-01-01 00:00:01");
    EXPECT_EQ(ds->FieldByName("B")->AsString(), "True");
}

struct TextCase {
    const char* field;
    const char* text;
    const char* readBack;  // null: the text is refused with EConvertError
};

TEST(FieldTest, TextConversions) {
    const TextCase cases[] = {
        {"I", "42", "42"},         {"I", " -7 ", "-7"},     {"I", "4x", nullptr},
        {"I", "1.5", nullptr},     {"I", "", ""},           {"L", "9007199254740993", "9007199254740993"},
        {"L", "abc", nullptr},     {"F", "2.5", "2.5"},     {"F", "1e3", "1000"},
        {"F", "2,5", nullptr},     {"S", "abcdefgh", "abcde"},  // cut to the size
        {"B", "t", "True"},        {"B", "FALSE", "False"}, {"B", "maybe", nullptr},
        {"D", "2023-12-31", "2023-12-31"}, {"D", "31.12.2023", nullptr},
        {"DT", "2023-12-31 23:59:58", "2023-12-31 23:59:58"}, {"M", "long text", "long text"},
    };
    auto ds = TypedDataSet();
    ds->Open();
    ds->Edit();
    for (const TextCase& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " <- '" + c.text + "'");
        TField* f = ds->FieldByName(c.field);
        f->Clear();
        if (c.readBack == nullptr) {
            EXPECT_THROW(f->SetAsString(c.text), EConvertError);
            EXPECT_TRUE(f->IsNull()) << "a refused text leaves the value alone";
        } else {
            f->SetAsString(c.text);
            EXPECT_EQ(f->AsString(), c.readBack);
            EXPECT_EQ(f->IsNull(), std::string(c.readBack).empty());
        }
    }
    ds->Cancel();
}

TEST(FieldTest, RangesAndTypeAccess) {
    auto ds = TypedDataSet();
    ds->Open();
    ds->Edit();
    EXPECT_THROW(ds->FieldByName("SM")->SetAsInteger(40000), EDatabaseError);
    EXPECT_THROW(ds->FieldByName("W")->SetAsInteger(-1), EDatabaseError);
    ds->FieldByName("W")->SetAsInteger(65535);
    EXPECT_EQ(ds->FieldByName("W")->AsInteger(), 65535);
    auto* i = static_cast<TIntegerField*>(ds->FieldByName("I"));
    i->SetMaxValue(10);
    EXPECT_THROW(i->SetAsInteger(11), EDatabaseError);
    EXPECT_THROW(ds->FieldByName("I")->SetAsLargeInt(int64_t{1} << 40), EDatabaseError);
    ds->FieldByName("L")->SetAsLargeInt(int64_t{1} << 40);
    EXPECT_THROW(ds->FieldByName("L")->AsInteger(), EConvertError);
    EXPECT_THROW(ds->FieldByName("B")->AsDateTime(), EDatabaseError);  // no such access
    // Strings convert on demand; a text that is not a number is an error.
    ds->FieldByName("S")->SetAsString("12");
    EXPECT_EQ(ds->FieldByName("S")->AsInteger(), 12);
    ds->FieldByName("S")->SetAsString("x1");
    EXPECT_THROW(ds->FieldByName("S")->AsInteger(), EConvertError);
    EXPECT_THROW(ds->FieldByName("S")->AsFloat(), EConvertError);
    ds->Cancel();
}

TEST(FieldTest, ValidateSeesTheNewValueAndCanRefuseIt) {
    auto ds = TypedDataSet();
    ds->Open();
    TField* f = ds->FieldByName("I");
    std::vector<std::string> seen;
    f->OnValidate = [&](TField* sender) {
        seen.push_back(sender->AsString());
        if (sender->AsInteger() < 0) throw EDatabaseError("negative");
    };
    int changes = 0;
    f->OnChange = [&](TField*) { ++changes; };
    ds->Edit();
    f->SetAsInteger(5);
    EXPECT_THROW(f->SetAsInteger(-1), EDatabaseError);
    EXPECT_EQ(f->AsInteger(), 5);
    EXPECT_EQ(seen, (std::vector<std::string>{"5", "-1"}));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(ds->Modified());
    ds->Cancel();
    EXPECT_TRUE(f->IsNull());
}

TEST(FieldTest, TextEventsAndVariants) {
    auto ds = TypedDataSet();
    ds->Open();
    ds->Edit();
    TField* f = ds->FieldByName("I");
    f->OnGetText = [](TField* sender, std::string& text, bool display) {
        text = (display ? "#" : "") + sender->AsString();
    };
    f->OnSetText = [](TField* sender, const std::string& text) { sender->SetAsInteger(static_cast<int32_t>(text.size())); };
    f->SetText("abcd");
    EXPECT_EQ(f->AsInteger(), 4);
    EXPECT_EQ(f->DisplayText(), "#4");
    EXPECT_EQ(f->Text(), "4");
    f->SetAsVariant(Variant(int64_t{9}));
    EXPECT_EQ(f->AsInteger(), 9);
    f->SetAsVariant(Variant::Null());
    EXPECT_TRUE(f->IsNull());
    ds->FieldByName("S")->SetAsVariant(Variant(std::string("v")));
    EXPECT_EQ(ds->GetFieldValue("S").IsNull(), false);
    ds->Cancel();
}

TEST(FieldTest, FieldAndIndexDefinitions) {
    TFieldDefs defs(nullptr);
    defs.Add("Id", ftAutoInc, 0, false);
    defs.Add("Name", ftString, 30, true);
    EXPECT_THROW(defs.Add("NAME", ftString, 1), EDatabaseError);
    EXPECT_EQ(defs.IndexOf("name"), 1);
    EXPECT_EQ(defs.Find("NAME")->FieldNo(), 2);
    EXPECT_TRUE(defs.Find("name")->Required());
    EXPECT_THROW(defs.Find("missing"), EDatabaseError);

    TIndexDefs indexes;
    indexes.Add("PRIMARY", "Id", {ixPrimary, ixUnique});
    indexes.Add("ByName", "Name;Id", {});
    EXPECT_EQ(indexes.IndexOf("byname"), 1);
    EXPECT_TRUE(indexes.Find("primary")->Options().Contains(ixPrimary));
    EXPECT_EQ(indexes.FindIndexForFields("name;id"), indexes[1]);
    EXPECT_THROW(indexes.Find("none"), EDatabaseError);
    TIndexDefs copy;
    copy.Assign(&indexes);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy[1]->Fields(), "Name;Id");
}

TEST(FieldTest, DefaultFieldsFollowTheDefinitions) {
    auto ds = TypedDataSet();
    ds->Open();
    EXPECT_TRUE(ds->DefaultFields());
    ASSERT_EQ(ds->FieldCount(), 11);
    EXPECT_EQ(ds->FieldByName("s")->FieldNo(), 1);
    EXPECT_EQ(ds->FieldByName("S")->Size(), 5);
    EXPECT_NE(dynamic_cast<TMemoField*>(ds->FieldByName("M")), nullptr);
    EXPECT_NE(dynamic_cast<TSmallintField*>(ds->FieldByName("SM")), nullptr);
    EXPECT_THROW(ds->FieldByName("nope"), EDatabaseError);
    std::vector<TField*> list;
    ds->GetFieldList(list, "I; L");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1]->FieldName(), "L");
    ds->Close();
    EXPECT_EQ(ds->FieldCount(), 0) << "default fields go with the cursor";
    // A persistent field of the wrong type does not bind.
    auto* wrong = OwnedComponent<TStringField>(*ds);
    wrong->SetFieldName("I");
    wrong->SetDataSet(ds.get());
    EXPECT_THROW(ds->Open(), EDatabaseError);
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->allocated, 0);
}

}  // namespace
}  // namespace velmysql::test
