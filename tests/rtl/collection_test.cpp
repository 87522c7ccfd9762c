// Collections: owned items, identity, order, change brackets and copying.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "velmysql/rtl/collection.h"

namespace velmysql {
namespace {

class TNamedItem : public TCollectionItem {
public:
    std::string name;
    void Assign(const TPersistent* src) override {
        if (auto* o = dynamic_cast<const TNamedItem*>(src)) {
            name = o->name;
            Changed(false);
            return;
        }
        TCollectionItem::Assign(src);
    }
    std::string DisplayName() const override { return name; }
};

class TLoggedCollection : public TCollection {
public:
    TLoggedCollection() : TCollection([] { return std::make_unique<TNamedItem>(); }) {}
    ~TLoggedCollection() override { Clear(); }
    std::vector<std::string> log;
    TNamedItem* Add(const std::string& n) {
        auto* it = static_cast<TNamedItem*>(TCollection::Add());
        it->name = n;
        return it;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (int i = 0; i < Count(); ++i) out.push_back(Items(i)->DisplayName());
        return out;
    }

protected:
    void Update(TCollectionItem* item) override { log.push_back(item ? "update item" : "update all"); }
    void Notify(TCollectionItem* item, TCollectionNotification a) override {
        log.push_back(std::string(a == cnAdded ? "added" : "deleting") + " #" + std::to_string(item->ID()));
    }
};

TEST(Collection, ItemsKeepIdentityOrderAndNotify) {
    TLoggedCollection c;
    c.Add("a");
    auto* b = c.Add("b");
    c.Add("c");
    EXPECT_EQ(c.Names(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(b->Index(), 1);
    EXPECT_EQ(c.FindItemID(b->ID()), b);
    b->SetIndex(0);
    EXPECT_EQ(c.Names(), (std::vector<std::string>{"b", "a", "c"}));
    c.log.clear();
    c.Delete(1);  // "a"
    EXPECT_EQ(c.log, (std::vector<std::string>{"deleting #0", "update all"}));
    EXPECT_EQ(c.FindItemID(0), nullptr);
    delete b;  // an item freed directly leaves its collection
    EXPECT_EQ(c.Names(), (std::vector<std::string>{"c"}));
    EXPECT_THROW(c.Items(5), Exception);
    EXPECT_THROW(c.Insert(3), Exception);
    c.Insert(0);
    EXPECT_EQ(c.Count(), 2);
}

TEST(Collection, UpdateBracketsCallUpdateOnceAndAssignCopies) {
    TLoggedCollection c;
    c.BeginUpdate();
    c.BeginUpdate();
    c.Add("x");
    c.Add("y");
    c.EndUpdate();
    EXPECT_EQ(c.log, (std::vector<std::string>{"added #0", "added #1"}));
    c.EndUpdate();
    EXPECT_EQ(c.log.back(), "update all");

    TLoggedCollection d;
    d.Add("old");
    d.Assign(&c);
    EXPECT_EQ(d.Names(), (std::vector<std::string>{"x", "y"}));
    d.Items(0)->Assign(d.Items(1));
    EXPECT_EQ(d.log.back(), "update item");
    EXPECT_EQ(d.Names(), (std::vector<std::string>{"y", "y"}));
    d.Assign(&d);  // assigning to itself keeps the items
    EXPECT_EQ(d.Count(), 2);
    TNamedItem loose;
    EXPECT_THROW(d.Assign(&loose), EConvertError);
}

}  // namespace
}  // namespace velmysql
