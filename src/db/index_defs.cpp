#include "velmysql/db/index_defs.h"

#include "db_util.h"
#include "velmysql/db/db_error.h"

namespace velmysql {

TIndexDef::TIndexDef(TIndexDefs* Owner) : owner_(Owner) {}

TIndexDef::TIndexDef(TIndexDefs* Owner, const std::string& Name, const std::string& Fields,
                     TIndexOptions Options)
    : owner_(Owner), name_(Name), fields_(Fields), options_(Options) {}

void TIndexDef::Assign(const TPersistent* Source) {
    if (auto* src = dynamic_cast<const TIndexDef*>(Source)) {
        name_ = src->name_;
        fields_ = src->fields_;
        options_ = src->options_;
        expression_ = src->expression_;
        descFields_ = src->descFields_;
        caseInsFields_ = src->caseInsFields_;
        source_ = src->source_;
        return;
    }
    TPersistent::Assign(Source);
}

TIndexDefs::TIndexDefs(TDataSet* DataSet) : dataSet_(DataSet) {}
TIndexDefs::~TIndexDefs() = default;

TIndexDef* TIndexDefs::Items(int Index) const {
    if (Index < 0 || Index >= Count()) DatabaseError(dbtext::SFieldIndexError);
    return items_[static_cast<size_t>(Index)].get();
}

TIndexDef* TIndexDefs::AddIndexDef() {
    items_.push_back(std::make_unique<TIndexDef>(this));
    return items_.back().get();
}

void TIndexDefs::Add(const std::string& Name, const std::string& Fields, TIndexOptions Options) {
    items_.push_back(std::make_unique<TIndexDef>(this, Name, Fields, Options));
}

TIndexDef* TIndexDefs::Find(const std::string& Name) const {
    const int i = IndexOf(Name);
    if (i < 0) DatabaseErrorFmt(dbtext::SIndexNotFound, {Name});
    return items_[static_cast<size_t>(i)].get();
}

int TIndexDefs::IndexOf(const std::string& Name) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (dbutil::SameName(items_[i]->Name(), Name)) return static_cast<int>(i);
    return -1;
}

TIndexDef* TIndexDefs::FindIndexForFields(const std::string& Fields) const {
    for (const auto& def : items_)
        if (dbutil::SameName(def->Fields(), Fields)) return def.get();
    return nullptr;
}

void TIndexDefs::Delete(int Index) {
    Items(Index);
    items_.erase(items_.begin() + Index);
}

void TIndexDefs::Clear() { items_.clear(); }

void TIndexDefs::Assign(const TPersistent* Source) {
    if (auto* src = dynamic_cast<const TIndexDefs*>(Source)) {
        if (src == this) return;
        items_.clear();
        for (const auto& def : src->items_) AddIndexDef()->Assign(def.get());
        return;
    }
    TPersistent::Assign(Source);
}

}  // namespace velmysql
