#include "var_conv.h"

namespace velmysql::dbvar {

Variant Null() { return Variant::Null(); }
bool IsNullish(const Variant& V) { return V.IsClear(); }
bool IsArray(const Variant& V) { return V.VarType() == varArray; }
int ArrayCount(const Variant& V) { return IsArray(V) ? static_cast<int>(V.Items().size()) : 0; }
Variant ArrayItem(const Variant& V, int Index) { return V.Items().at(static_cast<size_t>(Index)); }
Variant MakeArray(std::vector<Variant> Items) { return Variant(std::move(Items)); }
Variant FromDateTime(TDateTime Value) { return Variant::FromDateTime(Value); }

std::string ToString(const Variant& V) { return V.ToString(); }
int64_t ToInt64(const Variant& V) { return V.ToInt64(); }
double ToDouble(const Variant& V) { return V.ToDouble(); }
bool ToBoolean(const Variant& V) { return V.ToBoolean(); }
TDateTime ToDateTime(const Variant& V) { return V.ToDateTime(); }

Kind KindOf(const Variant& V) {
    switch (V.VarType()) {
        case varBoolean: return Kind::Boolean;
        case varInt64:
        case varUInt64: return Kind::Int64;
        case varDouble: return Kind::Float;
        case varDate: return Kind::DateTime;
        case varString: return Kind::String;
        case varEmpty:
        case varNull: return Kind::Null;
        default: return Kind::Other;
    }
}

}  // namespace velmysql::dbvar
