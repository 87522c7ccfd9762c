#include "velmysql/db/check_constraints.h"

#include "velmysql/db/db_error.h"
#include "velmysql/db/db_register.h"
#include "velmysql/rtl/typinfo.h"

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

TCheckConstraints::TCheckConstraints(TPersistent* Owner)
    : TCollection([] { return std::make_unique<TCheckConstraint>(); }, Owner) {
    RegisterDataAccessClasses();
}

TCheckConstraint* TCheckConstraints::Items(int Index) const {
    if (Index < 0 || Index >= Count()) DatabaseError(dbtext::SFieldIndexError);
    return static_cast<TCheckConstraint*>(TCollection::Items(Index));
}

TCheckConstraint* TCheckConstraints::Add() { return static_cast<TCheckConstraint*>(TCollection::Add()); }

const TClassInfo& TCheckConstraint::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TCheckConstraint>("TCheckConstraint", &TCollectionItem::ClassInfo())
            .String("CustomConstraint", &TCheckConstraint::CustomConstraint, &TCheckConstraint::SetCustomConstraint,
                    std::string())
            .String("ErrorMessage", &TCheckConstraint::ErrorMessage, &TCheckConstraint::SetErrorMessage, std::string())
            .Boolean("FromDictionary", &TCheckConstraint::FromDictionary, &TCheckConstraint::SetFromDictionary, true)
            .String("ImportedConstraint", &TCheckConstraint::ImportedConstraint,
                    &TCheckConstraint::SetImportedConstraint, std::string())
            .Build();
    return info;
}

const TClassInfo& TCheckConstraints::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TCheckConstraints>("TCheckConstraints", &TCollection::ClassInfo()).Build();
    return info;
}

}  // namespace velmysql
