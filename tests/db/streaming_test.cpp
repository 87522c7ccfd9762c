// Data-access components in text forms: fields, data sources, field definitions and
// parameters written and read back, and a stored Active or Connected applied in Loaded.

#include <gtest/gtest.h>

#include "db_fixture.h"
#include "velmysql/db/custom_connection.h"
#include "velmysql/db/db_register.h"
#include "velmysql/db/params.h"
#include "velmysql/rtl/formstream.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql::test {
namespace {

// A dataset class a form can create: two fixed columns and the framework's Active.
class FormDataSet : public MemoryDataSet {
public:
    explicit FormDataSet(TComponent* owner)
        : MemoryDataSet(owner, {{"ID", ftInteger}, {"NAME", ftString, 10}}) {
        AddRow({Native<int32_t>(1), Text("one")});
    }
    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info =
            TClassBuilder<FormDataSet>("TFormDataSet", &TDataSet::ClassInfo())
                .Boolean("Active", &FormDataSet::Active, &FormDataSet::SetActive, false)
                .Collection("Params", [](FormDataSet& d) { return &d.params; })
                .Build();
        return info;
    }
    TParams params{this};
};

class FormConnection : public TCustomConnection {
public:
    explicit FormConnection(TComponent* owner) : TCustomConnection(owner) {}
    bool GetConnected() override { return connected; }
    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info =
            TClassBuilder<FormConnection>("TFormConnection", &TCustomConnection::ClassInfo())
                .Boolean("Connected", [](const FormConnection& c) { return c.connected; }, &FormConnection::SetConnected, false)
                .Boolean("LoginPrompt", &FormConnection::LoginPrompt, &FormConnection::SetLoginPrompt, false)
                .Build();
        return info;
    }
    bool connected = false;
    int connects = 0;

protected:
    void DoConnect() override {
        ++connects;
        connected = true;
    }
    void DoDisconnect() override { connected = false; }
};

class Form : public TComponent {
public:
    explicit Form(TComponent* owner) : TComponent(owner) {}
    static const TClassInfo& ClassInfo() {
        static const TClassInfo& info = TClassBuilder<Form>("TTestForm", &TComponent::ClassInfo()).Build();
        return info;
    }
};

TEST(StreamingTest, FormRoundTrip) {
    RegisterDataAccessClasses();
    RegisterClass<FormDataSet>();
    RegisterClass<FormConnection>();
    RegisterClass<Form>();

    Form form(nullptr);
    form.SetName("Form1");
    auto* items = OwnedComponent<FormDataSet>(form);
    items->SetName("Items");
    items->params.CreateParam(ftInteger, "Limit", ptInput)->SetAsInteger(25);
    auto* id = OwnedComponent<TIntegerField>(form);
    id->SetName("ItemsID");
    id->SetFieldName("ID");
    id->SetDataSet(items);
    auto* source = OwnedComponent<TDataSource>(form);
    source->SetName("ItemsSource");
    source->SetDataSet(items);
    source->SetAutoEdit(false);
    auto* conn = OwnedComponent<FormConnection>(form);
    conn->SetName("Conn");
    conn->Open();
    items->Open();

    const std::string text = WriteComponentText(form);
    for (const char* expected : {"object Items: TFormDataSet", "Active = True", "object ItemsID: TIntegerField",
                                 "DataSet = Items", "FieldName = 'ID'", "AutoEdit = False", "Connected = True",
                                 "Name = 'Limit'", "DataType = ftInteger", "ParamType = ptInput", "Value = '25'"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;

    std::unique_ptr<TComponent> copy = ReadComponentText(text);
    auto* items2 = dynamic_cast<FormDataSet*>(copy->FindComponent("Items"));
    auto* id2 = dynamic_cast<TIntegerField*>(copy->FindComponent("ItemsID"));
    auto* source2 = dynamic_cast<TDataSource*>(copy->FindComponent("ItemsSource"));
    auto* conn2 = dynamic_cast<FormConnection*>(copy->FindComponent("Conn"));
    ASSERT_TRUE(items2 && id2 && source2 && conn2);
    // The stored Active and Connected take effect once the whole form is read.
    EXPECT_TRUE(items2->Active());
    EXPECT_TRUE(conn2->Connected());
    EXPECT_EQ(conn2->connects, 1);
    EXPECT_EQ(id2->DataSet(), items2);
    EXPECT_EQ(items2->FieldCount(), 1) << "persistent fields only";
    EXPECT_EQ(id2->AsInteger(), 1);
    EXPECT_EQ(source2->DataSet(), items2);
    EXPECT_FALSE(source2->AutoEdit());
    EXPECT_EQ(source2->State(), dsBrowse);
    ASSERT_EQ(items2->params.Count(), 1);
    EXPECT_EQ(items2->params[0]->DataType(), ftInteger);
    EXPECT_EQ(items2->params[0]->AsInteger(), 25);
}

TEST(StreamingTest, FieldDefinitionsAsCollection) {
    TFieldDefs defs(nullptr);
    defs.Add("A", ftString, 12, true);
    defs.Add("B", ftLargeint);
    const TClassInfo& info = ClassInfoOf(*defs.Items(0));
    EXPECT_EQ(info.Name(), "TFieldDef");
    ASSERT_NE(info.FindProperty("DataType"), nullptr);
    EXPECT_EQ(info.FindProperty("DataType")->GetOrd(*defs.Items(1)), static_cast<int64_t>(ftLargeint));
    TFieldDefs copy(nullptr);
    copy.Assign(&defs);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy[0]->Size(), 12);
    EXPECT_TRUE(copy[0]->Required());
    EXPECT_EQ(copy[1]->FieldNo(), 2);
}

}  // namespace
}  // namespace velmysql::test
