// Ownership, naming, free notification and assignment of components.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "velmysql/rtl/component.h"

namespace velmysql {
namespace {

// Keeps a pointer to another component and records what it hears.
class TProbe : public TComponent {
public:
    explicit TProbe(TComponent* owner, std::vector<std::string>* log = nullptr) : TComponent(owner), log_(log) {}
    ~TProbe() override {
        if (log_) log_->push_back("free " + Name() + (ComponentState().Contains(csDestroying) ? " destroying" : ""));
    }

    TComponent* Ref() const { return ref_; }
    void SetRef(TComponent* c) {
        ref_ = c;
        if (c) c->FreeNotification(this);
    }
    void SetRefWithoutLink(TComponent* c) { ref_ = c; }

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (log_) log_->push_back(Name() + (op == opInsert ? " hears insert " : " hears remove ") + c->Name());
        if (op == opRemove && c == ref_) ref_ = nullptr;
    }

private:
    std::vector<std::string>* log_;
    TComponent* ref_ = nullptr;
};

TEST(Component, OwnerFreesOwnedComponentsLastFirst) {
    std::vector<std::string> log;
    {
        auto owner = std::make_unique<TProbe>(nullptr, &log);
        owner->SetName("Owner");
        for (const char* n : {"A", "B", "C"}) OwnedComponent<TProbe>(*owner, &log)->SetName(n);
        ASSERT_EQ(owner->ComponentCount(), 3);
        EXPECT_EQ(owner->Components(1)->Name(), "B");
        EXPECT_EQ(owner->FindComponent("b"), owner->Components(1));
        EXPECT_EQ(owner->Components(2)->ComponentIndex(), 2);
        log.clear();
    }
    // The owner's own destructor runs first (before the base marks it); then its children
    // go last-first, each already marked as destroying.
    std::vector<std::string> frees;
    for (auto& l : log)
        if (l.rfind("free", 0) == 0) frees.push_back(l);
    EXPECT_EQ(frees, (std::vector<std::string>{"free Owner", "free C destroying", "free B destroying",
                                               "free A destroying"}));
}

TEST(Component, ReferencedComponentFreedFirstThenHolder) {
    auto target = std::make_unique<TProbe>(nullptr);
    auto holder = std::make_unique<TProbe>(nullptr);
    holder->SetRef(target.get());
    target.reset();
    EXPECT_EQ(holder->Ref(), nullptr);
    holder.reset();  // must not touch the freed target (the sanitizer build checks)
}

TEST(Component, HolderFreedFirstLeavesNoDanglingLink) {
    auto target = std::make_unique<TProbe>(nullptr);
    {
        auto holder = std::make_unique<TProbe>(nullptr);
        holder->SetRef(target.get());
    }
    target.reset();  // would call into the freed holder if the link had stayed
    SUCCEED();
}

TEST(Component, SiblingsHearInsertAndRemoveWithoutExplicitLink) {
    std::vector<std::string> log;
    TProbe owner(nullptr);
    auto* a = OwnedComponent<TProbe>(owner, &log);
    a->SetName("A");
    auto* b = OwnedComponent<TProbe>(owner, &log);
    b->SetName("B");
    // A is not linked to B with FreeNotification: it hears of B through the owner.
    log.clear();
    delete b;
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_NE(std::find(log.begin(), log.end(), "A hears remove B"), log.end());
    log.clear();
    auto* c = OwnedComponent<TProbe>(owner, &log);
    (void)c;
    EXPECT_NE(std::find(log.begin(), log.end(), "A hears insert "), log.end());
}

// Reads its reference in its destructor: a stale pointer there is a use after free.
class TReadsRefOnFree : public TProbe {
public:
    using TProbe::TProbe;
    std::string* out = nullptr;
    ~TReadsRefOnFree() override {
        if (out) *out = Ref() ? Ref()->Name() : "none";
    }
};

TEST(Component, OwnerDestructionClearsSiblingReferencesBeforeTheHolderGoes) {
    std::string seen;
    {
        TProbe owner(nullptr);
        // Created first, so freed last; it points at a sibling freed before it, and is
        // linked to it only through their common owner.
        auto* holder = OwnedComponent<TReadsRefOnFree>(owner);
        holder->out = &seen;
        auto* target = OwnedComponent<TProbe>(owner);
        target->SetName("Target");
        holder->SetRefWithoutLink(target);
    }
    EXPECT_EQ(seen, "none");
}

TEST(Component, DeletingOwnedComponentLeavesOwnerAndRemoveTransfersOwnership) {
    TProbe owner(nullptr);
    auto* a = OwnedComponent<TProbe>(owner);
    delete a;
    EXPECT_EQ(owner.ComponentCount(), 0);

    auto* b = OwnedComponent<TProbe>(owner);
    owner.RemoveComponent(b);
    std::unique_ptr<TProbe> mine(b);  // now ours; the owner must not free it again
    EXPECT_EQ(b->Owner(), nullptr);
    EXPECT_EQ(owner.ComponentCount(), 0);

    TProbe other(nullptr);
    other.InsertComponent(mine.release());
    EXPECT_EQ(other.ComponentCount(), 1);
}

TEST(Component, NamesAreIdentifiersUniqueIgnoringCase) {
    TProbe owner(nullptr);
    auto* a = OwnedComponent<TProbe>(owner);
    auto* b = OwnedComponent<TProbe>(owner);
    a->SetName("Server1");
    struct Case {
        const char* name;
        bool ok;
    };
    for (Case c : std::vector<Case>{{"Query_1", true}, {"_x", true}, {"", true}, {"1abc", false},
                                    {"a b", false}, {"a.b", false}, {"SERVER1", false}, {"Server1", false}}) {
        SCOPED_TRACE(c.name);
        if (c.ok) {
            EXPECT_NO_THROW(b->SetName(c.name));
            EXPECT_EQ(b->Name(), c.name);
        } else {
            EXPECT_THROW(b->SetName(c.name), EComponentError);
        }
    }
    a->SetName("Server1");  // renaming to its own name is no clash
    // Unnamed components never clash with each other.
    OwnedComponent<TProbe>(owner);
    OwnedComponent<TProbe>(owner);
    EXPECT_EQ(owner.FindComponent(""), nullptr);
}

TEST(Component, InsertRejectsCyclesAndDuplicateNames) {
    TProbe root(nullptr);
    auto* child = OwnedComponent<TProbe>(root);
    child->SetName("X");
    EXPECT_THROW(child->InsertComponent(&root), EComponentError);
    EXPECT_THROW(root.InsertComponent(&root), EComponentError);
    auto stray = std::make_unique<TProbe>(nullptr);
    stray->SetName("x");
    EXPECT_THROW(root.InsertComponent(stray.get()), EComponentError);
    EXPECT_EQ(stray->Owner(), nullptr);
}

TEST(Component, DesigningSpreadsToOwnedAndLaterInsertedComponents) {
    TProbe root(nullptr);
    auto* a = OwnedComponent<TProbe>(root);
    root.SetDesigning(true);
    EXPECT_TRUE(a->ComponentState().Contains(csDesigning));
    auto* b = OwnedComponent<TProbe>(root);
    EXPECT_TRUE(b->ComponentState().Contains(csDesigning));
}

class TPoint : public TPersistent {
public:
    int x = 0;
    void Assign(const TPersistent* src) override {
        if (auto p = dynamic_cast<const TPoint*>(src)) {
            x = p->x;
            return;
        }
        TPersistent::Assign(src);
    }
};

TEST(Persistent, AssignCopiesKnownClassesAndRefusesOthers) {
    TPoint a, b;
    a.x = 5;
    b.Assign(&a);
    EXPECT_EQ(b.x, 5);
    TProbe c(nullptr);
    try {
        b.Assign(&c);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TProbe to a TPoint");
    }
    EXPECT_THROW(b.Assign(nullptr), EConvertError);
}

}  // namespace
}  // namespace velmysql
