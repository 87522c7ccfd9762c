#include "velmysql/db/field_defs.h"

#include "db_util.h"
#include "velmysql/db/dataset.h"
#include "velmysql/db/db_error.h"
#include "velmysql/db/db_register.h"
#include "velmysql/db/fields.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql {

TFieldDefs* TFieldDef::FieldDefs() const { return dynamic_cast<TFieldDefs*>(Collection()); }

void TFieldDef::SetName(const std::string& Value) { name_ = Value; }

void TFieldDef::SetRequired(bool Value) {
    if (Value)
        attributes_.Include(faRequired);
    else
        attributes_.Exclude(faRequired);
}

TField* TFieldDef::CreateField(TComponent* Owner) {
    TFieldDefs* defs = FieldDefs();
    TDataSet* ds = defs != nullptr ? defs->DataSet() : nullptr;
    TFieldClass fieldClass = ds != nullptr ? ds->GetFieldClass(dataType_) : DefaultFieldClass(dataType_);
    if (fieldClass == nullptr) DatabaseErrorFmt(dbtext::SNoFieldClass, {FieldTypeName(dataType_)}, ds);
    std::unique_ptr<TField> guard(fieldClass(nullptr));
    TField* field = guard.get();
    // The class may serve several types (a float field for currency, a blob field for
    // graphics): the field takes the definition's type so that binding matches.
    field->dataType_ = dataType_;
    if (dataType_ == ftString || dataType_ == ftFixedChar || dataType_ == ftWideString ||
        dataType_ == ftFixedWideChar || dataType_ == ftGuid || IsBlobType(dataType_) ||
        dataType_ == ftBytes || dataType_ == ftVarBytes)
        field->SetSize(size_);
    field->SetFieldName(name_);
    field->SetRequired(attributes_.Contains(faRequired));
    field->SetReadOnly(attributes_.Contains(faReadonly));
    if (auto* sf = dynamic_cast<TStringField*>(field); sf != nullptr && attributes_.Contains(faFixed))
        sf->SetFixedChar(true);
    if (auto* ff = dynamic_cast<TFloatField*>(field); ff != nullptr && precision_ > 0)
        ff->SetPrecision(precision_);
    if (internalCalcField_) field->SetFieldKind(fkInternalCalc);
    if (ds != nullptr) field->SetDataSet(ds);
    guard.release();
    if (Owner != nullptr) Owner->InsertComponent(field);
    return field;
}

void TFieldDef::Assign(const TPersistent* Source) {
    if (auto* src = dynamic_cast<const TFieldDef*>(Source)) {
        name_ = src->name_;
        dataType_ = src->dataType_;
        size_ = src->size_;
        precision_ = src->precision_;
        attributes_ = src->attributes_;
        internalCalcField_ = src->internalCalcField_;
        fieldNo_ = src->fieldNo_;
        return;
    }
    TPersistent::Assign(Source);
}

TFieldDefs::TFieldDefs(TDataSet* DataSet)
    : TCollection([] { return std::make_unique<TFieldDef>(); }, DataSet), dataSet_(DataSet) {
    RegisterDataAccessClasses();
}
TFieldDefs::~TFieldDefs() = default;

TFieldDef* TFieldDefs::Items(int Index) const {
    if (Index < 0 || Index >= Count()) DatabaseError(dbtext::SFieldIndexError, dataSet_);
    return static_cast<TFieldDef*>(TCollection::Items(Index));
}

void TFieldDefs::Notify(TCollectionItem* Item, TCollectionNotification Action) {
    TCollection::Notify(Item, Action);
    if (Action == cnAdded) static_cast<TFieldDef*>(Item)->SetFieldNo(Count());
    updated_ = false;
}

void TFieldDefs::Update(TCollectionItem* Item) {
    TCollection::Update(Item);
    updated_ = false;
}

TFieldDef* TFieldDefs::AddFieldDef() {
    auto* def = static_cast<TFieldDef*>(TCollection::Add());
    def->SetFieldNo(Count());
    return def;
}

void TFieldDefs::Add(const std::string& Name, TFieldType DataType, int Size, bool Required) {
    if (Name.empty()) DatabaseError(dbtext::SFieldNameMissing, dataSet_);
    if (IndexOf(Name) >= 0) DatabaseErrorFmt(dbtext::SDuplicateFieldName, {Name}, dataSet_);
    TFieldDef* def = AddFieldDef();
    def->SetName(Name);
    def->SetDataType(DataType);
    def->SetSize(Size);
    def->SetRequired(Required);
}

TFieldDef* TFieldDefs::Find(const std::string& Name) const {
    const int i = IndexOf(Name);
    if (i < 0) DatabaseErrorFmt(dbtext::SFieldNotFound, {Name}, dataSet_);
    return Items(i);
}

int TFieldDefs::IndexOf(const std::string& Name) const {
    for (int i = 0; i < Count(); ++i)
        if (dbutil::SameName(Items(i)->Name(), Name)) return i;
    return -1;
}

void TFieldDefs::Update() {
    if (!updated_ && dataSet_ != nullptr) dataSet_->UpdateFieldDefs();
}

namespace {
std::vector<std::string> FieldTypeNames() {
    std::vector<std::string> names;
    for (int i = 0; i < FieldTypeCount; ++i) names.emplace_back(FieldTypeName(static_cast<TFieldType>(i)));
    return names;
}
}  // namespace

const TClassInfo& TFieldDef::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TFieldDef>("TFieldDef", &TCollectionItem::ClassInfo())
            .String("Name", &TFieldDef::Name, &TFieldDef::SetName)
            .Set<TFieldAttribute>("Attributes", &TFieldDef::Attributes, &TFieldDef::SetAttributes,
                                  {"faHiddenCol", "faReadonly", "faRequired", "faLink", "faUnNamed", "faFixed"},
                                  TFieldAttributes{})
            .Enum<TFieldType>("DataType", &TFieldDef::DataType, &TFieldDef::SetDataType, FieldTypeNames(), ftUnknown)
            .Integer<int>("Precision", &TFieldDef::Precision, &TFieldDef::SetPrecision, 0)
            .Integer<int>("Size", &TFieldDef::Size, &TFieldDef::SetSize, 0)
            .Build();
    return info;
}

const TClassInfo& TFieldDefs::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TFieldDefs>("TFieldDefs", &TCollection::ClassInfo()).Build();
    return info;
}

}  // namespace velmysql
