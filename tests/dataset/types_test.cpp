// Every column type to its field type and native value, through every driver: values,
// NULLs, empty and blank texts, zero bytes, zero dates, unsigned and bit columns, enums
// and sets under their options.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "live_server.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/dataset/mysql_string_field.h"
#include "velmysql/db/fields.h"
#include "velmysql/rtl/datetime.h"

namespace velmysql::test {
namespace {

class TypesTest : public LiveDataset {};

struct TypeCase {
    const char* column;      // column name
    const char* definition;  // its type in the create statement
    const char* value;       // SQL literal of row 1
    TFieldType type;         // expected field type
    int size;                // expected size (0: not checked; text sizes follow the connection's character set)
    std::function<void(TField*)> check;  // what row 1 reads
};

void Text(TField* f, const std::string& expected) {
    ASSERT_FALSE(f->IsNull()) << f->FieldName();
    EXPECT_EQ(f->AsString(), expected) << f->FieldName();
}

TEST_P(TypesTest, EveryColumnTypeToItsField) {
    const std::vector<TypeCase> cases = {
        {"ti", "tinyint", "-5", ftSmallint, 0, [](TField* f) { EXPECT_EQ(f->AsInteger(), -5); }},
        {"tu", "tinyint unsigned", "200", ftWord, 0, [](TField* f) { EXPECT_EQ(f->AsInteger(), 200); }},
        {"si", "smallint", "-30000", ftSmallint, 0, [](TField* f) { EXPECT_EQ(f->AsInteger(), -30000); }},
        {"su", "smallint unsigned", "65535", ftWord, 0, [](TField* f) { EXPECT_EQ(f->AsInteger(), 65535); }},
        {"mi", "mediumint", "-8000000", ftInteger, 0, [](TField* f) { EXPECT_EQ(f->AsInteger(), -8000000); }},
        {"i", "int", "-2147483648", ftInteger, 0, [](TField* f) { EXPECT_EQ(f->AsInteger(), INT32_MIN); }},
        {"iu", "int unsigned", "4294967295", ftLargeint, 0,
         [](TField* f) { EXPECT_EQ(f->AsLargeInt(), 4294967295LL); }},
        {"bi", "bigint", "-9223372036854775808", ftLargeint, 0, [](TField* f) { EXPECT_EQ(f->AsLargeInt(), INT64_MIN); }},
        {"bu", "bigint unsigned", "18446744073709551615", ftString, 20,
         [](TField* f) { Text(f, "18446744073709551615"); }},
        {"fl", "float", "1.5", ftFloat, 0, [](TField* f) { EXPECT_DOUBLE_EQ(f->AsFloat(), 1.5); }},
        {"db", "double", "-2.25e100", ftFloat, 0, [](TField* f) { EXPECT_DOUBLE_EQ(f->AsFloat(), -2.25e100); }},
        {"dc", "decimal(10,2)", "12.34", ftFloat, 0, [](TField* f) { EXPECT_DOUBLE_EQ(f->AsFloat(), 12.34); }},
        {"dt", "date", "'2024-02-29'", ftDate, 0,
         [](TField* f) { EXPECT_EQ(f->AsDateTime(), EncodeDate(2024, 2, 29)); }},
        {"tm", "time", "'13:14:15'", ftTime, 0,
         [](TField* f) { EXPECT_NEAR(f->AsDateTime(), EncodeTime(13, 14, 15, 0), 1e-9); }},
        {"dtt", "datetime", "'2024-02-29 13:14:15'", ftDateTime, 0,
         [](TField* f) { EXPECT_NEAR(f->AsDateTime(), EncodeDate(2024, 2, 29) + EncodeTime(13, 14, 15, 0), 1e-8); }},
        {"ts", "timestamp null", "'2001-02-03 04:05:06'", ftDateTime, 0,
         [](TField* f) { EXPECT_NEAR(f->AsDateTime(), EncodeDate(2001, 2, 3) + EncodeTime(4, 5, 6, 0), 1e-8); }},
        {"yr", "year", "2024", ftWord, 0, [](TField* f) { EXPECT_EQ(f->AsInteger(), 2024); }},
        {"ch", "char(5)", "'ab'", ftString, 0, [](TField* f) { Text(f, "ab"); }},
        {"vc", "varchar(20)", "' x '", ftString, 0, [](TField* f) { Text(f, " x "); }},
        {"vb", "varbinary(16)", "x'00410042'", ftString, 16, [](TField* f) { Text(f, std::string("\0A\0B", 4)); }},
        {"bn", "binary(4)", "x'00000001'", ftString, 4, [](TField* f) { Text(f, std::string("\0\0\0\x01", 4)); }},
        {"tx", "text", "'hello'", ftMemo, 0, [](TField* f) { Text(f, "hello"); }},
        {"bl", "blob", "x'00ff00'", ftBlob, 0, [](TField* f) { Text(f, std::string("\0\xff\0", 3)); }},
        {"en", "enum('Y','N')", "'N'", ftString, 0, [](TField* f) { Text(f, "N"); }},
        {"st", "set('a','b','c')", "'a,c'", ftString, 0, [](TField* f) { Text(f, "a,c"); }},
        {"b1", "bit(1)", "b'1'", ftWord, 0, [](TField* f) { EXPECT_EQ(f->AsInteger(), 1); }},
        {"b4", "bit(4)", "b'1010'", ftInteger, 0, [](TField* f) { EXPECT_EQ(f->AsInteger(), 10); }},
        {"b40", "bit(40)", "b'1000000000000000000000000000000000000001'", ftString, 20,
         [](TField* f) { Text(f, "549755813889"); }},
    };
    std::string create = "create table types (id int primary key", insert = "insert into types values (1";
    for (const TypeCase& c : cases) {
        create += std::string(", ") + c.column + " " + c.definition;
        insert += std::string(", ") + c.value;
    }
    Exec(create + ") default charset=latin1");
    Exec(insert + ")");
    std::string nulls = "insert into types (id) values (2)";
    Exec(nulls);
    // Empty and blank texts and zero dates (older schemas hold them).
    Exec("set session sql_mode=''");
    Exec("insert into types (id, vc, ch, vb, dt, dtt) values (3, '   ', '', '', '0000-00-00', '0000-00-00 00:00:00')");

    TMySQLQuery q(nullptr);
    q.SetServer(server.get());
    q.SQL().SetText("select * from types order by id");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 3);
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.column);
        TField* f = q.FieldByName(c.column);
        EXPECT_EQ(f->DataType(), c.type) << FieldTypeName(f->DataType());
        if (c.size != 0) {
            EXPECT_EQ(f->Size(), c.size);
        }
        c.check(f);
    }
    EXPECT_NE(dynamic_cast<TMySQLStringField*>(q.FieldByName("vc")), nullptr);
    EXPECT_EQ(dynamic_cast<TMySQLStringField*>(q.FieldByName("en"))->StringType(), stEnum);
    EXPECT_EQ(dynamic_cast<TMySQLStringField*>(q.FieldByName("st"))->StringType(), stSet);
    q.Next();
    for (const TypeCase& c : cases) EXPECT_TRUE(q.FieldByName(c.column)->IsNull()) << c.column;
    q.Next();
    for (const char* column : {"vc", "ch", "vb", "dt", "dtt"})
        EXPECT_TRUE(q.FieldByName(column)->IsNull()) << column << " (empty, blank or zero date)";
    // The stored text of a zero date stays as it was.
    std::string raw;
    ASSERT_TRUE(q.GetRawFieldData(q.FieldByName("dt"), raw));
    EXPECT_EQ(raw, "0000-00-00");
}

TEST_P(TypesTest, ComputedColumnsAndNullType) {
    TMySQLQuery q(nullptr);
    q.SetServer(server.get());
    q.SQL().SetText("select null as nothing, 1 + 1 as x, 'a' as x");
    q.Open();
    ASSERT_EQ(q.FieldCount(), 3);
    EXPECT_EQ(q.Fields()[0]->DataType(), ftVariant);
    EXPECT_TRUE(q.Fields()[0]->IsNull());
    // Two computed columns named alike get their positions; computed columns are read only.
    EXPECT_EQ(q.Fields()[1]->FieldName(), "x_2");
    EXPECT_EQ(q.Fields()[2]->FieldName(), "x_3");
    EXPECT_TRUE(q.Fields()[1]->ReadOnly());
    EXPECT_EQ(q.Fields()[1]->AsInteger(), 2);
}

// Enum and set members are read after the last row: with rtLocal before the field
// definitions are built, with rtIncremental after.
TEST_P(TypesTest, EnumsAndSetsUnderTheirOptions) {
    Exec("create table flags (id int primary key, yn enum('Y','N') not null default 'Y', abc enum('a','b','c'), "
         "s set('a','b','c') default 'a,b') default charset=latin1");
    Exec("insert into flags values (1, 'N', 'b', 'a,c'), (2, 'y', 'c', ''), (3, 'Y', null, null)");
    for (TMySQLResultOptions mode : {rtLocal, rtIncremental}) {
        SCOPED_TRACE(mode == rtLocal ? "rtLocal" : "rtIncremental");
        TMySQLTable t(nullptr);
        t.SetServer(server.get());
        t.SetOptions(t.Options() + TMySQLDatasetOptions{doEnumToBool, doSetToWord});
        t.SetResultType(mode);
        t.SQL().SetText("select * from flags order by id");
        t.Open();
        TField* yn = t.FieldByName("yn");
        TField* s = t.FieldByName("s");
        auto* abc = dynamic_cast<TMySQLStringField*>(t.FieldByName("abc"));
        ASSERT_NE(abc, nullptr);
        if (mode == rtLocal) {
            ASSERT_EQ(yn->DataType(), ftBoolean);
            EXPECT_FALSE(yn->AsBoolean());
            EXPECT_EQ(s->AsInteger(), 5);
            EXPECT_EQ(abc->StringValues().Text(), "a\r\nb\r\nc\r\n");
            t.Next();
            EXPECT_TRUE(yn->AsBoolean()) << "letter case is ignored";
            EXPECT_EQ(s->AsInteger(), 0);
        } else {
            // The members arrive after the definitions: the enum stays a string.
            EXPECT_EQ(yn->DataType(), ftString);
            EXPECT_EQ(yn->AsString(), "N");
            t.Last();
            EXPECT_EQ(abc->StringValues().Text(), "a\r\nb\r\nc\r\n");
        }
        EXPECT_EQ(abc->StringType(), stEnum);
        // A table of one table also reads its index definitions.
        ASSERT_EQ(t.IndexDefs().Count(), 1);
        EXPECT_TRUE(t.IndexDefs().Items(0)->Options().Contains(ixPrimary));
        EXPECT_EQ(t.IndexDefs().Items(0)->Fields(), "id");
        EXPECT_EQ(t.PrimaryKeyList(), "id");
    }
}

VEL_DATASET_DRIVERS(TypesTest);

}  // namespace
}  // namespace velmysql::test
