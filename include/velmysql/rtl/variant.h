#pragma once
// Variant: a value of one of a few kinds (Empty, Null, Boolean, 64-bit integers, double,
// byte string, date-time, array of variants) with the conversions data-access code needs.
//
// Conversions that read or write text use the regional settings passed in, or a snapshot
// of the process-wide ones. A text that is not a number or date of the wanted kind
// raises EConvertError; converting Null (or an array) to a scalar raises
// EVariantTypeCastError. Empty converts to 0, false or an empty text.

#include <cstdint>
#include <string>
#include <vector>

#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/formatsettings.h"

namespace velmysql {

class EVariantError : public Exception {
public:
    using Exception::Exception;
};
class EVariantTypeCastError : public EVariantError {
public:
    using EVariantError::EVariantError;
};
class EVariantOverflowError : public EVariantError {
public:
    using EVariantError::EVariantError;
};

enum TVarType { varEmpty, varNull, varBoolean, varInt64, varUInt64, varDouble, varString, varDate, varArray };

enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };

class Variant;
TVariantRelationship VarCompareValue(const Variant& a, const Variant& b, const TFormatSettings& fs);

class Variant {
public:
    Variant() = default;  // Empty
    Variant(bool v) : type_(varBoolean), i_(v ? 1 : 0) {}
    Variant(int v) : type_(varInt64), i_(v) {}
    Variant(long v) : type_(varInt64), i_(v) {}
    Variant(long long v) : type_(varInt64), i_(v) {}
    Variant(unsigned v) : type_(varInt64), i_(v) {}
    Variant(unsigned long v) : type_(varUInt64), u_(v) {}
    Variant(unsigned long long v) : type_(varUInt64), u_(v) {}
    Variant(double v) : type_(varDouble), d_(v) {}
    Variant(std::string v) : type_(varString), s_(std::move(v)) {}
    Variant(const char* v) : type_(varString), s_(v) {}
    Variant(std::vector<Variant> items) : type_(varArray), a_(std::move(items)) {}

    static Variant Null();
    static Variant FromDateTime(TDateTime v);

    TVarType VarType() const { return type_; }
    bool IsNull() const { return type_ == varNull; }
    bool IsEmpty() const { return type_ == varEmpty; }
    // Null or Empty.
    bool IsClear() const { return type_ == varNull || type_ == varEmpty; }
    bool IsNumeric() const;

    std::string ToString() const;
    std::string ToString(const TFormatSettings& fs) const;
    int64_t ToInt64() const;
    int64_t ToInt64(const TFormatSettings& fs) const;
    double ToDouble() const;
    double ToDouble(const TFormatSettings& fs) const;
    bool ToBoolean() const;
    TDateTime ToDateTime() const;
    TDateTime ToDateTime(const TFormatSettings& fs) const;

    // The items of an array; EVariantTypeCastError for any other kind.
    const std::vector<Variant>& Items() const;
    std::vector<Variant>& Items();

    // Same kind and value (arrays item by item); no conversion.
    bool SameAs(const Variant& other) const;

private:
    friend TVariantRelationship VarCompareValue(const Variant& a, const Variant& b, const TFormatSettings& fs);
    [[noreturn]] void CastError(const char* to) const;

    TVarType type_ = varEmpty;
    int64_t i_ = 0;   // varBoolean (0/1), varInt64
    uint64_t u_ = 0;  // varUInt64
    double d_ = 0;    // varDouble, varDate
    std::string s_;
    std::vector<Variant> a_;
};

// The name of a kind: "Empty", "Null", "Boolean", "Int64", "UInt64", "Double", "String",
// "Date", "Array".
const char* VarTypeName(TVarType t);

// Compares by value: numbers (also Boolean and dates) numerically and exactly across
// the integer kinds, texts byte by byte, a text with a number numerically when the text
// reads as one (otherwise as texts). Empty counts as 0 or an empty text. Null equals
// only Null and is vrNotEqual to anything else; arrays are vrEqual or vrNotEqual.
TVariantRelationship VarCompareValue(const Variant& a, const Variant& b);
TVariantRelationship VarCompareValue(const Variant& a, const Variant& b, const TFormatSettings& fs);

inline bool operator==(const Variant& a, const Variant& b) { return VarCompareValue(a, b) == vrEqual; }
inline bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }
inline bool operator<(const Variant& a, const Variant& b) { return VarCompareValue(a, b) == vrLessThan; }

}  // namespace velmysql
