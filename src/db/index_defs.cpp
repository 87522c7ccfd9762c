#include "velmysql/db/index_defs.h"

#include "db_util.h"
#include "velmysql/db/db_error.h"
#include "velmysql/db/db_register.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql {

TIndexDef::TIndexDef(const std::string& Name, const std::string& Fields, TIndexOptions Options)
    : name_(Name), fields_(Fields), options_(Options) {}

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

TIndexDefs::TIndexDefs(TDataSet* DataSet)
    : TCollection([] { return std::make_unique<TIndexDef>(); }, nullptr), dataSet_(DataSet) {
    RegisterDataAccessClasses();
}
TIndexDefs::~TIndexDefs() = default;

TIndexDef* TIndexDefs::Items(int Index) const {
    if (Index < 0 || Index >= Count()) DatabaseError(dbtext::SFieldIndexError);
    return static_cast<TIndexDef*>(TCollection::Items(Index));
}

TIndexDef* TIndexDefs::AddIndexDef() { return static_cast<TIndexDef*>(TCollection::Add()); }

void TIndexDefs::Add(const std::string& Name, const std::string& Fields, TIndexOptions Options) {
    TIndexDef* def = AddIndexDef();
    def->SetName(Name);
    def->SetFields(Fields);
    def->SetOptions(Options);
}

TIndexDef* TIndexDefs::Find(const std::string& Name) const {
    const int i = IndexOf(Name);
    if (i < 0) DatabaseErrorFmt(dbtext::SIndexNotFound, {Name});
    return Items(i);
}

int TIndexDefs::IndexOf(const std::string& Name) const {
    for (int i = 0; i < Count(); ++i)
        if (dbutil::SameName(Items(i)->Name(), Name)) return i;
    return -1;
}

TIndexDef* TIndexDefs::FindIndexForFields(const std::string& Fields) const {
    for (int i = 0; i < Count(); ++i)
        if (dbutil::SameName(Items(i)->Fields(), Fields)) return Items(i);
    return nullptr;
}

const TClassInfo& TIndexDef::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TIndexDef>("TIndexDef", &TCollectionItem::ClassInfo())
            .String("Name", &TIndexDef::Name, &TIndexDef::SetName)
            .String("CaseInsFields", &TIndexDef::CaseInsFields, &TIndexDef::SetCaseInsFields, std::string())
            .String("DescFields", &TIndexDef::DescFields, &TIndexDef::SetDescFields, std::string())
            .String("Expression", &TIndexDef::Expression, &TIndexDef::SetExpression, std::string())
            .String("Fields", &TIndexDef::Fields, &TIndexDef::SetFields, std::string())
            .Set<TIndexOption>("Options", &TIndexDef::Options, &TIndexDef::SetOptions,
                               {"ixPrimary", "ixUnique", "ixDescending", "ixCaseInsensitive", "ixExpression",
                                "ixNonMaintained"},
                               TIndexOptions{})
            .String("Source", &TIndexDef::Source, &TIndexDef::SetSource, std::string())
            .Build();
    return info;
}

const TClassInfo& TIndexDefs::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TIndexDefs>("TIndexDefs", &TCollection::ClassInfo()).Build();
    return info;
}

}  // namespace velmysql
