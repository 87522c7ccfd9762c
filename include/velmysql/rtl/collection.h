#pragma once
// TCollection: an owned, ordered list of items of one kind (field definitions, index
// definitions, parameters...), persisted in forms as `Name = < item ... end >`.
//
// A concrete collection passes a factory for its items; Add and Insert create items
// through it, and the collection owns them. Free an item with Delete (or delete it
// directly: an item leaves its collection when destroyed).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "velmysql/rtl/persistent.h"

namespace velmysql {

class TClassInfo;
class TCollection;

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollectionItem : public TPersistent {
public:
    TCollectionItem() = default;
    ~TCollectionItem() override;

    TCollection* Collection() const { return collection_; }
    int Index() const;
    // Moves the item to Value within its collection.
    void SetIndex(int Value);
    // A number unique within the collection, given when the item is added.
    int ID() const { return id_; }
    // The text a design tool lists for the item; the base gives the class name.
    virtual std::string DisplayName() const;

    static const TClassInfo& ClassInfo();

protected:
    // Tells the collection that this item (AllItems: every item) changed.
    void Changed(bool AllItems);

private:
    friend class TCollection;
    TCollection* collection_ = nullptr;
    int id_ = 0;
};

class TCollection : public TPersistent {
public:
    using TItemFactory = std::function<std::unique_ptr<TCollectionItem>()>;

    explicit TCollection(TItemFactory Factory, TPersistent* Owner = nullptr);
    ~TCollection() override;

    TPersistent* Owner() const { return owner_; }
    int Count() const { return static_cast<int>(items_.size()); }
    TCollectionItem* Items(int Index) const;
    TCollectionItem* Add();
    TCollectionItem* Insert(int Index);
    void Delete(int Index);
    void Clear();
    TCollectionItem* FindItemID(int ID) const;

    // Change brackets: while open, Update is not called; closing the outermost one calls
    // Update(nullptr) once.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    // Replaces the items with copies of Source's items (each copied with Assign).
    void Assign(const TPersistent* Source) override;

    static const TClassInfo& ClassInfo();

protected:
    // Heard after a change: Item changed, or (null) the collection as a whole.
    virtual void Update(TCollectionItem* Item);
    // Heard when an item is added, or is about to be deleted.
    virtual void Notify(TCollectionItem* Item, TCollectionNotification Action);
    void Changed();

private:
    friend class TCollectionItem;
    TCollectionItem* InsertNew(int Index);
    void Detach(TCollectionItem* Item);

    TItemFactory factory_;
    TPersistent* owner_;
    std::vector<TCollectionItem*> items_;  // owned; freed by Delete, Clear or the destructor
    int nextId_ = 0;
    int updateCount_ = 0;
};

}  // namespace velmysql
