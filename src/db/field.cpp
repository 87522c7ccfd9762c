#include "velmysql/db/field.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

#include "db_util.h"
#include "velmysql/db/dataset.h"
#include "velmysql/db/db_error.h"
#include "var_conv.h"

namespace velmysql {

double TimeStampToMSecs(const TTimeStamp& TimeStamp) {
    return static_cast<double>(TimeStamp.Date) * MSecsPerDay + TimeStamp.Time;
}

TTimeStamp MSecsToTimeStamp(double MSecs) {
    const double whole = std::round(MSecs);
    const double days = std::floor(whole / MSecsPerDay);
    TTimeStamp ts;
    ts.Date = static_cast<int32_t>(days);
    ts.Time = static_cast<int32_t>(whole - days * MSecsPerDay);
    return ts;
}

// ---------------------------------------------------------------- TField

struct TField::TLookupCache {
    const TDataSet* source = nullptr;
    uint64_t rowsVersion = 0;
    std::unordered_map<std::string, Variant> values;
};

namespace {
// A cache that grows past this many keys starts again: a lookup table of that size is
// read from its dataset, not remembered.
constexpr size_t kLookupCacheLimit = 4096;
}  // namespace

TField::TField(TComponent* AOwner) : TComponent(AOwner) {}

TField::~TField() {
    Destroying();
    if (dataSet_ != nullptr) {
        // A field that goes away while its dataset is open would leave the dataset with
        // bound numbers and a calculation layout that no longer match: close it first.
        // A destructor cannot be refused, so a close that raises (an Abort from
        // BeforeClose) is finished without events.
        try {
            dataSet_->Close();
        } catch (...) {
            dataSet_->ForceClose();
        }
        dataSet_->fields_->Remove(this);
        dataSet_ = nullptr;
    }
}

bool TField::IsIndexField() const {
    return dataSet_ != nullptr && fieldKind_ == fkData && dataSet_->GetIsIndexField(const_cast<TField*>(this));
}

Variant TField::CachedLookup(const std::string& Key, const std::function<Variant()>& Find) {
    if (!lookupCache_) lookupCache_ = std::make_unique<TLookupCache>();
    TLookupCache& cache = *lookupCache_;
    if (cache.source != lookupDataSet_ || cache.rowsVersion != lookupDataSet_->RowsVersion() ||
        cache.values.size() >= kLookupCacheLimit) {
        cache.values.clear();
        cache.source = lookupDataSet_;
        cache.rowsVersion = lookupDataSet_->RowsVersion();
    }
    auto found = cache.values.find(Key);
    if (found != cache.values.end()) return found->second;
    Variant value = Find();
    // Finding moves through the lookup dataset but changes none of its rows.
    cache.rowsVersion = lookupDataSet_->RowsVersion();
    cache.values.emplace(Key, value);
    return value;
}

void TField::SetDataSet(TDataSet* ADataSet) {
    if (ADataSet == dataSet_) return;
    if (dataSet_ != nullptr) dataSet_->CheckInactive();
    if (ADataSet != nullptr) {
        ADataSet->CheckInactive();
        if (fieldName_.empty()) DatabaseError(dbtext::SFieldNameMissing, ADataSet);
        if (ADataSet->FindField(fieldName_) != nullptr)
            DatabaseErrorFmt(dbtext::SDuplicateFieldName, {fieldName_}, ADataSet);
    }
    if (dataSet_ != nullptr) dataSet_->fields_->Remove(this);
    if (ADataSet != nullptr) ADataSet->fields_->Add(this);
    dataSet_ = ADataSet;
}

void TField::SetFieldName(const std::string& Value) {
    if (Value == fieldName_) return;
    if (dataSet_ != nullptr) {
        dataSet_->CheckInactive();
        TField* other = dataSet_->FindField(Value);
        if (other != nullptr && other != this)
            DatabaseErrorFmt(dbtext::SDuplicateFieldName, {Value}, dataSet_);
    }
    fieldName_ = Value;
}

void TField::SetFieldKind(TFieldKind Value) {
    if (Value == fieldKind_) return;
    if (dataSet_ != nullptr) dataSet_->CheckInactive();
    fieldKind_ = Value;
}

int TField::DataSize() const { return 0; }

void TField::SetSize(int Value) {
    if (dataSet_ != nullptr) dataSet_->CheckInactive();
    CheckTypeSize(Value);
    size_ = Value;
}

void TField::CheckTypeSize(int Value) {
    if (Value != 0) DatabaseErrorFmt(dbtext::SFieldSizeMismatch, {DisplayName(), "0", std::to_string(Value)});
}

int TField::Index() const { return dataSet_ != nullptr ? dataSet_->fields_->IndexOf(this) : -1; }

bool TField::CanModify() const {
    if (readOnly_ || dataSet_ == nullptr) return false;
    switch (fieldKind_) {
        case fkData:
            return fieldNo_ > 0 && dataSet_->CanModify();
        case fkLookup: {
            // A lookup field is changed by changing its key fields.
            if (keyFields_.empty()) return false;
            for (const std::string& name : dbutil::SplitFieldNames(keyFields_)) {
                TField* key = dataSet_->FindField(name);
                if (key == nullptr || !key->CanModify()) return false;
            }
            return true;
        }
        default:
            return false;
    }
}

void TField::SetLookupDataSet(TDataSet* Value) {
    if (Value == lookupDataSet_) return;
    if (dataSet_ != nullptr) dataSet_->CheckInactive();
    if (Value == dataSet_ && Value != nullptr) DatabaseError(dbtext::SCircularDataLink, this);
    if (lookupDataSet_ != nullptr) RemoveFreeNotification(lookupDataSet_);
    lookupDataSet_ = Value;
    if (lookupDataSet_ != nullptr) FreeNotification(lookupDataSet_);
}

void TField::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == lookupDataSet_) lookupDataSet_ = nullptr;
}

bool TField::GetData(void* Buffer) const {
    if (dataSet_ == nullptr) DatabaseErrorFmt(dbtext::SDataSetMissing, {DisplayName()});
    if (validating_ != Validating::None) {
        // OnValidate reads the value that is about to be stored.
        if (validatingValue_ == nullptr) return false;
        if (Buffer == nullptr) return true;
        if (validating_ == Validating::Text) {
            // A string's bytes, in the zero-terminated native form.
            const auto* text = static_cast<const std::string*>(validatingValue_);
            const size_t n = std::min(text->size(), static_cast<size_t>(std::max(size_, 0)));
            std::memcpy(Buffer, text->data(), n);
            static_cast<char*>(Buffer)[n] = '\0';
        } else if (dataType_ == ftVariant) {
            *static_cast<Variant*>(Buffer) = *static_cast<const Variant*>(validatingValue_);
        } else {
            std::memcpy(Buffer, validatingValue_, static_cast<size_t>(DataSize()));
        }
        return true;
    }
    return dataSet_->GetFieldData(const_cast<TField*>(this), Buffer);
}

bool TField::GetStringData(std::string& Value) const {
    if (dataSet_ == nullptr) DatabaseErrorFmt(dbtext::SDataSetMissing, {DisplayName()});
    if (validating_ == Validating::Text) {
        const auto* text = static_cast<const std::string*>(validatingValue_);
        if (text == nullptr) return false;
        Value = *text;
        return true;
    }
    if (validating_ == Validating::Native) {
        if (validatingValue_ == nullptr) return false;
        const char* text = static_cast<const char*>(validatingValue_);
        Value.assign(text, strnlen(text, static_cast<size_t>(std::max(size_, 0))));
        return true;
    }
    return dataSet_->GetFieldString(const_cast<TField*>(this), Value);
}

void TField::CheckWritable() const {
    if (dataSet_ == nullptr) DatabaseErrorFmt(dbtext::SDataSetMissing, {DisplayName()});
    const TDataSetState state = dataSet_->State();
    // Writing a value outside the write states would change a buffer that no post will
    // ever send; the dataset must be put into edit or insert mode first.
    if (!dsWriteModes.Contains(state)) DatabaseError(dbtext::SNotEditing, dataSet_);
    if (readOnly_ && fieldKind_ == fkData && dsEditModes.Contains(state))
        DatabaseErrorFmt(dbtext::SFieldReadOnly, {DisplayName()}, dataSet_);
}

void TField::SetData(const void* Buffer) {
    CheckWritable();
    dataSet_->SetFieldData(this, Buffer);
}

void TField::SetStringData(const std::string* Value) {
    CheckWritable();
    dataSet_->SetFieldString(this, Value);
}

void TField::Validate(const void* Buffer) { RunOnValidate(Validating::Native, Buffer); }

void TField::ValidateString(const std::string* Value) { RunOnValidate(Validating::Text, Value); }

void TField::RunOnValidate(Validating Kind, const void* Value) {
    if (!OnValidate) return;
    validating_ = Kind;
    validatingValue_ = Value;
    try {
        OnValidate(this);
    } catch (...) {
        validating_ = Validating::None;
        validatingValue_ = nullptr;
        throw;
    }
    validating_ = Validating::None;
    validatingValue_ = nullptr;
}

void TField::Change() {
    if (OnChange) OnChange(this);
}

bool TField::IsNull() const { return !GetData(nullptr); }

void TField::Clear() { SetData(nullptr); }

std::string TField::DisplayText() const {
    std::string text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, true);
    else
        text = GetText(true);
    return text;
}

std::string TField::Text() const {
    std::string text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, false);
    else
        text = GetText(false);
    return text;
}

void TField::SetText(const std::string& Value) {
    if (OnSetText)
        OnSetText(this, Value);
    else
        SetAsStringValue(Value);
}

std::string TField::GetText(bool) const { return GetAsString(); }

void TField::AccessError(const char* TypeName) const {
    DatabaseErrorFmt(dbtext::SFieldAccessError, {DisplayName(), TypeName});
}

std::string TField::GetAsString() const {
    if (IsNull()) return std::string();
    return "(" + ClassName() + ")";
}
void TField::SetAsStringValue(const std::string&) { AccessError("String"); }
int32_t TField::GetAsInteger() const { AccessError("Integer"); }
void TField::SetAsIntegerValue(int32_t) { AccessError("Integer"); }
int64_t TField::GetAsLargeInt() const { AccessError("LargeInt"); }
void TField::SetAsLargeIntValue(int64_t) { AccessError("LargeInt"); }
double TField::GetAsFloat() const { AccessError("Float"); }
void TField::SetAsFloatValue(double) { AccessError("Float"); }
bool TField::GetAsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBooleanValue(bool) { AccessError("Boolean"); }
TDateTime TField::GetAsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTimeValue(TDateTime) { AccessError("DateTime"); }
Variant TField::GetAsVariant() const { AccessError("Variant"); }
void TField::SetAsVariantValue(const Variant&) { AccessError("Variant"); }

// ---------------------------------------------------------------- TFields

TFields::~TFields() { Clear(); }

TField* TFields::operator[](int Index) const {
    if (Index < 0 || Index >= Count()) DatabaseError(dbtext::SFieldIndexError, dataSet_);
    return list_[static_cast<size_t>(Index)];
}

TField* TFields::FindField(const std::string& FieldName) const {
    for (TField* f : list_)
        if (dbutil::SameName(f->FieldName(), FieldName)) return f;
    return nullptr;
}

TField* TFields::FieldByName(const std::string& FieldName) const {
    TField* f = FindField(FieldName);
    if (f == nullptr) DatabaseErrorFmt(dbtext::SFieldNotFound, {FieldName}, dataSet_);
    return f;
}

TField* TFields::FieldByNumber(int FieldNo) const {
    for (TField* f : list_)
        if (f->FieldNo() == FieldNo) return f;
    return nullptr;
}

int TFields::IndexOf(const TField* Field) const {
    for (size_t i = 0; i < list_.size(); ++i)
        if (list_[i] == Field) return static_cast<int>(i);
    return -1;
}

void TFields::Clear() {
    while (!list_.empty()) {
        TField* f = list_.back();
        list_.pop_back();
        f->dataSet_ = nullptr;
        delete f;
    }
}

void TFields::Add(TField* Field) { list_.push_back(Field); }

void TFields::Remove(TField* Field) {
    for (auto it = list_.begin(); it != list_.end(); ++it)
        if (*it == Field) {
            list_.erase(it);
            return;
        }
}

}  // namespace velmysql
