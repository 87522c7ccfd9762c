#include "velmysql/rtl/collection.h"

#include <algorithm>

#include "velmysql/rtl/typinfo.h"

namespace velmysql {

TCollectionItem::~TCollectionItem() {
    if (collection_) collection_->Detach(this);
}

int TCollectionItem::Index() const {
    if (!collection_) return -1;
    auto& items = collection_->items_;
    return static_cast<int>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int Value) {
    if (!collection_) return;
    auto& items = collection_->items_;
    int current = Index();
    Value = std::clamp(Value, 0, static_cast<int>(items.size()) - 1);
    if (Value == current) return;
    items.erase(items.begin() + current);
    items.insert(items.begin() + Value, this);
    Changed(true);
}

std::string TCollectionItem::DisplayName() const { return ClassName(); }

void TCollectionItem::Changed(bool AllItems) {
    if (collection_ && collection_->updateCount_ == 0) collection_->Update(AllItems ? nullptr : this);
}

const TClassInfo& TCollectionItem::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TCollectionItem>("TCollectionItem", nullptr).Build();
    return info;
}

TCollection::TCollection(TItemFactory Factory, TPersistent* Owner) : factory_(std::move(Factory)), owner_(Owner) {}

TCollection::~TCollection() {
    // Items go without notifications: the derived collection is already gone.
    for (TCollectionItem* item : items_) {
        item->collection_ = nullptr;
        delete item;
    }
}

TCollectionItem* TCollection::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
    return items_[static_cast<size_t>(Index)];
}

TCollectionItem* TCollection::Add() { return InsertNew(Count()); }

TCollectionItem* TCollection::Insert(int Index) {
    if (Index < 0 || Index > Count()) throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
    return InsertNew(Index);
}

TCollectionItem* TCollection::InsertNew(int Index) {
    std::unique_ptr<TCollectionItem> item = factory_();
    if (!item) throw Exception(ClassName() + " could not create an item");
    TCollectionItem* raw = item.release();
    items_.insert(items_.begin() + Index, raw);
    raw->collection_ = this;
    raw->id_ = nextId_++;
    Notify(raw, cnAdded);
    Changed();
    return raw;
}

void TCollection::Delete(int Index) { delete Items(Index); }

void TCollection::Detach(TCollectionItem* Item) {
    Notify(Item, cnDeleting);
    items_.erase(std::find(items_.begin(), items_.end(), Item));
    Item->collection_ = nullptr;
    Changed();
}

void TCollection::Clear() {
    if (items_.empty()) return;
    BeginUpdate();
    try {
        while (!items_.empty()) delete items_.back();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int ID) const {
    for (TCollectionItem* item : items_)
        if (item->id_ == ID) return item;
    return nullptr;
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TCollection::Assign(const TPersistent* Source) {
    auto* other = dynamic_cast<const TCollection*>(Source);
    if (!other) {
        TPersistent::Assign(Source);
        return;
    }
    if (other == this) return;
    BeginUpdate();
    try {
        Clear();
        for (TCollectionItem* item : other->items_) Add()->Assign(item);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::Update(TCollectionItem*) {}
void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Changed() {
    if (updateCount_ == 0) Update(nullptr);
}

const TClassInfo& TCollection::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TCollection>("TCollection", nullptr).Build();
    return info;
}

}  // namespace velmysql
