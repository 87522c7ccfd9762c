#pragma once
// TComponent: named objects that own other components and hear of each other's
// destruction.
//
// Ownership: a component created with an owner is freed by that owner. Deleting an owned
// component directly is allowed; it leaves its owner first. Create owned components with
// OwnedComponent<T>(owner, ...) and unowned ones with std::make_unique<T>(nullptr, ...).
//
// Free notification: a component that keeps a pointer to another component overrides
// Notification and clears the pointer when it hears opRemove for it. It hears of every
// component of its own owner; for any other component it calls FreeNotification(other)
// once. The link is two-way, so whichever of the two goes first tells the other.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/persistent.h"
#include "velmysql/rtl/set.h"

namespace velmysql {

class EComponentError : public Exception {
public:
    using Exception::Exception;
};

enum TOperation { opInsert, opRemove };

enum TComponentStateItem {
    csLoading,     // being read from a form; cleared by Loaded
    csReading,     // its properties are being read
    csWriting,     // its properties are being written
    csDestroying,  // destruction has begun
    csDesigning,   // lives in a design tool
    csUpdating,    // its owner is being updated as a whole
    csFixups,      // has component references not yet resolved
};
using TComponentState = TSet<TComponentStateItem>;

class TReader;
class TClassInfo;

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }

    // Name: empty or an identifier, unique (ignoring letter case) among the owner's
    // components. EComponentError otherwise.
    const std::string& Name() const { return name_; }
    void SetName(const std::string& NewName);

    int64_t Tag() const { return tag_; }
    void SetTag(int64_t Value) { tag_ = Value; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int Index) const;
    // Position of this component in its owner's list; -1 without owner.
    int ComponentIndex() const;
    // The owned component called Name (letter case ignored); null when there is none.
    TComponent* FindComponent(std::string_view Name) const;

    // Takes AComponent over from its previous owner. Every owned component and the
    // owner hear opInsert.
    void InsertComponent(TComponent* AComponent);
    // Releases AComponent without freeing it; the caller becomes its owner. The owner
    // and its components hear opRemove.
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, the last one first.
    void DestroyComponents();

    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    TComponentState ComponentState() const { return state_; }
    // Marks this component and, with Children, its owned components as living in a
    // design tool (csDesigning).
    void SetDesigning(bool Value, bool Children = true);
    // Marks the start of destruction (csDestroying) for this component and its owned
    // components. A derived destructor may call it first so that its own Notification
    // handlers see the state; the base destructor calls it in any case.
    void Destroying();

    // The persisted properties of TComponent: Tag (the name is stored in the object's
    // heading, not as a property).
    static const TClassInfo& ClassInfo();

protected:
    // Heard when AComponent is inserted into or removed (or freed) from this component's
    // owner, or when a component linked with FreeNotification is freed. The base passes
    // it on to every owned component.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // Called once after a form reader has set every property and resolved every
    // reference; the base clears csLoading.
    virtual void Loaded();

private:
    friend class TReader;
    void SetStateFlag(TComponentStateItem Item, bool On);

    TComponent* owner_ = nullptr;
    std::string name_;
    int64_t tag_ = 0;
    std::vector<TComponent*> components_;     // owned, in insertion order
    std::vector<TComponent*> freeNotifies_;   // linked both ways with FreeNotification
    TComponentState state_;
};

// Creates a component that Owner frees; answers a borrowed pointer.
template <class T, class... Args>
T* OwnedComponent(TComponent& Owner, Args&&... args) {
    // The constructor inserts the new object into Owner, which from then on owns it.
    return new T(&Owner, std::forward<Args>(args)...);
}

}  // namespace velmysql
