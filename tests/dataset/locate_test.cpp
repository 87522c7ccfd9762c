// Searching on the client through every driver: Locate, Lookup, LocateRecord
// and LocateRecordOption with their options, the current record, the return to the
// record a search started from, and the controls on every path.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "live_server.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/database_error.h"
#include "velmysql/db/fields.h"

namespace velmysql::test {
namespace {

class LocateTest : public LiveDataset {
protected:
    void SetUp() override {
        LiveDataset::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Exec("create table people (id int primary key, name varchar(30) null, city varchar(30), note varchar(30),"
             " score int null) default charset=latin1");
        Exec("insert into people values (1, 'Alice', 'Berlin', 'likes tea', 10), (2, 'bob', 'Paris', 'pancakes', NULL),"
             " (3, 'Albert', 'Rome', 'alpine', 30), (4, 'Carla', 'Madrid', 'reads', 40),"
             " (5, 'Dalia', 'Lima', 'spa day', 50), (6, NULL, 'Oslo', 'x', 60)");
    }
    std::unique_ptr<TMySQLQuery> People(const std::string& where = std::string(),
                                        TMySQLResultOptions mode = rtLocal) {
        auto q = std::make_unique<TMySQLQuery>(nullptr);
        q->SetServer(server.get());
        q->SetResultType(mode);
        q->SQL().SetText("select * from people " + where + " order by id");
        q->Open();
        return q;
    }
    static int Id(TDataSet& ds) { return ds.FieldByName("id")->AsInteger(); }
    static void GoTo(TDataSet& ds, int id) {
        for (ds.First(); !ds.Eof() && Id(ds) != id; ds.Next()) {
        }
        ASSERT_EQ(Id(ds), id);
    }
    static Variant Values(std::vector<Variant> items) { return Variant(std::move(items)); }
};

TEST_P(LocateTest, PartialCaseInsensitiveKeys) {
    auto q = People();
    const TLocateOptions both{loCaseInsensitive, loPartialKey};
    q->Last();
    EXPECT_TRUE(q->Locate("name", "aL", both));
    EXPECT_EQ(Id(*q), 1) << "the first name that begins with al in either case";
    EXPECT_TRUE(q->Locate("name", "BO", both));
    EXPECT_EQ(Id(*q), 2);
    EXPECT_FALSE(q->Locate("name", "al", {loPartialKey})) << "case-sensitive: Alice and Albert begin with Al";
    EXPECT_TRUE(q->Locate("name", "Alb", {loPartialKey}));
    EXPECT_EQ(Id(*q), 3);
    EXPECT_FALSE(q->Locate("name", "ALBERT", {})) << "whole and case-sensitive";
    EXPECT_TRUE(q->Locate("name", "ALBERT", {loCaseInsensitive}));
    EXPECT_FALSE(q->Locate("name", "Alber", {loCaseInsensitive})) << "not partial: the whole text";
    EXPECT_FALSE(q->Locate("name", "", {loPartialKey})) << "an empty key never matches a partial search";

    // Locate wants the key at the start; the directed search finds it further in.
    EXPECT_FALSE(q->Locate("name", "AR", both));
    TField* found = nullptr;
    EXPECT_TRUE(q->LocateRecordOption("name", "AR", both, true, {loFirst, loNext}, found));
    EXPECT_EQ(Id(*q), 4) << "Carla";
    EXPECT_EQ(found, q->FieldByName("name"));
    EXPECT_TRUE(q->LocateRecordOption("name", "aL", both, true, {loFirst, loNext}, found));
    EXPECT_EQ(Id(*q), 1);
    // A number field compares as its text.
    EXPECT_TRUE(q->Locate("score", 40, {}));
    EXPECT_EQ(Id(*q), 4);
    EXPECT_FALSE(q->ControlsDisabled());
}

TEST_P(LocateTest, TheCurrentRecordFirst) {
    auto q = People();
    GoTo(*q, 3);
    int scrolls = 0;
    q->AfterScroll = [&](TDataSet*) { ++scrolls; };
    // Alice (1) also begins with "al", but the current record is compared first.
    EXPECT_TRUE(q->LocateRecord("name", "al", {loCaseInsensitive, loPartialKey}, true));
    EXPECT_EQ(Id(*q), 3);
    EXPECT_EQ(scrolls, 0) << "no move at all";
    EXPECT_TRUE(q->Locate("name", "Albert", {}));
    EXPECT_EQ(Id(*q), 3);

    // Found elsewhere: SyncCursor keeps the found record, without it the cursor returns.
    EXPECT_TRUE(q->LocateRecord("name", "Carla", {}, true));
    EXPECT_EQ(Id(*q), 4);
    EXPECT_TRUE(q->LocateRecord("name", "bob", {}, false));
    EXPECT_EQ(Id(*q), 4);
    // Not found: back where it started.
    EXPECT_FALSE(q->LocateRecord("name", "nobody", {}, true));
    EXPECT_EQ(Id(*q), 4);
    EXPECT_FALSE(q->ControlsDisabled());
}

TEST_P(LocateTest, AFailedLocateLeavesTheFirstRecord) {
    auto q = People();
    GoTo(*q, 4);
    EXPECT_FALSE(q->Locate("name", "nobody", {}));
    EXPECT_EQ(Id(*q), 1);
    EXPECT_FALSE(q->Bof() && q->Eof());
    EXPECT_FALSE(q->ControlsDisabled());
}

TEST_P(LocateTest, TextSearchOverThreeFields) {
    auto q = People();
    const TLocateOptions both{loCaseInsensitive, loPartialKey};
    TField* found = nullptr;
    // bob's city (Paris) and note (pancakes) both hold "pa": the first of them counts.
    EXPECT_TRUE(q->LocateRecordOption("name;city;note", "PA", both, true, {loFirst, loNext, loTextSearch}, found));
    EXPECT_EQ(Id(*q), 2);
    EXPECT_EQ(found, q->FieldByName("city"));
    // Walking on from the next record finds "spa day" in Dalia's note.
    q->Next();
    EXPECT_TRUE(q->LocateRecordOption("name;city;note", "PA", both, true, {loNext, loTextSearch}, found));
    EXPECT_EQ(Id(*q), 5);
    EXPECT_EQ(found, q->FieldByName("note"));
    // With loMatchAll all three must hold the key: Carla, Madrid, reads.
    EXPECT_TRUE(q->LocateRecordOption("name;city;note", "a", both, true, {loFirst, loNext, loTextSearch, loMatchAll},
                                      found));
    EXPECT_EQ(Id(*q), 4);
    EXPECT_EQ(found, q->FieldByName("name"));
    // Nothing holds it: false, no field, and the cursor goes back.
    EXPECT_FALSE(q->LocateRecordOption("name;city;note", "zz", both, true, {loFirst, loNext, loTextSearch}, found));
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(Id(*q), 4);
    // Without SyncCursor a found record is reported and left.
    EXPECT_TRUE(q->LocateRecordOption("name;city;note", "oslo", both, false, {loFirst, loNext, loTextSearch}, found));
    EXPECT_EQ(found, q->FieldByName("city"));
    EXPECT_EQ(Id(*q), 4);
    EXPECT_FALSE(q->ControlsDisabled());
}

TEST_P(LocateTest, DirectedSearchOptions) {
    auto q = People();
    GoTo(*q, 3);
    TField* found = q->FieldByName("id");
    // Only loFirst: no record is compared, even the first one that matches.
    EXPECT_FALSE(q->LocateRecordOption("name", "Alice", {}, true, {loFirst}, found));
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(Id(*q), 3) << "back where it started";
    EXPECT_FALSE(q->LocateRecordOption("name", "Alice", {}, true, {}, found));
    // loNext from the current record does not look back.
    EXPECT_FALSE(q->LocateRecordOption("name", "Alice", {}, true, {loNext}, found));
    EXPECT_EQ(Id(*q), 3);
    EXPECT_TRUE(q->LocateRecordOption("name", "Alice", {}, true, {loPrior}, found));
    EXPECT_EQ(Id(*q), 1);
    // Backward from the last record: Dalia holds "al" before Albert and Alice do.
    EXPECT_TRUE(q->LocateRecordOption("name", "AL", {loCaseInsensitive, loPartialKey}, true, {loLast, loPrior}, found));
    EXPECT_EQ(Id(*q), 5);
    // Both directions at once walk forward (and end).
    GoTo(*q, 1);
    EXPECT_TRUE(q->LocateRecordOption("name", "Carla", {}, true, {loNext, loPrior}, found));
    EXPECT_EQ(Id(*q), 4);
    EXPECT_FALSE(q->LocateRecordOption("name", "Alice", {}, true, {loNext, loPrior}, found));
    EXPECT_EQ(Id(*q), 4);
    // Several fields without loTextSearch: field i against element i; one match is
    // enough without loMatchAll, every one with it.
    EXPECT_TRUE(q->LocateRecordOption("name;city", Values({"nobody", "Lima"}), {}, true, {loFirst, loNext}, found));
    EXPECT_EQ(Id(*q), 5);
    EXPECT_EQ(found, q->FieldByName("city"));
    EXPECT_FALSE(
        q->LocateRecordOption("name;city", Values({"nobody", "Lima"}), {}, true, {loFirst, loNext, loMatchAll}, found));
    EXPECT_TRUE(
        q->LocateRecordOption("name;city", Values({"Carla", "Madrid"}), {}, true, {loFirst, loNext, loMatchAll}, found));
    EXPECT_EQ(Id(*q), 4);
    EXPECT_EQ(found, q->FieldByName("name"));
    EXPECT_FALSE(q->ControlsDisabled());
}

TEST_P(LocateTest, SeveralKeyFieldsTakeAnArray) {
    auto q = People();
    EXPECT_TRUE(q->Locate("name;city", Values({"Albert", "Rome"}), {}));
    EXPECT_EQ(Id(*q), 3);
    EXPECT_FALSE(q->Locate("name;city", Values({"Albert", "Paris"}), {})) << "every field must match";
    EXPECT_TRUE(q->Locate("city;score", Values({"madrid", 40}), {loCaseInsensitive}));
    EXPECT_EQ(Id(*q), 4);
    // Lookup answers the result fields of the record it finds, which becomes current.
    q->First();
    const Variant got = q->Lookup("name;city", Values({"Dalia", "Lima"}), "id;note");
    ASSERT_EQ(got.VarType(), varArray);
    ASSERT_EQ(got.Items().size(), 2u);
    EXPECT_EQ(got.Items()[0].ToInt64(), 5);
    EXPECT_EQ(got.Items()[1].ToString(), "spa day");
    EXPECT_EQ(Id(*q), 5);
    EXPECT_EQ(q->Lookup("name", "Carla", "city").ToString(), "Madrid");
    EXPECT_EQ(Id(*q), 4);
    // Nothing found: Null, and the cursor stays.
    EXPECT_TRUE(q->Lookup("name", "nobody", "city").IsNull());
    EXPECT_EQ(Id(*q), 4);
    // A one-field search with an array compares its first element.
    EXPECT_TRUE(q->Locate("name", Values({"bob", "ignored"}), {}));
    EXPECT_EQ(Id(*q), 2);
}

TEST_P(LocateTest, NullKeys) {
    auto q = People();
    // A Null key is the empty text, as a NULL field's text is.
    EXPECT_TRUE(q->Locate("name", Variant::Null(), {}));
    EXPECT_EQ(Id(*q), 6);
    EXPECT_EQ(q->Lookup("score", Variant::Null(), "name").ToString(), "bob");
    EXPECT_EQ(Id(*q), 2);
    EXPECT_TRUE(q->Locate("city;name", Values({"Oslo", Variant::Null()}), {}));
    EXPECT_EQ(Id(*q), 6);
    EXPECT_FALSE(q->Locate("name", Variant::Null(), {loPartialKey})) << "an empty partial key never matches";
    TField* found = nullptr;
    EXPECT_FALSE(q->LocateRecordOption("name", Variant::Null(), {loPartialKey}, true, {loFirst, loNext}, found));
    EXPECT_TRUE(q->LocateRecordOption("name", Variant::Null(), {}, true, {loFirst, loNext}, found));
    EXPECT_EQ(Id(*q), 6);
    EXPECT_EQ(found, q->FieldByName("name"));
}

TEST_P(LocateTest, EmptyDataset) {
    auto q = People("where id < 0");
    ASSERT_TRUE(q->IsEmpty());
    EXPECT_FALSE(q->Locate("name", "Alice", {}));
    EXPECT_TRUE(q->Lookup("name", "Alice", "id").IsNull());
    EXPECT_FALSE(q->LocateRecord("name", "Alice", {}, true));
    TField* found = q->FieldByName("id");
    EXPECT_FALSE(q->LocateRecordOption("name", "Alice", {}, true, {loFirst, loNext}, found));
    EXPECT_EQ(found, nullptr);
    EXPECT_TRUE(q->IsEmpty());
    EXPECT_FALSE(q->ControlsDisabled());
}

TEST_P(LocateTest, UnknownFieldNamesRaise) {
    auto q = People();
    GoTo(*q, 3);
    try {
        q->LocateRecord("name;nosuch", Values({"Albert", 1}), {}, true);
        FAIL() << "an unknown field was searched";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.Message()), "Field 'nosuch' not found");
    }
    EXPECT_EQ(Id(*q), 3);
    EXPECT_THROW(q->Locate("nosuch", 1, {}), EDatabaseError);
    EXPECT_THROW(q->Lookup("nosuch", 1, "id"), EDatabaseError);
    EXPECT_THROW(q->Lookup("name", "Alice", "nosuch"), EDatabaseError);
    TField* found = nullptr;
    EXPECT_THROW(q->LocateRecordOption("nosuch", 1, {}, true, {loFirst, loNext}, found), EDatabaseError);
    EXPECT_FALSE(q->ControlsDisabled());
}

// An error while the records are walked: the controls are enabled again and the cursor
// returns to the record the search started from.
TEST_P(LocateTest, AnErrorWhileScanningReturnsAndEnables) {
    auto q = People();
    GoTo(*q, 2);
    bool armed = true;
    bool disabledWhileScanning = false;
    q->AfterScroll = [&](TDataSet* ds) {
        disabledWhileScanning = disabledWhileScanning || ds->ControlsDisabled();
        if (armed && Id(*ds) == 4) {
            armed = false;
            throw EDatabaseError("scroll refused");
        }
    };
    EXPECT_THROW(q->LocateRecord("name", "Dalia", {}, true), EDatabaseError);
    EXPECT_TRUE(disabledWhileScanning);
    EXPECT_FALSE(q->ControlsDisabled());
    EXPECT_EQ(Id(*q), 2);

    armed = true;
    TField* found = nullptr;
    EXPECT_THROW(q->LocateRecordOption("name", "Dalia", {}, true, {loNext}, found), EDatabaseError);
    EXPECT_FALSE(q->ControlsDisabled());
    EXPECT_EQ(Id(*q), 2);
    EXPECT_EQ(found, nullptr);

    armed = true;
    EXPECT_THROW(q->Locate("name", "Dalia", {}), EDatabaseError);
    EXPECT_FALSE(q->ControlsDisabled());
    EXPECT_EQ(Id(*q), 1) << "Locate started from the first record";
    // Unarmed, the same searches succeed.
    EXPECT_TRUE(q->Locate("name", "Dalia", {}));
    EXPECT_EQ(Id(*q), 5);
}

// Rows fetched as navigation reaches them are searched as well.
TEST_P(LocateTest, IncrementalResults) {
    auto q = People("", rtIncremental);
    EXPECT_TRUE(q->Locate("name", "Dalia", {}));
    EXPECT_EQ(Id(*q), 5);
    EXPECT_EQ(q->Lookup("city", "Oslo", "id").ToInt64(), 6);
    EXPECT_FALSE(q->Locate("name", "nobody", {}));
    EXPECT_EQ(Id(*q), 1);
}

VEL_DATASET_DRIVERS(LocateTest);

}  // namespace
}  // namespace velmysql::test
