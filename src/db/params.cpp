#include "velmysql/db/params.h"

#include "db_util.h"
#include "velmysql/db/db_error.h"
#include "velmysql/db/db_register.h"
#include "velmysql/db/field.h"
#include "var_conv.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql {

namespace {

TFieldType TypeOfValue(const Variant& v) {
    switch (dbvar::KindOf(v)) {
        case dbvar::Kind::Boolean: return ftBoolean;
        case dbvar::Kind::Integer: return ftInteger;
        case dbvar::Kind::Int64: return ftLargeint;
        case dbvar::Kind::Float: return ftFloat;
        case dbvar::Kind::DateTime: return ftDateTime;
        case dbvar::Kind::String: return ftString;
        default: return ftUnknown;
    }
}

}  // namespace

TParam::TParam() : value_(dbvar::Null()) {}

TParam::TParam(TParamType ParamType, const std::string& Name)
    : name_(Name), paramType_(ParamType), value_(dbvar::Null()) {}

void TParam::SetDataType(TFieldType Value) {
    if (Value == dataType_) return;
    dataType_ = Value;
    if (dbvar::IsNullish(value_)) return;
    // Keep the value in the new type when it converts; a value that does not fit the
    // new type is dropped rather than kept under a type it does not have.
    try {
        switch (Value) {
            case ftString: case ftFixedChar: case ftMemo: case ftBlob:
                value_ = Variant(dbvar::ToString(value_)); break;
            case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint:
                value_ = Variant(dbvar::ToInt64(value_)); break;
            case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd:
                value_ = Variant(dbvar::ToDouble(value_)); break;
            case ftBoolean:
                value_ = Variant(dbvar::ToBoolean(value_)); break;
            case ftDate: case ftTime: case ftDateTime:
                value_ = dbvar::FromDateTime(dbvar::ToDateTime(value_)); break;
            default: break;
        }
    } catch (const EConvertError&) {
        value_ = dbvar::Null();
    }
}

bool TParam::IsNull() const { return dbvar::IsNullish(value_); }

void TParam::Clear() {
    value_ = dbvar::Null();
    bound_ = true;
}

void TParam::SetValue(const Variant& Value) {
    if (dataType_ == ftUnknown) dataType_ = TypeOfValue(Value);
    value_ = dbvar::IsNullish(Value) ? dbvar::Null() : Value;
    bound_ = true;
}

std::string TParam::AsString() const { return IsNull() ? std::string() : dbvar::ToString(value_); }
int32_t TParam::AsInteger() const {
    if (IsNull()) return 0;
    const int64_t v = dbvar::ToInt64(value_);
    if (v < INT32_MIN || v > INT32_MAX) throw EConvertError("'" + dbvar::ToString(value_) + "' is not a valid integer value");
    return static_cast<int32_t>(v);
}
int64_t TParam::AsLargeInt() const { return IsNull() ? 0 : dbvar::ToInt64(value_); }
double TParam::AsFloat() const { return IsNull() ? 0 : dbvar::ToDouble(value_); }
bool TParam::AsBoolean() const { return !IsNull() && dbvar::ToBoolean(value_); }
TDateTime TParam::AsDateTime() const { return IsNull() ? 0 : dbvar::ToDateTime(value_); }

void TParam::SetAsString(const std::string& Value) { dataType_ = ftString; SetValue(Variant(Value)); }
void TParam::SetAsMemo(const std::string& Value) { dataType_ = ftMemo; SetValue(Variant(Value)); }
void TParam::SetAsBlob(const std::string& Value) { dataType_ = ftBlob; SetValue(Variant(Value)); }
void TParam::SetAsInteger(int32_t Value) { dataType_ = ftInteger; SetValue(Variant(Value)); }
void TParam::SetAsSmallInt(int32_t Value) { dataType_ = ftSmallint; SetValue(Variant(Value)); }
void TParam::SetAsWord(int32_t Value) { dataType_ = ftWord; SetValue(Variant(Value)); }
void TParam::SetAsLargeInt(int64_t Value) { dataType_ = ftLargeint; SetValue(Variant(Value)); }
void TParam::SetAsFloat(double Value) { dataType_ = ftFloat; SetValue(Variant(Value)); }
void TParam::SetAsBoolean(bool Value) { dataType_ = ftBoolean; SetValue(Variant(Value)); }
void TParam::SetAsDateTime(TDateTime Value) { dataType_ = ftDateTime; SetValue(dbvar::FromDateTime(Value)); }
void TParam::SetAsDate(TDateTime Value) { dataType_ = ftDate; SetValue(dbvar::FromDateTime(Value)); }
void TParam::SetAsTime(TDateTime Value) { dataType_ = ftTime; SetValue(dbvar::FromDateTime(Value)); }

void TParam::Assign(const TPersistent* Source) {
    if (auto* src = dynamic_cast<const TParam*>(Source)) {
        if (src == this) return;
        name_ = src->name_;
        paramType_ = src->paramType_;
        dataType_ = src->dataType_;
        size_ = src->size_;
        precision_ = src->precision_;
        numericScale_ = src->numericScale_;
        bound_ = src->bound_;
        value_ = src->value_;
        return;
    }
    if (auto* field = dynamic_cast<const TField*>(Source)) {
        AssignField(field);
        return;
    }
    TPersistent::Assign(Source);
}

void TParam::AssignField(const TField* Field) {
    if (Field == nullptr) return;
    AssignFieldValue(Field, Field->AsVariant());
    name_ = Field->FieldName();
}

void TParam::AssignFieldValue(const TField* Field, const Variant& Value) {
    if (Field == nullptr) return;
    dataType_ = Field->DataType();
    size_ = Field->Size();
    SetValue(Value);
}

TParams::TParams(TPersistent* Owner) : TCollection([] { return std::make_unique<TParam>(); }, Owner) {
    RegisterDataAccessClasses();
}
TParams::~TParams() = default;

TParam* TParams::Items(int Index) const {
    if (Index < 0 || Index >= Count()) DatabaseError(dbtext::SFieldIndexError);
    return static_cast<TParam*>(TCollection::Items(Index));
}

TParam* TParams::AddParam() { return static_cast<TParam*>(Add()); }

TParam* TParams::CreateParam(TFieldType FldType, const std::string& ParamName, TParamType ParamType) {
    TParam* p = AddParam();
    p->SetName(ParamName);
    p->SetDataType(FldType);
    p->SetParamType(ParamType);
    return p;
}

TParam* TParams::FindParam(const std::string& Value) const {
    for (int i = 0; i < Count(); ++i)
        if (dbutil::SameName(Items(i)->Name(), Value)) return Items(i);
    return nullptr;
}

TParam* TParams::ParamByName(const std::string& Value) const {
    TParam* p = FindParam(Value);
    if (p == nullptr) DatabaseErrorFmt(dbtext::SParameterNotFound, {Value});
    return p;
}

void TParams::AssignValues(const TParams& Value) {
    for (int i = 0; i < Value.Count(); ++i) {
        TParam* src = Value.Items(i);
        TParam* p = FindParam(src->Name());
        if (p != nullptr && p != src) p->Assign(src);
    }
}

void TParams::RemoveParam(TParam* Value) {
    if (Value != nullptr && Value->Collection() == this) Delete(Value->Index());
}

bool TParams::IsEqual(const TParams& Value) const {
    if (Count() != Value.Count()) return false;
    for (int i = 0; i < Count(); ++i) {
        const TParam* a = Items(i);
        const TParam* b = Value.Items(i);
        if (a->Name() != b->Name() || a->ParamType() != b->ParamType() || a->DataType() != b->DataType() ||
            a->IsNull() != b->IsNull() || a->AsString() != b->AsString())
            return false;
    }
    return true;
}

namespace {
std::string ParamValueText(const TParam& p) { return p.AsString(); }
void SetParamValueText(TParam& p, const std::string& text) {
    // Stored as text; the data type read before it says how to take it.
    const TFieldType type = p.DataType();
    p.SetValue(Variant(text));
    if (type != ftUnknown && type != ftString) {
        p.SetDataType(ftString);
        p.SetDataType(type);
    }
}
}  // namespace

const TClassInfo& TParam::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TParam>("TParam", &TCollectionItem::ClassInfo())
            .Enum<TFieldType>("DataType", &TParam::DataType, &TParam::SetDataType,
                              [] {
                                  std::vector<std::string> names;
                                  for (int i = 0; i < FieldTypeCount; ++i)
                                      names.emplace_back(FieldTypeName(static_cast<TFieldType>(i)));
                                  return names;
                              }(),
                              ftUnknown)
            .String("Name", &TParam::Name, &TParam::SetName)
            .Enum<TParamType>("ParamType", &TParam::ParamType, &TParam::SetParamType,
                              {"ptUnknown", "ptInput", "ptOutput", "ptInputOutput", "ptResult"}, ptUnknown)
            .Integer<int>("Size", &TParam::Size, &TParam::SetSize, 0)
            .String("Value", &ParamValueText, &SetParamValueText)
            .Stored([](const TParam& p) { return !p.IsNull(); })
            .Build();
    return info;
}

const TClassInfo& TParams::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TParams>("TParams", &TCollection::ClassInfo()).Build();
    return info;
}

}  // namespace velmysql
