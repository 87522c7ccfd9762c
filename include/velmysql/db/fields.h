#pragma once
// The field classes of the framework that datasets create for their columns.

#include <cstdint>
#include <string>

#include "velmysql/db/field.h"

namespace velmysql {

// ftString: text of at most Size bytes (default 20).
class TStringField : public TField {
public:
    static const TClassInfo& ClassInfo();
    explicit TStringField(TComponent* AOwner);
    int DataSize() const override { return Size() + 1; }
    // With FixedChar the value is read with its trailing blanks; otherwise they are cut.
    bool FixedChar() const { return fixedChar_; }
    void SetFixedChar(bool Value) { fixedChar_ = Value; }

protected:
    void CheckTypeSize(int Value) override;
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& Value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t Value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t Value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double Value) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool Value) override;
    TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(TDateTime Value) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& Value) override;
    // The stored text; false for NULL.
    bool GetValue(std::string& Value) const;

private:
    bool fixedChar_ = false;
};

// Common base of the number fields.
class TNumericField : public TField {
public:
    static const TClassInfo& ClassInfo();
    using TField::TField;
    const std::string& DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const std::string& Value) { displayFormat_ = Value; }

protected:
    // The setters of the whole-number fields: an empty text or a NULL clears, anything
    // else goes through SetAsLargeIntValue (a text that is no whole number raises).
    void SetWholeNumberText(const std::string& Value);
    void SetWholeNumberVariant(const Variant& Value);

private:
    std::string displayFormat_;
};

// ftInteger, and the base of the small integer, word and auto-increment fields: a 32-bit
// native value checked against MinValue..MaxValue (when either is non-zero) on writing.
class TIntegerField : public TNumericField {
public:
    static const TClassInfo& ClassInfo();
    explicit TIntegerField(TComponent* AOwner);
    int DataSize() const override { return 4; }
    int32_t MinValue() const { return minValue_; }
    void SetMinValue(int32_t Value) { minValue_ = Value; }
    int32_t MaxValue() const { return maxValue_; }
    void SetMaxValue(int32_t Value) { maxValue_ = Value; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& Value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t Value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t Value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double Value) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& Value) override;
    bool GetValue(int32_t& Value) const;
    // The range the field type allows before MinValue/MaxValue narrow it.
    virtual int64_t TypeMin() const { return INT32_MIN; }
    virtual int64_t TypeMax() const { return INT32_MAX; }
    void CheckRange(int64_t Value) const;

private:
    int32_t minValue_ = 0;
    int32_t maxValue_ = 0;
};

// ftSmallint: -32768..32767, held natively as 32 bits.
class TSmallintField : public TIntegerField {
public:
    static const TClassInfo& ClassInfo();
    explicit TSmallintField(TComponent* AOwner);

protected:
    int64_t TypeMin() const override { return INT16_MIN; }
    int64_t TypeMax() const override { return INT16_MAX; }
};

// ftWord: 0..65535, held natively as 32 bits.
class TWordField : public TIntegerField {
public:
    static const TClassInfo& ClassInfo();
    explicit TWordField(TComponent* AOwner);

protected:
    int64_t TypeMin() const override { return 0; }
    int64_t TypeMax() const override { return UINT16_MAX; }
};

// ftAutoInc: an integer the server assigns.
class TAutoIncField : public TIntegerField {
public:
    static const TClassInfo& ClassInfo();
    explicit TAutoIncField(TComponent* AOwner);
};

// ftLargeint: a 64-bit native value.
class TLargeintField : public TNumericField {
public:
    static const TClassInfo& ClassInfo();
    explicit TLargeintField(TComponent* AOwner);
    int DataSize() const override { return 8; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& Value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t Value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t Value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double Value) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& Value) override;
    bool GetValue(int64_t& Value) const;
};

// ftFloat: a double. Precision (default 15) is the number of significant digits shown.
class TFloatField : public TNumericField {
public:
    static const TClassInfo& ClassInfo();
    explicit TFloatField(TComponent* AOwner);
    int DataSize() const override { return 8; }
    int Precision() const { return precision_; }
    void SetPrecision(int Value) { precision_ = Value; }
    bool Currency() const { return currency_; }
    void SetCurrency(bool Value) { currency_ = Value; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& Value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t Value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t Value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double Value) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& Value) override;
    std::string GetText(bool DisplayText) const override;

private:
    int precision_ = 15;
    bool currency_ = false;
};

// ftBoolean: 16 bits, true is all bits set. DisplayValues is "true text;false text"
// (default "True;False"); texts are read ignoring case, and a prefix of either is enough.
class TBooleanField : public TField {
public:
    static const TClassInfo& ClassInfo();
    explicit TBooleanField(TComponent* AOwner);
    int DataSize() const override { return 2; }
    const std::string& DisplayValues() const { return displayValues_; }
    void SetDisplayValues(const std::string& Value);

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& Value) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool Value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t Value) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& Value) override;

private:
    std::string displayValues_;
    std::string trueText_ = "True";
    std::string falseText_ = "False";
};

// ftDateTime (and the base of the date and time fields): a moment. The native value
// depends on the type (see field.h); AsDateTime converts.
class TDateTimeField : public TField {
public:
    static const TClassInfo& ClassInfo();
    explicit TDateTimeField(TComponent* AOwner);
    int DataSize() const override;
    const std::string& DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const std::string& Value) { displayFormat_ = Value; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& Value) override;
    TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(TDateTime Value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double Value) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& Value) override;
    std::string GetText(bool DisplayText) const override;
    bool GetValue(TDateTime& Value) const;

private:
    std::string displayFormat_;
};

class TDateField : public TDateTimeField {
public:
    static const TClassInfo& ClassInfo();
    explicit TDateField(TComponent* AOwner);
};

class TTimeField : public TDateTimeField {
public:
    static const TClassInfo& ClassInfo();
    explicit TTimeField(TComponent* AOwner);
};

// ftBlob and the other blob types: bytes of any length, read and written through the
// dataset's blob streams. Modified tells that the value was written since the record
// was fetched.
class TBlobField : public TField {
public:
    static const TClassInfo& ClassInfo();
    explicit TBlobField(TComponent* AOwner);
    int DataSize() const override { return 0; }
    bool IsBlob() const override { return true; }
    bool Modified() const { return modified_; }
    void SetModified(bool Value) { modified_ = Value; }
    void SetFieldType(TFieldType Value);
    void Clear() override;
    int BlobSize() const;
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;

protected:
    void CheckTypeSize(int Value) override;
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& Value) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& Value) override;
    std::string GetText(bool DisplayText) const override;

private:
    bool modified_ = false;
};

// ftMemo: a blob of text; it shows its text rather than "(MEMO)" when edited.
class TMemoField : public TBlobField {
public:
    static const TClassInfo& ClassInfo();
    explicit TMemoField(TComponent* AOwner);

protected:
    std::string GetText(bool DisplayText) const override;
};

// ftVariant: any Variant value.
class TVariantField : public TField {
public:
    static const TClassInfo& ClassInfo();
    explicit TVariantField(TComponent* AOwner);
    int DataSize() const override { return static_cast<int>(sizeof(Variant)); }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& Value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t Value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t Value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double Value) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool Value) override;
    TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(TDateTime Value) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& Value) override;
};

// The framework's standard field class for a field type; null where there is none.
TFieldClass DefaultFieldClass(TFieldType FieldType);

}  // namespace velmysql
