// Moving through a dataset that data sources and links follow allocates nothing in the
// framework: events reach their listeners without copying the listener lists.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "db_fixture.h"

namespace {
// Every allocation of this test program is counted.
thread_local long allocations = 0;
}  // namespace

// The replacement pair is malloc/free on purpose; GCC cannot see that operator new here
// is this one when it inlines a delete, and warns.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace velmysql::test {
namespace {

TEST(AllocationTest, NextAllocatesNothing) {
    // Short texts, so that the in-memory dataset's own copy of a row allocates nothing.
    auto ds = NumberedDataSet(200);
    TDataSource source(nullptr);
    TDataLink first, second;
    first.SetDataSource(&source);
    second.SetDataSource(&source);
    source.SetDataSet(ds.get());
    ds->Open();
    ds->Next();
    const long before = allocations;
    for (int i = 0; i < 100; ++i) ds->Next();
    EXPECT_EQ(allocations - before, 0);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 102);
}

}  // namespace
}  // namespace velmysql::test
