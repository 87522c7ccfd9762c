// Editing: the order of the dataset events, failed posts, required fields, and
// bookmarks that outlive inserts and deletes.

#include <gtest/gtest.h>

#include <functional>

#include "db_fixture.h"

namespace velmysql::test {
namespace {

// Hooks every dataset event into one log.
void LogEvents(TDataSet& ds, std::vector<std::string>& log) {
    auto hook = [&log](const char* name) { return [&log, name](TDataSet*) { log.push_back(name); }; };
    ds.BeforeOpen = hook("BeforeOpen");
    ds.AfterOpen = hook("AfterOpen");
    ds.BeforeClose = hook("BeforeClose");
    ds.AfterClose = hook("AfterClose");
    ds.BeforeInsert = hook("BeforeInsert");
    ds.AfterInsert = hook("AfterInsert");
    ds.BeforeEdit = hook("BeforeEdit");
    ds.AfterEdit = hook("AfterEdit");
    ds.BeforePost = hook("BeforePost");
    ds.AfterPost = hook("AfterPost");
    ds.BeforeCancel = hook("BeforeCancel");
    ds.AfterCancel = hook("AfterCancel");
    ds.BeforeDelete = hook("BeforeDelete");
    ds.AfterDelete = hook("AfterDelete");
    ds.BeforeScroll = hook("BeforeScroll");
    ds.AfterScroll = hook("AfterScroll");
    ds.BeforeRefresh = hook("BeforeRefresh");
    ds.AfterRefresh = hook("AfterRefresh");
    ds.OnNewRecord = hook("OnNewRecord");
}

struct EventCase {
    const char* name;
    std::function<void(TDataSet&)> action;
    std::vector<std::string> expected;
};

TEST(EditingTest, EventOrder) {
    const std::vector<EventCase> cases = {
        {"open", [](TDataSet& ds) { ds.Open(); }, {"BeforeOpen", "AfterOpen", "AfterScroll"}},
        {"insert", [](TDataSet& ds) { ds.Insert(); },
         {"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll"}},
        {"post insert",
         [](TDataSet& ds) {
             ds.FieldByName("ID")->SetAsInteger(100);
             ds.Post();
         },
         {"BeforePost", "AfterPost"}},
        {"edit", [](TDataSet& ds) { ds.Edit(); }, {"BeforeEdit", "AfterEdit"}},
        {"cancel edit", [](TDataSet& ds) { ds.Cancel(); }, {"BeforeCancel", "AfterCancel"}},
        {"cancel insert",
         [](TDataSet& ds) {
             ds.Append();
             ds.Cancel();
         },
         {"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll", "BeforeCancel",
          "BeforeScroll", "AfterCancel", "AfterScroll"}},
        {"delete", [](TDataSet& ds) { ds.Delete(); },
         {"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}},
        {"refresh", [](TDataSet& ds) { ds.Refresh(); }, {"BeforeRefresh", "AfterRefresh"}},
        // Scrolling while editing posts first: the pending edit is not lost.
        {"next while modified",
         [](TDataSet& ds) {
             ds.Edit();
             ds.FieldByName("NAME")->SetAsString("changed");
             ds.Next();
         },
         {"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeScroll", "AfterScroll"}},
        {"close", [](TDataSet& ds) { ds.Close(); }, {"BeforeClose", "AfterClose"}},
    };
    auto ds = NumberedDataSet(3);
    std::vector<std::string> log;
    LogEvents(*ds, log);
    for (const EventCase& c : cases) {
        log.clear();
        c.action(*ds);
        EXPECT_EQ(log, c.expected) << c.name;
    }
    EXPECT_EQ(ds->Rows().size(), 3u);  // one inserted, one deleted
}

TEST(EditingTest, PostWritesInsertAndEditAtTheRightPlace) {
    auto ds = NumberedDataSet(3);
    ds->Open();
    ds->Next();  // on 2
    ds->Insert();
    EXPECT_EQ(ds->State(), dsInsert);
    EXPECT_TRUE(ds->FieldByName("ID")->IsNull());
    ds->FieldByName("ID")->SetAsInteger(15);
    ds->Post();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 15);

    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(99);
    ds->Post();
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("last");
    ds->Post();

    std::vector<int> ids;
    for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
    EXPECT_EQ(ids, (std::vector<int>{1, 15, 2, 3, 99}));
    ds->Last();
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "last");
}

TEST(EditingTest, FailedPostKeepsTheEditState) {
    auto ds = NumberedDataSet(2);
    ds->Open();
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("pending");
    ds->failPost = true;
    EXPECT_THROW(ds->Post(), EDatabaseError);
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "pending");
    EXPECT_EQ(ds->Rows()[0].values[1], MemoryDataSet::Text("row1"));  // nothing stored

    // The error event decides: abort is silent, retry tries again.
    int calls = 0;
    ds->OnPostError = [&](TDataSet*, EDatabaseError&, TDataAction& action) {
        ++calls;
        action = daAbort;
    };
    EXPECT_THROW(ds->Post(), EAbort);
    EXPECT_EQ(ds->State(), dsEdit);
    ds->OnPostError = [&](TDataSet* d, EDatabaseError&, TDataAction& action) {
        ++calls;
        static_cast<MemoryDataSet*>(d)->failPost = false;
        action = daRetry;
    };
    ds->Post();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->Rows()[0].values[1], MemoryDataSet::Text("pending"));
}

TEST(EditingTest, RequiredFieldMustHaveAValue) {
    MemoryDataSet ds(nullptr, {{"ID", ftInteger, 0, true}, {"NAME", ftString, 10}});
    ds.Open();
    ds.Insert();
    ds.FieldByName("NAME")->SetAsString("x");
    try {
        ds.Post();
        FAIL() << "post without a required value";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'ID' must have a value");
    }
    EXPECT_EQ(ds.State(), dsInsert);
    ds.FieldByName("ID")->SetAsInteger(1);
    ds.Post();
    EXPECT_EQ(ds.Rows().size(), 1u);
}

TEST(EditingTest, WritingOutsideEditOrIntoReadOnlyFieldsIsRefused) {
    auto ds = NumberedDataSet(1);
    ds->Open();
    // In browse state a write would change the shown buffer with nothing to post it.
    EXPECT_THROW(ds->FieldByName("NAME")->SetAsString("lost"), EDatabaseError);
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "row1");
    ds->Close();
    ds->Open();
    ds->FieldByName("ID")->SetReadOnly(true);
    ds->Edit();
    EXPECT_THROW(ds->FieldByName("ID")->SetAsInteger(7), EDatabaseError);
    ds->Cancel();
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
    // Edit on an empty dataset starts an insert.
    auto empty = NumberedDataSet(0);
    empty->Open();
    empty->Edit();
    EXPECT_EQ(empty->State(), dsInsert);
    empty->Cancel();
    EXPECT_EQ(empty->State(), dsBrowse);
    EXPECT_TRUE(empty->IsEmpty());
}

TEST(EditingTest, BookmarksSurviveInsertsAndDeletes) {
    auto ds = NumberedDataSet(10);
    ds->Open();
    ds->MoveBy(4);  // on 5
    const TBookmark five = ds->GetBookmark();
    ASSERT_EQ(five.size(), 8u);
    ds->MoveBy(3);
    const TBookmark eight = ds->GetBookmark();
    EXPECT_LT(ds->CompareBookmarks(five, eight), 0);
    EXPECT_GT(ds->CompareBookmarks(eight, five), 0);

    ds->First();
    ds->Insert();
    ds->FieldByName("ID")->SetAsInteger(0);
    ds->Post();
    ds->Last();
    ds->Delete();  // 10 goes
    ds->First();
    ds->Next();
    ds->Next();
    ds->Delete();  // 2 goes

    ds->GotoBookmark(five);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 5);
    EXPECT_TRUE(ds->BookmarkValid(eight));
    ds->GotoBookmark(eight);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 8);
    ds->Delete();
    EXPECT_FALSE(ds->BookmarkValid(eight));
    EXPECT_THROW(ds->GotoBookmark(eight), EDatabaseError);
    // The string form goes back to the same record.
    ds->SetBookmarkStr(five);
    EXPECT_EQ(ds->GetBookmarkStr(), five);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 5);
    // No bookmark for a record being inserted.
    ds->Insert();
    EXPECT_TRUE(ds->GetBookmark().empty());
    ds->Cancel();
}

}  // namespace
}  // namespace velmysql::test
