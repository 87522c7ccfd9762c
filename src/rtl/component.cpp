#include "velmysql/rtl/component.h"

#include <algorithm>

#include "velmysql/rtl/typinfo.h"

namespace velmysql {

namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool IsIdentifier(std::string_view s) {
    if (s.empty()) return false;
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!alpha(s[0])) return false;
    return std::all_of(s.begin() + 1, s.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

void Erase(std::vector<TComponent*>& list, TComponent* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end()) list.erase(it);
}

}  // namespace

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Tell every linked component first, while this one still owns its children.
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        Erase(other->freeNotifies_, this);
        other->Notification(this, opRemove);
    }
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::SetName(const std::string& NewName) {
    if (NewName == name_) return;
    if (!NewName.empty() && !IsIdentifier(NewName))
        throw EComponentError("'" + NewName + "' is not a valid component name");
    if (owner_ && !NewName.empty()) {
        TComponent* same = owner_->FindComponent(NewName);
        if (same && same != this) throw EComponentError("A component named " + NewName + " already exists");
    }
    name_ = NewName;
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount())
        throw EComponentError("List index out of bounds (" + std::to_string(Index) + ")");
    return components_[static_cast<size_t>(Index)];
}

int TComponent::ComponentIndex() const {
    if (!owner_) return -1;
    auto& list = owner_->components_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view Name) const {
    if (Name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameNameIgnoringCase(c->name_, Name)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (!AComponent || AComponent->owner_ == this) return;
    for (const TComponent* p = this; p; p = p->owner_)
        if (p == AComponent) throw EComponentError("A component cannot own itself or its owner");
    if (!AComponent->name_.empty() && FindComponent(AComponent->name_))
        throw EComponentError("A component named " + AComponent->name_ + " already exists");
    if (AComponent->owner_) AComponent->owner_->RemoveComponent(AComponent);
    components_.push_back(AComponent);
    AComponent->owner_ = this;
    if (state_.Contains(csDesigning)) AComponent->SetDesigning(true);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    if (!AComponent || AComponent->owner_ != this) return;
    // Everyone hears of the removal while AComponent is still listed, so a sibling that
    // walks the owner's list during its Notification sees a consistent picture.
    Notification(AComponent, opRemove);
    Erase(components_, AComponent);
    AComponent->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* last = components_.back();
        // The child's destructor leaves this owner through RemoveComponent, which tells
        // the remaining siblings so that none keeps a pointer to it.
        delete last;
    }
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent) == freeNotifies_.end())
        freeNotifies_.push_back(AComponent);
    if (std::find(AComponent->freeNotifies_.begin(), AComponent->freeNotifies_.end(), this) ==
        AComponent->freeNotifies_.end())
        AComponent->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    Erase(freeNotifies_, AComponent);
    Erase(AComponent->freeNotifies_, this);
}

void TComponent::SetDesigning(bool Value, bool Children) {
    SetStateFlag(csDesigning, Value);
    if (Children)
        for (TComponent* c : components_) c->SetDesigning(Value, true);
}

void TComponent::Destroying() {
    if (state_.Contains(csDestroying)) return;
    state_.Include(csDestroying);
    for (TComponent* c : components_) c->Destroying();
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
    // Copy: a component may leave or free others while it handles the notification.
    std::vector<TComponent*> children = components_;
    for (TComponent* c : children)
        if (c != AComponent && std::find(components_.begin(), components_.end(), c) != components_.end())
            c->Notification(AComponent, Operation);
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

const TClassInfo& TComponent::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TComponent>("TComponent", nullptr)
                                        .Integer("Tag", &TComponent::Tag, &TComponent::SetTag, 0)
                                        .Build();
    return info;
}

void TComponent::SetStateFlag(TComponentStateItem Item, bool On) {
    if (On)
        state_.Include(Item);
    else
        state_.Exclude(Item);
}

}  // namespace velmysql
