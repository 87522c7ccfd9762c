#include "velmysql/db/fields.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "db_util.h"
#include "velmysql/db/dataset.h"
#include "velmysql/db/db_error.h"
#include "velmysql/rtl/datetext.h"
#include "velmysql/rtl/floattext.h"
#include "velmysql/rtl/stream.h"
#include "var_conv.h"

namespace velmysql {

namespace {

[[noreturn]] void ConvertError(const char* format, const std::string& value, const TField* field) {
    throw EConvertError(DbFormat(format, {value, field->DisplayName()}));
}

bool ParseInt64(const std::string& text, int64_t& value) {
    return TryStrToInt64(dbutil::Trim(text), value);
}

// Whether a rounded double converts to the integer type without leaving its range (NaN
// never does; 2^63 itself is not representable as int64).
bool FitsInt32(double r) { return r >= static_cast<double>(INT32_MIN) && r <= static_cast<double>(INT32_MAX); }
bool FitsInt64(double r) { return r >= -9223372036854775808.0 && r < 9223372036854775808.0; }
bool FitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

}  // namespace

// ---------------------------------------------------------------- TStringField

TStringField::TStringField(TComponent* AOwner) : TField(AOwner) {
    SetDataType(ftString);
    SetSize(20);
}

void TStringField::CheckTypeSize(int Value) {
    if (Value < 0) DatabaseErrorFmt(dbtext::SFieldSizeMismatch, {DisplayName(), "0..", std::to_string(Value)});
}

bool TStringField::GetValue(std::string& Value) const {
    // The dataset copies the value's own bytes into Value, once.
    if (!GetStringData(Value)) {
        Value.clear();
        return false;
    }
    if (fixedChar_) {
        size_t end = Value.find_last_not_of(' ');
        Value.erase(end == std::string::npos ? 0 : end + 1);
    }
    return true;
}

std::string TStringField::GetAsString() const {
    std::string value;
    return GetValue(value) ? value : std::string();
}

void TStringField::SetAsStringValue(const std::string& Value) {
    if (Value.size() <= static_cast<size_t>(Size())) {
        SetStringData(&Value);
        return;
    }
    const std::string cut = Value.substr(0, static_cast<size_t>(Size()));
    SetStringData(&cut);
}

int32_t TStringField::GetAsInteger() const {
    const int64_t v = GetAsLargeInt();
    if (!FitsInt32(v)) ConvertError(dbtext::SInvalidIntegerValue, GetAsString(), this);
    return static_cast<int32_t>(v);
}

void TStringField::SetAsIntegerValue(int32_t Value) { SetAsStringValue(IntToStr(Value)); }

int64_t TStringField::GetAsLargeInt() const {
    std::string text;
    if (!GetValue(text)) return 0;
    int64_t v;
    if (!ParseInt64(text, v)) ConvertError(dbtext::SInvalidIntegerValue, text, this);
    return v;
}

void TStringField::SetAsLargeIntValue(int64_t Value) { SetAsStringValue(IntToStr(Value)); }

double TStringField::GetAsFloat() const {
    std::string text;
    if (!GetValue(text)) return 0;
    double v;
    if (!TryStrToFloat(text, v)) ConvertError(dbtext::SInvalidFloatValue, text, this);
    return v;
}

void TStringField::SetAsFloatValue(double Value) { SetAsStringValue(FloatToStr(Value)); }

bool TStringField::GetAsBoolean() const {
    const std::string text = GetAsString();
    return !text.empty() && (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
}

void TStringField::SetAsBooleanValue(bool Value) { SetAsStringValue(Value ? "T" : "F"); }

TDateTime TStringField::GetAsDateTime() const {
    std::string text;
    if (!GetValue(text)) return 0;
    TDateTime v;
    if (!TryStrToDateTime(text, v)) ConvertError(dbtext::SInvalidDateValue, text, this);
    return v;
}

void TStringField::SetAsDateTimeValue(TDateTime Value) { SetAsStringValue(DateTimeToStr(Value)); }

Variant TStringField::GetAsVariant() const {
    std::string text;
    if (!GetValue(text)) return dbvar::Null();
    return Variant(text);
}

void TStringField::SetAsVariantValue(const Variant& Value) {
    if (dbvar::IsNullish(Value))
        Clear();
    else
        SetAsStringValue(dbvar::ToString(Value));
}

// ---------------------------------------------------------------- TNumericField

void TNumericField::SetWholeNumberText(const std::string& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    int64_t v;
    if (!ParseInt64(Value, v)) ConvertError(dbtext::SInvalidIntegerValue, Value, this);
    SetAsLargeIntValue(v);
}

void TNumericField::SetWholeNumberVariant(const Variant& Value) {
    if (dbvar::IsNullish(Value))
        Clear();
    else
        SetAsLargeIntValue(dbvar::ToInt64(Value));
}

// ---------------------------------------------------------------- TIntegerField

TIntegerField::TIntegerField(TComponent* AOwner) : TNumericField(AOwner) { SetDataType(ftInteger); }
TSmallintField::TSmallintField(TComponent* AOwner) : TIntegerField(AOwner) { SetDataType(ftSmallint); }
TWordField::TWordField(TComponent* AOwner) : TIntegerField(AOwner) { SetDataType(ftWord); }
TAutoIncField::TAutoIncField(TComponent* AOwner) : TIntegerField(AOwner) { SetDataType(ftAutoInc); }

bool TIntegerField::GetValue(int32_t& Value) const {
    int32_t v = 0;
    if (!GetData(&v)) return false;
    Value = v;
    return true;
}

void TIntegerField::CheckRange(int64_t Value) const {
    int64_t lo = TypeMin(), hi = TypeMax();
    if (minValue_ != 0 || maxValue_ != 0) {
        lo = std::max<int64_t>(lo, minValue_);
        hi = std::min<int64_t>(hi, maxValue_);
    }
    if (Value < lo || Value > hi)
        DatabaseErrorFmt(dbtext::SFieldRangeError,
                         {IntToStr(Value), DisplayName(), IntToStr(lo), IntToStr(hi)});
}

std::string TIntegerField::GetAsString() const {
    int32_t v;
    return GetValue(v) ? IntToStr(v) : std::string();
}

void TIntegerField::SetAsStringValue(const std::string& Value) { SetWholeNumberText(Value); }

int32_t TIntegerField::GetAsInteger() const {
    int32_t v;
    return GetValue(v) ? v : 0;
}

void TIntegerField::SetAsIntegerValue(int32_t Value) {
    CheckRange(Value);
    SetData(&Value);
}

int64_t TIntegerField::GetAsLargeInt() const { return GetAsInteger(); }

void TIntegerField::SetAsLargeIntValue(int64_t Value) {
    CheckRange(Value);
    SetAsIntegerValue(static_cast<int32_t>(Value));
}

double TIntegerField::GetAsFloat() const { return GetAsInteger(); }

void TIntegerField::SetAsFloatValue(double Value) {
    const double r = std::round(Value);
    if (!FitsInt32(r)) ConvertError(dbtext::SInvalidIntegerValue, FloatToStr(Value), this);
    SetAsLargeIntValue(static_cast<int64_t>(r));
}

Variant TIntegerField::GetAsVariant() const {
    int32_t v;
    if (!GetValue(v)) return dbvar::Null();
    return Variant(v);
}

void TIntegerField::SetAsVariantValue(const Variant& Value) { SetWholeNumberVariant(Value); }

// ---------------------------------------------------------------- TLargeintField

TLargeintField::TLargeintField(TComponent* AOwner) : TNumericField(AOwner) { SetDataType(ftLargeint); }

bool TLargeintField::GetValue(int64_t& Value) const {
    int64_t v = 0;
    if (!GetData(&v)) return false;
    Value = v;
    return true;
}

std::string TLargeintField::GetAsString() const {
    int64_t v;
    return GetValue(v) ? IntToStr(v) : std::string();
}

void TLargeintField::SetAsStringValue(const std::string& Value) { SetWholeNumberText(Value); }

int32_t TLargeintField::GetAsInteger() const {
    const int64_t v = GetAsLargeInt();
    if (!FitsInt32(v)) ConvertError(dbtext::SInvalidIntegerValue, IntToStr(v), this);
    return static_cast<int32_t>(v);
}

void TLargeintField::SetAsIntegerValue(int32_t Value) { SetAsLargeIntValue(Value); }

int64_t TLargeintField::GetAsLargeInt() const {
    int64_t v;
    return GetValue(v) ? v : 0;
}

void TLargeintField::SetAsLargeIntValue(int64_t Value) { SetData(&Value); }

double TLargeintField::GetAsFloat() const { return static_cast<double>(GetAsLargeInt()); }

void TLargeintField::SetAsFloatValue(double Value) {
    const double r = std::round(Value);
    if (!FitsInt64(r)) ConvertError(dbtext::SInvalidIntegerValue, FloatToStr(Value), this);
    SetAsLargeIntValue(static_cast<int64_t>(r));
}

Variant TLargeintField::GetAsVariant() const {
    int64_t v;
    if (!GetValue(v)) return dbvar::Null();
    return Variant(v);
}

void TLargeintField::SetAsVariantValue(const Variant& Value) { SetWholeNumberVariant(Value); }

// ---------------------------------------------------------------- TFloatField

TFloatField::TFloatField(TComponent* AOwner) : TNumericField(AOwner) { SetDataType(ftFloat); }

std::string TFloatField::GetAsString() const {
    double v = 0;
    return GetData(&v) ? FloatToStr(v) : std::string();
}

std::string TFloatField::GetText(bool) const { return GetAsString(); }

void TFloatField::SetAsStringValue(const std::string& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    double v;
    if (!TryStrToFloat(Value, v)) ConvertError(dbtext::SInvalidFloatValue, Value, this);
    SetAsFloatValue(v);
}

int32_t TFloatField::GetAsInteger() const {
    const double r = std::round(GetAsFloat());
    if (!FitsInt32(r)) ConvertError(dbtext::SInvalidIntegerValue, FloatToStr(r), this);
    return static_cast<int32_t>(r);
}

void TFloatField::SetAsIntegerValue(int32_t Value) { SetAsFloatValue(Value); }

int64_t TFloatField::GetAsLargeInt() const {
    const double r = std::round(GetAsFloat());
    if (!FitsInt64(r)) ConvertError(dbtext::SInvalidIntegerValue, FloatToStr(r), this);
    return static_cast<int64_t>(r);
}

void TFloatField::SetAsLargeIntValue(int64_t Value) { SetAsFloatValue(static_cast<double>(Value)); }

double TFloatField::GetAsFloat() const {
    double v = 0;
    return GetData(&v) ? v : 0;
}

void TFloatField::SetAsFloatValue(double Value) { SetData(&Value); }

Variant TFloatField::GetAsVariant() const {
    double v = 0;
    if (!GetData(&v)) return dbvar::Null();
    return Variant(v);
}

void TFloatField::SetAsVariantValue(const Variant& Value) {
    if (dbvar::IsNullish(Value))
        Clear();
    else
        SetAsFloatValue(dbvar::ToDouble(Value));
}

// ---------------------------------------------------------------- TBooleanField

TBooleanField::TBooleanField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftBoolean); }

void TBooleanField::SetDisplayValues(const std::string& Value) {
    displayValues_ = Value;
    const size_t sep = Value.find(';');
    if (Value.empty()) {
        trueText_ = "True";
        falseText_ = "False";
    } else if (sep == std::string::npos) {
        trueText_ = Value;
        falseText_.clear();
    } else {
        trueText_ = Value.substr(0, sep);
        falseText_ = Value.substr(sep + 1);
    }
}

bool TBooleanField::GetAsBoolean() const {
    int16_t v = 0;
    return GetData(&v) && v != 0;
}

void TBooleanField::SetAsBooleanValue(bool Value) {
    const int16_t v = Value ? int16_t{-1} : int16_t{0};
    SetData(&v);
}

std::string TBooleanField::GetAsString() const {
    int16_t v = 0;
    if (!GetData(&v)) return std::string();
    return v != 0 ? trueText_ : falseText_;
}

void TBooleanField::SetAsStringValue(const std::string& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    auto prefixOf = [&](const std::string& full) {
        return Value.size() <= full.size() && dbutil::SameName(Value, full.substr(0, Value.size()));
    };
    if (prefixOf(falseText_))
        SetAsBooleanValue(false);
    else if (prefixOf(trueText_))
        SetAsBooleanValue(true);
    else
        ConvertError(dbtext::SInvalidBoolValue, Value, this);
}

int32_t TBooleanField::GetAsInteger() const { return GetAsBoolean() ? 1 : 0; }
void TBooleanField::SetAsIntegerValue(int32_t Value) { SetAsBooleanValue(Value != 0); }

Variant TBooleanField::GetAsVariant() const {
    int16_t v = 0;
    if (!GetData(&v)) return dbvar::Null();
    return Variant(v != 0);
}

void TBooleanField::SetAsVariantValue(const Variant& Value) {
    if (dbvar::IsNullish(Value))
        Clear();
    else
        SetAsBooleanValue(dbvar::ToBoolean(Value));
}

// ---------------------------------------------------------------- TDateTimeField

TDateTimeField::TDateTimeField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftDateTime); }
TDateField::TDateField(TComponent* AOwner) : TDateTimeField(AOwner) { SetDataType(ftDate); }
TTimeField::TTimeField(TComponent* AOwner) : TDateTimeField(AOwner) { SetDataType(ftTime); }

int TDateTimeField::DataSize() const { return DataType() == ftDateTime ? 8 : 4; }

bool TDateTimeField::GetValue(TDateTime& Value) const {
    switch (DataType()) {
        case ftDate: {
            int32_t day = 0;
            if (!GetData(&day)) return false;
            Value = TimeStampToDateTime(TTimeStamp{0, day});
            return true;
        }
        case ftTime: {
            int32_t ms = 0;
            if (!GetData(&ms)) return false;
            Value = TimeStampToDateTime(TTimeStamp{ms, DateDelta});
            return true;
        }
        default: {
            double ms = 0;
            if (!GetData(&ms)) return false;
            Value = TimeStampToDateTime(MSecsToTimeStamp(ms));
            return true;
        }
    }
}

TDateTime TDateTimeField::GetAsDateTime() const {
    TDateTime v = 0;
    return GetValue(v) ? v : 0;
}

void TDateTimeField::SetAsDateTimeValue(TDateTime Value) {
    const TTimeStamp ts = DateTimeToTimeStamp(Value);
    switch (DataType()) {
        case ftDate: {
            const int32_t day = ts.Date;
            SetData(&day);
            break;
        }
        case ftTime: {
            const int32_t ms = ts.Time;
            SetData(&ms);
            break;
        }
        default: {
            const double ms = TimeStampToMSecs(ts);
            SetData(&ms);
            break;
        }
    }
}

double TDateTimeField::GetAsFloat() const { return GetAsDateTime(); }
void TDateTimeField::SetAsFloatValue(double Value) { SetAsDateTimeValue(Value); }

std::string TDateTimeField::GetText(bool DisplayText) const {
    TDateTime v;
    if (!GetValue(v)) return std::string();
    if (DisplayText && !displayFormat_.empty()) return FormatDateTime(displayFormat_, v);
    switch (DataType()) {
        case ftDate: return DateToStr(v);
        case ftTime: return TimeToStr(v);
        default: return DateTimeToStr(v);
    }
}

std::string TDateTimeField::GetAsString() const { return GetText(false); }

void TDateTimeField::SetAsStringValue(const std::string& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    TDateTime v = 0;
    bool ok;
    switch (DataType()) {
        case ftDate: ok = TryStrToDate(Value, v); break;
        case ftTime: ok = TryStrToTime(Value, v); break;
        default: ok = TryStrToDateTime(Value, v); break;
    }
    if (!ok) ConvertError(dbtext::SInvalidDateValue, Value, this);
    SetAsDateTimeValue(v);
}

Variant TDateTimeField::GetAsVariant() const {
    TDateTime v;
    if (!GetValue(v)) return dbvar::Null();
    return dbvar::FromDateTime(v);
}

void TDateTimeField::SetAsVariantValue(const Variant& Value) {
    if (dbvar::IsNullish(Value))
        Clear();
    else if (dbvar::KindOf(Value) == dbvar::Kind::String)
        SetAsStringValue(dbvar::ToString(Value));
    else
        SetAsDateTimeValue(dbvar::ToDateTime(Value));
}

// ---------------------------------------------------------------- TBlobField

TBlobField::TBlobField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftBlob); }
TMemoField::TMemoField(TComponent* AOwner) : TBlobField(AOwner) { SetDataType(ftMemo); }

void TBlobField::SetFieldType(TFieldType Value) {
    if (IsBlobType(Value)) SetDataType(Value);
}

void TBlobField::CheckTypeSize(int Value) {
    if (Value < 0) DatabaseErrorFmt(dbtext::SFieldSizeMismatch, {DisplayName(), "0..", std::to_string(Value)});
}

namespace {
std::unique_ptr<TStream> OpenBlob(const TBlobField* field, TBlobStreamMode mode) {
    if (field->DataSet() == nullptr) DatabaseErrorFmt(dbtext::SDataSetMissing, {field->DisplayName()});
    return field->DataSet()->CreateBlobStream(const_cast<TBlobField*>(field), mode);
}
}  // namespace

std::string TBlobField::GetAsString() const {
    std::unique_ptr<TStream> stream = OpenBlob(this, bmRead);
    if (!stream) return std::string();
    // One read of the whole value: a dataset's blob stream may fetch the value anew for
    // every read.
    std::string value(static_cast<size_t>(std::max<int64_t>(stream->Size(), 0)), '\0');
    stream->Seek(0, soBeginning);
    value.resize(stream->Read(value.data(), value.size()));
    return value;
}

void TBlobField::SetAsStringValue(const std::string& Value) {
    if (DataSet() != nullptr && !dsWriteModes.Contains(DataSet()->State()))
        DatabaseError(dbtext::SNotEditing, DataSet());
    std::unique_ptr<TStream> stream = OpenBlob(this, bmWrite);
    if (!stream) return;
    if (!Value.empty()) stream->WriteBuffer(Value.data(), Value.size());
    modified_ = true;
}

void TBlobField::Clear() { SetAsStringValue(std::string()); }

int TBlobField::BlobSize() const {
    std::unique_ptr<TStream> stream = OpenBlob(this, bmRead);
    return stream ? static_cast<int>(stream->Size()) : 0;
}

void TBlobField::LoadFromStream(TStream& Stream) {
    std::string value;
    char chunk[4096];
    Stream.Seek(0, soBeginning);
    for (;;) {
        const size_t n = Stream.Read(chunk, sizeof chunk);
        if (n == 0) break;
        value.append(chunk, n);
    }
    SetAsStringValue(value);
}

void TBlobField::SaveToStream(TStream& Stream) const {
    const std::string value = GetAsString();
    if (!value.empty()) Stream.WriteBuffer(value.data(), value.size());
}

std::string TBlobField::GetText(bool DisplayText) const {
    if (DisplayText) return IsNull() ? "(blob)" : "(BLOB)";
    return GetAsString();
}

std::string TMemoField::GetText(bool DisplayText) const {
    if (DisplayText) return IsNull() ? "(memo)" : "(MEMO)";
    return GetAsString();
}

Variant TBlobField::GetAsVariant() const {
    if (IsNull()) return dbvar::Null();
    return Variant(GetAsString());
}

void TBlobField::SetAsVariantValue(const Variant& Value) {
    SetAsStringValue(dbvar::IsNullish(Value) ? std::string() : dbvar::ToString(Value));
}

// ---------------------------------------------------------------- TVariantField

TVariantField::TVariantField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftVariant); }

Variant TVariantField::GetAsVariant() const {
    Variant v;
    if (!GetData(&v)) return dbvar::Null();
    return v;
}

void TVariantField::SetAsVariantValue(const Variant& Value) {
    if (dbvar::IsNullish(Value))
        SetData(nullptr);
    else
        SetData(&Value);
}

std::string TVariantField::GetAsString() const {
    const Variant v = GetAsVariant();
    return dbvar::IsNullish(v) ? std::string() : dbvar::ToString(v);
}
void TVariantField::SetAsStringValue(const std::string& Value) { SetAsVariantValue(Variant(Value)); }
int32_t TVariantField::GetAsInteger() const {
    const int64_t v = GetAsLargeInt();
    if (!FitsInt32(v)) ConvertError(dbtext::SInvalidIntegerValue, IntToStr(v), this);
    return static_cast<int32_t>(v);
}
void TVariantField::SetAsIntegerValue(int32_t Value) { SetAsVariantValue(Variant(Value)); }
int64_t TVariantField::GetAsLargeInt() const {
    const Variant v = GetAsVariant();
    return dbvar::IsNullish(v) ? 0 : dbvar::ToInt64(v);
}
void TVariantField::SetAsLargeIntValue(int64_t Value) { SetAsVariantValue(Variant(Value)); }
double TVariantField::GetAsFloat() const {
    const Variant v = GetAsVariant();
    return dbvar::IsNullish(v) ? 0 : dbvar::ToDouble(v);
}
void TVariantField::SetAsFloatValue(double Value) { SetAsVariantValue(Variant(Value)); }
bool TVariantField::GetAsBoolean() const {
    const Variant v = GetAsVariant();
    return !dbvar::IsNullish(v) && dbvar::ToBoolean(v);
}
void TVariantField::SetAsBooleanValue(bool Value) { SetAsVariantValue(Variant(Value)); }
TDateTime TVariantField::GetAsDateTime() const {
    const Variant v = GetAsVariant();
    return dbvar::IsNullish(v) ? 0 : dbvar::ToDateTime(v);
}
void TVariantField::SetAsDateTimeValue(TDateTime Value) { SetAsVariantValue(dbvar::FromDateTime(Value)); }

// ---------------------------------------------------------------- classes by type

TFieldClass DefaultFieldClass(TFieldType FieldType) {
    switch (FieldType) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftFixedWideChar:
        case ftOraInterval:
        case ftGuid:
            return &CreateFieldOfClass<TStringField>;
        case ftSmallint: return &CreateFieldOfClass<TSmallintField>;
        case ftInteger: return &CreateFieldOfClass<TIntegerField>;
        case ftWord: return &CreateFieldOfClass<TWordField>;
        case ftAutoInc: return &CreateFieldOfClass<TAutoIncField>;
        case ftLargeint: return &CreateFieldOfClass<TLargeintField>;
        case ftBoolean: return &CreateFieldOfClass<TBooleanField>;
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftFMTBcd:
            return &CreateFieldOfClass<TFloatField>;
        case ftDate: return &CreateFieldOfClass<TDateField>;
        case ftTime: return &CreateFieldOfClass<TTimeField>;
        case ftDateTime:
        case ftTimeStamp:
        case ftOraTimeStamp:
            return &CreateFieldOfClass<TDateTimeField>;
        case ftMemo:
        case ftOraClob:
        case ftWideMemo:
        case ftFmtMemo:
            return &CreateFieldOfClass<TMemoField>;
        case ftBlob:
        case ftGraphic:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftTypedBinary:
        case ftOraBlob:
        case ftBytes:
        case ftVarBytes:
            return &CreateFieldOfClass<TBlobField>;
        case ftVariant: return &CreateFieldOfClass<TVariantField>;
        default: return nullptr;
    }
}

}  // namespace velmysql
