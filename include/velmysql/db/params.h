#pragma once
// TParams/TParam: named values that statements refer to. A parameter has a name, a
// parameter type (unknown for a macro that is pasted as text, input for a value that is
// passed as a literal), a data type and a value; NULL is a null value.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "velmysql/db/db_types.h"
#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/collection.h"
#include "velmysql/rtl/variant.h"

namespace velmysql {

class TField;
class TParams;

class TParam : public TCollectionItem {
public:
    TParam();
    explicit TParam(TParamType ParamType, const std::string& Name = std::string());

    const std::string& Name() const { return name_; }
    void SetName(const std::string& Value) { name_ = Value; }
    TParamType ParamType() const { return paramType_; }
    void SetParamType(TParamType Value) { paramType_ = Value; }
    TFieldType DataType() const { return dataType_; }
    // Changing the data type converts the value when it can and clears it otherwise.
    void SetDataType(TFieldType Value);
    int Size() const { return size_; }
    void SetSize(int Value) { size_ = Value; }
    int Precision() const { return precision_; }
    void SetPrecision(int Value) { precision_ = Value; }
    int NumericScale() const { return numericScale_; }
    void SetNumericScale(int Value) { numericScale_ = Value; }
    // A value was assigned (also NULL through Clear).
    bool Bound() const { return bound_; }
    void SetBound(bool Value) { bound_ = Value; }
    std::string DisplayName() const override { return name_; }
    static const TClassInfo& ClassInfo();

    bool IsNull() const;
    void Clear();
    // Assigning a value also sets the data type when it is unknown (string, integer,
    // large integer, float, boolean or date-time after the value's kind).
    const Variant& Value() const { return value_; }
    void SetValue(const Variant& Value);
    std::string AsString() const;
    void SetAsString(const std::string& Value);
    void SetAsMemo(const std::string& Value);
    void SetAsBlob(const std::string& Value);
    int32_t AsInteger() const;
    void SetAsInteger(int32_t Value);
    int32_t AsSmallInt() const { return AsInteger(); }
    void SetAsSmallInt(int32_t Value);
    int32_t AsWord() const { return AsInteger(); }
    void SetAsWord(int32_t Value);
    int64_t AsLargeInt() const;
    void SetAsLargeInt(int64_t Value);
    double AsFloat() const;
    void SetAsFloat(double Value);
    bool AsBoolean() const;
    void SetAsBoolean(bool Value);
    TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime Value);
    void SetAsDate(TDateTime Value);
    void SetAsTime(TDateTime Value);

    // Takes name, types and value of another parameter (Assign), or data type and value
    // of a field (AssignField also takes its name).
    void Assign(const TPersistent* Source) override;
    void AssignValue(const Variant& Value) { SetValue(Value); }
    void AssignField(const TField* Field);
    void AssignFieldValue(const TField* Field, const Variant& Value);

private:
    std::string name_;
    TParamType paramType_ = ptUnknown;
    TFieldType dataType_ = ftUnknown;
    int size_ = 0;
    int precision_ = 0;
    int numericScale_ = 0;
    bool bound_ = false;
    Variant value_;
};

class TParams : public TCollection {
public:
    explicit TParams(TPersistent* Owner = nullptr);
    ~TParams() override;

    TParam* Items(int Index) const;
    TParam* operator[](int Index) const { return Items(Index); }
    TParam* AddParam();
    TParam* CreateParam(TFieldType FldType, const std::string& ParamName, TParamType ParamType);
    // The parameter called Value, letter case ignored; FindParam answers null when there
    // is none, ParamByName raises the parameter-not-found error.
    TParam* FindParam(const std::string& Value) const;
    TParam* ParamByName(const std::string& Value) const;
    // For each parameter of Value, the parameter of the same name here (if any) takes its
    // value and types.
    void AssignValues(const TParams& Value);
    void RemoveParam(TParam* Value);
    // Whether the two collections hold the same names, types and values in order.
    bool IsEqual(const TParams& Value) const;
    static const TClassInfo& ClassInfo();
};

}  // namespace velmysql
