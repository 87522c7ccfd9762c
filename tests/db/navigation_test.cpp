// Navigation over the buffer window: both directions, edges, record numbers, and no
// buffer allocation while scrolling.

#include <gtest/gtest.h>

#include "db_fixture.h"

namespace velmysql::test {
namespace {

struct NavCase {
    int rows;
    int window;  // buffer count asked for by a link
};

class Navigation : public ::testing::TestWithParam<NavCase> {};

TEST_P(Navigation, WalksBothWaysWithoutReallocating) {
    const NavCase c = GetParam();
    LinkedRows rows(c.rows, c.window);
    auto& ds = rows.ds;
    auto& link = rows.link;
    ds->Open();

    EXPECT_EQ(ds->BufferCount(), c.window);
    EXPECT_EQ(ds->allocated, c.window + 1);  // the window plus one spare
    const int allocationsAfterOpen = ds->allocations;
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(ds->Eof(), c.rows == 0);
    EXPECT_EQ(ds->IsEmpty(), c.rows == 0);

    std::vector<int> forward;
    while (!ds->Eof()) {
        forward.push_back(ds->FieldByName("ID")->AsInteger());
        EXPECT_EQ(ds->RecNo(), forward.back());
        EXPECT_GE(link.ActiveRecord(), 0);
        EXPECT_LT(link.ActiveRecord(), c.window);
        ds->Next();
    }
    ASSERT_EQ(static_cast<int>(forward.size()), c.rows);
    for (int i = 0; i < c.rows; ++i) EXPECT_EQ(forward[static_cast<size_t>(i)], i + 1);
    EXPECT_EQ(ds->MoveBy(1), 0);  // already at the end

    ds->Last();
    EXPECT_TRUE(ds->Eof());
    std::vector<int> backward;
    while (!ds->Bof()) {
        backward.push_back(ds->FieldByName("ID")->AsInteger());
        ds->Prior();
    }
    ASSERT_EQ(static_cast<int>(backward.size()), c.rows);
    for (int i = 0; i < c.rows; ++i) EXPECT_EQ(backward[static_cast<size_t>(i)], c.rows - i);

    // Moving further than there are records stops at the edge and says how far it went.
    ds->First();
    EXPECT_EQ(ds->MoveBy(c.rows + 5), c.rows == 0 ? 0 : c.rows - 1);
    EXPECT_TRUE(ds->Eof() || c.rows == 0);
    EXPECT_EQ(ds->MoveBy(-(c.rows + 5)), c.rows == 0 ? 0 : -(c.rows - 1));
    EXPECT_TRUE(ds->Bof());

    EXPECT_EQ(ds->allocations, allocationsAfterOpen) << "navigation must reuse the ring's buffers";
    ds->Close();
    EXPECT_EQ(ds->allocated, 0);
}

INSTANTIATE_TEST_SUITE_P(RowsAndWindows, Navigation,
                         ::testing::Values(NavCase{0, 1}, NavCase{1, 1}, NavCase{1000, 1}, NavCase{0, 3},
                                           NavCase{1, 3}, NavCase{1000, 3}, NavCase{1000, 7}),
                         [](const auto& info) {
                             return "rows" + std::to_string(info.param.rows) + "_window" +
                                    std::to_string(info.param.window);
                         });

TEST(NavigationTest, JumpsKeepTheWindowConsistent) {
    LinkedRows rows(50, 5);
    auto& ds = rows.ds;
    ds->Open();

    ds->MoveBy(20);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 21);
    ds->MoveBy(-7);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 14);
    ds->SetRecNoValue(40);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 40);
    // After a jump the window is re-centred: stepping either way reads the neighbours.
    ds->Prior();
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 39);
    ds->MoveBy(2);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 41);
    EXPECT_EQ(ds->RecordCount(), 50);
}

TEST(NavigationTest, WindowFollowsTheLinksBufferCount) {
    LinkedRows rows(30, 8);
    auto& ds = rows.ds;
    auto& link = rows.link;
    ds->Open();
    ds->MoveBy(12);
    ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), 13);
    // Shrinking keeps the current record and frees the buffers no longer needed.
    link.SetBufferCount(2);
    EXPECT_EQ(ds->BufferCount(), 2);
    EXPECT_EQ(ds->allocated, 3);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 13);
    ds->Next();
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 14);
    ds->MoveBy(-3);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 11);
    // Growing fills the new buffers around it.
    link.SetBufferCount(10);
    EXPECT_EQ(ds->BufferCount(), 10);
    EXPECT_EQ(ds->WindowRecordCount(), 10);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 11);
    ds->Prior();
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 10);
    ds->Last();
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 30);
    EXPECT_EQ(ds->ActiveRecord(), 9);
}

TEST(NavigationTest, ClosedDataSetRefusesNavigation) {
    auto ds = NumberedDataSet(3);
    EXPECT_THROW(ds->First(), EDatabaseError);
    EXPECT_THROW(ds->Next(), EDatabaseError);
    EXPECT_FALSE(ds->Active());
}

}  // namespace
}  // namespace velmysql::test
