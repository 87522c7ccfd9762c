// Table creation: the script built from field and index definitions (the type of every
// field kind, the key lines, temporary tables, drop first, where the database name comes
// from, quoting), and on every driver: the script run by CreateTable and by an open with
// doAutoCreate, a table opened after creating it, a failing script, and the server's
// database script with the tables of its auto-create datasets.

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "live_server.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/fields.h"
#include "velmysql/drivers/mysql_error.h"

namespace velmysql::test {
namespace {

std::vector<std::string> LinesOf(const std::string& script) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < script.size()) {
        const std::size_t end = script.find("\r\n", at);
        EXPECT_NE(end, std::string::npos) << "every line ends with CR LF: " << script;
        if (end == std::string::npos) break;
        lines.push_back(script.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// A table "t" in the database "d", without a server.
void Describe(TMySQLDatasetBase& ds) {
    ds.SetDatabaseName("d");
    ds.SetTableName("t");
}

struct TypeCase {
    TFieldType type;
    int size;
    int precision;
    bool required;
    bool fixed;
    const char* line;
};

// The column lines of every field kind and the size limits between the text and blob
// types.
const TypeCase kTypeCases[] = {
    {ftString, 20, 0, true, false, " varchar(20) not null,"},
    {ftString, 255, 0, false, false, " varchar(255) ,"},
    {ftString, 256, 0, false, false, " text ,"},
    {ftString, 65535, 0, false, false, " text ,"},
    {ftString, 65536, 0, false, false, " mediumtext ,"},
    {ftString, 16777215, 0, true, false, " mediumtext not null,"},
    {ftString, 16777216, 0, false, false, " longtext ,"},
    {ftString, 10, 0, false, true, " char(10) ,"},
    {ftString, 300, 0, false, true, " text ,"},
    {ftFixedChar, 10, 0, true, false, " char(10) not null,"},
    {ftFixedChar, 256, 0, false, false, " text ,"},
    {ftUnknown, 5, 0, false, false, " varchar(5) ,"},
    {ftMemo, 70000, 0, false, false, " mediumtext ,"},
    {ftFmtMemo, 100, 0, false, false, " varchar(100) ,"},
    {ftWideString, 40, 0, true, false, " varchar(40) not null,"},
    {ftVariant, 300, 0, false, false, " text ,"},
    {ftSmallint, 0, 0, false, false, " smallint ,"},
    {ftInteger, 0, 0, true, false, " int not null,"},
    {ftWord, 0, 0, false, false, " int ,"},
    {ftBoolean, 0, 0, false, false, " tinyint(1) ,"},
    {ftFloat, 0, 0, true, false, " float not null,"},
    {ftCurrency, 2, 10, false, false, " decimal(10,2) ,"},
    {ftDate, 0, 0, false, false, " date ,"},
    {ftTime, 0, 0, true, false, " time not null,"},
    {ftDateTime, 0, 0, false, false, " datetime ,"},
    {ftBytes, 16, 0, false, false, " tinyblob ,"},
    {ftVarBytes, 255, 0, false, false, " tinyblob ,"},
    {ftBlob, 0, 0, false, false, " tinyblob ,"},
    {ftBlob, 256, 0, true, false, " blob not null,"},
    {ftGraphic, 65536, 0, false, false, " mediumblob ,"},
    {ftBlob, 16777216, 0, false, false, " longblob ,"},
    {ftAutoInc, 0, 0, false, false, " int not null auto_increment,"},
    {ftAutoInc, 0, 0, true, false, " int not null auto_increment,"},
    {ftLargeint, 0, 0, false, false, " bigint ,"},
    {ftTimeStamp, 0, 0, true, false, " timestamp not null,"},
    {ftBCD, 10, 4, false, false, " varchar(255) ,"},
    {ftGuid, 38, 0, true, false, " varchar(255) not null,"},
    {ftWideMemo, 10, 0, false, false, " varchar(255) ,"},
};

void AddField(TMySQLDatasetBase& ds, const std::string& name, const TypeCase& c) {
    TFieldDef* def = ds.FieldDefs().AddFieldDef();
    def->SetName(name);
    def->SetDataType(c.type);
    def->SetSize(c.size);
    def->SetPrecision(c.precision);
    TFieldAttributes attributes;
    if (c.required) attributes.Include(faRequired);
    if (c.fixed) attributes.Include(faFixed);
    def->SetAttributes(attributes);
}

TEST(CreateTableScript, EveryFieldKindHasItsColumnLine) {
    for (const TypeCase& c : kTypeCases) {
        TMySQLTable ds(nullptr);
        Describe(ds);
        AddField(ds, "f", c);
        ds.FieldDefs().Add("z", ftInteger);
        const std::vector<std::string> lines = LinesOf(ds.CreateTable(false));
        SCOPED_TRACE(std::string(FieldTypeName(c.type)) + " size " + std::to_string(c.size));
        ASSERT_EQ(lines.size(), 7u);
        EXPECT_EQ(lines[2], "f");
        EXPECT_EQ(lines[3], c.line);
    }
}

TEST(CreateTableScript, TheExampleTable) {
    TMySQLTable ds(nullptr);
    Describe(ds);
    ds.FieldDefs().Add("a", ftString, 20, true);
    ds.FieldDefs().Add("b", ftInteger);
    ds.IndexDefs().Add("", "a", TIndexOptions{ixPrimary});
    EXPECT_EQ(ds.CreateTable(false),
              "use d;\r\ncreate  table if not exists t (\r\na\r\n varchar(20) not null,\r\nb\r\n int ,\r\n"
              " primary key (\r\na)\r\n);\r\n");
}

TEST(CreateTableScript, WithoutKeysTheLastColumnLineLosesItsComma) {
    TMySQLTable ds(nullptr);
    Describe(ds);
    ds.FieldDefs().Add("id", ftAutoInc);
    EXPECT_EQ(ds.CreateTable(false), "use d;\r\ncreate  table if not exists t (\r\nid\r\n int not null auto_increment\r\n);\r\n");
}

TEST(CreateTableScript, KeyLines) {
    TMySQLTable ds(nullptr);
    Describe(ds);
    ds.FieldDefs().Add("a", ftInteger, 0, true);
    ds.FieldDefs().Add("b", ftInteger, 0, true);
    ds.FieldDefs().Add("order date", ftDateTime);
    // Primary wins over unique; a unique and a plain index carry their names; the fields
    // are separated by ";" or ",", blanks around a name are not part of it, a blank inside
    // one is.
    ds.IndexDefs().Add("PRIMARY", "a;b", TIndexOptions{ixPrimary, ixUnique});
    ds.IndexDefs().Add("one b", "b", TIndexOptions{ixUnique});
    ds.IndexDefs().Add("by date", "order date; a ,b", TIndexOptions{ixDescending});
    const std::vector<std::string> lines = LinesOf(ds.CreateTable(false));
    const std::vector<std::string> keys(lines.begin() + 8, lines.end());
    EXPECT_EQ(keys, (std::vector<std::string>{" primary key (", "a,b),", " unique index `one b` (", "b),",
                                              " index `by date` (", "`order date`,a,b)", ");"}));
    EXPECT_EQ(lines[7], " datetime ,") << "the last column line keeps its comma before the keys";
}

TEST(CreateTableScript, WithoutFieldDefinitionsTheTableGetsAnIdKey) {
    TMySQLTable ds(nullptr);
    Describe(ds);
    // Index definitions do not count without field definitions.
    ds.IndexDefs().Add("by x", "x", TIndexOptions{});
    EXPECT_EQ(ds.CreateTable(false),
              "use d;\r\ncreate  table if not exists t (\r\nID int not null auto_increment,primary key (ID)\r\n);\r\n");
}

TEST(CreateTableScript, TemporaryAndDropFirst) {
    struct Case {
        TMySQLDatasetOptions extra;
        std::vector<std::string> head;
    };
    const Case cases[] = {
        {{}, {"use d;", "create  table if not exists t ("}},
        {{doCreateTemp}, {"use d;", "create temporary table if not exists t ("}},
        {{doDropIfExists}, {"use d;", "drop table if exists t;", "create  table if not exists t ("}},
        {{doDropIfExists, doCreateTemp},
         {"use d;", "drop table if exists t;", "create temporary table if not exists t ("}},
    };
    for (const Case& c : cases) {
        TMySQLTable ds(nullptr);
        Describe(ds);
        ds.SetOptions(ds.Options() + c.extra);
        std::vector<std::string> lines = LinesOf(ds.CreateTable(false));
        ASSERT_GE(lines.size(), c.head.size() + 2);
        lines.resize(c.head.size());
        EXPECT_EQ(lines, c.head);
    }
}

TEST(CreateTableScript, WhereTheDatabaseNameComesFrom) {
    struct Case {
        const char* dataset;
        const char* server;  // null: no server
        const char* table;
        const char* first;   // the first line; null: the empty script
    };
    const Case cases[] = {
        {"d", nullptr, "t", "use d;"},
        {"", nullptr, "t", nullptr},
        {"", "shop", "t", "use shop;"},
        {"my db", "shop", "t", "use `my db`;"},
        {"", "my shop", "t", "use `my shop`;"},
        {"", "", "t", nullptr},
        {"d", "shop", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.dataset) + "/" + (c.server ? c.server : "no server") + "/" + c.table);
        TMySQLServer server(nullptr);
        server.SetDatabaseName(c.server != nullptr ? c.server : "");
        TMySQLTable ds(nullptr);
        if (c.server != nullptr) ds.SetServer(&server);
        ds.SetDatabaseName(c.dataset);
        ds.SetTableName(c.table);
        const std::string script = ds.CreateTable(false);
        if (c.first == nullptr) {
            EXPECT_EQ(script, "");
            // Nothing to run: no connection is asked for (the server is not connected).
            EXPECT_EQ(ds.CreateTable(true), "");
            EXPECT_FALSE(server.Connected());
        } else {
            ASSERT_FALSE(LinesOf(script).empty());
            EXPECT_EQ(LinesOf(script).front(), c.first);
        }
        // The server's seam answers the same script.
        EXPECT_EQ(ds.TableCreationScript(), script);
    }
}

TEST(CreateTableScript, NamesAreQuotedAlsoWithoutAServer) {
    TMySQLTable ds(nullptr);
    ds.SetDatabaseName("my`db");
    ds.SetTableName("order items");
    ds.FieldDefs().Add("select", ftInteger);
    ds.FieldDefs().Add("unit price", ftCurrency);
    ds.IndexDefs().Add("by`price", "unit price;select", TIndexOptions{});
    ds.SetOptions(ds.Options() + TMySQLDatasetOptions{doDropIfExists});
    EXPECT_EQ(ds.CreateTable(false),
              "use `my``db`;\r\ndrop table if exists `order items`;\r\ncreate  table if not exists `order items` (\r\n"
              "`select`\r\n int ,\r\n`unit price`\r\n decimal(0,0) ,\r\n index `by``price` (\r\n`unit price`,`select`)\r\n"
              ");\r\n");
}

TEST(CreateTableScript, RunningNeedsAServer) {
    TMySQLTable ds(nullptr);
    Describe(ds);
    EXPECT_THROW(ds.CreateTable(true), EMySQLError);
}

// ---------------------------------------------------------------- on the live server

class CreateTableLive : public LiveDataset {
protected:
    std::unique_ptr<TMySQLTable> Table(const std::string& name, TMySQLDatasetOptions extra = {}) {
        auto t = std::make_unique<TMySQLTable>(nullptr);
        t->SetServer(server.get());
        t->SetTableName(name);
        t->SetOptions(t->Options() + extra);
        return t;
    }
    // "show columns" of a table: name, type, null, key, default, extra per column.
    std::vector<std::vector<std::string>> Columns(const std::string& table) {
        TMySQLQuery q(nullptr);
        q.SetServer(server.get());
        q.SQL().SetText("show columns from " + server->FormatIdentifier(table));
        q.Open();
        std::vector<std::vector<std::string>> rows;
        for (q.First(); !q.Eof(); q.Next()) {
            std::vector<std::string> row;
            for (int i = 0; i < q.FieldCount(); ++i) row.push_back(q.Fields()[i]->AsString());
            rows.push_back(row);
        }
        return rows;
    }
    std::vector<std::string> Tables() {
        TStringList list;
        server->GetTableNames(server->DatabaseName(), list);
        std::vector<std::string> names;
        for (int i = 0; i < list.Count(); ++i) names.push_back(list.Line(i));
        return names;
    }
};

TEST_P(CreateTableLive, EveryFieldKindMakesItsColumn) {
    auto t = Table("kinds");
    int n = 0;
    for (const TypeCase& c : kTypeCases) AddField(*t, "c" + std::to_string(n++), c);
    // A table has one auto-increment column, and it is a key: the second becomes an int.
    int autoInc = 0;
    for (int i = 0; i < t->FieldDefs().Count(); ++i) {
        TFieldDef* def = t->FieldDefs()[i];
        if (def->DataType() != ftAutoInc) continue;
        if (autoInc++ > 0) def->SetDataType(ftInteger);
        else t->IndexDefs().Add("", def->Name(), TIndexOptions{ixPrimary});
    }
    std::vector<std::string> sent;
    t->OnExecSQL = [&sent](TMySQLDatasetBase*, std::string& sql, bool&) { sent.push_back(sql); };
    const std::string script = t->CreateTable(true);
    ASSERT_EQ(sent.size(), 2u) << "the use and the create statement";
    EXPECT_EQ(sent[0], "use " + server->FormatIdentifier(server->DatabaseName()) + ";");
    EXPECT_EQ(t->LastStatement(), sent[1]);
    EXPECT_EQ(LinesOf(script).front(), sent[0]);

    const auto columns = Columns("kinds");
    ASSERT_EQ(columns.size(), std::size(kTypeCases));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const TFieldDef* def = t->FieldDefs()[static_cast<int>(i)];
        // The type as the server writes it back: the script's type word (a display width
        // may follow, e.g. int(11)).
        std::string line = LinesOf(script)[3 + 2 * i];
        std::string expected = line.substr(1, line.find(' ', 1) - 1);
        SCOPED_TRACE(columns[i][0] + " " + line);
        EXPECT_EQ(columns[i][0], def->Name());
        const std::string& type = columns[i][1];
        if (expected == "int" || expected == "smallint" || expected == "bigint")
            EXPECT_EQ(type.substr(0, expected.size()), expected);
        else
            EXPECT_EQ(type, expected);
        const bool notNull = def->Required() || def->DataType() == ftAutoInc;
        EXPECT_EQ(columns[i][2], notNull ? "NO" : "YES");
        EXPECT_EQ(columns[i][5].find("auto_increment") != std::string::npos, def->DataType() == ftAutoInc);
    }
}

TEST_P(CreateTableLive, AutoCreateOnOpenMakesTheTableAndOpensIt) {
    auto t = Table("items", {doAutoCreate});
    t->FieldDefs().Add("id", ftAutoInc);
    t->FieldDefs().Add("name", ftString, 30, true);
    t->FieldDefs().Add("order date", ftDateTime);
    t->FieldDefs().Add("note", ftMemo, 1000);
    t->IndexDefs().Add("", "id", TIndexOptions{ixPrimary});
    t->IndexDefs().Add("by name", "name", TIndexOptions{ixUnique});
    t->IndexDefs().Add("by date", "order date; name", TIndexOptions{});
    t->Open();
    EXPECT_TRUE(t->Active());
    EXPECT_EQ(t->RecordCount(), 0);
    // The definitions are now the server's.
    ASSERT_EQ(t->FieldDefs().Count(), 4);
    EXPECT_EQ(t->FieldDefs()[0]->DataType(), ftAutoInc);
    EXPECT_EQ(t->FieldDefs()[1]->Name(), "name");
    EXPECT_TRUE(t->FieldDefs()[1]->Required());
    EXPECT_EQ(t->FieldDefs()[1]->DataType(), ftString);
    EXPECT_EQ(t->FieldDefs()[2]->Name(), "order date");
    EXPECT_EQ(t->FieldDefs()[2]->DataType(), ftDateTime);
    ASSERT_EQ(t->IndexDefs().Count(), 3);
    EXPECT_EQ(t->IndexDefs()[0]->Name(), "PRIMARY");
    EXPECT_EQ(t->IndexDefs()[0]->Fields(), "id");
    EXPECT_TRUE(t->IndexDefs()[0]->Options().Contains(ixPrimary));
    const TIndexDef* byName = t->IndexDefs().Find("by name");
    EXPECT_EQ(byName->Fields(), "name");
    EXPECT_TRUE(byName->Options().Contains(ixUnique));
    const TIndexDef* byDate = t->IndexDefs().Find("by date");
    EXPECT_EQ(byDate->Fields(), "order date;name");
    EXPECT_FALSE(byDate->Options().Contains(ixUnique));
    t->Close();

    // A second open keeps the existing table and its rows.
    Exec("insert into items (name) values ('pen'), ('ink')");
    t->Open();
    EXPECT_EQ(t->RecordCount(), 2);
    t->Close();
    // doDropIfExists drops the table first, on every open.
    t->SetOptions(t->Options() + TMySQLDatasetOptions{doDropIfExists});
    t->Open();
    EXPECT_EQ(t->RecordCount(), 0);
    EXPECT_EQ(Columns("items").size(), 4u);
}

TEST_P(CreateTableLive, TemporaryTableLivesOnTheDatasetsConnection) {
    auto t = Table("scratch", {doAutoCreate, doCreateTemp});
    t->FieldDefs().Add("v", ftInteger, 0, true);
    t->Open();
    EXPECT_TRUE(t->Active());
    EXPECT_EQ(t->FieldDefs()[0]->Name(), "v");
    // A temporary table is not among the database's tables.
    for (const std::string& name : Tables()) EXPECT_NE(name, "scratch");
}

TEST_P(CreateTableLive, WithoutTableDefinitionsTheIdTableIsMade) {
    auto t = Table("bare", {doAutoCreate});
    t->Open();
    ASSERT_EQ(t->FieldDefs().Count(), 1);
    EXPECT_EQ(t->FieldDefs()[0]->Name(), "ID");
    EXPECT_EQ(t->FieldDefs()[0]->DataType(), ftAutoInc);
}

TEST_P(CreateTableLive, FailingScriptRaisesAndTheDatasetStaysClosed) {
    auto t = Table("broken", {doAutoCreate});
    t->FieldDefs().Add("a", ftInteger);
    t->IndexDefs().Add("by x", "x", TIndexOptions{});
    try {
        t->Open();
        FAIL() << "opened with a key on a missing column";
    } catch (const EMySQLError& e) {
        EXPECT_EQ(e.ErrorCode(), 1072) << e.Message();
    }
    EXPECT_FALSE(t->Active());
    for (const std::string& name : Tables()) EXPECT_NE(name, "broken");
}

TEST_P(CreateTableLive, ScriptOfAnotherDatabaseSelectsIt) {
    const std::string other = server->DatabaseName() + "_o";
    Exec("create database if not exists " + server->FormatIdentifier(other));
    auto t = Table("elsewhere", {doAutoCreate});
    t->SetDatabaseName(other);
    t->FieldDefs().Add("v", ftInteger);
    EXPECT_NO_THROW(t->Open());
    TStringList list;
    server->GetTableNames(other, list);
    EXPECT_EQ(list.Text(), "elsewhere\r\n");
    t->Close();
    Exec("drop database " + server->FormatIdentifier(other));
}

TEST_P(CreateTableLive, DatabaseScriptHoldsTheTablesOfAutoCreateDatasets) {
    // A named dataset of the server's factory and a registered one create their tables; a
    // dataset without doAutoCreate adds nothing.
    TMySQLDataset* named = server->NewDataset("Orders", "orders");
    named->SetOptions(named->Options() + TMySQLDatasetOptions{doAutoCreate});
    named->FieldDefs().Add("id", ftInteger, 0, true);
    named->IndexDefs().Add("", "id", TIndexOptions{ixPrimary});
    auto registered = Table("notes", {doAutoCreate});
    registered->FieldDefs().Add("text", ftString, 40);
    auto plain = Table("plain");
    plain->FieldDefs().Add("x", ftInteger);

    const std::string db = server->FormatIdentifier(server->DatabaseName());
    const std::string script = server->CreateDatabase(false);
    EXPECT_EQ(script, "drop database if exists " + db + ";\r\ncreate database if not exists " + db + ";\r\nuse " + db +
                          ";\r\n"
                          "use " + db + ";\r\ncreate  table if not exists orders (\r\nid\r\n int not null,\r\n"
                          " primary key (\r\nid)\r\n);\r\n\r\n"
                          "use " + db + ";\r\ncreate  table if not exists notes (\r\n`text`\r\n varchar(40) \r\n);\r\n\r\n"
                          "use " + db + ";\r\n");

    // The script runs: the database is made afresh with both tables.
    Exec("create table leftover (x int)");
    server->CreateDatabase(true);
    EXPECT_EQ(Tables(), (std::vector<std::string>{"notes", "orders"}));
    EXPECT_EQ(server->ConnectionDatabase(nullptr), server->DatabaseName());
}

VEL_DATASET_DRIVERS(CreateTableLive);

}  // namespace
}  // namespace velmysql::test
