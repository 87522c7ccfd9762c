// Templates without a server: the default texts and what a form stores of them, the
// delimiters, discovery of placeholders, expansion of macros and parameters, the
// master/filter condition put into a select, and the literals of every macro type.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/formstream.h"

namespace velmysql::test {
namespace {

std::vector<std::string> MacroNames(TMySQLDatasetBase& ds) {
    std::vector<std::string> names;
    for (int i = 0; i < ds.GetMacroCount(); ++i) names.push_back(ds.Macros().Items(i)->Name());
    return names;
}

// The text a form stores of one dataset.
std::string FormOf(TMySQLDatasetBase& ds) {
    ds.SetName("DS");
    return WriteComponentText(ds);
}

TEST(TemplatesTest, NewDatasetHasTheDefaultTemplatesAndTheirPlaceholders) {
    TMySQLDataset ds(nullptr);
    EXPECT_EQ(ds.SQL().Text(), "select [$FIELDS] from [$TABLENAME] [JOIN] [WHERE] [GROUPBY] [ORDER] [LIMIT]\r\n");
    EXPECT_EQ(ds.SQLUpdate().Text(), "update [$TABLENAME] set [$MODIFIED$FIELDS&VALUES] where [$PRIMARYFIELDS&VALUES]\r\n");
    EXPECT_EQ(ds.SQLInsert().Text(), "insert into [$TABLENAME] set [$MODIFIED$FIELDS&VALUES]\r\n");
    EXPECT_EQ(ds.SQLDelete().Text(), "delete from [$TABLENAME] where [$PRIMARYFIELDS&VALUES]\r\n");
    EXPECT_EQ(ds.SQLBatch().Count(), 0);
    EXPECT_EQ(ds.GetMacroString(), "[,]");
    EXPECT_EQ(MacroNames(ds), (std::vector<std::string>{"$FIELDS", "$TABLENAME", "JOIN", "WHERE", "GROUPBY", "ORDER",
                                                        "LIMIT", "$MODIFIED$FIELDS&VALUES", "$PRIMARYFIELDS&VALUES"}));
    for (int i = 0; i < ds.GetMacroCount(); ++i) EXPECT_TRUE(ds.Macros().Items(i)->IsNull());

    // Defaults are not stored, under any delimiters.
    std::string form = FormOf(ds);
    for (const char* prop : {"SQL ", "SQL.Strings", "SQLUpdate", "SQLInsert", "SQLDelete", "SQLBatch", "MacroDel"})
        EXPECT_EQ(form.find(prop), std::string::npos) << prop << " in\n" << form;
    ds.SetMacroString("<,>");
    EXPECT_EQ(ds.SQL().Text(), "select <$FIELDS> from <$TABLENAME> <JOIN> <WHERE> <GROUPBY> <ORDER> <LIMIT>\r\n");
    EXPECT_EQ(ds.SQLDelete().Text(), "delete from <$TABLENAME> where <$PRIMARYFIELDS&VALUES>\r\n");
    form = FormOf(ds);
    EXPECT_EQ(form.find("SQL.Strings"), std::string::npos) << form;
    EXPECT_NE(form.find("MacroDel = '<,>'"), std::string::npos) << form;
}

TEST(TemplatesTest, ChangedTemplatesAreStoredAndReadBack) {
    TMySQLQuery q(nullptr);
    q.SQL().SetText("select * from t where a=[A]");
    q.SetMacroString("{,}");
    q.SQLBatch().SetText("delete from log");
    EXPECT_EQ(q.SQL().Text(), "select * from t where a={A}\r\n");
    const std::string form = FormOf(q);
    EXPECT_NE(form.find("ParamDelimiters = '{,}'"), std::string::npos) << form;
    EXPECT_NE(form.find("SQL.Strings"), std::string::npos) << form;
    EXPECT_EQ(form.find("SQLUpdate"), std::string::npos) << form;  // the default under {,}

    std::unique_ptr<TComponent> read = ReadComponentText(form);
    auto* copy = dynamic_cast<TMySQLQuery*>(read.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetMacroString(), "{,}");
    EXPECT_EQ(copy->SQL().Text(), "select * from t where a={A}\r\n");
    EXPECT_EQ(copy->SQLUpdate().Text(), "update {$TABLENAME} set {$MODIFIED$FIELDS&VALUES} where {$PRIMARYFIELDS&VALUES}\r\n");
    EXPECT_NE(copy->Macros().FindParam("A"), nullptr);
}

TEST(TemplatesTest, DelimiterTexts) {
    struct Case {
        const char* text;
        const char* open;
        const char* close;
    };
    for (const Case& c : {Case{"{", "{", "]"}, Case{"", "[", "]"}, Case{"<;>", "<", ">"}, Case{"%%,%%", "%%", "%%"}}) {
        TMySQLDataset ds(nullptr);
        ds.SetMacroString("<,>");
        ds.SetMacroString(c.text);
        EXPECT_EQ(ds.MacroOpen(), c.open) << c.text;
        EXPECT_EQ(ds.MacroClose(), c.close) << c.text;
    }
}

TEST(TemplatesTest, DiscoveryFollowsMacroCheck) {
    TMySQLQuery q(nullptr);
    q.SQL().SetText("select * from t where a=[A] and b=:B -- [C] :D\r\nand c='[E] :F' /* [G] */ and d=[A]");
    EXPECT_EQ(MacroNames(q), (std::vector<std::string>{"A", "B", "$TABLENAME", "$MODIFIED$FIELDS&VALUES",
                                                       "$PRIMARYFIELDS&VALUES"}));
    EXPECT_EQ(q.ParamByName("B")->ParamType(), ptInput);
    EXPECT_EQ(q.MacroByName("a")->ParamType(), ptUnknown);  // names ignore case
    EXPECT_THROW(q.MacroByName("C"), Exception);

    // A value survives a rebuild; with the check off, names only accumulate.
    q.MacroByName("A")->SetAsString("5");
    q.SQL().SetText("select [A], [X]");
    EXPECT_EQ(q.MacroByName("A")->AsString(), "5");
    EXPECT_EQ(q.Macros().FindParam("B"), nullptr);
    q.SetParamCheck(false);
    q.SQL().SetText("select [Y]");
    EXPECT_NE(q.Macros().FindParam("A"), nullptr);
    EXPECT_NE(q.Macros().FindParam("Y"), nullptr);
    // A form stores the collection only when it is not rebuilt from the texts.
    EXPECT_NE(FormOf(q).find("Params = <"), std::string::npos) << FormOf(q);

    // Without doMacrosEnabled nothing is discovered or expanded.
    TMySQLQuery off(nullptr);
    off.SetOptions(off.Options() - TMySQLDatasetOptions{doMacrosEnabled});
    off.Macros().Clear();
    off.SQL().SetText("select [Z]");
    EXPECT_EQ(off.GetMacroCount(), 0);
}

TEST(TemplatesTest, ClearMacrosLeavesEmptyStrings) {
    TMySQLQuery q(nullptr);
    q.SQL().SetText("select [A] from t where b=:B");
    q.MacroByName("A")->SetAsInteger(3);
    q.ClearMacros();
    for (const char* name : {"A", "B"}) {
        EXPECT_FALSE(q.MacroByName(name)->IsNull()) << name;
        EXPECT_EQ(q.MacroByName(name)->AsString(), "") << name;
    }
    TParams values;
    TParam* a = values.CreateParam(ftString, "a", ptUnknown);
    a->SetAsString("x");
    q.SetMacros(values);
    EXPECT_EQ(q.MacroByName("A")->AsString(), "x");
}

// Expansion of texts on a dataset without fields and without a server (names and
// strings therefore come out as given: no escaping without a driver).
class ExpandTest : public ::testing::Test {
protected:
    std::string Expand(const std::string& text) { return q.SQLPopulate(text, true, false); }
    TMySQLQuery q{nullptr};
};

TEST_F(ExpandTest, MacrosParametersStringsAndComments) {
    q.SQL().SetText("select * from t where a=[A]and b=:B");
    q.MacroByName("A")->SetAsString("5");
    q.ParamByName("B")->SetAsString("x");
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"select * from t where a=[A]and b=:B", "select * from t where a=5and b='x'"},
        {"[A],[B]", "5,'x'"},
        {"select :P, [M] from t", "select NULL,  from t"},  // unassigned
        {"select '[A] :B' -- [A]\r\nfrom t /* :B */", "select '[A] :B' -- [A] from t /* :B */"},
        {"select\t*\tfrom t", "select*from t"},
        {"select a from t;", "select a from t;"},
        {"] select", " select"},  // a close without an open names nothing
        {"", ""},
    };
    for (const Case& c : cases) {
        q.SQL().SetText(c.text);
        if (q.Macros().FindParam("B") != nullptr) {
            q.Macros().FindParam("B")->SetParamType(ptInput);
            q.Macros().FindParam("B")->SetAsString("x");
        }
        if (q.Macros().FindParam("A") != nullptr) q.Macros().FindParam("A")->SetAsString("5");
        EXPECT_EQ(Expand(c.text), c.expected) << c.text;
    }
}

TEST(TemplatesTest, ChangedDelimitersExpand) {
    struct Case {
        const char* del;
        const char* text;
    };
    for (const Case& c : {Case{"<,>", "select <A> from t\r\n"}, Case{"{", "select {A] from t\r\n"},
                          Case{"%%,%%", "select %%A%% from t\r\n"}}) {
        TMySQLQuery q(nullptr);
        q.SQL().SetText("select [A] from t");
        q.SetMacroString(c.del);
        EXPECT_EQ(q.SQL().Text(), c.text) << c.del;
        ASSERT_NE(q.Macros().FindParam("A"), nullptr) << c.del;
        q.MacroByName("A")->SetAsString("x");
        EXPECT_EQ(q.SQLPopulate(q.SQL().Line(0), true, false), "select x from t") << c.del;
    }
}

TEST_F(ExpandTest, FilterGoesBeforeTheFirstClauseOfASelect) {
    q.SetFilter("a=1");
    q.SetFilteredValue(true);
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"select * from t order by b", "select * from t  where (a=1) order by b"},
        {"select * from t where c=2", "select * from t  where (a=1) and c=2"},
        {"select * from t", "select * from t where (a=1) "},
        {"select * from t;", "select * from t where (a=1) ;"},
        {"select * from t group by c having d limit 2", "select * from t  where (a=1) group by c having d limit 2"},
        {"update t set a=2", "update t set a=2"},
        {"show tables", "show tables"},
        // Only the first clause keyword counts, even inside a subquery.
        {"select * from (select * from u where x) v where y", "select * from (select * from u  where (a=1) and x) v where y"},
    };
    for (const Case& c : cases) EXPECT_EQ(Expand(c.text), c.expected) << c.text;

    // The filter may hold placeholders of its own; the second pass also expands what the
    // first produced.
    q.SetFilter("a=:P");
    q.ParamByName("P")->SetAsString("it's");
    q.Macros().CreateParam(ftString, "W", ptUnknown)->SetAsString("b, [V]");
    q.Macros().CreateParam(ftString, "V", ptUnknown)->SetAsString("7");
    EXPECT_EQ(Expand("select [W] from t"), "select b, 7 from t where (a='it's') ");
    EXPECT_EQ(q.GetMacroValue("$WHERE"), "where (a='it's')");

    q.SetFilteredValue(false);
    EXPECT_EQ(Expand("select * from t order by b"), "select * from t order by b");
    EXPECT_EQ(q.GetMacroValue("$WHERE"), "");
}

TEST_F(ExpandTest, NamePlaceholdersWithoutFields) {
    EXPECT_EQ(q.GetMacroValue("$TABLENAME"), "PleaseSpecifyATableNameProperty");
    EXPECT_EQ(q.GetMacroValue("$TABLENAME", "", "`db`.`t`"), "`db`.`t`");
    q.SetTableName("orders");
    q.SetDatabaseName("shop");
    q.SetFieldName("id;name");
    EXPECT_EQ(q.GetMacroValue("$TABLENAME"), "orders");
    EXPECT_EQ(q.GetMacroValue("$DATABASENAME"), "shop");
    EXPECT_EQ(q.GetMacroValue("$DATABASENAME", "other"), "other");
    EXPECT_EQ(q.GetMacroValue("$FIELDNAME"), "id");
    EXPECT_EQ(q.GetMacroValue("$FIELDS"), "*");
    EXPECT_EQ(q.GetMacroValue("$tablename"), "");  // "$" names compare with case
    EXPECT_EQ(q.GetMacroValue(""), "");
    // No record: the value and key placeholders give nothing.
    EXPECT_EQ(q.GetMacroValue("$MODIFIED$FIELDS&VALUES"), "");
    EXPECT_EQ(q.GetMacroValue("$PRIMARYFIELDS&VALUES"), "");
    EXPECT_EQ(Expand("select [$FIELDS] from [$TABLENAME]"), "select * from orders");
}

TEST_F(ExpandTest, OnMacroAnswersFirst) {
    q.SQL().SetText("select [A]");
    q.MacroByName("A")->SetAsString("from-collection");
    std::vector<std::string> asked;
    q.OnMacro = [&](TMySQLDatasetBase*, const std::string& name, std::string& value, bool& useDefault) {
        asked.push_back(name);
        if (name == "$TABLENAME") {
            value = "handled";
            useDefault = false;
        }
    };
    EXPECT_EQ(Expand("select [A] from [$TABLENAME]"), "select from-collection from handled");
    EXPECT_EQ(asked, (std::vector<std::string>{"A", "$TABLENAME"}));
}

TEST(MacroLiteralTest, EveryDataType) {
    TMySQLQuery q(nullptr);
    TDateTime stamp = EncodeDate(2024, 2, 29) + EncodeTime(7, 5, 9, 0);
    struct Case {
        const char* name;
        std::function<void(TParam&)> set;
        const char* asMacro;
        const char* asParameter;
    } cases[] = {
        {"string", [](TParam& p) { p.SetAsString("it's"); }, "it's", "'it's'"},
        {"integer", [](TParam& p) { p.SetAsInteger(-42); }, "-42", "-42"},
        {"smallint", [](TParam& p) { p.SetAsSmallInt(7); }, "7", "7"},
        // A large integer keeps all its digits (a 32-bit reading would change the value).
        {"largeint", [](TParam& p) { p.SetAsLargeInt(5000000000LL); }, "5000000000", "5000000000"},
        {"boolean", [](TParam& p) { p.SetAsBoolean(true); }, "1", "1"},
        {"false", [](TParam& p) { p.SetAsBoolean(false); }, "0", "0"},
        {"float", [](TParam& p) { p.SetAsFloat(1.5); }, "1.5", "1.5"},
        {"date", [&](TParam& p) { p.SetAsDate(stamp); }, "'2024-02-29'", "'2024-02-29'"},
        {"time", [&](TParam& p) { p.SetAsTime(stamp); }, "'07:05:09'", "'07:05:09'"},
        {"datetime", [&](TParam& p) { p.SetAsDateTime(stamp); }, "'2024-02-29 07:05:09'", "'2024-02-29 07:05:09'"},
        {"memo", [](TParam& p) { p.SetAsMemo("m"); }, "'m'", "'m'"},
        {"blob", [](TParam& p) { p.SetAsBlob(std::string("\x00\xab", 2)); }, "0x00AB", "0x00AB"},
        {"empty blob", [](TParam& p) { p.SetAsBlob(""); }, "NULL", "NULL"},
        {"null", [](TParam& p) { p.Clear(); }, "", "NULL"},
    };
    for (const Case& c : cases) {
        TParam* macro = q.Macros().CreateParam(ftUnknown, "M", ptUnknown);
        TParam* param = q.Macros().CreateParam(ftUnknown, "P", ptInput);
        c.set(*macro);
        c.set(*param);
        EXPECT_EQ(q.GetMacroValue("M"), c.asMacro) << c.name;
        EXPECT_EQ(q.GetMacroValue("P"), c.asParameter) << c.name;
        q.Macros().Clear();
    }
}

TEST(MacroLiteralTest, HexAndQuoting) {
    EXPECT_EQ(TMySQLDatasetBase::HexStr(std::string("\x00\xab", 2)), "0x00AB");
    EXPECT_EQ(TMySQLDatasetBase::HexStr(""), "NULL");
    EXPECT_EQ(TMySQLDatasetBase::QuoteStr("a'b"), "'a'b'");
    TMySQLQuery q(nullptr);
    EXPECT_EQ(q.QEscStr("a'b"), "'a'b'");  // no server, no escaping
    EXPECT_EQ(q.FormatIdentifier("order items"), "order items");
}

}  // namespace
}  // namespace velmysql::test
