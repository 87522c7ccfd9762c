// Expansion against real results on every driver: the default select of a table, the
// select list of persistent fields, key and row conditions (the edit copy, NULL keys,
// tables without a primary key), the modified-column lists, the table restriction in a
// join, and parameters escaped by the driver.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "live_server.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/fields.h"

namespace velmysql::test {
namespace {

class ExpandLiveTest : public LiveDataset {
protected:
    std::unique_ptr<TMySQLQuery> Query(const std::string& sql) {
        auto q = std::make_unique<TMySQLQuery>(nullptr);
        q->SetServer(server.get());
        q->SQL().SetText(sql);
        return q;
    }
    std::string Scalar(const std::string& sql) {
        auto q = Query(sql);
        q->Open();
        return q->Fields()[0]->AsString();
    }
};

TEST_P(ExpandLiveTest, TableOpensThroughTheDefaultSelect) {
    Exec("create table t (id int primary key, name varchar(20))");
    Exec("insert into t values (1,'a'),(2,'b'),(3,'c')");
    TMySQLTable table(nullptr);
    table.SetServer(server.get());
    table.SetTableName("t");
    table.Open();
    EXPECT_EQ(table.RecordCount(), 3);
    EXPECT_EQ(table.LastStatement(), "select * from t     ");
    table.Close();
    // The clause macros are plain text the application sets.
    table.MacroByName("ORDER")->SetAsString("order by id desc");
    table.MacroByName("LIMIT")->SetAsString("limit 2");
    table.Open();
    EXPECT_EQ(table.RecordCount(), 2);
    EXPECT_EQ(table.FieldByName("id")->AsInteger(), 3);
}

TEST_P(ExpandLiveTest, PersistentFieldsAreTheSelectList) {
    Exec("create table t (a int, b varchar(5), c int)");
    Exec("insert into t values (1,'x',9)");
    auto q = Query("select [$FIELDS] from t");
    for (const char* name : {"a", "b"}) {
        TField* field = name[0] == 'a' ? static_cast<TField*>(new TIntegerField(q.get())) : new TStringField(q.get());
        field->SetFieldName(name);
        if (name[0] == 'b') field->SetSize(5);
        field->SetDataSet(q.get());
    }
    q->Open();
    EXPECT_EQ(q->LastStatement(), "select a,b from t");
    EXPECT_EQ(q->FieldByName("b")->AsString(), "x");
}

TEST_P(ExpandLiveTest, KeyConditionComparesTheValueBeforeTheEdit) {
    Exec("create table k (id int primary key, name varchar(20), price double, note text)");
    Exec("insert into k values (5,'five',1.5,'n')");
    auto q = Query("select * from k");
    q->SetTableName("k");
    q->Open();
    q->Edit();
    q->FieldByName("id")->SetAsInteger(6);
    q->FieldByName("name")->SetAsString("it's");
    EXPECT_EQ(q->GetMacroValue("$PRIMARYFIELDS&VALUES"), "(id=5)");
    EXPECT_EQ(q->GetMacroValue("$OLD$ID"), "5");
    EXPECT_EQ(q->GetMacroValue("id"), "6");
    EXPECT_EQ(q->GetMacroValue("$MODIFIED$FIELD$NAMES"), "id,name");
    EXPECT_EQ(q->GetMacroValue("$UNMODIFIED$FIELD$NAMES"), "price,note");
    EXPECT_EQ(q->GetMacroValue("$MODIFIED$FIELD$VALUES"), "6,'it\\'s'");
    EXPECT_EQ(q->GetMacroValue("$UNMODIFIED$FIELDS&VALUES"), "price='1.5',note=0x6E");
    const std::string update = q->SQLPopulate(q->SQLUpdate().Line(0), true, false);
    EXPECT_EQ(update, "update k set id=6,name='it\\'s' where (id=5)");
    // The statement does what it says on the server.
    server->ExecSQL(update);
    EXPECT_EQ(Scalar("select name from k where id=6"), "it's");

    // A read-only field is never written.
    q->FieldByName("name")->SetReadOnly(true);
    EXPECT_EQ(q->GetMacroValue("$MODIFIED$FIELDS&VALUES"), "id=6");
    q->Cancel();
    EXPECT_EQ(q->GetMacroValue("$PRIMARYFIELDS&VALUES"), "(id=5)");
    EXPECT_EQ(q->GetMacroValue("$FIELDNAMES&VALUES"),
              "PleaseMakeSureYourTableHasAPrimaryKeyWhichIsPartOfTheSelectORSpecifyTheFieldNamePropertyForTheDataset");
}

TEST_P(ExpandLiveTest, RowConditionWithoutKeyNamesTheRowEvenWithNulls) {
    Exec("create table np (a int, f double, m text, b blob, c varchar(5), e blob)");
    Exec("insert into np values (1, 1.5, 'm', 'b', NULL, ''), (1, 1.5, 'm', 'b', 'x', '')");
    auto q = Query("select * from np order by c");
    q->Open();  // the row with c NULL sorts first
    ASSERT_TRUE(q->FieldByName("c")->IsNull());
    // Float, blob and memo columns cannot name a row; a NULL compares with IS NULL, so the
    // condition matches the row it was made from.
    const std::string key = q->GetMacroValue("$PRIMARYFIELDS&VALUES");
    EXPECT_EQ(key, "(a=1) AND (c IS NULL)");
    EXPECT_EQ(Scalar("select count(*) from np where " + key), "1");
    const std::string old = q->GetMacroValue("$OLD$FIELDS&VALUES");
    EXPECT_EQ(old, "(a=1) AND (f='1.5') AND (m=0x6D) AND (b=0x62) AND (c IS NULL) AND (e='')");
    EXPECT_EQ(Scalar("select count(*) from np where " + old), "1");
    // An empty blob is written as NULL, never as a bare 0x.
    EXPECT_EQ(q->QEscFieldValue(q->FieldByName("e"), nullptr), "NULL");

    // FieldName names the key instead; a NULL there still finds its row.
    q->SetFieldName("c;a");
    EXPECT_EQ(q->GetMacroValue("$PRIMARYFIELDS&VALUES"), "(c IS NULL) AND (a=1)");
    EXPECT_EQ(q->GetMacroValue("$FIELDNAMES&VALUES$COMMA"), "c=NULL,a=1");
    server->ExecSQL("delete from np where " + q->GetMacroValue("$FIELDNAMES&VALUES"));
    EXPECT_EQ(Scalar("select count(*) from np"), "1");
    EXPECT_EQ(Scalar("select c from np"), "x");
}

TEST_P(ExpandLiveTest, TableRestrictionTakesOnlyThatTablesColumns) {
    Exec("create table a (id int primary key, v int)");
    Exec("create table ba (id int primary key, w int)");
    Exec("insert into a values (1, 10)");
    Exec("insert into ba values (1, 20)");
    auto q = Query("select a.id, a.v, ba.id as bid, ba.w from a join ba on ba.id = a.id");
    q->Open();
    q->Edit();
    q->FieldByName("v")->SetAsInteger(11);
    q->FieldByName("w")->SetAsInteger(21);
    const std::string tableA = q->TableInfos().at("a").QuotedName;
    const std::string tableBA = q->TableInfos().at("ba").QuotedName;
    EXPECT_EQ(q->GetMacroValue("$MODIFIED$FIELDS&VALUES", "", tableA), tableA + ".v=11");
    EXPECT_EQ(q->GetMacroValue("$MODIFIED$FIELDS&VALUES", "", tableBA), tableBA + ".w=21");
    EXPECT_EQ(q->GetMacroValue("$PRIMARYFIELDS&VALUES", "", tableA), "(" + tableA + ".id=1)");
    EXPECT_EQ(q->GetMacroValue("$TABLENAME", "", tableBA), tableBA);
    // A named value of another table's column resolves to nothing.
    EXPECT_EQ(q->GetMacroValue("w", "", tableA), "");
    EXPECT_EQ(q->GetMacroValue("v", "", tableA), "11");
    q->Cancel();
}

TEST_P(ExpandLiveTest, KeyListsAndNamesFormattedOnce) {
    Exec("create table `order items` (id int primary key, code varchar(5) unique, grp int, `select` int, "
         "key (grp))");
    Exec("insert into `order items` values (1, 'A', 7, 3)");
    auto q = Query("select * from `order items`");
    q->SetFieldName("grp");
    q->Open();
    EXPECT_EQ(q->GetMacroValue("$UNIQUEFIELDS&VALUES"), "(code='A')");
    EXPECT_EQ(q->GetMacroValue("$MULTIFIELDS&VALUES"), "(grp=7)");
    EXPECT_EQ(q->GetMacroValue("$FIELDNAME$VALUE"), "7");
    EXPECT_EQ(q->GetMacroValue("$UNMODIFIED$FIELD$VALUES"), "1,'A',7,3");
    // Names that arrive quoted stand in the statement quoted once.
    EXPECT_EQ(q->GetMacroValue("$TABLENAME"), "`order items`");
    EXPECT_EQ(q->GetMacroValue("$UNMODIFIED$FIELD$NAMES"), "id,code,grp,`select`");
    server->ExecSQL(q->SQLPopulate("delete from [$TABLENAME] where [$UNIQUEFIELDS&VALUES]", true, false));
    EXPECT_EQ(Scalar("select count(*) from `order items`"), "0");
}

TEST_P(ExpandLiveTest, ParametersAreEscapedByTheDriver) {
    const std::string nasty = "it's \\ \"q\" -- ; [x] :y";
    auto q = Query("select :P as v, [M] as w");
    q->ParamByName("P")->SetAsString(nasty);
    q->MacroByName("M")->SetAsInteger(42);
    q->Open();
    EXPECT_EQ(q->FieldByName("v")->AsString(), nasty);
    EXPECT_EQ(q->FieldByName("w")->AsInteger(), 42);
    // Unassigned parameters are NULL.
    auto n = Query("select :Q as v");
    n->Open();
    EXPECT_TRUE(n->FieldByName("v")->IsNull());
}

TEST_P(ExpandLiveTest, CalculatedFieldRendersItsCurrentValue) {
    Exec("create table t (id int primary key)");
    Exec("insert into t values (4)");
    auto q = Query("select * from t");
    auto* id = new TIntegerField(q.get());
    id->SetFieldName("id");
    id->SetDataSet(q.get());
    auto* twice = new TIntegerField(q.get());
    twice->SetFieldName("twice");
    twice->SetFieldKind(fkCalculated);
    twice->SetDataSet(q.get());
    q->OnCalcFields = [](TDataSet* ds) { ds->FieldByName("twice")->SetAsInteger(ds->FieldByName("id")->AsInteger() * 2); };
    q->Open();
    EXPECT_EQ(q->GetMacroValue("twice"), "8");
    EXPECT_EQ(q->SQLPopulate("select [twice]", true, false), "select 8");
}

VEL_DATASET_DRIVERS(ExpandLiveTest);

}  // namespace
}  // namespace velmysql::test
