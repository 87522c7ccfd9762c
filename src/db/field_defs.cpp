#include "velmysql/db/field_defs.h"

#include "db_util.h"
#include "velmysql/db/dataset.h"
#include "velmysql/db/db_error.h"
#include "velmysql/db/fields.h"

namespace velmysql {

TFieldDef::TFieldDef(TFieldDefs* Owner) : owner_(Owner) {}

void TFieldDef::SetName(const std::string& Value) { name_ = Value; }

void TFieldDef::SetRequired(bool Value) {
    if (Value)
        attributes_.Include(faRequired);
    else
        attributes_.Exclude(faRequired);
}

int TFieldDef::Index() const {
    if (owner_ == nullptr) return -1;
    for (int i = 0; i < owner_->Count(); ++i)
        if (owner_->Items(i) == this) return i;
    return -1;
}

TField* TFieldDef::CreateField(TComponent* Owner) {
    TDataSet* ds = owner_ != nullptr ? owner_->DataSet() : nullptr;
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
        return;
    }
    TPersistent::Assign(Source);
}

TFieldDefs::TFieldDefs(TDataSet* DataSet) : dataSet_(DataSet) {}
TFieldDefs::~TFieldDefs() = default;

TFieldDef* TFieldDefs::Items(int Index) const {
    if (Index < 0 || Index >= Count()) DatabaseError(dbtext::SFieldIndexError, dataSet_);
    return items_[static_cast<size_t>(Index)].get();
}

TFieldDef* TFieldDefs::AddFieldDef() {
    items_.push_back(std::make_unique<TFieldDef>(this));
    items_.back()->SetFieldNo(Count());
    updated_ = false;
    return items_.back().get();
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
    return items_[static_cast<size_t>(i)].get();
}

int TFieldDefs::IndexOf(const std::string& Name) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (dbutil::SameName(items_[i]->Name(), Name)) return static_cast<int>(i);
    return -1;
}

void TFieldDefs::Delete(int Index) {
    Items(Index);
    items_.erase(items_.begin() + Index);
    updated_ = false;
}

void TFieldDefs::Clear() {
    items_.clear();
    updated_ = false;
}

void TFieldDefs::Update() {
    if (!updated_ && dataSet_ != nullptr) dataSet_->UpdateFieldDefs();
}

void TFieldDefs::Assign(const TPersistent* Source) {
    if (auto* src = dynamic_cast<const TFieldDefs*>(Source)) {
        if (src == this) return;
        items_.clear();
        for (const auto& def : src->items_) {
            TFieldDef* copy = AddFieldDef();
            copy->Assign(def.get());
            copy->SetFieldNo(def->FieldNo());
        }
        updated_ = false;
        return;
    }
    TPersistent::Assign(Source);
}

}  // namespace velmysql
