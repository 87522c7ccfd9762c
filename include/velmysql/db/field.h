#pragma once
// TField: one column of a dataset's records. A field holds no value itself: reads and
// writes go through its dataset's GetFieldData/SetFieldData in the field type's native
// format:
//
//   string                 char[Size + 1], zero-terminated
//   small integer, integer, word, auto-increment
//                          int32_t
//   large integer          int64_t
//   boolean                int16_t, true is all bits set (-1), false 0
//   float                  double
//   date                   int32_t day number (TTimeStamp.Date)
//   time                   int32_t milliseconds since midnight (TTimeStamp.Time)
//   date-time              double, milliseconds since 1 January 0001 minus one day
//                          (TTimeStamp.Date * MSecsPerDay + TTimeStamp.Time)
//   variant                a Variant object the caller owns (Buffer points at it)
//   blob and memo          not through GetFieldData: through the dataset's blob streams
//
// Data fields (FieldKind fkData) have FieldNo >= 1, the number of their field
// definition; calculated and lookup fields have FieldNo 0 and a slot at Offset in the
// dataset's calculation area.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "velmysql/db/db_types.h"
#include "velmysql/rtl/component.h"
#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/variant.h"

namespace velmysql {

class TClassInfo;

class TDataSet;
class TField;
class TFields;
class TStream;

using TFieldNotifyEvent = std::function<void(TField* Sender)>;
using TFieldGetTextEvent = std::function<void(TField* Sender, std::string& Text, bool DisplayText)>;
using TFieldSetTextEvent = std::function<void(TField* Sender, const std::string& Text)>;

// Creates a field of one class, owned by Owner. A null TFieldClass means "no class".
using TFieldClass = TField* (*)(TComponent* Owner);

template <class T>
TField* CreateFieldOfClass(TComponent* Owner) {
    return new T(Owner);
}

// Native date-time values: milliseconds as a double, and back.
double TimeStampToMSecs(const TTimeStamp& TimeStamp);
TTimeStamp MSecsToTimeStamp(double MSecs);

class TField : public TComponent {
public:
    static const TClassInfo& ClassInfo();
    explicit TField(TComponent* AOwner);
    ~TField() override;

    // ---- identity
    TDataSet* DataSet() const { return dataSet_; }
    // Adds the field to ADataSet's fields (the dataset must be closed and must not have a
    // field of that name yet) after removing it from its previous dataset.
    void SetDataSet(TDataSet* ADataSet);
    int FieldNo() const { return fieldNo_; }
    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& Value);
    const std::string& DisplayLabel() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
    void SetDisplayLabel(const std::string& Value) { displayLabel_ = Value; }
    std::string DisplayName() const { return DisplayLabel(); }
    TFieldType DataType() const { return dataType_; }
    TFieldKind FieldKind() const { return fieldKind_; }
    void SetFieldKind(TFieldKind Value);
    bool Calculated() const { return fieldKind_ == fkCalculated; }
    bool Lookup() const { return fieldKind_ == fkLookup; }
    // Bytes of the native value (for strings Size + 1).
    virtual int DataSize() const;
    int Size() const { return size_; }
    void SetSize(int Value);
    int Offset() const { return offset_; }
    int Index() const;
    const std::string& Origin() const { return origin_; }
    void SetOrigin(const std::string& Value) { origin_ = Value; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool Value) { readOnly_ = Value; }
    bool Required() const { return required_; }
    void SetRequired(bool Value) { required_ = Value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool Value) { visible_ = Value; }
    TProviderFlags ProviderFlags() const { return providerFlags_; }
    void SetProviderFlags(TProviderFlags Value) { providerFlags_ = Value; }
    const std::string& DefaultExpression() const { return defaultExpression_; }
    void SetDefaultExpression(const std::string& Value) { defaultExpression_ = Value; }
    const std::string& CustomConstraint() const { return customConstraint_; }
    void SetCustomConstraint(const std::string& Value) { customConstraint_ = Value; }
    const std::string& ConstraintErrorMessage() const { return constraintErrorMessage_; }
    void SetConstraintErrorMessage(const std::string& Value) { constraintErrorMessage_ = Value; }
    virtual bool IsBlob() const { return false; }
    // True when the field belongs to an index of its dataset (the dataset decides).
    bool IsIndexField() const;
    bool CanModify() const;

    // ---- lookup definition (FieldKind fkLookup)
    const std::string& KeyFields() const { return keyFields_; }
    void SetKeyFields(const std::string& Value) { keyFields_ = Value; }
    TDataSet* LookupDataSet() const { return lookupDataSet_; }
    void SetLookupDataSet(TDataSet* Value);
    const std::string& LookupKeyFields() const { return lookupKeyFields_; }
    void SetLookupKeyFields(const std::string& Value) { lookupKeyFields_ = Value; }
    const std::string& LookupResultField() const { return lookupResultField_; }
    void SetLookupResultField(const std::string& Value) { lookupResultField_ = Value; }

    // ---- values
    bool IsNull() const;
    std::string AsString() const { return GetAsString(); }
    void SetAsString(const std::string& Value) { SetAsStringValue(Value); }
    int32_t AsInteger() const { return GetAsInteger(); }
    void SetAsInteger(int32_t Value) { SetAsIntegerValue(Value); }
    int64_t AsLargeInt() const { return GetAsLargeInt(); }
    void SetAsLargeInt(int64_t Value) { SetAsLargeIntValue(Value); }
    double AsFloat() const { return GetAsFloat(); }
    void SetAsFloat(double Value) { SetAsFloatValue(Value); }
    bool AsBoolean() const { return GetAsBoolean(); }
    void SetAsBoolean(bool Value) { SetAsBooleanValue(Value); }
    TDateTime AsDateTime() const { return GetAsDateTime(); }
    void SetAsDateTime(TDateTime Value) { SetAsDateTimeValue(Value); }
    Variant AsVariant() const { return GetAsVariant(); }
    void SetAsVariant(const Variant& Value) { SetAsVariantValue(Value); }
    Variant Value() const { return GetAsVariant(); }
    void SetValue(const Variant& Value) { SetAsVariantValue(Value); }
    // Text for display (DisplayText) and for editing (Text/EditText); OnGetText and
    // OnSetText take them over when assigned.
    std::string DisplayText() const;
    std::string Text() const;
    void SetText(const std::string& Value);
    std::string EditText() const { return Text(); }
    void SetEditText(const std::string& Value) { SetText(Value); }
    // Sets the value to NULL.
    virtual void Clear();

    // Copies the native value into Buffer; false for NULL. Buffer may be null.
    bool GetData(void* Buffer) const;
    // A string field's value as its bytes (all of them); false for NULL.
    bool GetStringData(std::string& Value) const;
    // Stores a string field's value (null for NULL) through the dataset.
    void SetStringData(const std::string* Value);
    // Stores the native value (null for NULL) through the dataset.
    void SetData(const void* Buffer);
    // Runs OnValidate with the value about to be stored in Buffer; while it runs, the
    // field reads that value.
    void Validate(const void* Buffer);
    // The same for a string value given as its bytes (null for NULL), as a dataset's
    // SetFieldString stores it.
    void ValidateString(const std::string* Value);
    // Runs OnChange; the dataset calls it after the value changed.
    virtual void Change();
    void FocusControl() {}

    // ---- events
    TFieldNotifyEvent OnChange, OnValidate;
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

protected:
    void SetDataType(TFieldType Value) { dataType_ = Value; }
    // Raises the error for a conversion this field type does not offer.
    [[noreturn]] void AccessError(const char* TypeName) const;
    // Called by SetSize; raises for sizes the field type cannot hold.
    virtual void CheckTypeSize(int Value);
    virtual std::string GetAsString() const;
    virtual void SetAsStringValue(const std::string& Value);
    virtual int32_t GetAsInteger() const;
    virtual void SetAsIntegerValue(int32_t Value);
    virtual int64_t GetAsLargeInt() const;
    virtual void SetAsLargeIntValue(int64_t Value);
    virtual double GetAsFloat() const;
    virtual void SetAsFloatValue(double Value);
    virtual bool GetAsBoolean() const;
    virtual void SetAsBooleanValue(bool Value);
    virtual TDateTime GetAsDateTime() const;
    virtual void SetAsDateTimeValue(TDateTime Value);
    virtual Variant GetAsVariant() const;
    virtual void SetAsVariantValue(const Variant& Value);
    // Text of the value for display or for editing.
    virtual std::string GetText(bool DisplayText) const;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TDataSet;
    friend class TFields;
    friend class TFieldDef;

    TDataSet* dataSet_ = nullptr;
    int fieldNo_ = 0;
    std::string fieldName_;
    std::string displayLabel_;
    TFieldType dataType_ = ftUnknown;
    TFieldKind fieldKind_ = fkData;
    int size_ = 0;
    int offset_ = 0;
    std::string origin_;
    bool readOnly_ = false;
    bool required_ = false;
    bool visible_ = true;
    TProviderFlags providerFlags_{pfInUpdate, pfInWhere};
    std::string defaultExpression_;
    std::string customConstraint_;
    std::string constraintErrorMessage_;
    std::string keyFields_;
    TDataSet* lookupDataSet_ = nullptr;
    std::string lookupKeyFields_;
    std::string lookupResultField_;

    // Lookup fields keep what they found per key text while the rows of the lookup
    // dataset stay the same (see TDataSet::RowsVersion), so a window of records does
    // not scan the lookup dataset once per record.
    struct TLookupCache;
    Variant CachedLookup(const std::string& Key, const std::function<Variant()>& Find);
    void CheckWritable() const;

    // While OnValidate runs, reads answer the value being validated: a native value
    // (Validate) or a string's bytes (ValidateString).
    enum class Validating { None, Native, Text };
    Validating validating_ = Validating::None;
    const void* validatingValue_ = nullptr;
    void RunOnValidate(Validating Kind, const void* Value);
    std::unique_ptr<TLookupCache> lookupCache_;
};

// The fields of a dataset, in field order. The list does not own the fields (their
// owner component does); Clear frees them.
class TFields {
public:
    explicit TFields(TDataSet* ADataSet) : dataSet_(ADataSet) {}
    ~TFields();
    TFields(const TFields&) = delete;
    TFields& operator=(const TFields&) = delete;

    int Count() const { return static_cast<int>(list_.size()); }
    TField* operator[](int Index) const;
    TField* Fields(int Index) const { return (*this)[Index]; }
    TField* FindField(const std::string& FieldName) const;
    TField* FieldByName(const std::string& FieldName) const;
    TField* FieldByNumber(int FieldNo) const;
    int IndexOf(const TField* Field) const;
    // Frees every field, the last one first.
    void Clear();
    TDataSet* DataSet() const { return dataSet_; }
    auto begin() const { return list_.begin(); }
    auto end() const { return list_.end(); }

private:
    friend class TField;
    void Add(TField* Field);
    void Remove(TField* Field);

    TDataSet* dataSet_;
    std::vector<TField*> list_;
};

}  // namespace velmysql
