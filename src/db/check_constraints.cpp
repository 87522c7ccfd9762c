#include "velmysql/db/check_constraints.h"

#include "velmysql/db/db_error.h"

namespace velmysql {

void TCheckConstraint::Assign(const TPersistent* Source) {
    if (auto* src = dynamic_cast<const TCheckConstraint*>(Source)) {
        customConstraint_ = src->customConstraint_;
        errorMessage_ = src->errorMessage_;
        fromDictionary_ = src->fromDictionary_;
        importedConstraint_ = src->importedConstraint_;
        return;
    }
    TPersistent::Assign(Source);
}

TCheckConstraint* TCheckConstraints::Items(int Index) const {
    if (Index < 0 || Index >= Count()) DatabaseError(dbtext::SFieldIndexError);
    return items_[static_cast<size_t>(Index)].get();
}

TCheckConstraint* TCheckConstraints::Add() {
    items_.push_back(std::make_unique<TCheckConstraint>());
    return items_.back().get();
}

void TCheckConstraints::Delete(int Index) {
    Items(Index);
    items_.erase(items_.begin() + Index);
}

void TCheckConstraints::Assign(const TPersistent* Source) {
    if (auto* src = dynamic_cast<const TCheckConstraints*>(Source)) {
        if (src == this) return;
        items_.clear();
        for (const auto& c : src->items_) Add()->Assign(c.get());
        return;
    }
    TPersistent::Assign(Source);
}

}  // namespace velmysql
