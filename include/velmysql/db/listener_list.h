#pragma once
// TListenerList: the list of objects a dataset or a data source tells of each change.
//
// Events are frequent (several per Next) and the list almost never changes while one is
// delivered, but a listener's handler may attach or detach listeners. The list is shared
// copy-on-write: a walk holds the list as it was when the walk began (a reference, no
// copy), and only adding or removing builds a new list. A walk skips the listeners that
// left meanwhile and does not reach the ones that joined.

#include <algorithm>
#include <memory>
#include <vector>

namespace velmysql {

template <class T>
class TListenerList {
public:
    using List = std::vector<T*>;

    int Count() const { return static_cast<int>(list_->size()); }
    bool Empty() const { return list_->empty(); }
    T* operator[](int Index) const { return (*list_)[static_cast<size_t>(Index)]; }
    T* Back() const { return list_->back(); }
    auto begin() const { return list_->begin(); }
    auto end() const { return list_->end(); }
    bool Contains(const T* Item) const { return std::find(list_->begin(), list_->end(), Item) != list_->end(); }

    void Add(T* Item) {
        auto next = std::make_shared<List>(*list_);
        next->push_back(Item);
        list_ = std::move(next);
    }
    void Remove(const T* Item) {
        if (!Contains(Item)) return;
        auto next = std::make_shared<List>(*list_);
        next->erase(std::remove(next->begin(), next->end(), Item), next->end());
        list_ = std::move(next);
    }

    // Calls Visit for every listener of the list as it is now, skipping those removed
    // before their turn.
    template <class F>
    void ForEach(F&& Visit) const {
        const std::shared_ptr<const List> walk = list_;
        for (T* item : *walk)
            if (walk == list_ || Contains(item)) Visit(item);
    }

private:
    std::shared_ptr<const List> list_ = std::make_shared<const List>();
};

}  // namespace velmysql
