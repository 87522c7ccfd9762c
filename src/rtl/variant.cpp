#include "velmysql/rtl/variant.h"

#include <cmath>
#include <limits>

#include "velmysql/rtl/datetext.h"
#include "velmysql/rtl/floattext.h"
#include "velmysql/rtl/strings.h"

namespace velmysql {

namespace {

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

// Rounds half to even, as the framework's Round does, and checks the range.
int64_t RoundToInt64(double d) {
    if (!std::isfinite(d)) throw EVariantOverflowError("Arithmetic overflow converting a variant to Int64");
    double r = std::nearbyint(d);
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0)
        throw EVariantOverflowError("Arithmetic overflow converting a variant to Int64");
    return static_cast<int64_t>(r);
}

// A numeric view used for comparing: exact for the integer kinds.
struct Num {
    enum { Signed, Unsigned, Real } kind;
    int64_t i = 0;
    uint64_t u = 0;
    double d = 0;
};

int Cmp3(auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); }

int CompareNum(const Num& a, const Num& b) {
    if (a.kind == Num::Real || b.kind == Num::Real) {
        auto toLong = [](const Num& n) -> long double {
            return n.kind == Num::Real ? n.d : n.kind == Num::Signed ? static_cast<long double>(n.i)
                                                                      : static_cast<long double>(n.u);
        };
        return Cmp3(toLong(a), toLong(b));
    }
    if (a.kind == Num::Signed && b.kind == Num::Signed) return Cmp3(a.i, b.i);
    if (a.kind == Num::Unsigned && b.kind == Num::Unsigned) return Cmp3(a.u, b.u);
    if (a.kind == Num::Signed) return a.i < 0 ? -1 : Cmp3(static_cast<uint64_t>(a.i), b.u);
    return b.i < 0 ? 1 : Cmp3(a.u, static_cast<uint64_t>(b.i));
}

}  // namespace

Variant Variant::Null() {
    Variant v;
    v.type_ = varNull;
    return v;
}

Variant Variant::FromDateTime(TDateTime value) {
    Variant v;
    v.type_ = varDate;
    v.d_ = value;
    return v;
}

const char* VarTypeName(TVarType t) {
    switch (t) {
        case varEmpty: return "Empty";
        case varNull: return "Null";
        case varBoolean: return "Boolean";
        case varInt64: return "Int64";
        case varUInt64: return "UInt64";
        case varDouble: return "Double";
        case varString: return "String";
        case varDate: return "Date";
        case varArray: return "Array";
    }
    return "Unknown";
}

bool Variant::IsNumeric() const {
    return type_ == varBoolean || type_ == varInt64 || type_ == varUInt64 || type_ == varDouble || type_ == varDate;
}

void Variant::CastError(const char* to) const {
    throw EVariantTypeCastError(std::string("Could not convert variant of type (") + VarTypeName(type_) +
                                ") into type (" + to + ")");
}

std::string Variant::ToString() const { return ToString(FormatSettings()); }

std::string Variant::ToString(const TFormatSettings& fs) const {
    switch (type_) {
        case varEmpty:
        case varNull: return {};
        case varBoolean: return i_ ? "True" : "False";
        case varInt64: return std::to_string(i_);
        case varUInt64: return std::to_string(u_);
        case varDouble: return FloatToStr(d_, fs);
        case varString: return s_;
        case varDate: return DateTimeToStr(d_, fs);
        case varArray: break;
    }
    CastError("String");
}

int64_t Variant::ToInt64() const { return ToInt64(FormatSettings()); }

int64_t Variant::ToInt64(const TFormatSettings& fs) const {
    switch (type_) {
        case varEmpty: return 0;
        case varBoolean:
        case varInt64: return i_;
        case varUInt64:
            if (u_ > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
                throw EVariantOverflowError("Arithmetic overflow converting a variant to Int64");
            return static_cast<int64_t>(u_);
        case varDouble:
        case varDate: return RoundToInt64(d_);
        case varString: {
            int64_t v;
            std::string t = Trimmed(s_);
            if (TryStrToInt64(t, v)) return v;
            double d;
            if (TryStrToFloat(t, d, fs)) return RoundToInt64(d);
            throw EConvertError("'" + s_ + "' is not a valid integer value");
        }
        case varNull:
        case varArray: break;
    }
    CastError("Int64");
}

double Variant::ToDouble() const { return ToDouble(FormatSettings()); }

double Variant::ToDouble(const TFormatSettings& fs) const {
    switch (type_) {
        case varEmpty: return 0;
        case varBoolean:
        case varInt64: return static_cast<double>(i_);
        case varUInt64: return static_cast<double>(u_);
        case varDouble:
        case varDate: return d_;
        case varString: {
            double d;
            if (TryStrToFloat(s_, d, fs)) return d;
            throw EConvertError("'" + s_ + "' is not a valid floating point value");
        }
        case varNull:
        case varArray: break;
    }
    CastError("Double");
}

bool Variant::ToBoolean() const {
    switch (type_) {
        case varEmpty: return false;
        case varBoolean:
        case varInt64: return i_ != 0;
        case varUInt64: return u_ != 0;
        case varDouble:
        case varDate: return d_ != 0;
        case varString: {
            std::string t = Trimmed(s_);
            if (SameText(t, "true")) return true;
            if (SameText(t, "false")) return false;
            double d;
            if (TryStrToFloat(t, d, FormatSettings())) return d != 0;
            throw EConvertError("'" + s_ + "' is not a valid boolean value");
        }
        case varNull:
        case varArray: break;
    }
    CastError("Boolean");
}

TDateTime Variant::ToDateTime() const { return ToDateTime(FormatSettings()); }

TDateTime Variant::ToDateTime(const TFormatSettings& fs) const {
    switch (type_) {
        case varString: {
            TDateTime d;
            if (TryStrToDateTime(s_, d, fs)) return d;
            throw EConvertError("'" + s_ + "' is not a valid date and time");
        }
        case varNull:
        case varArray: CastError("Date");
        default: return ToDouble(fs);
    }
}

const std::vector<Variant>& Variant::Items() const {
    if (type_ != varArray) CastError("Array");
    return a_;
}

std::vector<Variant>& Variant::Items() {
    if (type_ != varArray) CastError("Array");
    return a_;
}

bool Variant::SameAs(const Variant& o) const {
    if (type_ != o.type_) return false;
    switch (type_) {
        case varEmpty:
        case varNull: return true;
        case varBoolean:
        case varInt64: return i_ == o.i_;
        case varUInt64: return u_ == o.u_;
        case varDouble:
        case varDate: return d_ == o.d_;
        case varString: return s_ == o.s_;
        case varArray:
            if (a_.size() != o.a_.size()) return false;
            for (size_t i = 0; i < a_.size(); ++i)
                if (!a_[i].SameAs(o.a_[i])) return false;
            return true;
    }
    return false;
}

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b) {
    return VarCompareValue(a, b, FormatSettings());
}

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b, const TFormatSettings& fs) {
    auto rel = [](int c) { return c < 0 ? vrLessThan : c > 0 ? vrGreaterThan : vrEqual; };
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull() ? vrEqual : vrNotEqual;
    if (a.VarType() == varArray || b.VarType() == varArray) {
        if (a.VarType() != b.VarType() || a.Items().size() != b.Items().size()) return vrNotEqual;
        for (size_t i = 0; i < a.Items().size(); ++i)
            if (VarCompareValue(a.Items()[i], b.Items()[i], fs) != vrEqual) return vrNotEqual;
        return vrEqual;
    }
    if (a.IsEmpty() && b.IsEmpty()) return vrEqual;
    auto asNum = [&](const Variant& v, Num& out) -> bool {
        switch (v.VarType()) {
            case varEmpty: out = {Num::Signed, 0, 0, 0}; return true;
            case varBoolean:
            case varInt64: out = {Num::Signed, v.ToInt64(fs), 0, 0}; return true;
            case varUInt64: out = {Num::Unsigned, 0, v.u_, 0}; return true;
            case varDouble:
            case varDate: out = {Num::Real, 0, 0, v.ToDouble(fs)}; return true;
            case varString: {
                int64_t i;
                std::string t = Trimmed(v.ToString(fs));
                if (TryStrToInt64(t, i)) {
                    out = {Num::Signed, i, 0, 0};
                    return true;
                }
                double d;
                if (TryStrToFloat(t, d, fs)) {
                    out = {Num::Real, 0, 0, d};
                    return true;
                }
                return false;
            }
            default: return false;
        }
    };
    bool aText = a.VarType() == varString || a.IsEmpty();
    bool bText = b.VarType() == varString || b.IsEmpty();
    if (aText && bText) return rel(a.ToString(fs).compare(b.ToString(fs)));
    Num x, y;
    if (asNum(a, x) && asNum(b, y)) return rel(CompareNum(x, y));
    return rel(a.ToString(fs).compare(b.ToString(fs)));
}

}  // namespace velmysql
